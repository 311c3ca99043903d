// The delayed store at growing backlogs: the median cost of one AddDelayed and
// of one resend step (client away, and client back so one packet goes out).
// Run: build/bench/delayed-store-bench

#include "StoredRows.h"
#include "TestPorts.h"
#include "TestSystem.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTcpSocket>
#include <QTest>
#include <algorithm>
#include <cstdio>

namespace {

void Fill(WorkFolder& folder, int rows) {
    FillDelayed(
        folder, rows,
        [](int i) { return i % 2 ? QStringLiteral("Client A") : QStringLiteral("Client B"); },
        QByteArray("\x02"
                   "2000\r1234568\r10:00:00 Dummy Message: NO data on Relay Input Ombrix\x03"));
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    std::printf("%10s %16s %22s %22s\n", "rows", "AddDelayed ms", "resend, away ms",
                "resend, sending ms");
    for (const int rows : {1000, 10000, 100000}) {
        WorkFolder folder;
        const quint16 portA = TestPort();
        folder.setOutputs({{QStringLiteral("Client A"), QString::number(portA)},
                           {QStringLiteral("Client B"), QString::number(TestPort())}});
        Fill(folder, rows);
        TestSystem t(folder.path());
        t->Form_Load();
        t->outputSockets.UpdateOutputClients();

        std::vector<double> add, away, sending;
        QElapsedTimer timer;
        for (int i = 0; i < 50; ++i) {
            timer.start();
            t->delayedDb.AddDelayed("\x02packet\x03", QStringLiteral("Client B"),
                                    t->delayedDb.gMessID++);
            add.push_back(timer.nsecsElapsed() / 1e6);
            t.clock.advanceSecs(1);
            timer.start();
            t->tmrSystem_Timer();
            away.push_back(timer.nsecsElapsed() / 1e6);
        }
        QTcpSocket client;
        client.connectToHost(QHostAddress::LocalHost, portA);
        client.waitForConnected(3000);
        if (!QTest::qWaitFor(
                [&] {
                    return t->outputSockets.Socket(0).State() == platform::SocketState::Connected;
                },
                3000))
            std::fprintf(stderr, "client did not connect\n");
        t->outputSockets.UpdateOutputClients();
        for (int i = 0; i < 50; ++i) {
            t.clock.advanceSecs(1);
            timer.start();
            t->tmrSystem_Timer();
            sending.push_back(timer.nsecsElapsed() / 1e6);
            QCoreApplication::processEvents();
        }
        std::printf("%10d %16.3f %22.3f %22.3f\n", rows, Median(add), Median(away),
                    Median(sending));
    }
    return 0;
}
