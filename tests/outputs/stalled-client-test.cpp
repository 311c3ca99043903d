// A client application that stays connected but stops reading: the relay
// closes it and keeps for its return what it did not take, none lost, none
// twice; a client that reads, however slowly, is left alone.

#include "CommitCounter.h"
#include "LogLines.h"
#include "ProcessMemory.h"
#include "StuckClient.h"
#include "TestPorts.h"
#include "TestSystem.h"

#include "outputs/ClientQueue.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QSet>
#include <QTest>

namespace {

const QDateTime kStart(QDate(2026, 1, 15), QTime(10, 0, 0));
const QString kDescription = QStringLiteral("Client A");

// Packet n: its number, and filler to `size` bytes, framed.
QByteArray Page(int n, int size) {
    QByteArray page = "\x02" + QByteArray::number(n).rightJustified(6, '0') + '\r';
    page += QByteArray(size - page.size() - 1, 'x');
    return page + '\x03';
}

// The numbers of the whole packets in a byte stream; a packet cut short is not one.
QList<int> Numbers(const QByteArray& stream) {
    QList<int> numbers;
    qsizetype at = 0;
    while ((at = stream.indexOf('\x02', at)) >= 0) {
        const qsizetype end = stream.indexOf('\x03', at);
        if (end < 0)
            break;
        numbers << stream.mid(at + 1, 6).toInt();
        at = end + 1;
    }
    return numbers;
}

QList<int> StoredNumbers(const WorkFolder& folder) {
    QList<int> numbers;
    for (const auto& row :
         folder.rows(QStringLiteral("delayed.mdb"), QStringLiteral("SELECT Packet FROM Delayed "
                                                                   "ORDER BY Created, MessID")))
        numbers << Numbers(row[0].toByteArray());
    return numbers;
}

void Settle(int ms = 100) {
    QTest::qWait(ms);
}

} // namespace

class StalledClientTest : public QObject {
    Q_OBJECT

    struct Fixture {
        WorkFolder folder;
        quint16 port = TestPort();
        std::unique_ptr<TestSystem> t;
        Fixture() {
            folder.setOutputs({{kDescription, QString::number(port)}});
            t = std::make_unique<TestSystem>(folder.path());
            t->clock.set(kStart);
            sys().Form_Load();
            sys().outputSockets.UpdateOutputClients();
        }
        System& sys() { return *t->system; }
        platform::SocketState state() { return sys().outputSockets.Socket(0).State(); }
        bool accepted() {
            return QTest::qWaitFor([&] { return state() == platform::SocketState::Connected; },
                                   3000);
        }
        void relay(int first, int count, int size) {
            for (int n = first; n < first + count; ++n) {
                sys().outputRules.RelayToOutputs(Page(n, size));
                if (n % 50 == 0)
                    QCoreApplication::processEvents();
            }
            Settle();
        }
        // Heartbeats until the stalled client is closed, for at most `seconds`.
        // A window probe on real time can still move a few bytes, which starts
        // the thirty seconds again: the bound leaves room for that once.
        bool closedWithin(int seconds) {
            for (int s = 0; s < seconds && state() == platform::SocketState::Connected; s += 5)
                heartbeats(5);
            return state() == platform::SocketState::Listening;
        }
        // Heartbeats every five seconds for `seconds`.
        void heartbeats(int seconds) {
            for (int s = 0; s < seconds; s += 5) {
                t->clock.advanceSecs(5);
                sys().outputSockets.UpdateOutputClients();
                QCoreApplication::processEvents();
            }
        }
        // The client returns and takes its backlog, one stored packet a tick.
        QByteArray drain(LoopbackClient& client) {
            if (!AcceptedOnOutput(sys(), client, 0))
                return {};
            const adoDelayed& store = sys().delayedDb;
            for (int guard = 0; store.gDelayedCount > 0 && guard < 100000; ++guard) {
                t->clock.advanceSecs(1);
                sys().tmrSystem_Timer();
                QDeadlineTimer deadline(3000);
                while (sys().outputSockets.CarriesStoredRow(0) && !deadline.hasExpired())
                    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
            }
            Settle();
            return client.received;
        }
        QByteArray stalledLine() const {
            return "\tOutput\tSystem: Client Client A stopped reading. Closing port " +
                   QByteArray::number(port) + "\r\n";
        }
    };

    // Every packet reached the client: on the connection it stopped reading,
    // or from the store after it came back, oldest first and none twice there.
    // Packets the client's end had taken but not yet acknowledged when it was
    // closed are stored again, since the relay cannot know they arrived: at
    // most `inFlight` of them, the first ones stored, reach it twice.
    static void checkEveryPacketOnce(const QList<int>& before, const QList<int>& after, int total,
                                     int inFlight = 0) {
        QCOMPARE(QSet<int>(after.begin(), after.end()).size(), after.size());
        QVERIFY(std::is_sorted(after.begin(), after.end()));
        const QSet<int> early(before.begin(), before.end());
        QCOMPARE(early.size(), before.size());
        int twice = 0;
        while (twice < after.size() && early.contains(after[twice]))
            ++twice;
        QVERIFY2(twice <= inFlight, qPrintable(QStringLiteral("%1 twice").arg(twice)));
        QList<int> all = before + after.mid(twice);
        std::sort(all.begin(), all.end());
        QList<int> expected;
        for (int n = 0; n < total; ++n)
            expected << n;
        QCOMPARE(all, expected);
    }

private slots:
    void aClientThatStopsReadingIsClosedAndItsPacketsStored() {
        Fixture f;
        StuckClient stuck(f.port);
        QVERIFY(stuck.connected());
        QVERIFY(f.accepted());
        f.sys().outputSockets.UpdateOutputClients();

        // Far more than the buffers of both ends hold, far less than the bound.
        const int total = 3000;
        f.relay(0, total, 200);
        f.heartbeats(25);
        QCOMPARE(f.state(), platform::SocketState::Connected);
        QCOMPARE(f.folder.storedPackets(), 0);

        QVERIFY(f.closedWithin(40));
        QVERIFY(f.folder.systemLog().contains(f.stalledLine()));
        QVERIFY(f.t->warningNumbers().contains(104));
        QCOMPARE(f.state(), platform::SocketState::Listening);
        const QList<int> stored = StoredNumbers(f.folder);
        QVERIFY(!stored.isEmpty());
        QVERIFY(std::is_sorted(stored.begin(), stored.end()));

        QByteArray before;
        QVERIFY(QTest::qWaitFor(
            [&] {
                before += stuck.read();
                return stuck.ended;
            },
            3000));
        LoopbackClient back(f.port);
        const QByteArray after = f.drain(back);
        checkEveryPacketOnce(Numbers(before), Numbers(after), total);
        QCOMPARE(Numbers(after), stored);
    }

    // A stalled client's backlog goes to the disk in one commit, so that the
    // other clients' pages are not held behind a flush for every packet; the
    // rows and lines are those of packets stored one by one.
    void aStalledClientsBacklogIsStoredInOneCommit() {
        Fixture f;
        StuckClient stuck(f.port);
        QVERIFY(f.accepted());
        f.sys().outputSockets.UpdateOutputClients();
        f.relay(0, 600, 200);
        CommitCounter commits(f.sys().delayedDb.cnDelayed.database());
        QVERIFY(commits.watching());
        QVERIFY(f.closedWithin(70));
        QCOMPARE(commits.commits, 1);

        const auto rows = f.folder.rows(
            QStringLiteral("delayed.mdb"),
            QStringLiteral("SELECT MessID, Destination FROM Delayed ORDER BY Created, MessID"));
        const QList<int> stored = StoredNumbers(f.folder);
        QVERIFY(stored.size() > 100);
        for (int n = 0; n < rows.size(); ++n) {
            QCOMPARE(rows[n][0].toLongLong(), 1000000 + n);
            QCOMPARE(rows[n][1].toString(), kDescription);
            QCOMPARE(stored[n], stored.first() + n);
        }
        QCOMPARE(stored.last(), 599);
        QCOMPARE(f.folder.setting(QStringLiteral("MessID")).toLongLong(), 1000000 + rows.size());

        const QList<QByteArray> lines = LogLines(f.folder.systemLog(), "Output");
        const qsizetype stall = lines.indexOf(f.stalledLine().mid(8).chopped(2));
        QVERIFY(stall >= 0);
        QList<QByteArray> expected;
        for (int n = 1; n <= rows.size(); ++n)
            expected << "System: TCP failed Client A. Add record to dbase. Delayed Ct " +
                            QByteArray::number(n);
        QCOMPARE(lines.mid(stall + 1, rows.size()), expected);
        QCOMPARE(f.t->warningNumbers().count(104), 1);
    }

    void aClientOverItsBoundIsClosedWithinTheBound() {
        Fixture f;
        StuckClient stuck(f.port);
        QVERIFY(f.accepted());
        f.sys().outputSockets.UpdateOutputClients();
        const qint64 before = ResidentKiB();

        // 20,000 pages of 1,000 bytes: twenty times the bound, all at once.
        const int total = 20000;
        f.relay(0, total, 1000);
        QVERIFY(f.folder.systemLog().contains(f.stalledLine()));
        QVERIFY2(GrewLessThan(before, 12 * 1024), "the relay held a stalled client's packets");
        // Closed by a page it had no room for: that page's line, the close,
        // its backlog and then the page stored, each line counting the store up.
        const QList<QByteArray> lines = LogLines(f.folder.systemLog(), "Output");
        const qsizetype stall = lines.indexOf(f.stalledLine().mid(8).chopped(2));
        QVERIFY(stall > 0);
        QVERIFY(lines[stall - 1].startsWith("Out: Client A\t"));
        QVERIFY(lines[stall + 1].startsWith("System: TCP failed "));
        int count = 0;
        for (const QByteArray& line : lines)
            if (line.startsWith("System: TCP failed "))
                QCOMPARE(line, "System: TCP failed Client A. Add record to dbase. Delayed Ct " +
                                   QByteArray::number(++count));
        QCOMPARE(count, f.folder.storedPackets());

        QByteArray early;
        QVERIFY(QTest::qWaitFor(
            [&] {
                early += stuck.read();
                return stuck.ended;
            },
            3000));
        QVERIFY(!Numbers(early).isEmpty());
        LoopbackClient back(f.port);
        const QByteArray after = f.drain(back);
        // Closed at once, mid-stream: what was on its way may not have been
        // acknowledged yet (a receive buffer holds eight of these pages).
        checkEveryPacketOnce(Numbers(early), Numbers(after), total, 8);
    }

    void aClientThatReadsSlowlyIsNotClosed() {
        Fixture f;
        StuckClient slow(f.port);
        QVERIFY(f.accepted());
        f.sys().outputSockets.UpdateOutputClients();
        const int total = 3000;
        f.relay(0, total, 200);

        // It takes a little every 25 seconds: never 30 without a byte.
        QByteArray received;
        for (int round = 0; round < 6; ++round) {
            f.heartbeats(25);
            received += slow.read(16 * 1024);
            Settle(20);
        }
        QCOMPARE(f.state(), platform::SocketState::Connected);
        QVERIFY(!f.folder.systemLog().contains("stopped reading"));
        QVERIFY(QTest::qWaitFor(
            [&] {
                received += slow.read();
                return Numbers(received).size() == total;
            },
            5000));
        QCOMPARE(f.folder.storedPackets(), 0);
        checkEveryPacketOnce(Numbers(received), {}, total);
    }
};

QTEST_GUILESS_MAIN(StalledClientTest)
#include "stalled-client-test.moc"
