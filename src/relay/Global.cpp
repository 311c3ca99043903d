#include "relay/Global.h"

#include "config/adoQuorlan.h"
#include "history/PageTrail.h"
#include "logging/Logs.h"
#include "outputs/frmOutputSockets.h"
#include "publish/Publishers.h"
#include "relay/adoDelayed.h"

#include <QSet>
#include <algorithm>
#include <tuple>

void Global::ResendDelayed() {
    adoDelayed& store = store_;
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
// output of its description, with a client connected and no stored packet on
// its way to it. At most one a step; a send that fails moves on to the next
// older row of another output.
bool Global::sendOldest() {
    adoDelayed& store = store_;
    frmOutputSockets& outputs = outputs_;
    QHash<QString, int> firstActive;
    for (int i = 0; i < db_.gOutputCount; ++i) {
        const OutputSocket& e = outputs.Entry(i);
        if (e.Active && !firstActive.contains(e.Description))
            firstActive.insert(e.Description, i);
    }
    std::vector<std::pair<DelayedRecord, int>> candidates;
    for (auto it = firstActive.begin(); it != firstActive.end(); ++it) {
        if (store.RowsFor(it.key()) == 0 || outputs.CarriesStoredRow(it.value()) ||
            outputs.Socket(it.value()).State() != platform::SocketState::Connected)
            continue;
        DelayedRecord candidate = store.OldestFor(it.key());
        if (candidate.Count != 0)
            candidates.emplace_back(std::move(candidate), it.value());
    }
    std::sort(candidates.begin(), candidates.end(), [](const auto& a, const auto& b) {
        return std::tie(a.first.Created, a.first.MessID) <
               std::tie(b.first.Created, b.first.MessID);
    });
    for (const auto& [record, index] : candidates) {
        gDelayed = record;
        // The row stays until the send that carries it has been written.
        if (outputs.SendDataOutputs(
                index,
                QueuedPacket{record.Packet, record.MessID, record.Destination, {0, record.MessID}}))
            return true;
    }
    return false;
}

void Global::StoredPacketSent(int index, const QueuedPacket& packet) {
    adoDelayed& store = store_;
    DelayedRecord record;
    record.MessID = packet.storedMessID;
    record.Destination = packet.storedDestination;
    store.DeleteDelayed(record);
    logs_.LogOutput(QStringLiteral("System: ") + outputs_.Entry(index).Description +
                    QStringLiteral("  Delayed Count is ") + QString::number(store.gDelayedCount) +
                    QStringLiteral("  Record ID ") + QString::number(packet.storedMessID) +
                    QStringLiteral(" successfully sent from database."));
    trail_.CopyEvent(packet.storedMessID, history::TrailEvent::Resent);
}

// Whether a row of the Outputs table has this description, also a row beyond
// the 50 outputs in use: its packets wait for it rather than being deleted.
// The same for a broker's pages and the Publishers table.
// Without the system database nothing can be told, so nothing is deleted.
bool Global::namedInOutputsTable(const QString& destination) {
    if (db_.gSysConnection.State() != platform::ObjectState::Open)
        return true;
    const auto rs = db_.OpenRecordset(
        QStringLiteral("SELECT `Description` FROM `Outputs` WHERE (`Description` = ?)"),
        platform::kLockReadOnly, {destination});
    if (!rs->Eof())
        return true;
    const auto publishers = db_.OpenRecordset(
        QStringLiteral(
            "SELECT `Description` FROM `Publishers` WHERE ('MQTT ' || `Description` = ?)"),
        platform::kLockReadOnly, {destination});
    return !publishers->Eof();
}

// One statement for all the rows of a destination: a renamed output may
// leave a backlog of many thousands.
void Global::pruneDestination(const QString& destination) {
    const QList<qint64> copies = store_.MessIDsFor(destination);
    const qint64 rows = store_.DeleteDestination(destination);
    for (qint64 row = 0; row < rows; ++row)
        logs_.LogOutput(QStringLiteral("System: Deleting record. No destination available."));
    if (rows > 0)
        for (const qint64 messID : copies)
            trail_.CopyEvent(messID, history::TrailEvent::Pruned);
}

// Rows whose destination no output has any more are deleted, oldest first.
// While the Delayed tab is shown, one row a step, as the view is redrawn after each.
void Global::pruneWithoutDestination() {
    adoDelayed& store = store_;
    QSet<QString> described;
    for (int i = 0; i < db_.gOutputCount; ++i)
        described.insert(outputs_.Entry(i).Description);
    for (const QString& destination : publishers_.Destinations())
        described.insert(destination);
    QStringList withoutOutput;
    for (const QString& destination : store.StoredDestinations())
        if (!described.contains(destination) && !namedInOutputsTable(destination))
            withoutOutput << destination;
    if (!store.ViewShown()) {
        for (const QString& destination : withoutOutput)
            pruneDestination(destination);
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
    logs_.LogOutput(QStringLiteral("System: Deleting record. No destination available."));
    if (store.DeleteDelayed(gDelayed))
        trail_.CopyEvent(gDelayed.MessID, history::TrailEvent::Pruned);
}
