// A relay that relays pages for a broker that is away, says so once they are
// in its store, and then waits to be killed.

#include "ChildRelay.h"

#include "decoder/MessagePacket.h"

#include <QTimer>
#include <cstdio>

int main(int argc, char** argv) {
    return RunChildRelay(argc, argv, [](System& relay) {
        relay.publishers.tmrPublishers_Timer(); // the broker is away: nothing connects
        for (int n = 0; n < 25; ++n)
            relay.outputRules.RelayToOutputs(decoder::MessagePacket(
                "1200", "2", "D", "1234567", "A", "killed page " + QByteArray::number(n)));
        relay.publishers.FlushStore();
        std::printf("stored\n");
        std::fflush(stdout);
        QCoreApplication::exec();
    });
}
