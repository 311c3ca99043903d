#include "platform/HeldSends.h"

#include "platform/SocketControl.h"

#include <QList>
#include <QPointer>

namespace platform {

namespace {

// One event loop per process, so one set of held sends.
struct Held {
    int depth = 0;
    QList<QPointer<SocketControl>> sockets; // a control may be gone by the end
};

Held& HeldNow() {
    static Held held;
    return held;
}

} // namespace

HeldSendScope::HeldSendScope() {
    ++HeldNow().depth;
}

HeldSendScope::~HeldSendScope() {
    Held& held = HeldNow();
    if (--held.depth > 0)
        return;
    QList<QPointer<SocketControl>> sockets;
    sockets.swap(held.sockets);
    for (const QPointer<SocketControl>& socket : std::as_const(sockets))
        if (socket)
            socket->ReleaseSends();
}

bool HeldSendScope::Open() {
    return HeldNow().depth > 0;
}

void HeldSendScope::Holding(SocketControl& socket) {
    HeldNow().sockets.append(&socket);
}

} // namespace platform
