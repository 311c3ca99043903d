// The relay (build/src/ombrix) killed outright during a burst of pages: after
// a restart every page that reached its client is in history.mdb, none twice,
// and the pages relayed after the restart take identifiers above them all.
//
// What makes it so: a page's record is written to the archive's journal (a
// write to the file system, no flush) before any client is sent its bytes,
// and the start after a kill writes the journal's pages into the archive,
// each under its identifier once. A power cut is not covered: nothing waits
// for the disk.

#include "TestPorts.h"
#include "WorkFolder.h"

#include "SatelliteStream.h"

#include <QDir>
#include <QProcess>
#include <QRandomGenerator>
#include <QSet>
#include <QTcpServer>
#include <QTest>
#include <csignal>

namespace {

QByteArray PageText(int n) {
    return "Crash page " + QByteArray::number(n) + " unit to the depot";
}

sim::Page Page(int n) {
    sim::Page page;
    page.ric = 400000 + quint32(n % 1000);
    page.function = 'D';
    page.type = 'A';
    page.text = PageText(n);
    return page;
}

// The texts of the pages among the packets a client received.
QList<QByteArray> TextsIn(const QByteArray& received) {
    QList<QByteArray> texts;
    for (const QByteArray& piece : received.split('\x03')) {
        const QList<QByteArray> fields = piece.mid(1).split('\r');
        if (piece.startsWith('\x02') && fields.size() == 6 && fields[5].startsWith("Crash page"))
            texts << fields[5];
    }
    return texts;
}

struct Relay {
    WorkFolder& folder;
    QTcpServer& carrier;
    QProcess process;
    QTcpSocket* feed = nullptr;
    bool streamed = false;

    Relay(WorkFolder& f, QTcpServer& c) : folder(f), carrier(c) {
        QObject::connect(&carrier, &QTcpServer::newConnection, &process,
                         [this] { feed = carrier.nextPendingConnection(); });
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process.start(QStringLiteral(OMBRIX_BINARY),
                      {QStringLiteral("--headless"), QStringLiteral("--workdir"), folder.path()});
    }
    bool fed() {
        return QTest::qWaitFor([this] { return feed != nullptr; }, 20000);
    }
    // Each block ends with the next one's marker: the stream goes on.
    void send(const QList<sim::Page>& pages) {
        const QByteArray stream = sim::EncodeStream(pages, sim::StreamOptions{});
        feed->write(std::exchange(streamed, true) ? stream.mid(sim::BlockMarker().size()) : stream);
    }
};

bool Connected(LoopbackClient& client, quint16 port) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        client.connectTo(port);
        if (client.socket.waitForConnected(200))
            return true;
        client.socket.abort();
        QTest::qWait(100);
    }
    return false;
}

} // namespace

class HistoryCrashTest : public QObject {
    Q_OBJECT

private slots:
    void killedDuringABurstEveryPageAClientGotIsArchivedOnce() {
        WorkFolder folder;
        const quint16 port = TestPort();
        folder.setOutputs({{QStringLiteral("Client"), QString::number(port)}});
        folder.setSetting(QStringLiteral("WebConsolePort"), QStringLiteral("0"));
        folder.setSetting(QStringLiteral("MonitorPort"), QStringLiteral("0"));
        folder.setSetting(QStringLiteral("LastBackUp"), QDateTime::currentDateTime().toString(
                                                            QStringLiteral("d MMM yyyy HH:mm:ss")));
        QTcpServer carrier;
        QVERIFY(carrier.listen(QHostAddress::LocalHost, 0));
        folder.exec(
            QStringLiteral("Ombrixsys.mdb"),
            QStringLiteral(
                "INSERT INTO Telstra (Description, Port, Active) VALUES ('Carrier', ?, 'Y')"),
            {QString::number(carrier.serverPort())});

        QByteArray received;
        int next = 0;
        {
            Relay relay(folder, carrier);
            QVERIFY(relay.fed());
            LoopbackClient client;
            QVERIFY(Connected(client, port));
            // A burst, a block of five pages every 20 ms, until the client has
            // a random number of them (some seconds' worth, so that the
            // archive has written batches and holds more in hand); the kill
            // comes while it goes on.
            const int killAfter = 600 + QRandomGenerator::global()->bounded(600);
            while (TextsIn(client.received).size() < killAfter) {
                QList<sim::Page> block;
                for (int i = 0; i < 5; ++i)
                    block << Page(next++);
                relay.send(block);
                QTest::qWait(20);
                QVERIFY2(next < 20000, "the client gets no pages");
            }
            ::kill(static_cast<pid_t>(relay.process.processId()), SIGKILL);
            QVERIFY(relay.process.waitForFinished(10000));
            QTest::qWait(100);
            received = client.received;
        }
        const QList<QByteArray> got = TextsIn(received);
        QCOMPARE(QSet<QByteArray>(got.begin(), got.end()).size(), got.size());
        // Pages that reached the client and were not in the archive itself
        // yet were in the journal beside it.
        const qint64 archivedAtKill =
            folder.rows(QStringLiteral("history.mdb"), QStringLiteral("SELECT count(*) FROM Pages"))
                .value(0)
                .value(0)
                .toLongLong();
        const QStringList pending =
            QDir(folder.path()).entryList({QStringLiteral("history.mdb-pending-*")});
        QVERIFY2(archivedAtKill >= got.size() || !pending.isEmpty(),
                 qPrintable(QStringLiteral("%1 archived of %2 received, %3 journal files")
                                .arg(archivedAtKill)
                                .arg(got.size())
                                .arg(pending.size())));

        // The restart, and a page after it; then an orderly stop.
        {
            Relay relay(folder, carrier);
            QVERIFY(relay.fed());
            LoopbackClient client;
            QVERIFY(Connected(client, port));
            QTest::qWait(200);
            relay.send({Page(99999)});
            QTRY_COMPARE_WITH_TIMEOUT(TextsIn(client.received).size(), 1, 10000);
            relay.process.terminate();
            QVERIFY(relay.process.waitForFinished(20000));
            QCOMPARE(relay.process.exitCode(), 0);
        }

        QMap<QByteArray, QList<qint64>> archived;
        for (const QVariantList& row : folder.rows(QStringLiteral("history.mdb"),
                                                   QStringLiteral("SELECT ID, Text FROM Pages")))
            archived[row[1].toString().toLatin1()] << row[0].toLongLong();
        for (const QByteArray& text : got)
            QVERIFY2(archived.value(text).size() == 1, text.constData());
        qint64 largestBefore = 0;
        for (auto it = archived.begin(); it != archived.end(); ++it) {
            QVERIFY2(it.value().size() == 1, it.key().constData()); // none twice
            if (it.key() != PageText(99999))
                largestBefore = std::max(largestBefore, it.value().first());
        }
        QVERIFY(archived.value(PageText(99999)).value(0) > largestBefore);
        QVERIFY(QDir(folder.path()).entryList({QStringLiteral("history.mdb-pending-*")}).isEmpty());
        qInfo("%lld pages received before the kill, %lld in the archive then, %lld journal "
              "files; %lld pages archived after the restart",
              qint64(got.size()), archivedAtKill, qint64(pending.size()), qint64(archived.size()));
    }
};

QTEST_GUILESS_MAIN(HistoryCrashTest)
#include "history-crash-test.moc"
