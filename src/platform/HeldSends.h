#pragma once

namespace platform {

class SocketControl;

// While one lives, a socket control asked to hold its sends keeps what it is
// given in its own buffer instead of sending it, until it is told to let it
// go or the outermost scope ends: a carrier read's start-of-block notice then
// reaches each client in one send with the page that follows it, one wake-up
// of the client instead of two.
class HeldSendScope {
public:
    HeldSendScope();
    ~HeldSendScope();
    HeldSendScope(const HeldSendScope&) = delete;
    HeldSendScope& operator=(const HeldSendScope&) = delete;

    // Whether a scope lives: outside one nothing is held.
    static bool Open();
    // SOCKET holds sends and lets them go when the outermost scope ends.
    static void Holding(SocketControl& socket);
    // What every control holds goes now, in one call into the system where
    // the system has one.
    static void ReleaseAll();
    // SOCKET is going: nothing is let go for it.
    static void Forget(SocketControl& socket);
};

} // namespace platform
