#pragma once

#include <QString>
#include <QtGlobal>

namespace history {

// What became of a relayed page at one destination (an output or a publisher).
enum class TrailEvent : quint8 {
    Sent,         // the send to a live client completed
    Taken,        // the client's end acknowledged the page's bytes
    Stored,       // its client could not take it: a copy is in the delayed store
    Resent,       // that copy was sent from the store
    Published,    // handed to a broker
    Acknowledged, // the broker acknowledged it
    Pruned,       // its stored copy was deleted: no such destination any more
    Deleted,      // its stored copy was deleted by an operator
};

// The event's name as the history stores and shows it ("sent", "taken", ...).
QString TrailEventName(TrailEvent event);

// The delivery trail, told where the event happens, in the places that write
// the Outputs log lines. A call touches no disk: the history writes what it
// was told in its next batch, so it costs the relay's thread no flush.
class PageTrail {
public:
    virtual ~PageTrail() = default;
    // An event of page `pageID` at `destination`; `messID` names the stored
    // copy the event concerns (0: none). A Stored event links the copy to its
    // page, so that later events of the copy need only its MessID.
    virtual void PageEvent(qint64 pageID, const QString& destination, TrailEvent event,
                           qint64 messID = 0) = 0;
    // An event of a stored copy known only by its MessID (resent, published,
    // acknowledged, pruned, deleted); a copy of no archived page is ignored.
    virtual void CopyEvent(qint64 messID, TrailEvent event) = 0;
    // The operator deleted every stored copy.
    virtual void AllCopiesDeleted() = 0;
    // A copy sent from the store whose client stopped reading before taking
    // it is stored again, as `newMessID`: the new copy is of the same page.
    virtual void CopyStoredAgain(qint64 messID, qint64 newMessID) = 0;
};

} // namespace history
