// The console's overview as a browser and a script meet it: GET /api/overview
// and the WebSocket's "overview" messages, from a live relay with a carrier
// and clients on loopback, on the fake clock moved minute by minute and over
// midnight.

#include "ConsoleClient.h"
#include "TestPorts.h"
#include "TestSystem.h"

#include "SatelliteStream.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkRequest>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QWebSocket>
#include <memory>

namespace {

const QDate kDay(2026, 1, 15);
const QDateTime kStart(kDay, QTime(10, 0, 0));
constexpr int kWaitMs = 5000;

// A moment as the overview writes it: ISO 8601 with milliseconds and offset.
QJsonValue Iso(const QDateTime& time) {
    return time.toOffsetFromUtc(time.offsetFromUtc()).toString(Qt::ISODateWithMs);
}

QList<sim::Page> Pages(int count) {
    QList<sim::Page> pages;
    for (int i = 0; i < count; ++i)
        pages << sim::Page{200000 + quint32(i) * 31, 'D', 'A', "Unit to the harbour"};
    return pages;
}

// Sends `request` to the monitor's listener and reads the body it closes with.
QByteArray MonitorBody(quint16 port, const QByteArray& path) {
    QTcpSocket socket;
    QByteArray received;
    QObject::connect(&socket, &QTcpSocket::readyRead, &socket,
                     [&] { received += socket.readAll(); });
    socket.connectToHost(QHostAddress::LocalHost, port);
    socket.write("GET " + path + " HTTP/1.1\r\nHost: 127.0.0.1:" + QByteArray::number(port) +
                 "\r\n\r\n");
    (void)QTest::qWaitFor([&] { return socket.state() == QAbstractSocket::UnconnectedState; },
                          kWaitMs);
    return received.mid(received.indexOf("\r\n\r\n") + 4);
}

// The relay on a work folder with a loopback carrier ("Carrier"), the outputs
// given, and its console with an operator logged in. The clients are made
// before it, so that their connections close first.
struct Relay {
    WorkFolder folder;
    QTcpServer carrier;
    QTcpSocket* feed = nullptr;
    std::unique_ptr<TestSystem> t;
    std::unique_ptr<ConsoleClient> console;
    QDateTime start;
    bool streamed = false;

    explicit Relay(const QList<WorkFolder::Output>& outputs, QDateTime started = kStart)
        : start(std::move(started)) {
        carrier.listen(QHostAddress::LocalHost, 0);
        QObject::connect(&carrier, &QTcpServer::newConnection,
                         [this] { feed = carrier.nextPendingConnection(); });
        folder.setOutputs(outputs);
        folder.setSetting(QStringLiteral("LastBackUp"), QStringLiteral("15 Jan 2026 09:00:00"));
        folder.exec(
            QStringLiteral("Ombrixsys.mdb"),
            QStringLiteral(
                "INSERT INTO Telstra (Description, Port, Active) VALUES ('Carrier', ?, 'Y')"),
            {QString::number(carrier.serverPort())});
    }
    // Starts the relay, its console, and the carrier's connection (dialled
    // at the start, marked up by the next heartbeat).
    bool begin() {
        t = std::make_unique<TestSystem>(folder.path());
        t->clock.set(start);
        if (!sys().Form_Load())
            return false;
        console = std::make_unique<ConsoleClient>(sys(), TestPort());
        if (!console->login())
            return false;
        sys().outputSockets.UpdateOutputClients();
        sys().decSockets.UpdateTelstraClients();
        if (!QTest::qWaitFor([this] { return feed && sys().decSockets.Carrying(0); }, kWaitMs))
            return false;
        sys().decSockets.UpdateTelstraClients();
        sys().tmrSystem_Timer();
        return true;
    }
    System& sys() { return *t->system; }
    void at(const QDateTime& time) { t->clock.set(time); }
    bool connect(LoopbackClient& client, quint16 port, int index) {
        client.connectTo(port);
        return AcceptedOnOutput(sys(), client, index);
    }
    // The carrier sends a block of `count` pages; true once they are decoded.
    bool send(int count) {
        const DecoderCounts& counts = sys().decSockets.Counts();
        const quint64 before = counts.alphaPages;
        // Each block ends with the next one's marker: the stream goes on.
        const QByteArray stream = sim::EncodeStream(Pages(count), sim::StreamOptions{});
        feed->write(std::exchange(streamed, true) ? stream.mid(sim::BlockMarker().size()) : stream);
        return QTest::qWaitFor([&] { return counts.alphaPages == before + quint64(count); },
                               kWaitMs);
    }
    QJsonObject overview() { return console->overview(); }
    QJsonObject carrierShown() {
        return overview()[QStringLiteral("carriers")].toArray().first().toObject();
    }
    QJsonObject outputShown(const QString& description) {
        for (const QJsonValue& output : overview()[QStringLiteral("outputs")].toArray())
            if (output[QStringLiteral("description")] == description)
                return output.toObject();
        return {};
    }
};

// 60 counts, oldest first, with `counts` at the given places from the end
// (0: now's minute).
QJsonArray PerMinute(const QList<std::pair<int, int>>& counts) {
    QList<int> minutes(60, 0);
    for (const auto& [back, count] : counts)
        minutes[59 - back] = count;
    QJsonArray list;
    for (const int count : minutes)
        list << count;
    return list;
}

// A browser's live connection: the window's messages and the overviews apart.
struct LiveSocket {
    QWebSocket socket;
    QStringList windows;
    QList<QJsonObject> overviews;

    explicit LiveSocket(ConsoleClient& console)
        : socket(QStringLiteral("http://127.0.0.1:%1").arg(console.port())) {
        QObject::connect(
            &socket, &QWebSocket::textMessageReceived, &socket, [this](const QString& message) {
                const QJsonObject json = QJsonDocument::fromJson(message.toUtf8()).object();
                if (json.contains(QStringLiteral("overview")))
                    overviews << json[QStringLiteral("overview")].toObject();
                else
                    windows << message;
            });
        QNetworkRequest request(QUrl(QStringLiteral("ws://127.0.0.1:%1/ws").arg(console.port())));
        request.setRawHeader("Cookie", console.cookie());
        socket.open(request);
    }
    // A line for the Outputs pane, and its window message received: whatever
    // was sent before it has arrived too.
    bool markWith(System& system, const QString& line) {
        system.logs.LogOutput(line);
        return QTest::qWaitFor([&] { return !windows.isEmpty() && windows.last().contains(line); },
                               kWaitMs);
    }
};

} // namespace

class OverviewTest : public QObject {
    Q_OBJECT

private slots:
    // A carrier's pages go into the minute they came in; the five-minute and
    // hour sums and the sparkline move on with the clock.
    void pagesAreCountedMinuteByMinuteAndTheWindowsRoll() {
        LoopbackClient a;
        const quint16 port = TestPort();
        Relay relay({{QStringLiteral("Client A"), QString::number(port)}});
        QVERIFY(relay.begin());
        QVERIFY(relay.connect(a, port, 0));
        QJsonObject carrier = relay.carrierShown();
        QCOMPARE(carrier[QStringLiteral("description")], QStringLiteral("Carrier"));
        QCOMPARE(carrier[QStringLiteral("state")], QStringLiteral("Connected"));
        QCOMPARE(carrier[QStringLiteral("since")], Iso(kStart));
        QVERIFY(carrier[QStringLiteral("lastFrame")].isNull());
        QCOMPARE(carrier[QStringLiteral("perMinute")], PerMinute({}));

        relay.at(QDateTime(kDay, QTime(10, 0, 30)));
        QVERIFY(relay.send(3));
        relay.at(QDateTime(kDay, QTime(10, 2, 10)));
        QVERIFY(relay.send(2));
        carrier = relay.carrierShown();
        QCOMPARE(carrier[QStringLiteral("lastFrame")], Iso(QDateTime(kDay, QTime(10, 2, 10))));
        QCOMPARE(carrier[QStringLiteral("pages5m")], 5);
        QCOMPARE(carrier[QStringLiteral("pages1h")], 5);
        QCOMPARE(carrier[QStringLiteral("perMinute")], PerMinute({{2, 3}, {0, 2}}));
        // The client had each page and each block's notice.
        QTRY_COMPARE(a.received.count('\x03'), 7);

        // 10:05:30: the pages of 10:00 are more than five minutes old.
        relay.at(QDateTime(kDay, QTime(10, 5, 30)));
        carrier = relay.carrierShown();
        QCOMPARE(carrier[QStringLiteral("pages5m")], 2);
        QCOMPARE(carrier[QStringLiteral("pages1h")], 5);
        QCOMPARE(carrier[QStringLiteral("perMinute")], PerMinute({{5, 3}, {3, 2}}));

        // An hour on, the first block has left the hour, then the second.
        relay.at(QDateTime(kDay, QTime(11, 0, 40)));
        carrier = relay.carrierShown();
        QCOMPARE(carrier[QStringLiteral("pages5m")], 0);
        QCOMPARE(carrier[QStringLiteral("pages1h")], 2);
        QCOMPARE(carrier[QStringLiteral("perMinute")], PerMinute({{58, 2}}));
        relay.at(QDateTime(kDay, QTime(11, 2, 0)));
        QCOMPARE(relay.carrierShown()[QStringLiteral("pages1h")], 0);

        // A page now counts in a ring that has moved on by an hour.
        QVERIFY(relay.send(1));
        carrier = relay.carrierShown();
        QCOMPARE(carrier[QStringLiteral("perMinute")], PerMinute({{0, 1}}));
        QCOMPARE(carrier[QStringLiteral("pages1h")], 1);

        // Nothing was stored: the store is empty and has no oldest row.
        const QJsonObject store = relay.overview()[QStringLiteral("store")].toObject();
        QCOMPARE(store[QStringLiteral("rows")], 0);
        QVERIFY(store[QStringLiteral("oldest")].isNull());
    }

    // An output's packets sent today start again at midnight; a client away
    // has its packets stored and counted; the store's oldest row moves on as
    // a returning client is sent the oldest rows.
    void anOutputsCountsFollowTheDayAndItsClient() {
        LoopbackClient a, b;
        const quint16 portA = TestPort();
        const quint16 portB = TestPort();
        Relay relay({{QStringLiteral("Client A"), QString::number(portA)},
                     {QStringLiteral("Client B"), QString::number(portB)}},
                    QDateTime(kDay, QTime(23, 59, 0)));
        QVERIFY(relay.begin());
        QVERIFY(relay.connect(a, portA, 0));
        relay.sys().tmrSystem_Timer();
        QJsonObject shownA = relay.outputShown(QStringLiteral("Client A"));
        QCOMPARE(shownA[QStringLiteral("state")], QStringLiteral("Connected"));
        QCOMPARE(shownA[QStringLiteral("since")], Iso(QDateTime(kDay, QTime(23, 59, 0))));
        QCOMPARE(shownA[QStringLiteral("sentToday")], 0);
        QVERIFY(shownA[QStringLiteral("lastPage")].isNull());

        const QDateTime pagesAt(kDay, QTime(23, 59, 30));
        relay.at(pagesAt);
        QVERIFY(relay.send(2));
        QTRY_COMPARE(a.received.count('\x03'), 3);
        // The operator's dummy message is sent, and is no page.
        relay.at(QDateTime(kDay, QTime(23, 59, 40)));
        relay.sys().window.Click(QStringLiteral("cmdSendDummy"));
        QTRY_COMPARE(a.received.count('\x03'), 4);
        shownA = relay.outputShown(QStringLiteral("Client A"));
        QCOMPARE(shownA[QStringLiteral("sentToday")], 4);
        QCOMPARE(shownA[QStringLiteral("lastPage")], Iso(pagesAt));
        QCOMPARE(shownA[QStringLiteral("stored")], 0);
        QJsonObject shownB = relay.outputShown(QStringLiteral("Client B"));
        QCOMPARE(shownB[QStringLiteral("state")], QStringLiteral("Listening for client"));
        QCOMPARE(shownB[QStringLiteral("sentToday")], 0);
        QCOMPARE(shownB[QStringLiteral("stored")], 4);
        QJsonObject store = relay.overview()[QStringLiteral("store")].toObject();
        QCOMPARE(store[QStringLiteral("rows")], 4);
        QCOMPARE(store[QStringLiteral("oldest")], Iso(pagesAt));

        // Past midnight nothing has been sent today; then a block.
        const QDate nextDay = kDay.addDays(1);
        relay.at(QDateTime(nextDay, QTime(0, 0, 10)));
        QCOMPARE(relay.outputShown(QStringLiteral("Client A"))[QStringLiteral("sentToday")], 0);
        QVERIFY(relay.send(1));
        QTRY_COMPARE(a.received.count('\x03'), 6);
        QCOMPARE(relay.outputShown(QStringLiteral("Client A"))[QStringLiteral("sentToday")], 2);

        // Client A goes away: its state says since when, its packets are stored.
        relay.at(QDateTime(nextDay, QTime(0, 0, 20)));
        a.socket.disconnectFromHost();
        QTRY_VERIFY(relay.sys().outputSockets.Socket(0).State() !=
                    platform::SocketState::Connected);
        relay.sys().tmrSystem_Timer();
        relay.at(QDateTime(nextDay, QTime(0, 0, 30)));
        QVERIFY(relay.send(1));
        shownA = relay.outputShown(QStringLiteral("Client A"));
        QCOMPARE(shownA[QStringLiteral("state")], QStringLiteral("Listening for client"));
        QCOMPARE(shownA[QStringLiteral("since")], Iso(QDateTime(nextDay, QTime(0, 0, 20))));
        QCOMPARE(shownA[QStringLiteral("stored")], 2);
        QCOMPARE(shownA[QStringLiteral("sentToday")], 2);
        QCOMPARE(relay.outputShown(QStringLiteral("Client B"))[QStringLiteral("stored")], 8);
        QCOMPARE(relay.overview()[QStringLiteral("store")][QStringLiteral("rows")], 10);

        // Client B returns and is sent its oldest rows, one a second: once
        // the three of 23:59:30 are gone, the dummy message's row is the oldest.
        QVERIFY(relay.connect(b, portB, 1));
        for (int tick = 0; tick < 20 && b.received.count('\x03') < 3; ++tick) {
            relay.t->clock.advanceSecs(1);
            relay.sys().tmrSystem_Timer();
            QTest::qWait(20);
        }
        QTRY_COMPARE(relay.sys().delayedDb.gDelayedCount, 7);
        store = relay.overview()[QStringLiteral("store")].toObject();
        QCOMPARE(store[QStringLiteral("rows")], 7);
        QCOMPARE(store[QStringLiteral("oldest")], Iso(QDateTime(kDay, QTime(23, 59, 40))));
        shownB = relay.outputShown(QStringLiteral("Client B"));
        QCOMPARE(shownB[QStringLiteral("state")], QStringLiteral("Connected"));
        QCOMPARE(shownB[QStringLiteral("stored")], 5);
        QCOMPARE(shownB[QStringLiteral("sentToday")], 0); // resent packets are not live ones
    }

    // The health is the object /healthz answers; brokers show their link and
    // what waits for them; the alarm count is what it is given.
    void healthBrokersAndAlarms() {
        const quint16 monitorPort = TestPort();
        Relay relay({});
        relay.folder.setSetting(QStringLiteral("MonitorPort"), QString::number(monitorPort));
        relay.folder.exec(QStringLiteral("Ombrixsys.mdb"),
                          QStringLiteral("INSERT INTO Publishers (Description, Host, Port, Topic, "
                                         "Active) VALUES ('Broker 1', '127.0.0.1', ?, "
                                         "'ombrix/pages', 'Y')"),
                          {QString::number(TestPort())});
        QVERIFY(relay.begin());
        relay.sys().StartMonitor();
        QVERIFY(relay.sys().delayedDb.AddDelayed("\x02page\r\x03", QStringLiteral("MQTT Broker 1"),
                                                 relay.sys().delayedDb.gMessID++));

        const QJsonObject overview = relay.overview();
        const QJsonObject healthz =
            QJsonDocument::fromJson(MonitorBody(monitorPort, "/healthz")).object();
        QVERIFY(healthz.contains(QStringLiteral("checks")));
        QCOMPARE(overview[QStringLiteral("health")].toObject(), healthz);
        const QJsonObject broker{{QStringLiteral("description"), QStringLiteral("Broker 1")},
                                 {QStringLiteral("connected"), false},
                                 {QStringLiteral("pending"), 1}};
        QCOMPARE(overview[QStringLiteral("publishers")], QJsonArray{broker});
        QCOMPARE(overview[QStringLiteral("outputs")], QJsonArray());
        QCOMPARE(overview[QStringLiteral("alarms")], 0);

        relay.sys().monitor.Overview().CountAlarmsWith([] { return 3; });
        QCOMPARE(relay.overview()[QStringLiteral("alarms")], 3);
    }

    // The WebSocket: the window's model as ever, and beside it the overview,
    // when the socket opens and when it changed, at most once a second.
    void theOverviewGoesLiveAtMostOnceASecond() {
        LoopbackClient a;
        const quint16 port = TestPort();
        Relay relay({{QStringLiteral("Client A"), QString::number(port)}});
        QVERIFY(relay.begin());
        QVERIFY(relay.connect(a, port, 0));
        relay.sys().tmrSystem_Timer();
        LiveSocket live(*relay.console);
        QVERIFY(QTest::qWaitFor(
            [&] { return !live.windows.isEmpty() && !live.overviews.isEmpty(); }, kWaitMs));
        QCOMPARE(live.overviews.size(), 1);
        QCOMPARE(live.overviews.first(), relay.overview());
        // The window's message is the same bytes /api/window answers.
        QCOMPARE(live.windows.last().toUtf8(), relay.console->body("/api/window"));
        const auto pagesShown = [&] {
            return live.overviews.last()[QStringLiteral("carriers")][0][QStringLiteral("pages1h")];
        };
        QCOMPARE(pagesShown(), 0);

        // A page, and a second later its overview goes.
        QVERIFY(relay.send(1));
        relay.t->clock.advanceSecs(1);
        relay.console->console().Tick();
        QTRY_COMPARE(live.overviews.size(), 2);
        QCOMPARE(pagesShown(), 1);
        // Another in the same second waits for the next.
        QVERIFY(relay.send(1));
        relay.console->console().Tick();
        QVERIFY(live.markWith(relay.sys(), QStringLiteral("same second")));
        QCOMPARE(live.overviews.size(), 2);
        relay.t->clock.advanceSecs(1);
        relay.console->console().Tick();
        QTRY_COMPARE(live.overviews.size(), 3);
        QCOMPARE(pagesShown(), 2);
        QCOMPARE(live.overviews.last(), relay.overview());
        // Nothing changed: nothing goes, however long.
        relay.t->clock.advanceSecs(5);
        relay.console->console().Tick();
        QVERIFY(live.markWith(relay.sys(), QStringLiteral("nothing new")));
        QCOMPARE(live.overviews.size(), 3);
        for (const QString& window : live.windows)
            QVERIFY(QJsonDocument::fromJson(window.toUtf8())
                        .object()
                        .contains(QStringLiteral("controls")));
    }
};

QTEST_GUILESS_MAIN(OverviewTest)
#include "overview-test.moc"
