// Pages published at QoS 1 to a local mosquitto with one subscriber receiving
// them all: pages a second; and the median time from RelayToOutputs until a
// TCP client has the page, without and with an active publisher.
// Run: build/bench/publish-bench [pages]

#include "Broker.h"
#include "TestPorts.h"
#include "TestSystem.h"

#include "decoder/MessagePacket.h"

#include <QElapsedTimer>
#include <QTest>
#include <algorithm>
#include <cstdio>

namespace {

const QByteArray kPage = decoder::MessagePacket("1200", "2", "D", "1234567", "A",
                                                "Ambulance to 12 Main Street, level 3");

double MedianTcpLatencyMs(TestSystem& t, LoopbackClient& client, int pages) {
    std::vector<double> latency;
    for (int n = 0; n < pages; ++n) {
        const qsizetype want = client.received.size() + kPage.size();
        QElapsedTimer timer;
        timer.start();
        t->outputRules.RelayToOutputs(kPage);
        while (client.received.size() < want)
            QCoreApplication::processEvents();
        latency.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    std::sort(latency.begin(), latency.end());
    return latency[latency.size() / 2];
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int pages = argc > 1 ? std::atoi(argv[1]) : 20000;
    const quint16 brokerPort = TestPort();
    const quint16 outputPort = TestPort();
    Broker broker(brokerPort);
    Subscriber subscriber(brokerPort, "bench/pages/#", Subscriber::Keep::Pages);

    WorkFolder folder;
    folder.setOutputs({{QStringLiteral("Client A"), QString::number(outputPort)}});
    folder.setSetting(QStringLiteral("LastBackUp"),
                      QDateTime::currentDateTime().toString(QStringLiteral("d MMM yyyy HH:mm:ss")));
    folder.exec(
        QStringLiteral("Ombrixsys.mdb"),
        QStringLiteral("INSERT INTO Publishers (Description, Host, Port, Topic, QoS, Active) "
                       "VALUES ('Bench', '127.0.0.1', ?, 'bench/pages', '1', 'N')"),
        {QString::number(brokerPort)});
    TestSystem t(folder.path());
    t->Form_Load();
    t->outputSockets.UpdateOutputClients();
    LoopbackClient client(outputPort);
    if (!AcceptedOnOutput(*t.system, client, 0)) {
        std::fprintf(stderr, "the TCP client did not connect\n");
        return 1;
    }
    const double without = MedianTcpLatencyMs(t, client, 2000);

    // The publisher made active through the table, as an operator would.
    folder.exec(QStringLiteral("Ombrixsys.mdb"),
                QStringLiteral("UPDATE Publishers SET Active = 'Y'"));
    t->LoadPublishers();
    t->publishers.tmrPublishers_Timer();
    if (!QTest::qWaitFor([&] { return t->publishers.Publisher(0).Connected(); }, 5000)) {
        std::fprintf(stderr, "the publisher did not connect\n");
        return 1;
    }
    const double with = MedianTcpLatencyMs(t, client, 2000);
    subscriber.waitFor(2000, 30000);
    subscriber.messages.clear();

    QElapsedTimer total;
    total.start();
    for (int n = 0; n < pages; ++n) {
        t->outputRules.RelayToOutputs(kPage);
        if (n % 100 == 99)
            subscriber.poll();
    }
    const bool all = subscriber.waitFor(pages, 120000);
    const double seconds = double(total.nsecsElapsed()) / 1e9;
    std::printf("%lld of %d pages at QoS 1 reached the subscriber in %.2f s: %.0f pages/s\n",
                static_cast<long long>(subscriber.messages.size()), pages, seconds,
                double(subscriber.messages.size()) / seconds);
    std::printf("median latency to a TCP client: %.3f ms without a publisher, %.3f ms with one\n",
                without, with);
    return all ? 0 : 1;
}
