#pragma once

#include <QByteArray>
#include <utility>

namespace platform {

class SocketControl;

// A connection's one-deep send queue: one send at a time is outstanding on its
// socket, and what comes meanwhile waits here, to go out as one send when the
// socket reports the outstanding one complete.
class SendQueue {
public:
    // While less than this waits, a send goes ahead of the outstanding one.
    static constexpr qsizetype kMaxAheadBytes = 512;

    // No send is outstanding.
    bool Ready() const { return ready_; }
    // What waits for the outstanding send to complete.
    const QByteArray& Pending() const { return pending_; }

    // With no send outstanding, sends what waits and `data` as one send and
    // returns true; else adds `data` to what waits and returns false. A send
    // that the socket refuses leaves the queue as it was.
    bool Send(SocketControl& socket, const QByteArray& data);
    // The outstanding send is complete: what waits goes out as the next one.
    // Returns what went out; empty when nothing waited.
    QByteArray Complete(SocketControl& socket);

    // The outstanding send is given up (its connection is gone); what waits stays.
    void Release() { ready_ = true; }
    // What waits is `waiting` instead.
    void Hold(QByteArray waiting) { pending_ = std::move(waiting); }
    // Nothing is outstanding, and `waiting` waits for the next send.
    void Restart(QByteArray waiting = {}) {
        Release();
        Hold(std::move(waiting));
    }

private:
    bool ready_ = true;
    QByteArray pending_;
};

} // namespace platform
