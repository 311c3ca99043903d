#include "app/SystemCommands.h"

#include "app/System.h"
#include "config/AliasRows.h"
#include "config/LoaderSteps.h"
#include "config/SettingValues.h"
#include "outputs/DummyMessage.h"
#include "platform/Error.h"

using config::EditedTable;

namespace {

// What the logs say of each table's edits, and the side they say it on.
struct TableEvents {
    EditedTable table;
    LogPane side;
    const char* opened;
    const char* committed;
    ErrorCode commitWarning;
};

constexpr TableEvents kTableEvents[] = {
    {EditedTable::Outputs, LogPane::Outputs, "Event: Outputs opened for EDIT",
     "Event: Outputs database commited", ErrorCode::CommitOutputs},
    {EditedTable::Telstra, LogPane::Telstra, "Event: Telstra opened for EDIT",
     "Event: Telstra database commited", ErrorCode::CommitTelstra},
    {EditedTable::Publishers, LogPane::Outputs, "Event: Publishers opened for EDIT",
     "Event: Publishers table committed", ErrorCode::CommitPublishers},
    {EditedTable::StartUp, LogPane::Errors, "Event: StartUp database opened for edit",
     "Event: StartUp database commited", ErrorCode::OpenStartUp},
    {EditedTable::Watches, LogPane::Errors, "Event: Watches opened for EDIT",
     "Event: Watches table committed", ErrorCode::CommitWatches},
    {EditedTable::Aliases, LogPane::Outputs, "Event: Aliases opened for EDIT",
     "Event: Aliases table committed", ErrorCode::CommitAliases},
};

const TableEvents& EventsOf(EditedTable table) {
    for (const TableEvents& events : kTableEvents)
        if (events.table == table)
            return events;
    return kTableEvents[0];
}

std::size_t Index(EditedTable table) {
    return static_cast<std::size_t>(table);
}

} // namespace

bool SystemCommands::Editing(EditedTable table) const {
    return editing_.at(Index(table));
}

void SystemCommands::log(LogPane side, const QString& line) {
    switch (side) {
    case LogPane::Telstra:
        return sys_.logs.LogInput(line);
    case LogPane::Outputs:
        return sys_.logs.LogOutput(line);
    case LogPane::Errors:
    case LogPane::Decoder:
        break;
    }
    sys_.logs.LogError(line);
}

void SystemCommands::Edit(EditedTable table) {
    editing_.at(Index(table)) = true;
    sys_.window.EditingChanged(table);
    sys_.db.EditTable(table);
    sys_.window.Changed();
    const TableEvents& events = EventsOf(table);
    log(events.side, QLatin1String(events.opened));
}

QString SystemCommands::Commit(EditedTable table) {
    QString refusal;
    // The StartUp table is read-only again whatever its save did.
    if (!sys_.db.CommitTable(table, &refusal) && table != EditedTable::StartUp)
        return refusal;
    if (!reload(table))
        return {};
    editing_.at(Index(table)) = false;
    sys_.window.EditingChanged(table);
    sys_.window.Changed();
    const TableEvents& events = EventsOf(table);
    log(events.side, QLatin1String(events.committed));
    return {};
}

bool SystemCommands::reload(EditedTable table) {
    try {
        switch (table) {
        case EditedTable::Outputs:
            sys_.outputSockets.LoadOutputClients();
            sys_.outputSockets.RequestUpdateOutputClients();
            sys_.outputSockets.CheckOuputsPostUpdate();
            sys_.outputRules.CheckDuplicatePorts();
            break;
        case EditedTable::Telstra:
            sys_.decSockets.LoadTelstraClients();
            sys_.decSockets.RequestUpdateTelstraClients();
            sys_.decSockets.CheckTelstraPostUpdate();
            break;
        case EditedTable::Publishers:
            sys_.LoadPublishers();
            break;
        case EditedTable::StartUp:
            sys_.ReadFeedSilenceSeconds();
            sys_.ReadHistoryDays();
            break;
        case EditedTable::Watches:
            sys_.watches.Load(sys_.db.WatchRows());
            break;
        case EditedTable::Aliases:
            sys_.LoadAliases();
            break;
        }
        return true;
    } catch (const platform::Error& error) {
        sys_.ShowWarning(EventsOf(table).commitWarning, error.text(), 0);
        return false;
    }
}

QString SystemCommands::ImportAliases(const QList<QHash<QString, QString>>& rows) {
    if (Editing(EditedTable::Aliases))
        return QStringLiteral("The Aliases grid is being edited: commit it, then import.");
    for (qsizetype i = 0; i < rows.size(); ++i) {
        QString problem;
        if (!config::ReadAliasRow(rows[i], problem))
            return QStringLiteral("Row %1: %2. Nothing was imported.").arg(i + 1).arg(problem);
    }
    try {
        sys_.db.ReplaceAliases(rows);
    } catch (const platform::Error& error) {
        sys_.ShowWarning(ErrorCode::CommitAliases, error.text(), 0);
        return error.text();
    }
    sys_.LoadAliases();
    log(LogPane::Outputs,
        QStringLiteral("Event: Aliases table imported, %1 rows").arg(rows.size()));
    return {};
}

void SystemCommands::ApplyCarriersActive(bool active) {
    carriersActive_ = active;
    sys_.db.SetAllTelstraActive(active,
                                [this](int row) { return sys_.decSockets.Entry(row).Active; });
    Skipping([&] { sys_.decSockets.LoadTelstraClients(); });
    Skipping([&] { sys_.decSockets.RequestUpdateTelstraClients(); });
    Skipping([&] { sys_.decSockets.CheckTelstraPostUpdate(); });
}

void SystemCommands::SetCarriersActive(bool active) {
    sys_.window.CarriersChanged(active);
    ApplyCarriersActive(active);
    sys_.window.Changed();
}

void SystemCommands::SendIdleMessage() {
    sys_.outputRules.RelayToOutputs(DummyMessage(sys_.dateTimeText.Time(sys_.Now().time()),
                                                 sys_.gIncomingPktType, sys_.gServerID));
}

qint64 SystemCommands::StoredPackets() const {
    return sys_.delayedDb.gDelayedCount;
}

void SystemCommands::DeleteStoredPackets() {
    if (sys_.delayedDb.ClearDelayed())
        sys_.history.AllCopiesDeleted();
}

void SystemCommands::ForceBackUp() {
    sys_.logs.gNextBackUp = sys_.Now();
}

void SystemCommands::CheckStore() {
    sys_.delayedDb.gNextCompactCheck = sys_.Now();
}

void SystemCommands::SetRawLogging(bool on) {
    sys_.window.chkEnableLogs.Value = on ? 1 : 0;
    sys_.logs.gRawLogEnabled = on;
    sys_.db.SetStartUpKey(QStringLiteral("RawLogEnabled"), BooleanWord(on));
}

void SystemCommands::SetDecoderTrace(bool on) {
    sys_.window.chkInsertBatch.Value = on ? 1 : 0;
}

void SystemCommands::ClearWarning() {
    sys_.window.frmeSystemError.Visible = false;
    sys_.window.Changed();
}
