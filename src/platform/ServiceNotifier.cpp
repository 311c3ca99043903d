#include "platform/ServiceNotifier.h"

#include <QtGlobal>

#include <cstddef>
#include <cstring>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace platform {

namespace {

// The socket address for `name`: a path, or an abstract name written with a
// leading '@' for its leading zero byte. Empty for anything else.
QByteArray SocketAddress(const QByteArray& name) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const bool path = name.startsWith('/');
    const bool abstract = name.startsWith('@') && name.size() > 1;
    // A path needs its terminating zero; an abstract name is counted exactly.
    const auto room = static_cast<qsizetype>(sizeof(address.sun_path)) - (path ? 1 : 0);
    if ((!path && !abstract) || name.size() > room)
        return {};
    std::memcpy(address.sun_path, name.constData(), static_cast<size_t>(name.size()));
    if (abstract)
        address.sun_path[0] = '\0';
    const auto length =
        offsetof(sockaddr_un, sun_path) + static_cast<size_t>(name.size()) + (path ? 1 : 0);
    return {reinterpret_cast<const char*>(&address), static_cast<qsizetype>(length)};
}

} // namespace

NotifyTarget TakeNotifyTarget() {
    NotifyTarget target;
    target.socket = qgetenv("NOTIFY_SOCKET");
    bool number = false;
    const qint64 usec = qgetenv("WATCHDOG_USEC").toLongLong(&number);
    const QByteArray pid = qgetenv("WATCHDOG_PID");
    const bool ours = pid.isEmpty() || pid == QByteArray::number(qint64(::getpid()));
    if (number && usec > 0 && ours)
        target.watchdog = std::chrono::microseconds(usec);
    qunsetenv("NOTIFY_SOCKET");
    qunsetenv("WATCHDOG_USEC");
    qunsetenv("WATCHDOG_PID");
    return target;
}

ServiceNotifier::ServiceNotifier(const QByteArray& socket) : address_(SocketAddress(socket)) {
    if (!address_.isEmpty())
        fd_ = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
}

ServiceNotifier::~ServiceNotifier() {
    if (fd_ >= 0)
        ::close(fd_);
}

bool ServiceNotifier::Notify(const QByteArray& state) {
    if (fd_ < 0)
        return false;
    const ssize_t sent = ::sendto(fd_, state.constData(), static_cast<size_t>(state.size()),
                                  MSG_DONTWAIT | MSG_NOSIGNAL,
                                  reinterpret_cast<const sockaddr*>(address_.constData()),
                                  static_cast<socklen_t>(address_.size()));
    return sent == state.size();
}

} // namespace platform
