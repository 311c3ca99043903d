// The alarm book on the fake clock: warnings raised by a relay on a work
// folder become alarms, grouped, cleared when their condition ends (a client
// or a carrier on a real loopback connection, a store that takes packets
// again), acknowledged with one System log line, and kept in the Alarms table
// of Ombrixsys.mdb across a restart for 90 days.

#include "CommitCounter.h"
#include "LogLines.h"
#include "TestPorts.h"
#include "TestSystem.h"

#include "SatelliteStream.h"

#include <QRegularExpression>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

namespace {

const QDateTime kStart(QDate(2026, 1, 15), QTime(10, 0, 0));
const QString kSystemFile = QStringLiteral("Ombrixsys.mdb");
// How long a listening output waits for its client before warning 108.
constexpr int kPastHeartbeat = 65;

// A row of the Alarms table, read as an operator would with sqlite3.
struct Row {
    qint64 id = 0;
    int code = 0;
    int entry = 0;
    qint64 count = 0;
    QString firstSeen, lastSeen, acknowledgedBy, acknowledgedAt, clearedAt, text;
};

QDateTime Moment(const QString& text) {
    return QDateTime::fromString(text, Qt::ISODateWithMs);
}

bool IsIsoWithOffset(const QString& text) {
    static const QRegularExpression iso(QStringLiteral(
        "^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\\.\\d{3}(Z|[+-]\\d\\d:\\d\\d)$"));
    return iso.match(text).hasMatch();
}

// A carrier's server: accepts the relay and keeps its connection.
struct Carrier {
    QTcpServer server;
    QTcpSocket* peer = nullptr;
    Carrier() {
        server.listen(QHostAddress::LocalHost, 0);
        QObject::connect(&server, &QTcpServer::newConnection,
                         [this] { peer = server.nextPendingConnection(); });
    }
    quint16 port() const { return server.serverPort(); }
};

QByteArray PageStream(const QByteArray& text) {
    return sim::EncodeStream({sim::Page{8, 'A', 'A', text}}, sim::StreamOptions{});
}

const QByteArray kNoise("\x01\x02 line noise \x03", 15);

} // namespace

class AlarmsTest : public QObject {
    Q_OBJECT

    struct Fixture {
        WorkFolder folder;
        quint16 portA = TestPort();
        quint16 portB = TestPort();
        std::unique_ptr<TestSystem> t;

        // Two outputs whose clients are away; with a carrier's port, a
        // Telstra row that dials it and no outputs.
        explicit Fixture(quint16 carrierPort = 0) {
            if (carrierPort == 0) {
                folder.setOutputs({{QStringLiteral("Client A"), QString::number(portA)},
                                   {QStringLiteral("Client B"), QString::number(portB)}});
            } else {
                folder.setOutputs({});
                folder.setSetting(QStringLiteral("FeedSilenceSeconds"), QStringLiteral("120"));
                folder.exec(kSystemFile,
                            QStringLiteral("INSERT INTO Telstra (Description, Port, Active) "
                                           "VALUES ('Carrier', ?, 'Y')"),
                            {QString::number(carrierPort)});
            }
            start(kStart);
        }
        // The relay (again) on the folder, at `now`.
        void start(const QDateTime& now) {
            t.reset();
            t = std::make_unique<TestSystem>(folder.path());
            t->clock.set(now);
            QVERIFY(t->system->Form_Load());
            sys().outputSockets.UpdateOutputClients(); // the first heartbeat opens the ports
        }
        System& sys() { return *t->system; }
        AlarmRecords& alarms() { return sys().alarms; }
        void at(int seconds) { t->clock.set(kStart.addSecs(seconds)); }
        void at(const QDateTime& now) { t->clock.set(now); }
        // Both away clients fail their heartbeat at START + SECONDS (108 for
        // entries 0 and 1), and their ports listen again.
        void heartbeatFailsAt(int seconds) { heartbeatFailsAt(kStart.addSecs(seconds)); }
        void heartbeatFailsAt(const QDateTime& now) {
            at(now);
            sys().outputSockets.UpdateOutputClients();
            sys().outputSockets.UpdateOutputClients();
        }
        // The second's tick: what changed goes into the table.
        void tick() { sys().tmrSystem_Timer(); }
        QList<Row> rows() const {
            QList<Row> rows;
            for (const QVariantList& r : folder.rows(
                     kSystemFile, QStringLiteral("SELECT ID, Code, Entry, Count, FirstSeen, "
                                                 "LastSeen, AcknowledgedBy, AcknowledgedAt, "
                                                 "ClearedAt, Text FROM Alarms ORDER BY ID")))
                rows << Row{r[0].toLongLong(), r[1].toInt(),    r[2].toInt(),    r[3].toLongLong(),
                            r[4].toString(),   r[5].toString(), r[6].toString(), r[7].toString(),
                            r[8].toString(),   r[9].toString()};
            return rows;
        }
        Alarm active(int code, int entry) {
            for (const Alarm& alarm : alarms().List(AlarmList::Active))
                if (alarm.code == code && alarm.entry == entry)
                    return alarm;
            return {};
        }
        int errorLines(const QByteArray& line) const {
            return int(LogLines(folder.systemLog(), "Error").count(line));
        }
        // Dials the carrier at START + SECONDS and marks the connection.
        [[nodiscard]] bool connectCarrier(Carrier& carrier, int seconds) {
            at(seconds);
            sys().decSockets.UpdateTelstraClients();
            if (!QTest::qWaitFor(
                    [&] { return carrier.peer != nullptr && sys().decSockets.Carrying(0); }))
                return false;
            at(seconds + 5);
            sys().decSockets.UpdateTelstraClients();
            return true;
        }
    };

private slots:
    void repeatsOfAWarningForOneEntryAreOneAlarm() {
        Fixture f;
        f.heartbeatFailsAt(kPastHeartbeat);
        QCOMPARE(f.alarms().ActiveCount(), 2);
        // The alarm's text is the box's, without its date and time.
        const Alarm first = f.active(108, 1);
        QCOMPARE(f.sys().window.txbSystemError.Text,
                 f.sys().NowText() + QStringLiteral("     ") + first.text);
        QVERIFY(first.text.startsWith(QStringLiteral("Warning ! \r\n\r\nSocket [1]\r\n")));
        QVERIFY(first.text.contains(
            QStringLiteral("Client B has heartbeat failure. There is no TCP connection.")));

        f.heartbeatFailsAt(2 * kPastHeartbeat);
        f.heartbeatFailsAt(3 * kPastHeartbeat);
        QCOMPARE(f.alarms().ActiveCount(), 2);
        QCOMPARE(f.rows().size(), 0); // nothing is written before the tick
        f.tick();
        const QList<Row> rows = f.rows();
        QCOMPARE(rows.size(), 2);
        for (int entry : {0, 1}) {
            const Row& row = rows[entry];
            QCOMPARE(row.code, 108);
            QCOMPARE(row.entry, entry);
            QCOMPARE(row.count, 3);
            QVERIFY(IsIsoWithOffset(row.firstSeen));
            QCOMPARE(Moment(row.firstSeen), kStart.addSecs(kPastHeartbeat));
            QCOMPARE(Moment(row.lastSeen), kStart.addSecs(3 * kPastHeartbeat));
            QVERIFY(row.acknowledgedBy.isEmpty() && row.acknowledgedAt.isEmpty() &&
                    row.clearedAt.isEmpty());
            QCOMPARE(row.text, f.active(108, entry).text);
        }
    }

    // A store that fails every write raises 402 for each packet: one alarm,
    // counted in memory and written once at the tick, not once a packet.
    void aStormOfOneWarningIsWrittenOnceAndEndsWhenTheStoreTakesPacketsAgain() {
        Fixture f;
        f.folder.exec(QStringLiteral("delayed.mdb"),
                      QStringLiteral("CREATE TRIGGER NoRoom BEFORE INSERT ON Delayed "
                                     "BEGIN SELECT RAISE(ABORT, 'disk full'); END"));
        CommitCounter commits(f.sys().db.gSysConnection.database());
        QVERIFY(commits.watching());
        constexpr int kPackets = 300;
        for (int i = 0; i < kPackets; ++i)
            f.sys().outputRules.RelayToOutputs("\x02page " + QByteArray::number(i) + '\x03');
        QCOMPARE(f.t->warningNumbers().count(402), kPackets);
        QCOMPARE(f.active(402, 0).count, kPackets);
        QCOMPARE(commits.commits, 0);
        f.tick();
        QCOMPARE(commits.commits, 1);
        QCOMPARE(f.rows().value(0).count, kPackets);

        f.folder.exec(QStringLiteral("delayed.mdb"), QStringLiteral("DROP TRIGGER NoRoom"));
        f.at(30);
        f.sys().outputRules.RelayToOutputs("\x02stored\x03");
        QCOMPARE(f.folder.storedPackets(), 2); // one for each away client
        QCOMPARE(f.alarms().ActiveCount(), 0);
        f.tick();
        QCOMPARE(Moment(f.rows().value(0).clearedAt), kStart.addSecs(30));
    }

    void anOutputsAlarmsClearWhenItsClientConnectsAgain() {
        Fixture f;
        f.heartbeatFailsAt(kPastHeartbeat);
        f.at(100);
        LoopbackClient client(f.portA);
        QVERIFY(AcceptedOnOutput(f.sys(), client, 0));
        QCOMPARE(f.alarms().ActiveCount(), 1);
        QCOMPARE(f.active(108, 1).count, 1); // the other output's client is still away
        f.tick();
        const QList<Row> rows = f.rows();
        QCOMPARE(Moment(rows[0].clearedAt), kStart.addSecs(100));
        QVERIFY(rows[1].clearedAt.isEmpty());
        const QList<Alarm> all = f.alarms().List(AlarmList::All);
        QCOMPARE(all.size(), 2);
        QCOMPARE(all[1].clearedAt, kStart.addSecs(100));
    }

    void aCarriersAlarmsClearWhenItConnectsAndSendsFramesAgain() {
        Carrier carrier;
        Fixture f(carrier.port());
        // A failure to dial, as the carrier connection reports it.
        f.sys().ShowWarning(ErrorCode::ConnectTelstraPort, QStringLiteral("refused"), 0);
        QCOMPARE(f.alarms().ActiveCount(), 1);
        QVERIFY(f.connectCarrier(carrier, 5));
        QCOMPARE(f.alarms().ActiveCount(), 0);

        carrier.peer->write(kNoise);
        QTRY_VERIFY(f.sys().decSockets.Feed().Bytes(0) == quint64(kNoise.size()));
        f.at(125);
        f.sys().decSockets.UpdateTelstraClients();
        QCOMPARE(f.t->warningNumbers(), (QList<int>{205, 112}));
        QCOMPARE(f.active(112, 0).count, 1);
        f.at(130);
        carrier.peer->write(PageStream("frames again"));
        QTRY_COMPARE(f.alarms().ActiveCount(), 0);
        f.tick();
        const QList<Row> rows = f.rows();
        QCOMPARE(rows.size(), 2);
        QCOMPARE(Moment(rows[0].clearedAt), kStart.addSecs(5));
        QCOMPARE(Moment(rows[1].clearedAt), kStart.addSecs(130));
    }

    void aMissedTestPageClearsWhenThePageIsRelayed() {
        Fixture f;
        f.folder.exec(kSystemFile, QStringLiteral("INSERT INTO Watches VALUES (?, ?, ?, ?, ?)"),
                      {QStringLiteral("Site test"), QStringLiteral("1234567"), QString(),
                       QStringLiteral("10"), QStringLiteral("Y")});
        f.start(kStart);
        f.at(11 * 60 + 5); // ten minutes and the minute's grace
        f.sys().watches.Check();
        QCOMPARE(f.active(113, 0).count, 1);
        f.at(12 * 60);
        f.sys().outputRules.RelayToOutputs("\x02"
                                           "1200\r1\rA\r1234567\rA\rtest page\x03");
        QCOMPARE(f.alarms().ActiveCount(), 0);
        f.tick();
        QCOMPARE(Moment(f.rows().value(0).clearedAt), kStart.addSecs(12 * 60));
    }

    void anAcknowledgeIsLoggedOnceAndARepeatAfterItIsANewAlarm() {
        Fixture f;
        f.heartbeatFailsAt(kPastHeartbeat);
        const qint64 id = f.active(108, 0).id;
        f.at(80);
        QCOMPARE(f.alarms().Acknowledge(id, QStringLiteral("Alice")), Acknowledgement::Done);
        QCOMPARE(f.alarms().Acknowledge(id, QStringLiteral("Bob")),
                 Acknowledgement::AlreadyAcknowledged);
        QCOMPARE(f.alarms().Acknowledge(id + 100, QStringLiteral("Bob")), Acknowledgement::Unknown);
        QCOMPARE(f.errorLines("System: Alarm 108 0 acknowledged by Alice"), 1);
        QCOMPARE(f.errorLines("System: Alarm 108 0 acknowledged by Bob"), 0);
        QCOMPARE(f.alarms().ActiveCount(), 1);
        // Written at once, without waiting for the tick.
        const Row acknowledged = f.rows().value(0);
        QCOMPARE(acknowledged.id, id);
        QCOMPARE(acknowledged.acknowledgedBy, QStringLiteral("Alice"));
        QCOMPARE(Moment(acknowledged.acknowledgedAt), kStart.addSecs(80));
        QVERIFY(acknowledged.clearedAt.isEmpty());

        f.heartbeatFailsAt(2 * kPastHeartbeat);
        f.tick();
        const Alarm again = f.active(108, 0);
        QVERIFY(again.id > id);
        QCOMPARE(again.count, 1);
        QCOMPARE(again.firstSeen, kStart.addSecs(2 * kPastHeartbeat));
        const QList<Row> rows = f.rows();
        QCOMPARE(rows.size(), 3);
        QCOMPARE(rows[0].count, 1); // the acknowledged alarm is left as it was
        QCOMPARE(rows[1].count, 2);
        QCOMPARE(rows[2].id, again.id);
    }

    void activeAlarmsStayActiveAcrossARestart() {
        Fixture f;
        f.heartbeatFailsAt(kPastHeartbeat);
        const Alarm kept = f.active(108, 0);
        QCOMPARE(f.alarms().Acknowledge(f.active(108, 1).id, QStringLiteral("Alice")),
                 Acknowledgement::Done);
        f.heartbeatFailsAt(2 * kPastHeartbeat); // counted in memory, written at shutdown
        f.start(kStart.addSecs(600));

        QCOMPARE(f.alarms().ActiveCount(), 2);
        const Alarm loaded = f.active(108, 0);
        QCOMPARE(loaded.id, kept.id);
        QCOMPARE(loaded.count, 2);
        QCOMPARE(loaded.firstSeen, kStart.addSecs(kPastHeartbeat));
        QCOMPARE(loaded.text, kept.text);
        QCOMPARE(f.alarms().List(AlarmList::All).size(), 3);

        f.heartbeatFailsAt(600 + kPastHeartbeat);
        QCOMPARE(f.active(108, 0).id, kept.id);
        QCOMPARE(f.active(108, 0).count, 3);
        f.tick();
        QCOMPARE(f.rows().size(), 3);
    }

    void alarmsLastSeenNinetyDaysAgoAreDeleted() {
        Fixture f;
        f.heartbeatFailsAt(kPastHeartbeat);
        const qint64 old = f.active(108, 0).id;
        QCOMPARE(f.alarms().Acknowledge(old, QStringLiteral("Alice")), Acknowledgement::Done);
        // Days as the calendar counts them, whatever daylight saving did.
        f.heartbeatFailsAt(kStart.addDays(89)); // a new alarm for entry 0, and entry 1's again
        f.tick();
        QCOMPARE(f.rows().size(), 3);

        // Deleted once a day: the last time was at the tick above.
        f.at(kStart.addDays(90).addSecs(-1));
        f.tick();
        QCOMPARE(f.rows().size(), 3);
        f.at(kStart.addDays(90).addSecs(kPastHeartbeat + 1));
        f.tick();
        QCOMPARE(f.rows().size(), 2);
        QCOMPARE(f.rows().value(0).id, old + 1);
        QCOMPARE(f.alarms().List(AlarmList::All).size(), 2);

        // At start-up, whatever the time of the last deletion.
        f.start(kStart.addDays(180));
        QCOMPARE(f.rows().size(), 0);
        QCOMPARE(f.alarms().ActiveCount(), 0);
    }

    // The book goes on in memory; its failure is logged once and is no warning.
    void aTableThatCannotBeWrittenLeavesTheAlarmsInMemory() {
        Fixture f;
        f.folder.exec(kSystemFile, QStringLiteral("CREATE TRIGGER Full BEFORE INSERT ON Alarms "
                                                  "BEGIN SELECT RAISE(ABORT, 'full'); END"));
        for (int i = 1; i <= 3; ++i) {
            f.heartbeatFailsAt(i * kPastHeartbeat);
            f.tick();
        }
        QCOMPARE(f.t->warningNumbers(), QList<int>(6, 108));
        QCOMPARE(f.active(108, 0).count, 3);
        QCOMPARE(f.alarms().Acknowledge(f.active(108, 0).id, QStringLiteral("Alice")),
                 Acknowledgement::Done);
        QCOMPARE(f.errorLines("System: Alarm 108 0 acknowledged by Alice"), 1);
        QList<QByteArray> failures;
        for (const QByteArray& line : LogLines(f.folder.systemLog(), "Error"))
            if (line.startsWith("System: Alarms cannot be kept in Ombrixsys.mdb, only in memory: "))
                failures << line;
        QCOMPARE(failures.size(), 1);
        QVERIFY(failures[0].contains("full"));
        QCOMPARE(f.rows().size(), 0);

        // Written once the table takes them again.
        f.folder.exec(kSystemFile, QStringLiteral("DROP TRIGGER Full"));
        f.tick();
        QCOMPARE(f.rows().size(), 2);
        QCOMPARE(f.rows().value(0).acknowledgedBy, QStringLiteral("Alice"));
    }
};

QTEST_GUILESS_MAIN(AlarmsTest)
#include "alarms-test.moc"
