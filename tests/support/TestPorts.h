#pragma once

#include <QtGlobal>

// Ports for a relay under test to listen on, or for a server that a test opens
// only after the relay has been told its port. Each test executable has a
// block of its own from the build, so tests running side by side never reach
// for one port; a port probed free and let go could be taken by another test
// before the relay binds it. The block is used round: one test function needs
// far fewer ports than a block holds, and those of a finished one are closed.
#if !defined(OMBRIX_PORT_BLOCK_FIRST) || !defined(OMBRIX_PORT_BLOCK_SIZE)
#error "this executable has no block of test ports: give it one with ombrix_give_port_block"
#endif

inline quint16 TestPort() {
    static int taken = 0;
    return static_cast<quint16>(OMBRIX_PORT_BLOCK_FIRST + taken++ % OMBRIX_PORT_BLOCK_SIZE);
}
