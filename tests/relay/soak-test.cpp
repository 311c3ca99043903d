// A day of service on the fake clock: a carrier that drops the connection
// every 37 minutes and twice falls silent for 4 minutes, five clients that come
// and go at random. Every page reaches every client exactly once, the store
// ends empty, and the process does not grow after the first hour.
//
// The test moves in one-second steps and keeps the relay in lockstep with it:
// each page written by the carrier is relayed before the clock moves on, and a
// client reads all that was sent to it before it closes (TCP cannot tell the
// relay about bytes a closing client never read).

#include "ProcessMemory.h"
#include "TestPorts.h"
#include "TestSystem.h"

#include "SatelliteStream.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QPointer>
#include <QRandomGenerator>
#include <QTcpServer>
#include <QTest>
#include <sys/ioctl.h>
#include <vector>

namespace {

constexpr int kDay = 24 * 3600;
constexpr int kMaxPages = 12000;

// Runs the event loop until `done` holds; false after five seconds of real time.
template <typename Condition> bool PumpUntil(Condition done) {
    QElapsedTimer waited;
    waited.start();
    while (!done()) {
        if (waited.elapsed() > 5000)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
    }
    return true;
}

// Bytes in the kernel for this socket that it has not read yet.
int Unread(const QTcpSocket& socket) {
    int count = 0;
    if (socket.socketDescriptor() >= 0)
        ::ioctl(int(socket.socketDescriptor()), FIONREAD, &count);
    return count + int(socket.bytesAvailable());
}

// The carrier's end of the feed: pages are numbered, written as they come when
// the relay is connected and kept until it connects again when it is not. Each
// connection's stream opens with a block marker.
class Carrier {
public:
    Carrier() {
        server.listen(QHostAddress::LocalHost, 0);
        QObject::connect(&server, &QTcpServer::newConnection, [this] {
            if (feed)
                feed->abort();
            feed = server.nextPendingConnection();
            QObject::connect(feed, &QTcpSocket::disconnected, feed, &QObject::deleteLater);
            streamOpen = false;
            ++connections;
            flush();
        });
    }

    void page(int number) {
        sim::Page page;
        page.ric = 200000 + quint32(number % 1000) * 8;
        page.function = "ABCD"[number % 4];
        page.type = 'A';
        page.text = "Soak " + QByteArray::number(number) + " unit " +
                    QByteArray(1 + number % 50, char('a' + number % 26));
        // Blocks follow each other with one marker between them.
        waiting += sim::EncodeStream({page}, sim::StreamOptions{}).mid(sim::BlockMarker().size());
        ++waitingPages;
        ++generated;
        flush();
    }

    void flush() {
        if (!feed || feed->state() != QAbstractSocket::ConnectedState || waiting.isEmpty())
            return;
        if (!streamOpen)
            feed->write(sim::BlockMarker());
        streamOpen = true;
        feed->write(waiting);
        written += waitingPages;
        waiting.clear();
        waitingPages = 0;
    }

    void drop() {
        if (feed)
            feed->disconnectFromHost();
        ++drops;
    }

    QTcpServer server;
    QPointer<QTcpSocket> feed;
    QByteArray waiting;
    bool streamOpen = false; // the marker that opens a connection's stream is sent
    int waitingPages = 0;
    int generated = 0;
    int written = 0;
    int drops = 0;
    int connections = 0;
};

// The page number a packet carries, or -1.
int PageNumber(const QByteArray& packet) {
    const qsizetype at = packet.indexOf("Soak ");
    if (at < 0)
        return -1;
    bool ok = false;
    const int number = packet.mid(at + 5, packet.indexOf(' ', at + 5) - at - 5).toInt(&ok);
    return ok && number >= 0 && number < kMaxPages ? number : -1;
}

// A hash of each page's packet as the relay relayed it, by page number.
std::vector<size_t> relayedHash(kMaxPages, 0);

// A client application that comes and goes, counting each numbered page it
// receives byte for byte as relayed; anything else than a page, a frame notice
// or the idle message is a fault. Fixed storage, so that its own growth does
// not count as the relay's.
class Client {
public:
    Client() : seen(kMaxPages, 0) {
        QObject::connect(&socket, &QTcpSocket::readyRead, &socket, [this] { read(); });
    }

    void read() {
        partial += socket.readAll();
        qsizetype end;
        while ((end = partial.indexOf('\x03')) >= 0) {
            const QByteArray packet = partial.left(end + 1);
            partial.remove(0, end + 1);
            ++packets;
            const int number = PageNumber(packet);
            if (!packet.startsWith('\x02'))
                ++faults;
            else if (number >= 0 && qHash(packet) == relayedHash[number])
                ++seen[number];
            else if (number >= 0 || !(packet.contains("\r1234566\r") ||
                                      packet.contains("Dummy Message: NO data on Relay Input")))
                ++faults;
        }
    }

    QTcpSocket socket;
    QByteArray partial;
    std::vector<quint8> seen;
    qint64 packets = 0;
    int faults = 0;     // packets cut, altered or unknown
    bool wanted = true; // whether it means to be connected
    int nextChange = 0; // second of the day when it changes its mind
    int sessions = 0;
};

} // namespace

class SoakTest : public QObject {
    Q_OBJECT

    WorkFolder folder;
    std::unique_ptr<TestSystem> t;
    Carrier carrier;
    Client clients[5];
    quint16 ports[5] = {};
    int relayedPages = 0;
    QRandomGenerator random;

    int second = 0;

    // One second of the relay's life: the one-second resend, and every five
    // seconds the sockets tick and the idle message.
    void tick() {
        t->clock.advanceSecs(1);
        ++second;
        (*t)->tmrSystem_Timer();
        if (second % 5 == 0) {
            (*t)->tmrSockets_Timer();
            (*t)->outputSockets.tmrWskOutputs_Timer();
        }
        for (int i = 0; i < 3; ++i)
            QCoreApplication::processEvents();
        // As the running event loop does; without it every socket closed
        // would be kept until the end of the test.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    // The history has written all it was told: what its writer still holds
    // is a backlog, which a busy machine makes longer, not a leak.
    bool historyWritten() {
        return PumpUntil([&] {
            if ((*t)->history.Settled())
                return true;
            (*t)->outputSockets.NoteTaken();
            (*t)->history.Tick();
            return false;
        });
    }

    // Every page the carrier has written has been relayed.
    bool relayCaughtUp() {
        return PumpUntil([&] { return relayedPages == carrier.written; });
    }

    bool connected(int i) {
        return (*t)->outputSockets.Socket(i).State() == platform::SocketState::Connected;
    }

    // Leaves only once it has read everything the relay sent it.
    bool leave(int i) {
        Client& c = clients[i];
        const OutputSocket& out = (*t)->outputSockets.Entry(i);
        if (!PumpUntil([&] {
                return out.Sending.Ready() && out.Sending.Pending().isEmpty() &&
                       Unread(c.socket) == 0;
            }))
            return false;
        c.read();
        if (!c.partial.isEmpty())
            return false; // left with half a packet
        c.socket.disconnectFromHost();
        return PumpUntil([&] { return !connected(i); });
    }

    // Tries to connect; a relay that is not listening again yet refuses, and
    // the client tries again the next second.
    bool arrive(int i) {
        Client& c = clients[i];
        c.socket.abort();
        if (!c.partial.isEmpty())
            ++c.faults;
        c.partial.clear();
        c.socket.connectToHost(QHostAddress::LocalHost, ports[i]);
        if (!PumpUntil([&] { return c.socket.state() != QAbstractSocket::ConnectingState; }))
            return false;
        if (c.socket.state() != QAbstractSocket::ConnectedState)
            return true;
        ++c.sessions;
        return PumpUntil([&] { return connected(i); });
    }

    // The client stays away until `until`, whatever it had in mind.
    bool sendAway(int i, int until) {
        Client& c = clients[i];
        c.wanted = false;
        c.nextChange = until;
        return c.socket.state() != QAbstractSocket::ConnectedState || leave(i);
    }

    // The operator renames an output while its client, back from an hour
    // away, takes its backlog: what is still stored under the old name has no
    // destination any more and is pruned. (The rename of an output whose
    // client is away waits for its client, so it would prune nothing.)
    std::vector<bool> pruned = std::vector<bool>(kMaxPages, false);
    int prunedCount = 0;
    void renameWhileDraining(int i) {
        QCOMPARE((*t)->outputSockets.Entry(i).Status, int(OutputSocket::Connected));
        const QString name = QStringLiteral("Client %1").arg(i);
        for (const QVariantList& row : folder.rows(
                 QStringLiteral("delayed.mdb"),
                 QStringLiteral("SELECT Packet FROM Delayed WHERE Destination = ?"), {name})) {
            const QByteArray packet = row[0].toByteArray();
            const qsizetype at = packet.indexOf("Soak ");
            if (at >= 0) {
                pruned[packet.mid(at + 5, packet.indexOf(' ', at + 5) - at - 5).toInt()] = true;
                ++prunedCount;
            }
        }
        (*t)->commands.Edit(config::EditedTable::Outputs);
        auto rs = (*t)->db.rsOutputs;
        for (rs->MoveFirst(); rs->Field(QStringLiteral("Description")).toString() != name;)
            rs->MoveNext();
        rs->SetField(QStringLiteral("Description"), name + QStringLiteral(" renamed"));
        QVERIFY((*t)->commands.Commit(config::EditedTable::Outputs).isEmpty());
        QCOMPARE((*t)->outputSockets.Entry(i).Description, name + QStringLiteral(" renamed"));
    }

    bool moveClients(bool allComeBack) {
        for (int i = 0; i < 5; ++i) {
            Client& c = clients[i];
            if (!allComeBack && second >= c.nextChange) {
                c.wanted = !c.wanted;
                // Present for 5 to 120 minutes, away for 1 to 60.
                c.nextChange = second + (c.wanted ? 300 + int(random.bounded(7200 - 300))
                                                  : 60 + int(random.bounded(3600 - 60)));
                if (!c.wanted && c.socket.state() == QAbstractSocket::ConnectedState && !leave(i))
                    return false;
            }
            if (allComeBack)
                c.wanted = true;
            if (c.wanted && c.socket.state() != QAbstractSocket::ConnectedState && !arrive(i))
                return false;
        }
        return true;
    }

    // Warnings 108 and, once a silence has lasted two minutes, 112.
    int quietFeeds = 0;
    [[nodiscard]] bool countWarnings() {
        for (const TestSystem::Warning& w : t->warnings) {
            const bool quiet =
                w.number == 112 &&
                w.text == QLatin1String("The carrier is connected but sends no frames: Carrier");
            if (w.number != 108 && !quiet) {
                qWarning("unexpected warning %d: %s", w.number, qPrintable(w.text));
                return false;
            }
            quietFeeds += quiet ? 1 : 0;
        }
        return true;
    }

    // The carrier's day: a page every 5 to 35 seconds, a drop every 37 minutes
    // (once what it wrote has been relayed), silent from 6:00 and from 15:00
    // for 4 minutes each.
    int nextPage = 10;
    bool moveCarrier() {
        const bool silent = (second >= 6 * 3600 && second < 6 * 3600 + 240) ||
                            (second >= 15 * 3600 && second < 15 * 3600 + 240);
        if (second % (37 * 60) == 0)
            carrier.drop();
        if (!silent && second >= nextPage) {
            nextPage = second + 5 + int(random.bounded(31));
            carrier.page(carrier.generated);
        }
        return relayCaughtUp();
    }

private slots:
    void initTestCase() {
        // SOAK_SEED=<seed> makes the same choices as the run that printed it.
        const quint32 seed = qEnvironmentVariableIsSet("SOAK_SEED")
                                 ? qEnvironmentVariable("SOAK_SEED").toUInt()
                                 : QRandomGenerator::global()->generate();
        random.seed(seed);
        qInfo("SOAK_SEED=%u", seed);
        for (quint16& port : ports)
            port = TestPort();
        QList<WorkFolder::Output> outputs;
        for (int i = 0; i < 5; ++i)
            outputs << WorkFolder::Output{QStringLiteral("Client %1").arg(i),
                                          QString::number(ports[i])};
        folder.setOutputs(outputs);
        folder.exec(
            QStringLiteral("Ombrixsys.mdb"),
            QStringLiteral(
                "INSERT INTO Telstra (Description, Port, Active) VALUES ('Carrier', ?, 'Y')"),
            {QString::number(carrier.server.serverPort())});
        folder.setSetting(QStringLiteral("LastBackUp"), QStringLiteral("14 Jan 2026 03:01:00"));
        t = std::make_unique<TestSystem>(folder.path());
        t->clock.set(QDateTime(QDate(2026, 1, 14), QTime(9, 0, 0)));
        QVERIFY((*t)->Form_Load());
        QObject::connect(&(*t)->outputRules, &OutputRules::relayed, [this](const QByteArray& p) {
            const int number = PageNumber(p);
            if (number >= 0) {
                relayedHash[size_t(number)] = qHash(p);
                ++relayedPages;
            }
        });
        for (int i = 0; i < 5; ++i)
            clients[i].nextChange = 60 + int(random.bounded(3600));
    }

    void aDayOfDropsSilencesAndClientsComingAndGoing() {
        QElapsedTimer elapsed;
        elapsed.start();
        const qint64 firstMessID = (*t)->delayedDb.gMessID;
        qint64 rssAfterFirstHour = 0, rssPeak = 0;
        qint64 heapAfterFirstHour = 0;
        int storedPeak = 0;
        qsizetype warnings = 0;
        while (second < kDay) {
            tick();
            QVERIFY2(moveCarrier(), qPrintable(QStringLiteral("carrier at %1 s").arg(second)));
            QVERIFY2(moveClients(false), qPrintable(QStringLiteral("clients at %1 s").arg(second)));
            if (second == 11 * 3600)
                QVERIFY(sendAway(4, 12 * 3600));
            if (second == 12 * 3600 + 30) {
                renameWhileDraining(4);
                if (QTest::currentTestFailed())
                    return;
            }
            storedPeak = qMax(storedPeak, (*t)->delayedDb.gDelayedCount);
            if (second % 3600 == 0) {
                // The only warnings are those of clients away for more than a
                // minute, and one for each silence of the carrier; they are
                // dropped here so that the test keeps nothing.
                QVERIFY(countWarnings());
                warnings += t->warnings.size();
                t->warnings = {};
                const qint64 rss = ResidentKiB();
                QVERIFY(historyWritten());
                if (second == 3600) {
                    rssAfterFirstHour = rss;
                    heapAfterFirstHour = HeapKiB();
                }
                rssPeak = qMax(rssPeak, rss);
                qInfo("hour %2d: RSS %lld KiB, heap in use %lld KiB besides SQLite's %lld KiB, "
                      "stored now %d",
                      second / 3600, rss, HeapKiB(), SqliteKiB(), (*t)->delayedDb.gDelayedCount);
            }
        }

        // One quiet feed for each silence.
        QVERIFY(countWarnings());
        warnings += t->warnings.size();
        t->warnings = {};
        QCOMPARE(quietFeeds, 2);

        // Everyone comes back; the store drains at one packet a second.
        const int dayEnd = second;
        while ((*t)->delayedDb.gDelayedCount > 0 && second < dayEnd + 4 * 3600) {
            tick();
            QVERIFY(relayCaughtUp());
            QVERIFY(moveClients(true));
        }
        for (int i = 0; i < 5; ++i)
            QVERIFY(leave(i));
        rssPeak = qMax(rssPeak, ResidentKiB());
        QVERIFY(historyWritten());
        const qint64 heapAtEnd = HeapKiB();

        QCOMPARE(relayedPages, carrier.generated);
        for (int i = 0; i < 5; ++i)
            for (int page = 0; page < carrier.generated; ++page)
                QVERIFY2(clients[i].seen[page] == (i == 4 && pruned[page] ? 0 : 1),
                         qPrintable(QStringLiteral("client %1 got page %2 %3 times")
                                        .arg(i)
                                        .arg(page)
                                        .arg(clients[i].seen[page])));
        for (int i = 0; i < 5; ++i)
            QCOMPARE(clients[i].faults, 0);
        QCOMPARE(folder.storedPackets(), 0);
        QVERIFY(countWarnings());
        QVERIFY(quietFeeds <= 3); // the carrier sends nothing while the store drains
        warnings += t->warnings.size();
        qint64 received = 0;
        int sessions = 0;
        for (const Client& c : clients) {
            received += c.packets;
            sessions += c.sessions;
        }
        // The relay came back after every drop and after both silences.
        QVERIFY(carrier.connections >= carrier.drops + 2);
        QVERIFY(prunedCount > 0);
        qInfo("%d pages, %d drops, %d carrier connections, %d client sessions, %lld warnings "
              "108 and 112, %d pages pruned by a rename; %d packets stored (peak %d at once), "
              "%lld packets received by the clients; RSS after hour 1 %lld KiB, peak %lld KiB; "
              "heap in use besides SQLite after hour 1 %lld KiB, at the end %lld KiB; %lld ms",
              carrier.generated, carrier.drops, carrier.connections, sessions, qint64(warnings),
              prunedCount, int((*t)->delayedDb.gMessID - firstMessID), storedPeak, received,
              rssAfterFirstHour, rssPeak, heapAfterFirstHour, heapAtEnd, elapsed.elapsed());
        // After the first hour the process grows by less than 2 MiB (the
        // database caches still fill as the store changes size).
        QVERIFY2(!kMemoryMeasurable || rssPeak - rssAfterFirstHour < 2 * 1024,
                 qPrintable(QString::number(rssPeak - rssAfterFirstHour)));
        // And what it holds besides SQLite's page caches (which its cache size
        // bounds), once the store is empty again, is hardly more than after the
        // first hour: the day's ended alarms are kept, but a leak of 100 bytes
        // a page would show.
        QVERIFY2(!kMemoryMeasurable || heapAtEnd < heapAfterFirstHour + 400,
                 qPrintable(QStringLiteral("%1 -> %2").arg(heapAfterFirstHour).arg(heapAtEnd)));
    }
};

QTEST_GUILESS_MAIN(SoakTest)
#include "soak-test.moc"
