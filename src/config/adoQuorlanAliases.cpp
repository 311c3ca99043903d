// The Aliases table: a name and agency for an address, shown and edited in its
// grid like the other tables, and read into the book that routes and the
// operator's views look names up in.

#include "config/AliasRows.h"
#include "config/LoaderSteps.h"
#include "config/adoQuorlan.h"
#include "platform/Error.h"

namespace {

const QString kAliasesQuery =
    QStringLiteral("SELECT * FROM `Aliases` ORDER BY `Name`, `Address`, `Function`");

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

QList<QHash<QString, QString>> adoQuorlan::AliasTableRows() {
    if (gSysConnection.State() != platform::ObjectState::Open)
        throw platform::Error(QStringLiteral("The system database is not open"));
    return RowsOf(kAliasesQuery);
}

void adoQuorlan::ReplaceAliases(const QList<QHash<QString, QString>>& rows) {
    if (gSysConnection.State() != platform::ObjectState::Open)
        throw platform::Error(QStringLiteral("The system database is not open"));
    gSysConnection.Execute(QStringLiteral("BEGIN IMMEDIATE"));
    try {
        gSysConnection.Execute(QStringLiteral("DELETE FROM Aliases"));
        for (const QHash<QString, QString>& row : rows) {
            QVariantList values;
            for (const QString& column : config::AliasColumns())
                values << row.value(column).trimmed();
            gSysConnection.Execute(QStringLiteral("INSERT INTO Aliases (Address, Function, Name, "
                                                  "Agency) VALUES (?, ?, ?, ?)"),
                                   values);
        }
        gSysConnection.Execute(QStringLiteral("COMMIT"));
    } catch (const platform::Error&) {
        Skipping([&] { gSysConnection.Execute(QStringLiteral("ROLLBACK")); });
        throw;
    }
    OpenAliases(platform::kLockReadOnly);
    showTable(config::EditedTable::Aliases, TableMode::Showing);
}

void adoQuorlan::LoadAliases() {
    if (gSysConnection.State() != platform::ObjectState::Open)
        return;
    QList<routing::Alias> aliases;
    QList<QHash<QString, QString>> rows;
    try {
        rows = AliasTableRows();
    } catch (const platform::Error& error) {
        warn(ErrorCode::OpenAliases, error.text());
        return;
    }
    for (qsizetype row = 0; row < rows.size(); ++row) {
        QString problem;
        if (const std::optional<routing::Alias> alias = config::ReadAliasRow(rows[row], problem))
            aliases << *alias;
        else
            warn(ErrorCode::LoadAliases, QStringLiteral("Aliases row %1: %2; the row is not used")
                                             .arg(row + 1)
                                             .arg(problem));
    }
    aliases_ = routing::AliasBook(aliases);
}
