#include "platform/SendQueue.h"

#include "platform/SocketControl.h"

#include <utility>

namespace platform {

bool SendQueue::Send(SocketControl& socket, const QByteArray& data) {
    if (!ready_) {
        // When all that waits went out ahead, this may too: a carrier read's
        // notice and page then reach the client in the same turn, not the page
        // a turn later, after every line of both. The completion still hands
        // them over as one send, as it would have sent them. Only the first
        // few hundred bytes of a turn go ahead: beyond them a burst waits to
        // go as one send, rather than one system call per packet and client.
        if (pending_.size() == socket.AheadBytes() && pending_.size() < kMaxAheadBytes)
            socket.SendAhead(data);
        pending_ += data;
        // Bytes that could not go ahead wait for the completion: it is due now.
        if (pending_.size() != socket.AheadBytes())
            socket.CompleteSoon();
        return false;
    }
    socket.SendData(pending_ + data);
    pending_.clear();
    ready_ = false;
    return true;
}

QByteArray SendQueue::Complete(SocketControl& socket) {
    ready_ = true;
    if (pending_.isEmpty())
        return {};
    socket.SendData(pending_);
    ready_ = false;
    return std::exchange(pending_, {});
}

} // namespace platform
