#pragma once

#include "history/AuditTrail.h"
#include "history/PageTrail.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <vector>

namespace history {

// A moment as the history keeps it: milliseconds since 1970 UTC, which order
// and range the rows, and the local time's offset in minutes.
struct Stamp {
    qint64 ms = 0;
    qint16 offsetMinutes = 0;
};

inline Stamp StampOf(const QDateTime& time) {
    return {time.toMSecsSinceEpoch(), static_cast<qint16>(time.offsetFromUtc() / 60)};
}

// A relayed page as the relay's thread hands it on: the writer reads the
// fields from the packet, off the relay's thread.
struct PageRecord {
    qint64 id = 0;
    Stamp time;
    QString carrier; // Description of the carrier row whose bytes were decoded
    QByteArray packet;
};

// One event of the trail, kept in the order it happened: an event of a copy
// needs the event that stored the copy before it.
struct TrailRecord {
    enum class Kind : quint8 {
        Page,      // of page `pageID` at `destination`; a Stored event links copy `messID`
        Copy,      // of the copy `messID`
        CopyAgain, // the copy `messID` was stored again as `newMessID`
        AllCopies, // every copy still in the store was deleted
    };
    Kind kind = Kind::Page;
    TrailEvent event = TrailEvent::Sent;
    Stamp time;
    qint64 pageID = 0;
    qint64 messID = 0;
    qint64 newMessID = 0;
    QString destination;
};

struct AuditRecord {
    Stamp time;
    AuditEntry entry;
};

// What the relay's thread gathered for one write.
struct ArchiveBatch {
    std::vector<PageRecord> pages;
    std::vector<TrailRecord> trail;
    std::vector<AuditRecord> audit;
    // The newest journal generation whose pages are in the batch (0: none).
    qint64 journal = 0;

    size_t Records() const { return pages.size() + trail.size() + audit.size(); }
    bool Empty() const { return Records() == 0; }
    // Appends `later` behind what the batch holds.
    void Append(ArchiveBatch&& later);
};

} // namespace history
