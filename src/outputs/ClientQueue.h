#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <deque>
#include <vector>

// Most bytes one client may have waiting in the relay (queued behind a send in
// progress, or handed to its socket and not yet given to the network stack).
// A client that holds more is not keeping up: it is closed and what it holds
// is stored for its return, so fifty stalled clients cannot exhaust memory.
constexpr qint64 kClientQueueLimit = qint64{1024} * 1024;

// A client whose network stack has acknowledged no byte for this long while
// bytes wait for it has stopped reading.
constexpr qint64 kStalledClientSeconds = 30;

// What the history knows a packet by, for the trail of its deliveries.
struct TrailMark {
    qint64 pageID = 0; // a live page's identifier in the history (0: none)
    qint64 copyID = 0; // the MessID of the stored copy it was read from (0: none)
    bool Any() const { return pageID != 0 || copyID != 0; }
};

// One packet handed to an output, with the stored row it was read from.
struct QueuedPacket {
    QByteArray packet;
    qint64 storedMessID = 0; // 0: a live packet, not read from the store
    QString storedDestination;
    TrailMark mark; // kept when the stored row is gone
};

// What a completed send did.
struct SendCompletion {
    std::vector<QueuedPacket> stored; // read from the store: their rows can go
    std::vector<TrailMark> sent;      // the live pages it carried
    std::vector<TrailMark> taken;     // the pages the peer has acknowledged
};

// What one output's client has been handed, packet by packet, for as long as
// it may not have received it: queued behind the send in progress, in that
// send, or sent but not yet acknowledged by the peer. It lets the relay delete
// a stored row only once its bytes were written, and store again exactly what
// a client that stopped reading did not get.
class ClientQueue {
public:
    // A packet joins the queue behind the send in progress.
    void Queue(QueuedPacket packet);
    // The queued packets go out as one send.
    void StartSend(const QDateTime& now);
    // The send in progress has been written. Returns its packets that came
    // from the store, and the marks of the pages it carried and of those the
    // peer has acknowledged; keeps the tail of what was written that the peer
    // has not acknowledged (`unacknowledged` bytes).
    SendCompletion CompleteSend(qint64 unacknowledged);
    // Between sends (none in progress): the marks of the written pages the
    // peer has acknowledged since, `unacknowledged` bytes being still out.
    std::vector<TrailMark> Acknowledged(qint64 unacknowledged);
    // The connection that carried the send is gone; stored rows queued or in
    // that send stay stored and leave the queue, to be sent again by the
    // resend. The first `wentOut` bytes of the queue went on that connection
    // ahead of the send, and leave it too. Returns the bytes of the packets
    // still queued.
    QByteArray DropSend(qint64 wentOut = 0);
    // Everything the peer has not received, oldest first: the written or
    // sending packets that the last `notAcknowledged` bytes belong to, then
    // the queue. The queue is empty afterwards.
    std::vector<QueuedPacket> TakeUndelivered(qint64 notAcknowledged);
    // A stored row is queued or being sent: the resend waits for it.
    bool CarriesStoredRow() const;

    // True when bytes have waited for `kStalledClientSeconds` while the peer
    // acknowledged none of them. Called by the heartbeat.
    bool Stalled(qint64 acknowledged, qint64 waiting, const QDateTime& now);

private:
    void dropAcknowledged(qint64 unacknowledged, std::vector<TrailMark>& taken);

    std::deque<QueuedPacket> written_;
    std::deque<QueuedPacket> sending_;
    std::deque<QueuedPacket> queued_;
    qint64 writtenBytes_ = 0;
    qint64 acknowledged_ = -1;
    QDateTime progressTime_;
};
