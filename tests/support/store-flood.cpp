// A relay whose two outputs are away, storing numbered packets as fast as it
// can until it is killed. Used by the crash test.

#include "ChildRelay.h"

#include <QCoreApplication>
#include <cstdio>

int main(int argc, char** argv) {
    return RunChildRelay(argc, argv, [](System& system) {
        std::printf("storing\n");
        std::fflush(stdout);
        for (int n = 0;; ++n) {
            system.outputRules.RelayToOutputs("\x02"
                                              "flood " +
                                              QByteArray::number(n) + '\x03');
            if (n % 16 == 0)
                QCoreApplication::processEvents();
        }
    });
}
