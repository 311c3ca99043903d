// A carrier that stays connected and sends no frames: warning 112 once per
// episode on the fake clock, the line when frames come back, the carrier's
// state in the window and in the console, its health check and its metrics.

#include "ConsoleClient.h"
#include "LogLines.h"
#include "TestPorts.h"
#include "TestSystem.h"

#include "SatelliteStream.h"

#include <QJsonArray>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

namespace {

const QDateTime kStart(QDate(2026, 1, 15), QTime(10, 0, 0));

// A carrier's server: accepts the relay and keeps its connection.
struct Carrier {
    QTcpServer server;
    QTcpSocket* peer = nullptr;
    explicit Carrier(quint16 port = 0) {
        server.listen(QHostAddress::LocalHost, port);
        QObject::connect(&server, &QTcpServer::newConnection,
                         [this] { peer = server.nextPendingConnection(); });
    }
    quint16 port() const { return server.serverPort(); }
};

QByteArray PageStream(const QByteArray& text) {
    return sim::EncodeStream({sim::Page{8, 'A', 'A', text}}, sim::StreamOptions{});
}

// Bytes that hold no block marker: a carrier that talks and sends no frames.
const QByteArray kNoise("\x01\x02 line noise \x03", 15);

} // namespace

class FeedSilenceTest : public QObject {
    Q_OBJECT

    struct Fixture {
        WorkFolder folder;
        std::unique_ptr<TestSystem> t;
        // One Telstra row for each (Description, port).
        explicit Fixture(const QList<std::pair<QString, quint16>>& carriers,
                         const QString& feedSilence = QStringLiteral("120")) {
            folder.setOutputs({}); // and the carrier's host on loopback
            folder.setSetting(QStringLiteral("LastBackUp"), QStringLiteral("15 Jan 2026 09:00:00"));
            folder.setSetting(QStringLiteral("FeedSilenceSeconds"), feedSilence);
            for (const auto& [description, port] : carriers)
                folder.exec(QStringLiteral("Ombrixsys.mdb"),
                            QStringLiteral("INSERT INTO Telstra (Description, Port, Active) "
                                           "VALUES (?, ?, 'Y')"),
                            {description, QString::number(port)});
            t = std::make_unique<TestSystem>(folder.path());
            t->clock.set(kStart);
            t->system->Form_Load();
        }
        System& sys() { return *t->system; }
        // The carriers' heartbeat, after the clock has moved to START + SECONDS.
        void heartbeatAt(int seconds) {
            t->clock.set(kStart.addSecs(seconds));
            sys().decSockets.UpdateTelstraClients();
        }
        QList<int> quietWarnings() const {
            QList<int> sockets;
            for (const TestSystem::Warning& w : t->warnings)
                if (w.number == 112)
                    sockets << w.socket;
            return sockets;
        }
        QList<QByteArray> inputLines() const { return LogLines(folder.systemLog(), "Input"); }
        // The row's state as the window shows it, after the second's tick.
        QString windowState(int row = 0) {
            sys().tmrSystem_Timer();
            return sys().window.dgTelstra.RowStates.value(row).State;
        }
        health::Check carrierCheck() const {
            QList<health::Check> checks;
            t->system->carrierMonitor.AppendChecks(checks);
            return checks.value(0);
        }
    };

    // Dials at START + AT and marks the connection at the next heartbeat.
    [[nodiscard]] static bool connectCarrier(Fixture& f, Carrier& carrier, int at) {
        f.heartbeatAt(at);
        if (!QTest::qWaitFor(
                [&] { return carrier.peer != nullptr && f.sys().decSockets.Carrying(0); }))
            return false;
        f.heartbeatAt(at + 5);
        return true;
    }

private slots:
    void aQuietCarrierIsWarnedOnceAndItsFramesComingBackAreLogged() {
        Carrier carrier;
        Fixture f({{QStringLiteral("Demo carrier"), carrier.port()}});
        QVERIFY(connectCarrier(f, carrier, 5)); // connected at 10:00:05
        carrier.peer->write(kNoise);
        QTRY_VERIFY(f.sys().decSockets.Feed().Bytes(0) == quint64(kNoise.size()));
        f.heartbeatAt(60);
        f.heartbeatAt(124);
        QCOMPARE(f.quietWarnings(), QList<int>{});
        QCOMPARE(f.windowState(), QStringLiteral("Connected"));

        f.heartbeatAt(125);
        QCOMPARE(f.quietWarnings(), QList<int>{0});
        QCOMPARE(f.t->warnings.last().text,
                 QStringLiteral("The carrier is connected but sends no frames: Demo carrier"));
        QVERIFY(f.folder.systemLog().contains(
            "\tError\tError\tThe carrier is connected but sends no frames: Demo carrier\r\n"));
        QCOMPARE(f.windowState(), QStringLiteral("Connected, no frames since 10:00:05"));
        const health::Check quiet = f.carrierCheck();
        QCOMPARE(quiet.name, QStringLiteral("carrier"));
        QCOMPARE(quiet.status, health::Status::Failing);
        QCOMPARE(quiet.state, QStringLiteral("connected, no frames since 10:00:05"));
        QCOMPARE(quiet.since, kStart.addSecs(125));

        // The same episode: no second warning, however long it lasts.
        carrier.peer->write(kNoise);
        f.heartbeatAt(130);
        f.heartbeatAt(170);
        QCOMPARE(f.quietWarnings(), QList<int>{0});

        f.t->clock.set(kStart.addSecs(175));
        carrier.peer->write(PageStream("frames again"));
        QTRY_VERIFY(f.inputLines().contains("System: Frames from Demo carrier again after 170 s"));
        QCOMPARE(f.windowState(), QStringLiteral("Connected"));
        const health::Check back = f.carrierCheck();
        QCOMPARE(back.status, health::Status::Ok);
        QCOMPARE(back.state, QStringLiteral("connected, last frame 10:02:55"));
        QCOMPARE(back.since, kStart.addSecs(175));

        // A new episode is warned again.
        carrier.peer->write(kNoise);
        f.heartbeatAt(294);
        QCOMPARE(f.quietWarnings(), QList<int>{0});
        f.heartbeatAt(295);
        QCOMPARE(f.quietWarnings(), (QList<int>{0, 0}));
        QCOMPARE(f.windowState(), QStringLiteral("Connected, no frames since 10:02:55"));
    }

    // The console shows the window's model: the row's state reads the same.
    void theConsoleShowsTheQuietState() {
        Carrier carrier;
        Fixture f({{QStringLiteral("Demo carrier"), carrier.port()}});
        ConsoleClient console(f.sys(), TestPort());
        QVERIFY(console.login());
        const auto shownState = [&] {
            f.sys().tmrSystem_Timer();
            return console.control(QStringLiteral("dgTelstra"))
                .value(QStringLiteral("rowStates"))
                .toArray()
                .first()
                .toObject()
                .value(QStringLiteral("state"))
                .toString();
        };
        QVERIFY(connectCarrier(f, carrier, 5));
        QCOMPARE(shownState(), QStringLiteral("Connected"));
        f.heartbeatAt(125);
        QCOMPARE(shownState(), QStringLiteral("Connected, no frames since 10:00:05"));
    }

    // Time without a connection is not silence: a connection that comes up
    // starts the count; and a reconnection within an episode does not begin
    // another.
    void silenceIsCountedWhileAConnectionIsUp() {
        const quint16 port = TestPort();
        Fixture f({{QStringLiteral("Late carrier"), port}});
        for (int at : {5, 300, 600}) { // nothing listens: refused every time
            f.heartbeatAt(at);
            QTRY_COMPARE(f.sys().decSockets.Socket(0).State(), platform::SocketState::Closed);
        }
        QCOMPARE(f.quietWarnings(), QList<int>{});
        QCOMPARE(f.carrierCheck().status, health::Status::Failing);
        QCOMPARE(f.carrierCheck().state, QStringLiteral("not connected"));

        Carrier carrier(port);
        QVERIFY(connectCarrier(f, carrier, 605)); // connected at 10:10:05
        f.heartbeatAt(724);
        QCOMPARE(f.quietWarnings(), QList<int>{});
        f.heartbeatAt(725);
        QCOMPARE(f.quietWarnings(), QList<int>{0});

        // The heartbeat drops the silent connection and dials again.
        carrier.peer = nullptr;
        f.heartbeatAt(795);
        QVERIFY(f.inputLines().contains("System: Socket heart beat has failed. Closing port " +
                                        QByteArray::number(port) + "   Late carrier"));
        QCOMPARE(f.carrierCheck().status, health::Status::Failing);
        QVERIFY(connectCarrier(f, carrier, 800));
        f.heartbeatAt(960);
        QCOMPARE(f.quietWarnings(), QList<int>{0});
        QCOMPARE(f.windowState(), QStringLiteral("Connected, no frames since 10:10:05"));
    }

    // FeedSilenceSeconds 0 turns the alarm off; an invalid value is 120.
    void theLimitComesFromTheStartUpTable_data() {
        QTest::addColumn<QString>("setting");
        QTest::addColumn<int>("warnedAfter"); // 0: never
        QTest::newRow("30") << QStringLiteral("30") << 30;
        QTest::newRow("off") << QStringLiteral("0") << 0;
        QTest::newRow("empty") << QString() << 120;
        QTest::newRow("not a number") << QStringLiteral("two minutes") << 120;
        QTest::newRow("negative") << QStringLiteral("-5") << 120;
    }
    void theLimitComesFromTheStartUpTable() {
        QFETCH(QString, setting);
        QFETCH(int, warnedAfter);
        Carrier carrier;
        Fixture f({{QStringLiteral("Demo carrier"), carrier.port()}}, setting);
        QVERIFY(connectCarrier(f, carrier, 5));
        for (int after = 10; after <= 170; after += 5) {
            f.heartbeatAt(5 + after);
            const bool due = warnedAfter != 0 && after >= warnedAfter;
            QCOMPARE(f.quietWarnings().size(), due ? 1 : 0);
        }
        QCOMPARE(f.carrierCheck().status,
                 warnedAfter == 0 ? health::Status::Ok : health::Status::Failing);
    }

    // Two carriers: one quiet while the other brings frames is degraded, and
    // the warning names the quiet one.
    void oneQuietCarrierOfTwoIsDegraded() {
        Carrier first;
        Carrier second;
        Fixture f(
            {{QStringLiteral("First"), first.port()}, {QStringLiteral("Second"), second.port()}});
        f.heartbeatAt(5);
        QTRY_VERIFY(first.peer != nullptr && second.peer != nullptr);
        QTRY_VERIFY(f.sys().decSockets.Carrying(0) && f.sys().decSockets.Carrying(1));
        f.heartbeatAt(10);
        QCOMPARE(f.carrierCheck().state, QStringLiteral("First: connected, no frame yet; Second: "
                                                        "connected, no frame yet"));
        for (int at = 60; at <= 180; at += 60) {
            f.t->clock.set(kStart.addSecs(at));
            first.peer->write(PageStream("first"));
            QTRY_COMPARE(f.sys().decSockets.Feed().LastFrame(0), kStart.addSecs(at));
            second.peer->write(kNoise);
            f.heartbeatAt(at);
        }
        QCOMPARE(f.quietWarnings(), QList<int>{1});
        QCOMPARE(f.t->warnings.last().text,
                 QStringLiteral("The carrier is connected but sends no frames: Second"));
        const health::Check check = f.carrierCheck();
        QCOMPARE(check.status, health::Status::Degraded);
        QCOMPARE(check.state, QStringLiteral("First: connected, last frame 10:03:00; Second: "
                                             "connected, no frames since 10:00:05"));
        QCOMPARE(f.windowState(0), QStringLiteral("Connected"));
        QCOMPARE(f.windowState(1), QStringLiteral("Connected, no frames since 10:00:05"));
    }

    void theMetricsCountBytesFramesAndPages() {
        Carrier carrier;
        Fixture f({{QStringLiteral("Demo \"main\" carrier"), carrier.port()}});
        QVERIFY(connectCarrier(f, carrier, 5));
        const QByteArray stream =
            sim::EncodeStream({sim::Page{8, 'A', 'A', "text"}, sim::Page{16, 'B', 'N', "123"},
                               sim::Page{24, 'C', 'T', ""}},
                              sim::StreamOptions{});
        f.t->clock.set(kStart.addSecs(30));
        carrier.peer->write(kNoise + "X001" + stream);
        QTRY_COMPARE(f.sys().decSockets.Counts().tonePages, quint64(1));
        platform::MetricsText text;
        f.sys().carrierMonitor.WriteMetrics(text);
        const QByteArray label = "{carrier=\"Demo \\\"main\\\" carrier\"}";
        const QByteArray seconds = QByteArray::number(kStart.addSecs(30).toSecsSinceEpoch());
        const QList<QByteArray> expected = {
            "# TYPE ombrix_carrier_connected gauge",
            "ombrix_carrier_connected" + label + " 1",
            "# TYPE ombrix_carrier_bytes_total counter",
            "ombrix_carrier_bytes_total" + label + ' ' +
                QByteArray::number(kNoise.size() + 4 + stream.size()),
            "# TYPE ombrix_carrier_last_frame_timestamp_seconds gauge",
            "ombrix_carrier_last_frame_timestamp_seconds" + label + ' ' + seconds,
            "# TYPE ombrix_decoder_bad_headers_total counter",
            "ombrix_decoder_bad_headers_total 0",
            "# TYPE ombrix_decoder_bad_syncs_total counter",
            "ombrix_decoder_bad_syncs_total 0",
            "# TYPE ombrix_decoder_pages_total counter",
            "ombrix_decoder_pages_total{type=\"A\"} 1",
            "ombrix_decoder_pages_total{type=\"N\"} 1",
            "ombrix_decoder_pages_total{type=\"T\"} 1",
        };
        QList<QByteArray> lines = text.Text().split('\n');
        lines.removeIf([](const QByteArray& line) { return line.startsWith("# HELP "); });
        lines.removeAll(QByteArray());
        QCOMPARE(lines, expected);
        for (const char* family :
             {"ombrix_carrier_connected", "ombrix_carrier_bytes_total",
              "ombrix_carrier_last_frame_timestamp_seconds", "ombrix_decoder_bad_headers_total",
              "ombrix_decoder_bad_syncs_total", "ombrix_decoder_pages_total"})
            QVERIFY2(text.Text().contains("# HELP " + QByteArray(family) + ' '), family);

        // "X001" after the stream's last marker is a bad header; the carrier gone, 0.
        carrier.peer->write("X001");
        QTRY_COMPARE(f.sys().decSockets.Counts().badHeaders, quint64(1));
        carrier.peer->disconnectFromHost();
        QTRY_VERIFY(!f.sys().decSockets.Carrying(0));
        platform::MetricsText after;
        f.sys().carrierMonitor.WriteMetrics(after);
        QVERIFY(after.Text().contains("ombrix_carrier_connected" + label + " 0\n"));
        QVERIFY(after.Text().contains("ombrix_decoder_bad_headers_total 1\n"));
        QCOMPARE(f.carrierCheck().status, health::Status::Failing);
    }
};

QTEST_GUILESS_MAIN(FeedSilenceTest)
#include "feed-silence-test.moc"
