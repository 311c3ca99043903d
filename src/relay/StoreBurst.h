#pragma once

#include "outputs/OutputsRelay.h"
#include "relay/DelayedRecord.h"

#include <QByteArray>
#include <QList>
#include <QString>

class adoDelayed;
class frmOutputSockets;
class Logs;

namespace history {
class PageTrail;
}

// The packets that one burst of events could not deliver (a page for every
// away client, a stalled client's backlog), stored in one transaction: one
// flush of the disk for the lot instead of one for each, which held every
// other client's pages behind it. Each packet is then told in the Outputs log
// where the caller's order puts it, and only once it is on the disk; the
// history's trail hears of each stored copy there too.
class StoreBurst final : public Undelivered {
public:
    StoreBurst(adoDelayed& store, const frmOutputSockets& outputs, Logs& logs,
               history::PageTrail& trail)
        : store_(store), outputs_(outputs), logs_(logs), trail_(trail) {}

    // A packet for output `index`; returns its place, for Tell.
    int Add(int index, const QByteArray& packet, TrailMark mark) override;
    // Stores every packet added, all or none, under the store's next
    // identifiers; false (after ErrorCode::AddDelayed) when none could be stored.
    bool Commit();
    // The line of the packet at `place`: stored, with the count of the store
    // as it stood after that packet, or lost, with the packet itself.
    void Tell(int place) const override;

private:
    adoDelayed& store_;
    const frmOutputSockets& outputs_;
    Logs& logs_;
    history::PageTrail& trail_;
    QList<DelayedRecord> rows_;
    QList<TrailMark> marks_; // of each row
    bool stored_ = false;
    qint32 countAfter_ = 0;
};
