// /metrics and /healthz as a scraper sees them: a live relay with a carrier
// on loopback and two clients, asked over real HTTP connections, with the
// fake clock moved for the resend and the listener's time limits.

#include "CarrierSite.h"
#include "LogLines.h"
#include "TestPorts.h"
#include "TestSystem.h"

#include "SatelliteStream.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <algorithm>
#include <memory>

namespace {

const QDateTime kStart(QDate(2026, 1, 15), QTime(10, 0, 0));

struct Reply {
    int status = 0;
    QByteArray head;
    QByteArray body;
};

// Sends `request` on a connection of its own and reads until the relay closes it.
Reply Exchange(quint16 port, const QByteArray& request) {
    QTcpSocket socket;
    QByteArray received;
    QObject::connect(&socket, &QTcpSocket::readyRead, &socket,
                     [&] { received += socket.readAll(); });
    socket.connectToHost(QHostAddress::LocalHost, port);
    if (!QTest::qWaitFor([&] { return socket.state() == QAbstractSocket::ConnectedState; }, 3000))
        return {};
    socket.write(request);
    (void)QTest::qWaitFor([&] { return socket.state() == QAbstractSocket::UnconnectedState; },
                          5000);
    received += socket.readAll();
    Reply reply;
    const qsizetype end = received.indexOf("\r\n\r\n");
    reply.head = received.left(end);
    reply.body = end < 0 ? QByteArray() : received.mid(end + 4);
    reply.status = received.mid(9, 3).toInt();
    return reply;
}

QByteArray Get(quint16 port, const QByteArray& path) {
    return "GET " + path + " HTTP/1.1\r\nHost: 127.0.0.1:" + QByteArray::number(port) +
           "\r\nUser-Agent: Prometheus/2.42.0\r\nAccept: text/plain\r\n\r\n";
}

// The value of one series (name and labels as written) in a scrape; -1 when absent.
double Value(const QByteArray& scrape, const QByteArray& series) {
    for (const QByteArray& line : scrape.split('\n'))
        if (line.startsWith(series + ' '))
            return line.mid(series.size() + 1).toDouble();
    return -1;
}

QList<sim::Page> Pages(int count) {
    QList<sim::Page> pages;
    for (int i = 0; i < count; ++i) {
        sim::Page page;
        page.ric = 200000 + quint32(i) * 31;
        page.function = 'D';
        page.type = 'A';
        page.text = "Unit " + QByteArray::number(i) + " to the harbour";
        pages << page;
    }
    return pages;
}

// The relay on a work folder: a loopback carrier, outputs "Client A" and
// "Client B", and the listener on a port of the test's block. Its clients are
// made before it, so that the relay closes their connections first: a
// client's own port, which the system picks, is then free at once for a
// later test's relay to listen on.
struct Relay : CarrierSite {
    const quint16 portA = outputPorts[0];
    const quint16 portB = outputPorts[1];

    Relay() : CarrierSite(QStringLiteral("Client A"), QStringLiteral("Client B")) {}
    bool start() { return CarrierSite::start(kStart); }
    // The carrier sends a block of `count` pages; true once the decoder took it all.
    bool send(int count) {
        feed->write(sim::EncodeStream(Pages(count), sim::StreamOptions{}));
        return QTest::qWaitFor([this] { return sys().decoder.SatBufferLength() == 0; }, 5000);
    }
    QByteArray scrape() { return Exchange(monitorPort, Get(monitorPort, "/metrics")).body; }
    Reply health() { return Exchange(monitorPort, Get(monitorPort, "/healthz")); }
};

QJsonObject Json(const QByteArray& body) {
    return QJsonDocument::fromJson(body).object();
}

QString CheckStatus(const QJsonObject& health, const QString& check) {
    return health[QStringLiteral("checks")][check][QStringLiteral("status")].toString();
}

} // namespace

class MonitoringTest : public QObject {
    Q_OBJECT

private slots:
    // Debian's promtool reads a live relay's scrape as Prometheus would, and
    // finds nothing to fault in it.
    void promtoolPassesALiveRelaysMetrics() {
        const QString promtool = QStandardPaths::findExecutable(QStringLiteral("promtool"));
        if (promtool.isEmpty())
            QSKIP("promtool is not installed (make deps installs Debian's prometheus)");
        LoopbackClient a;
        Relay relay;
        // A broker row that is not reached: its families are in the scrape too.
        relay.folder.exec(QStringLiteral("Ombrixsys.mdb"),
                          QStringLiteral("INSERT INTO Publishers (Description, Host, Port, Topic, "
                                         "Active) VALUES ('Broker \"1\"', '127.0.0.1', ?, "
                                         "'ombrix/pages', 'Y')"),
                          {QString::number(TestPort())});
        QVERIFY(relay.start());
        QVERIFY(relay.connect(a, relay.portA, 0));
        QVERIFY(relay.send(3));
        QTRY_VERIFY(a.received.count('\x03') >= 3);
        const QByteArray scrape = relay.scrape();
        QVERIFY(scrape.contains("ombrix_output_packets_sent_total{output=\"Client A\"}"));
        QVERIFY(scrape.contains("ombrix_publisher_pending_pages{publisher=\"Broker \\\"1\\\"\"}"));

        QProcess check;
        check.start(promtool, {QStringLiteral("check"), QStringLiteral("metrics")});
        QVERIFY(check.waitForStarted());
        check.write(scrape);
        check.closeWriteChannel();
        QVERIFY(check.waitForFinished(30000));
        const QByteArray said = check.readAllStandardOutput() + check.readAllStandardError();
        if (check.exitCode() != 0)
            qWarning("%s\n--- scrape ---\n%s", said.constData(), scrape.constData());
        QCOMPARE(check.exitCode(), 0);
    }

    // Pages from the carrier reach two clients: the relay counts each page
    // once, each client's packets as it got them, and times their dispatch.
    void pagesAndEachClientsShareAreCounted() {
        LoopbackClient a, b;
        Relay relay;
        QVERIFY(relay.start());
        QVERIFY(relay.connect(a, relay.portA, 0));
        QVERIFY(relay.connect(b, relay.portB, 1));
        const QByteArray before = relay.scrape();
        const QByteArray pages = "ombrix_pages_relayed_total{frequency=\"1\",rate=\"1200\"}";
        const QByteArray sentA = "ombrix_output_packets_sent_total{output=\"Client A\"}";
        const QByteArray sentB = "ombrix_output_packets_sent_total{output=\"Client B\"}";
        QCOMPARE(Value(before, sentA), 0.0);
        QCOMPARE(Value(before, "ombrix_output_connected{output=\"Client B\"}"), 1.0);

        constexpr int kPages = 7;
        QVERIFY(relay.send(kPages));
        // A block's notice and its pages.
        QTRY_COMPARE(a.received.count('\x03'), kPages + 1);
        QTRY_COMPARE(b.received.count('\x03'), kPages + 1);
        const QByteArray after = relay.scrape();
        QCOMPARE(Value(after, pages) - qMax(0.0, Value(before, pages)), double(kPages));
        QCOMPARE(Value(after, sentA), double(kPages + 1));
        QCOMPARE(Value(after, sentB), double(kPages + 1));
        QCOMPARE(Value(after, "ombrix_frame_notices_total{kind=\"f1_start\"}"), 1.0);
        QCOMPARE(Value(after, "ombrix_dispatch_seconds_count"), double(kPages + 1));
        QCOMPARE(Value(after, "ombrix_dispatch_seconds_bucket{le=\"+Inf\"}"), double(kPages + 1));
        QCOMPARE(Value(after, "ombrix_output_packets_stored_total{output=\"Client B\"}"), 0.0);
        QVERIFY(Value(after, "ombrix_output_last_send_timestamp_seconds{output=\"Client A\"}") >=
                double(kStart.toSecsSinceEpoch()));

        // The idle message is counted as such, not as a page.
        relay.t->clock.advanceSecs(20);
        relay.sys().outputSockets.tmrWskOutputs_Timer();
        const QByteArray idle = relay.scrape();
        QCOMPARE(Value(idle, "ombrix_idle_messages_total"), 1.0);
        QCOMPARE(Value(idle, pages), Value(after, pages));
        QCOMPARE(Value(idle, sentA), double(kPages + 2));
    }

    // A client kept away: what it misses is counted stored and waits in the
    // store; back, it is sent one a second and counted resent.
    void aClientKeptAwayIsCountedStoredThenResent() {
        LoopbackClient a;
        LoopbackClient b;
        Relay relay;
        QVERIFY(relay.start());
        QVERIFY(relay.connect(a, relay.portA, 0));
        constexpr int kPages = 4;
        QVERIFY(relay.send(kPages));
        QTRY_COMPARE(a.received.count('\x03'), kPages + 1);
        const QByteArray missed = relay.scrape();
        const double stored = kPages + 1;
        QCOMPARE(Value(missed, "ombrix_output_packets_stored_total{output=\"Client B\"}"), stored);
        QCOMPARE(Value(missed, "ombrix_output_stored_packets{output=\"Client B\"}"), stored);
        QCOMPARE(Value(missed, "ombrix_output_stored_packets{output=\"Client A\"}"), 0.0);
        QCOMPARE(Value(missed, "ombrix_store_rows"), stored);
        QVERIFY(Value(missed, "ombrix_store_bytes") > 0);
        QCOMPARE(Value(missed, "ombrix_output_connected{output=\"Client B\"}"), 0.0);

        QVERIFY(relay.connect(b, relay.portB, 1));
        for (int tick = 0; tick < 20 && b.received.count('\x03') < stored; ++tick) {
            relay.t->clock.advanceSecs(1);
            relay.sys().tmrSystem_Timer();
            QTest::qWait(20);
        }
        QTRY_COMPARE(relay.sys().delayedDb.gDelayedCount, 0);
        const QByteArray back = relay.scrape();
        QCOMPARE(Value(back, "ombrix_output_packets_resent_total{output=\"Client B\"}"), stored);
        QCOMPARE(Value(back, "ombrix_output_stored_packets{output=\"Client B\"}"), 0.0);
        QCOMPARE(Value(back, "ombrix_output_packets_sent_total{output=\"Client B\"}"), 0.0);
        QCOMPARE(Value(back, "ombrix_output_packets_stored_total{output=\"Client B\"}"), stored);
    }

    // Health: ok while all is well; failing (503) once the store cannot be
    // written, and ok again when it can; degraded for a client away too long.
    void healthFailsWhileTheStoreCannotBeWritten() {
        LoopbackClient a, b;
        Relay relay;
        QVERIFY(relay.start());
        QVERIFY(relay.connect(a, relay.portA, 0));
        QVERIFY(relay.connect(b, relay.portB, 1));
        Reply reply = relay.health();
        QCOMPARE(reply.status, 200);
        QVERIFY(reply.head.contains("Content-Type: application/json"));
        QJsonObject health = Json(reply.body);
        QCOMPARE(health[QStringLiteral("status")].toString(), QStringLiteral("ok"));
        QCOMPARE(CheckStatus(health, QStringLiteral("store")), QStringLiteral("ok"));
        QCOMPARE(CheckStatus(health, QStringLiteral("logs")), QStringLiteral("ok"));
        QCOMPARE(CheckStatus(health, QStringLiteral("output:Client B")), QStringLiteral("ok"));
        QCOMPARE(health[QStringLiteral("checks")][QStringLiteral("output:Client A")]
                       [QStringLiteral("state")]
                           .toString(),
                 QStringLiteral("Connected"));

        b.socket.disconnectFromHost();
        QTRY_COMPARE(relay.sys().outputSockets.Socket(1).State(), platform::SocketState::Listening);
        relay.folder.exec(QStringLiteral("delayed.mdb"), QStringLiteral("DROP TABLE Delayed"));
        relay.sys().outputRules.RelayToOutputs("\x02page\x03");
        reply = relay.health();
        QCOMPARE(reply.status, 503);
        health = Json(reply.body);
        QCOMPARE(health[QStringLiteral("status")].toString(), QStringLiteral("failing"));
        QCOMPARE(CheckStatus(health, QStringLiteral("store")), QStringLiteral("failing"));
        QCOMPARE(
            health[QStringLiteral("checks")][QStringLiteral("store")][QStringLiteral("since")]
                .toString(),
            kStart.addSecs(5).toOffsetFromUtc(kStart.offsetFromUtc()).toString(Qt::ISODateWithMs));
        QCOMPARE(Value(relay.scrape(), "ombrix_warnings_total{code=\"402\"}"), 1.0);

        relay.folder.exec(QStringLiteral("delayed.mdb"),
                          QStringLiteral("CREATE TABLE Delayed (MessID INTEGER PRIMARY KEY, "
                                         "Created TEXT, Destination TEXT, Packet BLOB)"));
        relay.sys().outputRules.RelayToOutputs("\x02page\x03");
        reply = relay.health();
        QCOMPARE(reply.status, 200);
        QCOMPARE(Json(reply.body)[QStringLiteral("status")].toString(), QStringLiteral("ok"));

        // Client B has been away for over a minute: degraded, still 200.
        relay.t->clock.advanceSecs(61);
        reply = relay.health();
        QCOMPARE(reply.status, 200);
        health = Json(reply.body);
        QCOMPARE(health[QStringLiteral("status")].toString(), QStringLiteral("degraded"));
        QCOMPARE(CheckStatus(health, QStringLiteral("output:Client B")),
                 QStringLiteral("degraded"));
        QCOMPARE(CheckStatus(health, QStringLiteral("output:Client A")), QStringLiteral("ok"));
    }

    // What the listener refuses, on the wire: each refusal is answered and
    // the connection closed.
    // A carrier that stays connected and sends no frames: once it has been
    // quiet for FeedSilenceSeconds the relay is failing for a scraper, and
    // its frames coming back make it well again.
    void healthFailsWhileTheCarrierIsQuietAndRecoversWithItsFrames() {
        LoopbackClient a, b;
        Relay relay;
        QVERIFY(relay.start());
        QVERIFY(relay.connect(a, relay.portA, 0));
        QVERIFY(relay.connect(b, relay.portB, 1));
        relay.heartbeat(); // the carrier's connection is marked
        QVERIFY(relay.send(1));
        Reply reply = relay.health();
        QCOMPARE(reply.status, 200);
        QCOMPARE(Json(reply.body)[QStringLiteral("status")].toString(), QStringLiteral("ok"));
        QCOMPARE(CheckStatus(Json(reply.body), QStringLiteral("carrier")), QStringLiteral("ok"));
        const double lastFrame = Value(
            relay.scrape(), "ombrix_carrier_last_frame_timestamp_seconds{carrier=\"Carrier\"}");
        QVERIFY(lastFrame > 0);

        // 120 s, the default limit, and a heartbeat past it.
        for (int beat = 0; beat < 25; ++beat)
            relay.heartbeat();
        reply = relay.health();
        QCOMPARE(reply.status, 503);
        QJsonObject health = Json(reply.body);
        QCOMPARE(health[QStringLiteral("status")].toString(), QStringLiteral("failing"));
        QCOMPARE(CheckStatus(health, QStringLiteral("carrier")), QStringLiteral("failing"));
        QVERIFY2(
            health[QStringLiteral("checks")][QStringLiteral("carrier")][QStringLiteral("state")]
                .toString()
                .startsWith(QStringLiteral("connected, no frames since ")),
            reply.body.constData());
        QCOMPARE(CheckStatus(health, QStringLiteral("output:Client A")), QStringLiteral("ok"));
        const QByteArray quiet = relay.scrape();
        QCOMPARE(Value(quiet, "ombrix_warnings_total{code=\"112\"}"), 1.0);
        QCOMPARE(Value(quiet, "ombrix_carrier_connected{carrier=\"Carrier\"}"), 1.0);

        QVERIFY(relay.send(1));
        reply = relay.health();
        QCOMPARE(reply.status, 200);
        QCOMPARE(Json(reply.body)[QStringLiteral("status")].toString(), QStringLiteral("ok"));
        QVERIFY(Value(relay.scrape(),
                      "ombrix_carrier_last_frame_timestamp_seconds{carrier=\"Carrier\"}") >
                lastFrame);
    }

    void refusalsOnTheWire_data() {
        QTest::addColumn<QByteArray>("request");
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("header");
        const QByteArray host = "Host: 127.0.0.1\r\n";
        QTest::newRow("POST") << QByteArray("POST /metrics HTTP/1.1\r\n" + host + "\r\n") << 405
                              << QByteArray("Allow: GET");
        QTest::newRow("HEAD") << QByteArray("HEAD /healthz HTTP/1.1\r\n" + host + "\r\n") << 405
                              << QByteArray("Allow: GET");
        QTest::newRow("foreign host")
            << QByteArray("GET /metrics HTTP/1.1\r\nHost: relay.attacker.example\r\n\r\n") << 403
            << QByteArray();
        QTest::newRow("no host") << QByteArray("GET /metrics HTTP/1.0\r\n\r\n") << 403
                                 << QByteArray();
        QTest::newRow("headers too large")
            << QByteArray("GET /metrics HTTP/1.1\r\n" + host +
                          "X-Filler: " + QByteArray(10000, 'x') + "\r\n\r\n")
            << 431 << QByteArray();
        QTest::newRow("endless header line")
            << QByteArray("GET /metrics HTTP/1.1\r\nX-Filler: " + QByteArray(20000, 'x')) << 431
            << QByteArray();
        QTest::newRow("body") << QByteArray("GET /metrics HTTP/1.1\r\n" + host +
                                            "Content-Length: 5\r\n\r\nhello")
                              << 413 << QByteArray();
        QTest::newRow("unknown path")
            << QByteArray("GET /api/window HTTP/1.1\r\n" + host + "\r\n") << 404 << QByteArray();
        QTest::newRow("not HTTP") << QByteArray("hello there\r\n\r\n") << 400 << QByteArray();
        QTest::newRow("localhost") << QByteArray("GET /healthz HTTP/1.1\r\nHost: localhost\r\n\r\n")
                                   << 200 << QByteArray("Content-Type: application/json");
        QTest::newRow("metrics") << QByteArray("GET /metrics?x=1 HTTP/1.1\r\n" + host + "\r\n")
                                 << 200
                                 << QByteArray(
                                        "Content-Type: text/plain; version=0.0.4; charset=utf-8");
    }
    void refusalsOnTheWire() {
        QFETCH(QByteArray, request);
        QFETCH(int, status);
        QFETCH(QByteArray, header);
        Relay relay;
        QVERIFY(relay.start());
        const Reply reply = Exchange(relay.monitorPort, request);
        QCOMPARE(reply.status, status);
        if (!header.isEmpty())
            QVERIFY2(reply.head.contains(header), reply.head.constData());
        QVERIFY(reply.head.contains("Connection: close"));
        QTRY_COMPARE(relay.sys().monitor.Listener()->ConnectionCount(), 0);
    }

    // A connection that does not finish its request in time is answered 408
    // and closed at the tick after the limit; until then it is served.
    void aSlowRequestIsClosedAfterItsTime() {
        Relay relay;
        QVERIFY(relay.start());
        monitor::MonitorListener& listener = *relay.sys().monitor.Listener();
        QTcpSocket slow;
        QByteArray received;
        QObject::connect(&slow, &QTcpSocket::readyRead, [&] { received += slow.readAll(); });
        slow.connectToHost(QHostAddress::LocalHost, relay.monitorPort);
        QTRY_COMPARE(listener.ConnectionCount(), 1);
        slow.write("GET /metrics HTTP/1.1\r\nHost: 127.0.0.1\r\n");
        QTest::qWait(50);
        relay.t->clock.advanceSecs(monitor::MonitorListener::kConnectionSeconds - 1);
        listener.Tick();
        QTest::qWait(50);
        QCOMPARE(slow.state(), QAbstractSocket::ConnectedState);
        relay.t->clock.advanceSecs(1);
        listener.Tick();
        QTRY_COMPARE(slow.state(), QAbstractSocket::UnconnectedState);
        QVERIFY(received.startsWith("HTTP/1.1 408 "));
        QCOMPARE(listener.ConnectionCount(), 0);
    }

    // Connections beyond the cap are closed at once; a scrape gets through
    // once the idle ones have timed out.
    void connectionsBeyondTheCapAreClosed() {
        Relay relay;
        QVERIFY(relay.start());
        monitor::MonitorListener& listener = *relay.sys().monitor.Listener();
        std::vector<std::unique_ptr<QTcpSocket>> idle;
        for (int i = 0; i < monitor::MonitorListener::kMaxConnections; ++i) {
            idle.push_back(std::make_unique<QTcpSocket>());
            idle.back()->connectToHost(QHostAddress::LocalHost, relay.monitorPort);
        }
        QTRY_COMPARE(listener.ConnectionCount(), monitor::MonitorListener::kMaxConnections);
        const Reply refused = Exchange(relay.monitorPort, Get(relay.monitorPort, "/metrics"));
        QCOMPARE(refused.status, 0); // closed without an answer
        QCOMPARE(listener.ConnectionCount(), monitor::MonitorListener::kMaxConnections);

        relay.t->clock.advanceSecs(monitor::MonitorListener::kConnectionSeconds);
        listener.Tick();
        QCOMPARE(listener.ConnectionCount(), 0);
        QCOMPARE(relay.health().status, 200);
    }

    // A port that another program holds: the relay says so and runs on;
    // an empty or 0 port turns the listener off without a word.
    void aPortInUseIsReportedAndTheRelayRunsOn() {
        LoopbackClient a;
        Relay relay;
        QTcpServer squatter;
        QVERIFY(squatter.listen(QHostAddress::LocalHost, relay.monitorPort));
        QVERIFY(relay.start());
        QCOMPARE(relay.sys().monitor.Listener(), nullptr);
        const QList<QByteArray> errors = LogLines(relay.folder.systemLog(), "Error");
        QVERIFY(std::any_of(errors.begin(), errors.end(), [](const QByteArray& line) {
            return line.startsWith("System: Monitoring not started: 127.0.0.1:");
        }));
        QVERIFY(relay.connect(a, relay.portA, 0));
        QVERIFY(relay.send(1));
        QTRY_COMPARE(a.received.count('\x03'), 2);

        for (const QString& off : {QStringLiteral(""), QStringLiteral("0")}) {
            Relay quiet;
            quiet.folder.setSetting(QStringLiteral("MonitorPort"), off);
            QVERIFY(quiet.start());
            QCOMPARE(quiet.sys().monitor.Listener(), nullptr);
            QVERIFY(!quiet.folder.systemLog().contains("Monitoring"));
        }
    }
};

QTEST_GUILESS_MAIN(MonitoringTest)
#include "monitoring-test.moc"
