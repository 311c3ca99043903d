// A relay that stores one packet for its absent clients and is then killed
// outright, before any shutdown can run. Used by the durability test.

#include "ChildRelay.h"

#include <csignal>
#include <cstdio>

int main(int argc, char** argv) {
    return RunChildRelay(argc, argv, [](System& system) {
        system.outputRules.RelayToOutputs("\x02survivor\x03");
        std::fflush(nullptr);
        std::raise(SIGKILL);
    });
}
