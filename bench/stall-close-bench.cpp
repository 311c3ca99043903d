// A client that stopped reading, with about 1,000 packets it has not
// acknowledged, is closed by the heartbeat and its packets are stored. A page
// for another client that comes from the carrier as the close begins waits
// until the close is done: how long, over a few runs, with the store on disk.
// Run: build/bench/stall-close-bench [runs]

#include "StuckClient.h"
#include "TestPorts.h"
#include "TestSystem.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTest>
#include <algorithm>
#include <cstdio>

namespace {

constexpr int kWaitingPackets = 1000;
constexpr int kPacketBytes = 200;
constexpr int kHeartbeatSeconds = 5;
constexpr int kGiveUpSeconds = 60;

QByteArray Page(int n) {
    QByteArray page = "\x02" + QByteArray::number(n).rightJustified(6, '0') + '\r';
    page += QByteArray(kPacketBytes - page.size() - 1, 'x');
    return page + '\x03';
}

struct Run {
    double heldMs = 0;  // the heartbeat that closed the stalled client
    double delayMs = 0; // the other client's page, from the close's start to its arrival
    int stored = 0;
};

bool Run1(Run& run) {
    WorkFolder folder;
    const quint16 portA = TestPort();
    const quint16 portB = TestPort();
    folder.setOutputs({{QStringLiteral("Client A"), QString::number(portA)},
                       {QStringLiteral("Client B"), QString::number(portB)}});
    TestSystem t(folder.path());
    t->Form_Load();
    t->outputSockets.UpdateOutputClients();
    StuckClient stuck(portA);
    if (!QTest::qWaitFor(
            [&] { return t->outputSockets.Socket(0).State() == platform::SocketState::Connected; }))
        return false;
    LoopbackClient other(portB);
    if (!AcceptedOnOutput(*t.system, other, 1))
        return false;
    for (int n = 0; n < kWaitingPackets; ++n) {
        t->outputRules.RelayToOutputs(Page(n));
        if (n % 50 == 0)
            QCoreApplication::processEvents();
    }
    QTest::qWait(200);
    const qsizetype expected = other.received.size();

    QElapsedTimer timer;
    for (int s = 0; s < kGiveUpSeconds; s += kHeartbeatSeconds) {
        t.clock.advanceSecs(kHeartbeatSeconds);
        timer.start();
        t->outputSockets.UpdateOutputClients();
        if (t->outputSockets.Socket(0).State() == platform::SocketState::Connected) {
            QCoreApplication::processEvents();
            continue;
        }
        run.heldMs = timer.nsecsElapsed() / 1e6;
        run.stored = folder.storedPackets();
        t->outputRules.RelayToOutputs(Page(kWaitingPackets));
        if (!QTest::qWaitFor([&] { return other.received.size() > expected; }, 5000))
            return false;
        run.delayMs = timer.nsecsElapsed() / 1e6;
        return true;
    }
    return false;
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    std::printf("%6s %16s %18s %24s\n", "run", "packets stored", "close held, ms",
                "other client's page, ms");
    std::vector<double> held, delay;
    for (int r = 1; r <= runs; ++r) {
        Run run;
        if (!Run1(run)) {
            std::printf("%6d  the stalled client was not closed\n", r);
            continue;
        }
        held.push_back(run.heldMs);
        delay.push_back(run.delayMs);
        std::printf("%6d %16d %18.1f %24.1f\n", r, run.stored, run.heldMs, run.delayMs);
    }
    if (!delay.empty())
        std::printf("median %15s %18.1f %24.1f   (target: under 50 ms)\n", "", Median(held),
                    Median(delay));
    return 0;
}
