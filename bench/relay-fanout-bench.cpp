// Packets relayed to 50 connected loopback clients: packets a second, and the
// time from RelayToOutputs until the last client has the packet.
// Run: build/bench/relay-fanout-bench [packets]

#include "TestPorts.h"
#include "TestSystem.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTcpSocket>
#include <QTest>
#include <algorithm>
#include <cstdio>
#include <memory>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int packets = argc > 1 ? std::atoi(argv[1]) : 2000;
    constexpr int kClients = 50;
    WorkFolder folder;
    folder.setSetting(QStringLiteral("LastBackUp"),
                      QDateTime::currentDateTime().toString(QStringLiteral("d MMM yyyy HH:mm:ss")));
    QList<WorkFolder::Output> outputs;
    QList<quint16> ports;
    for (int i = 0; i < kClients; ++i) {
        ports << TestPort();
        outputs << WorkFolder::Output{QStringLiteral("Client %1").arg(i, 2, 10, QLatin1Char('0')),
                                      QString::number(ports.last())};
    }
    folder.setOutputs(outputs);
    TestSystem t(folder.path());
    t->Form_Load();
    t->outputSockets.UpdateOutputClients();

    std::vector<std::unique_ptr<QTcpSocket>> clients;
    std::vector<qint64> received(kClients, 0);
    for (int i = 0; i < kClients; ++i) {
        auto socket = std::make_unique<QTcpSocket>();
        QObject::connect(socket.get(), &QTcpSocket::readyRead,
                         [&received, s = socket.get(), i] { received[i] += s->readAll().size(); });
        socket->connectToHost(QHostAddress::LocalHost, ports[i]);
        socket->waitForConnected(3000);
        clients.push_back(std::move(socket));
    }
    const bool connected = QTest::qWaitFor(
        [&] {
            for (int i = 0; i < kClients; ++i)
                if (t->outputSockets.Socket(i).State() != platform::SocketState::Connected)
                    return false;
            return true;
        },
        5000);
    if (!connected) {
        std::fprintf(stderr, "not every client connected\n");
        return 1;
    }
    t->outputSockets.UpdateOutputClients();

    const QByteArray packet(
        "\x02"
        "1200\r2\rA\r1234567\rA\rAmbulance to 12 Main Street, fire on level 3\x03");
    std::vector<double> latency;
    QElapsedTimer total;
    total.start();
    for (int n = 1; n <= packets; ++n) {
        QElapsedTimer timer;
        timer.start();
        t->outputRules.RelayToOutputs(packet);
        const qint64 want = qint64(n) * packet.size();
        while (std::any_of(received.begin(), received.end(), [&](qint64 r) { return r < want; }))
            QCoreApplication::processEvents(QEventLoop::AllEvents);
        latency.push_back(timer.nsecsElapsed() / 1e6);
    }
    const double seconds = total.nsecsElapsed() / 1e9;
    std::sort(latency.begin(), latency.end());
    std::printf("%d packets to %d clients in %.2f s: %.0f packets/s\n", packets, kClients, seconds,
                packets / seconds);
    std::printf("latency to the last client: median %.3f ms, 99th percentile %.3f ms\n",
                latency[latency.size() / 2], latency[latency.size() * 99 / 100]);
    return 0;
}
