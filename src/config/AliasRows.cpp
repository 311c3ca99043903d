#include "config/AliasRows.h"

namespace config {

namespace {

constexpr int kMaxAddressDigits = 9;
constexpr qsizetype kMaxNameLength = 100;

} // namespace

std::optional<routing::Alias> ReadAliasRow(const QHash<QString, QString>& row, QString& problem) {
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

const QStringList& AliasColumns() {
    static const QStringList columns{QStringLiteral("Address"), QStringLiteral("Function"),
                                     QStringLiteral("Name"), QStringLiteral("Agency")};
    return columns;
}

} // namespace config
