#include "platform/SendQueue.h"

#include "platform/SocketControl.h"

#include <utility>

namespace platform {

bool SendQueue::Send(SocketControl& socket, const QByteArray& data) {
    if (!ready_) {
        pending_ += data;
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
