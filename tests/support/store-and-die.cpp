// A relay that stores one packet for its absent clients and is then killed
// outright, before any shutdown can run. Used by the durability test.

#include "ChildRelay.h"

#include <QCoreApplication>
#include <csignal>
#include <cstdio>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const std::unique_ptr<System> relay = StartChildRelay(argc, argv);
    if (!relay)
        return 3;
    System& system = *relay;
    system.outputRules.RelayToOutputs("\x02survivor\x03");
    std::fflush(nullptr);
    std::raise(SIGKILL);
    return 0;
}
