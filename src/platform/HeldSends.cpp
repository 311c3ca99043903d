#include "platform/HeldSends.h"

#include "platform/SendTogether.h"
#include "platform/SocketControl.h"

#include <QList>
#include <QVarLengthArray>

namespace platform {

namespace {

// One event loop per process, so one set of held sends. Plain pointers: a
// control that goes takes itself out, and a weak pointer to each of 50
// clients was a good part of the time before a block's page went out.
struct Held {
    int depth = 0;
    QList<SocketControl*> sockets;
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
    if (--HeldNow().depth == 0)
        ReleaseAll();
}

void HeldSendScope::ReleaseAll() {
    Held& held = HeldNow();
    // On the stack: a page's release allocates nothing.
    QVarLengthArray<BatchSend, kMostSendsTogether> sends;
    QVarLengthArray<SocketControl*, kMostSendsTogether> senders;
    for (SocketControl* socket : std::as_const(held.sockets))
        if (const std::optional<BatchSend> send = socket->heldToSend()) {
            sends.append(*send);
            senders.append(socket);
        }
    if (!sends.isEmpty() && SendTogether(sends))
        for (qsizetype i = 0; i < sends.size(); ++i)
            senders[i]->sentTogether(sends[i].sent);
    // One at a time from the list itself: a send that ends a connection may
    // take another control with it, which then forgets itself here.
    while (!held.sockets.isEmpty())
        held.sockets.takeFirst()->ReleaseSends();
}

bool HeldSendScope::Open() {
    return HeldNow().depth > 0;
}

void HeldSendScope::Holding(SocketControl& socket) {
    HeldNow().sockets.append(&socket);
}

void HeldSendScope::Forget(SocketControl& socket) {
    HeldNow().sockets.removeOne(&socket);
}

} // namespace platform
