#include "relay/Global.h"

#include "app/System.h"

#include <QSet>

Global::Global(System& system) : sys_(system) {}

void Global::ResendDelayed() {
    adoDelayed& store = sys_.delayedDb;
    if (!store.DelayedListOpen())
        return;
    if (store.gDelayedCount == 0) {
        // Closed until a packet is stored or the Delayed tab is shown.
        store.rsDelayed->Close();
        return;
    }
    if (!sendOldest())
        pruneWithoutDestination();
}

// Sends the oldest stored packet whose output can take it now: the first active
// output of its description, with a client connected. At most one a step.
bool Global::sendOldest() {
    adoDelayed& store = sys_.delayedDb;
    frmOutputSockets& outputs = sys_.outputSockets;
    QHash<QString, int> firstActive;
    for (int i = 0; i < sys_.gOutputCount; ++i) {
        const OutputSocket& e = outputs.gOutputs[i];
        if (e.Active && !firstActive.contains(e.Description))
            firstActive.insert(e.Description, i);
    }
    int index = -1;
    DelayedRecord oldest;
    for (auto it = firstActive.begin(); it != firstActive.end(); ++it) {
        if (store.RowsFor(it.key()) == 0 ||
            outputs.wskOutputs[it.value()].State() != platform::SocketControl::Connected)
            continue;
        const DelayedRecord candidate = store.OldestFor(it.key());
        if (candidate.Count == 0)
            continue;
        if (index < 0 || candidate.Created < oldest.Created ||
            (candidate.Created == oldest.Created && candidate.MessID < oldest.MessID)) {
            oldest = candidate;
            index = it.value();
        }
    }
    if (index < 0)
        return false;
    gDelayed = oldest;
    if (!outputs.SendDataOutputs(index, gDelayed.Packet))
        return false;
    store.DeleteDelayed(gDelayed);
    sys_.logs.LogOutput(
        QStringLiteral(
            "System: %1  Delayed Count is %2  Record ID %3 successfully sent from database.")
            .arg(outputs.gOutputs[index].Description)
            .arg(store.gDelayedCount)
            .arg(gDelayed.MessID));
    return true;
}

// Whether a row of the Outputs table has this description, also a row beyond
// the 50 outputs in use: its packets wait for it rather than being deleted.
// Without the system database nothing can be told, so nothing is deleted.
bool Global::namedInOutputsTable(const QString& destination) {
    if (sys_.db.gSysConnection.State() != 1)
        return true;
    const auto rs = sys_.db.OpenRecordset(
        QStringLiteral("SELECT `Description` FROM `Outputs` WHERE (`Description` = ?)"), 1,
        {destination});
    return !rs->Eof();
}

// Rows whose destination no output has any more are deleted, oldest first.
// While the Delayed tab is shown, one row a step, as the view is redrawn after each.
void Global::pruneWithoutDestination() {
    adoDelayed& store = sys_.delayedDb;
    QSet<QString> described;
    for (int i = 0; i < sys_.gOutputCount; ++i)
        described.insert(sys_.outputSockets.gOutputs[i].Description);
    QStringList withoutOutput;
    for (const QString& destination : store.StoredDestinations())
        if (!described.contains(destination) && !namedInOutputsTable(destination))
            withoutOutput << destination;
    if (sys_.window.SSTab1.Value != 4) {
        for (const QString& destination : withoutOutput) {
            // One statement for all of them: a renamed output may leave a
            // backlog of many thousands.
            const qint64 rows = store.DeleteDestination(destination);
            for (qint64 row = 0; row < rows; ++row)
                sys_.logs.LogOutput(
                    QStringLiteral("System: Deleting record. No destination available."));
        }
        return;
    }
    // The destinations come in no particular order: the oldest row among them
    // is the one to go.
    DelayedRecord oldest;
    for (const QString& destination : withoutOutput) {
        if (store.RowsFor(destination) == 0)
            continue;
        const DelayedRecord candidate = store.OldestFor(destination);
        if (candidate.Count == 0)
            continue;
        if (oldest.Count == 0 || candidate.Created < oldest.Created ||
            (candidate.Created == oldest.Created && candidate.MessID < oldest.MessID))
            oldest = candidate;
    }
    if (oldest.Count == 0)
        return;
    gDelayed = oldest;
    sys_.logs.LogOutput(QStringLiteral("System: Deleting record. No destination available."));
    store.DeleteDelayed(gDelayed);
}
