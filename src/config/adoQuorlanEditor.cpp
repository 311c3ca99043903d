// The one editor of the tables an operator changes in the window's grids:
// Outputs, Telstra, Publishers, StartUp, Watches and Aliases are opened for writing, written
// back and shown again by the same steps, told apart by the table's row of
// kEditedTables.

#include "config/LoaderSteps.h"
#include "config/SettingValues.h"
#include "config/adoQuorlan.h"
#include "platform/Error.h"
#include "routing/Route.h"

#include <optional>

using config::EditedTable;

struct adoQuorlan::EditedTableSteps {
    EditedTable table;
    ShownTable shown;
    std::shared_ptr<platform::Recordset> adoQuorlan::*rows;
    void (adoQuorlan::*open)(int lockType);
    ErrorCode openWarning;
    // None: the StartUp table, whose commit skips a failing step and always
    // ends read-only (a failed save loses the unsaved edits).
    std::optional<ErrorCode> commitWarning;
    // The name a refused row is reported under; null: no Port column to check.
    const char* checkedPorts;
    // The same for the Route column.
    const char* checkedRoutes;
};

namespace {

constexpr int kReadOnly = platform::kLockReadOnly;
constexpr int kWritable = platform::kLockOptimistic;

// Refuses a commit for a row's problem: nothing is written, and the reason
// names the row for the operator.
[[noreturn]] void Refuse(const platform::Recordset& rs, long row, const QString& table,
                         const QString& problem, QString* refusal) {
    const int description = rs.FieldIndex(QStringLiteral("Description"));
    const QString name = description < 0 ? QString() : rs.Value(row, description).toString();
    const QString reason =
        QStringLiteral("%1 row %2 (\"%3\"): %4. Nothing was saved: correct it and commit "
                       "again.")
            .arg(table)
            .arg(row + 1)
            .arg(name, problem);
    if (refusal)
        *refusal = reason;
    throw platform::Error(reason);
}

} // namespace

const adoQuorlan::EditedTableSteps& adoQuorlan::Steps(EditedTable table) {
    static const EditedTableSteps kEditedTables[] = {
        {EditedTable::Outputs, ShownTable::Outputs, &adoQuorlan::rsOutputs,
         &adoQuorlan::OpenOutputs, ErrorCode::OpenOutputs, ErrorCode::CommitOutputs, "Outputs",
         "Outputs"},
        {EditedTable::Telstra, ShownTable::Telstra, &adoQuorlan::rsTelstra,
         &adoQuorlan::OpenTelstra, ErrorCode::OpenTelstra, ErrorCode::CommitTelstra, nullptr,
         nullptr},
        {EditedTable::Publishers, ShownTable::Publishers, &adoQuorlan::rsPublishers,
         &adoQuorlan::OpenPublishers, ErrorCode::OpenPublishers, ErrorCode::CommitPublishers,
         nullptr, "Publishers"},
        {EditedTable::StartUp, ShownTable::StartUp, &adoQuorlan::gRsStartUp,
         &adoQuorlan::OpenStartUp, ErrorCode::OpenStartUp, std::nullopt, nullptr, nullptr},
        {EditedTable::Aliases, ShownTable::Aliases, &adoQuorlan::rsAliases,
         &adoQuorlan::OpenAliases, ErrorCode::OpenAliases, ErrorCode::CommitAliases, nullptr,
         nullptr},
        {EditedTable::Watches, ShownTable::Watches, &adoQuorlan::rsWatches,
         &adoQuorlan::OpenWatches, ErrorCode::OpenWatches, ErrorCode::CommitWatches, nullptr,
         nullptr},
    };
    for (const EditedTableSteps& steps : kEditedTables)
        if (steps.table == table)
            return steps;
    return kEditedTables[0];
}

void adoQuorlan::showTable(EditedTable table, TableMode mode) {
    const EditedTableSteps& steps = Steps(table);
    events_.TableShown(steps.shown, this->*steps.rows, mode);
}

void adoQuorlan::reopenForEdit(const EditedTableSteps& steps) {
    const auto& rows = this->*steps.rows;
    if (rows && rows->State() == platform::ObjectState::Open)
        rows->Close();
    (this->*steps.open)(kWritable);
    showTable(steps.table, TableMode::Editing);
}

void adoQuorlan::EditTable(EditedTable table) {
    // A failure here (the table gone, the database closed) is reported like one
    // while opening the table.
    const EditedTableSteps& steps = Steps(table);
    try {
        reopenForEdit(steps);
    } catch (const platform::Error& error) {
        warn(steps.openWarning, error.text());
    }
}

bool adoQuorlan::CommitTable(EditedTable table, QString* refusal) {
    const EditedTableSteps& steps = Steps(table);
    auto& rows = this->*steps.rows;
    if (!rows || rows->LockType == kReadOnly)
        return false;
    if (!steps.commitWarning) {
        Skipping([&] { rows->Update(); });
        Skipping([&] { rows->Close(); });
        (this->*steps.open)(kReadOnly);
        showTable(table, TableMode::Showing);
        return true;
    }
    try {
        if (steps.checkedPorts)
            refuseUnusablePorts(*rows, QLatin1String(steps.checkedPorts), refusal);
        if (steps.checkedRoutes)
            refuseUnparsableRoutes(*rows, QLatin1String(steps.checkedRoutes), refusal);
        rows->Update();
        rows->Close();
        (this->*steps.open)(kReadOnly);
        showTable(table, TableMode::Showing);
        // A table that did not reopen (its Open reported why) raises here, so
        // the commit is reported as failed and the table stays in editing.
        static_cast<void>(rows->FieldCount());
        return true;
    } catch (const platform::Error& error) {
        warn(*steps.commitWarning, error.text());
        return false;
    }
}

void adoQuorlan::refuseUnusablePorts(const platform::Recordset& rs, const QString& table,
                                     QString* refusal) {
    const int port = rs.FieldIndex(QStringLiteral("Port"));
    if (port < 0)
        return;
    for (long row = 0; row < rs.RecordCount(); ++row) {
        const QString problem = PortProblem(rs.Value(row, port).toString());
        if (!problem.isEmpty())
            Refuse(rs, row, table, problem, refusal);
    }
}

void adoQuorlan::refuseUnparsableRoutes(const platform::Recordset& rs, const QString& table,
                                        QString* refusal) const {
    const int route = rs.FieldIndex(QStringLiteral("Route"));
    if (route < 0)
        return;
    for (long row = 0; row < rs.RecordCount(); ++row) {
        const routing::Route::Parsed parsed =
            routing::Route::Parse(rs.Value(row, route).toString(), aliases_);
        if (!parsed.route)
            Refuse(rs, row, table, QStringLiteral("its Route ") + parsed.problem, refusal);
    }
}

void adoQuorlan::SetAllTelstraActive(bool active, const std::function<bool(int row)>& isActive) {
    Skipping([&] {
        if (rsTelstra && rsTelstra->State() == platform::ObjectState::Open)
            rsTelstra->Close();
    });
    Skipping([&] { OpenTelstra(kWritable); });
    Skipping([&] { rsTelstra->MoveFirst(); });
    const QString letter = active ? QStringLiteral("Y") : QStringLiteral("N");
    for (int i = 0; i < gTelstraCount; ++i) {
        Skipping([&] {
            if (isActive(i) != active)
                rsTelstra->SetField(QStringLiteral("Active"), letter);
        });
        Skipping([&] { rsTelstra->Update(); });
        Skipping([&] { rsTelstra->MoveNext(); });
    }
    Skipping([&] { showTable(EditedTable::Telstra, TableMode::Kept); });
}
