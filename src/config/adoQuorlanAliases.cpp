// The Aliases table: a name and agency for an address, shown and edited in its
// grid like the other tables, and read into the book that routes and the
// operator's views look names up in.

#include "config/adoQuorlan.h"
#include "platform/Error.h"

#include <optional>

namespace {

const QString kAliasesQuery =
    QStringLiteral("SELECT * FROM `Aliases` ORDER BY `Name`, `Address`, `Function`");

constexpr int kMaxAddressDigits = 9;
constexpr qsizetype kMaxNameLength = 100;

// The alias of a row, or why the row cannot be used.
std::optional<routing::Alias> ReadAlias(const QHash<QString, QString>& row, QString& problem) {
    routing::Alias alias;
    const QString address = row.value(QStringLiteral("Address")).trimmed();
    const QString function = row.value(QStringLiteral("Function")).trimmed().toUpper();
    alias.name = row.value(QStringLiteral("Name")).trimmed();
    alias.agency = row.value(QStringLiteral("Agency")).trimmed();
    bool digits = !address.isEmpty() && address.size() <= kMaxAddressDigits;
    for (const QChar c : address)
        digits = digits && c.isDigit() && c.unicode() < 0x80;
    if (!digits)
        problem = QStringLiteral("the Address \"%1\" is not up to %2 digits")
                      .arg(address)
                      .arg(kMaxAddressDigits);
    else if (function.size() > 1 || (function.size() == 1 && (function[0] < QLatin1Char('A') ||
                                                              function[0] > QLatin1Char('D'))))
        problem = QStringLiteral("the Function \"%1\" is not A, B, C, D or empty").arg(function);
    else if (alias.name.isEmpty() || alias.name.size() > kMaxNameLength)
        problem =
            QStringLiteral("the Name is empty or longer than %1 characters").arg(kMaxNameLength);
    if (!problem.isEmpty())
        return std::nullopt;
    alias.address = address.toUInt();
    alias.function = function.toLatin1();
    return alias;
}

} // namespace

void adoQuorlan::OpenAliases(int lockType) {
    if (gSysConnection.State() != platform::ObjectState::Open)
        return;
    try {
        rsAliases = OpenRecordset(kAliasesQuery, lockType);
    } catch (const platform::Error& error) {
        warn(ErrorCode::OpenAliases, error.text());
    }
}

void adoQuorlan::LoadAliases() {
    if (gSysConnection.State() != platform::ObjectState::Open)
        return;
    QList<routing::Alias> aliases;
    try {
        // A recordset of its own: the grid's may be open for editing.
        const auto rs = OpenRecordset(kAliasesQuery, platform::kLockReadOnly);
        for (long row = 0; row < rs->RecordCount(); ++row) {
            QHash<QString, QString> values;
            for (int i = 0; i < rs->FieldCount(); ++i)
                values.insert(rs->FieldName(i), rs->Value(row, i).toString());
            QString problem;
            if (const std::optional<routing::Alias> alias = ReadAlias(values, problem))
                aliases << *alias;
            else
                warn(ErrorCode::LoadAliases,
                     QStringLiteral("Aliases row %1: %2; the row is not used")
                         .arg(row + 1)
                         .arg(problem));
        }
    } catch (const platform::Error& error) {
        warn(ErrorCode::OpenAliases, error.text());
        return;
    }
    aliases_ = routing::AliasBook(aliases);
}
