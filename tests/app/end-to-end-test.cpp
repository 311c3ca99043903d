// The whole relay on loopback: a carrier streams 200 pages (all three kinds,
// across batches and blocks, with garbage between blocks) and three clients
// take them: one connected throughout, one that connects only after the stream
// has ended, one that leaves in the middle and comes back. The one-second
// resend runs on the fake clock.

#include "TestPorts.h"
#include "TestSystem.h"

#include "SatelliteStream.h"

#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <memory>

namespace {

struct Client {
    QTcpSocket socket;
    QByteArray received;
    void connectTo(quint16 port) {
        QObject::connect(&socket, &QTcpSocket::readyRead, &socket,
                         [this] { received += socket.readAll(); });
        socket.connectToHost(QHostAddress::LocalHost, port);
    }
    // Address, function, type and text of every page received, in order; frame
    // notices (address 1234566) are left out.
    QList<QByteArray> pages() const {
        QList<QByteArray> found;
        for (QByteArray packet : received.split('\x03')) {
            if (!packet.startsWith('\x02'))
                continue;
            const QList<QByteArray> f = packet.mid(1).split('\r');
            if (f.size() == 6 && f[3] != "1234566")
                found << (f[3] + ' ' + f[2] + ' ' + f[4] + ' ' + f[5]).trimmed();
        }
        return found;
    }
};

QList<sim::Page> MakePages() {
    QList<sim::Page> pages;
    for (int i = 0; i < 200; ++i) {
        sim::Page page;
        page.ric = 100000 + quint32(i) * 97;
        page.function = "ABCD"[i % 4];
        switch (i % 5) {
        case 0:
            page.type = 'N';
            page.text = QByteArray::number(1000 + i);
            break;
        case 1:
            page.type = 'T';
            break;
        default:
            page.type = 'A';
            page.text = "Page " + QByteArray::number(i) + ": unit " + QByteArray::number(i % 17) +
                        " respond to " + QByteArray(i % 40 + 1, char('a' + i % 26));
        }
        pages << page;
    }
    return pages;
}

QByteArray Expected(const sim::Page& page) {
    return QByteArray::number(page.ric).rightJustified(7, '0') + ' ' + page.function + ' ' +
           page.type + ' ' + page.text;
}

} // namespace

class EndToEndTest : public QObject {
    Q_OBJECT

private slots:
    void everyClientGetsEveryPageOnceInOrder() {
        const QList<sim::Page> pages = MakePages();
        sim::StreamOptions options;
        options.pagesPerBlock = 9;
        QByteArray stream;
        for (qsizetype at = 0; at < pages.size(); at += options.pagesPerBlock) {
            stream += sim::EncodeStream(pages.mid(at, options.pagesPerBlock), options);
            QByteArray garbage(300, '\0');
            for (char& c : garbage)
                do
                    c = char(QRandomGenerator::global()->bounded(256));
                while (c == 0x29);
            stream += garbage;
        }

        QTcpServer carrier;
        QVERIFY(carrier.listen(QHostAddress::LocalHost, 0));
        QTcpSocket* feed = nullptr;
        QObject::connect(&carrier, &QTcpServer::newConnection,
                         [&] { feed = carrier.nextPendingConnection(); });

        WorkFolder folder;
        const quint16 ports[3] = {TestPort(), TestPort(), TestPort()};
        folder.setOutputs({{QStringLiteral("Always"), QString::number(ports[0])},
                           {QStringLiteral("Flaky"), QString::number(ports[1])},
                           {QStringLiteral("Late"), QString::number(ports[2])}});
        folder.setSetting(QStringLiteral("LastBackUp"), QStringLiteral("15 Jan 2026 09:00:00"));
        folder.exec(
            QStringLiteral("Ombrixsys.mdb"),
            QStringLiteral(
                "INSERT INTO Telstra (Description, Port, Active) VALUES ('Carrier', ?, 'Y')"),
            {QString::number(carrier.serverPort())});
        TestSystem t(folder.path());
        t.clock.set(QDateTime(QDate(2026, 1, 15), QTime(10, 0, 0)));
        QVERIFY(t->Form_Load());
        auto heartbeat = [&] {
            t.clock.advanceSecs(5);
            t->tmrSockets_Timer();
        };
        heartbeat();
        QTRY_VERIFY(feed != nullptr);

        Client always, flaky, late;
        always.connectTo(ports[0]);
        flaky.connectTo(ports[1]);
        QTRY_COMPARE(t->outputSockets.Socket(0).State(), platform::SocketState::Connected);
        QTRY_COMPARE(t->outputSockets.Socket(1).State(), platform::SocketState::Connected);
        heartbeat();

        // The first half of the stream in pieces of assorted sizes.
        qsizetype sent = 0;
        auto send = [&](qsizetype upTo) {
            while (sent < upTo) {
                const qsizetype piece =
                    qMin<qsizetype>(upTo - sent, 1 + QRandomGenerator::global()->bounded(700));
                feed->write(stream.mid(sent, piece));
                sent += piece;
                QTest::qWait(1);
            }
            QTRY_COMPARE(t->decoder.SatBufferLength() == 0 || sent == stream.size(), true);
        };
        QSignalSpy relayed(&t->outputRules, &OutputRules::relayed);
        send(stream.size() / 2);
        // Flaky leaves once it has read what was sent to it: bytes still in
        // flight when a client closes are lost to it, and TCP cannot tell the relay.
        QTRY_VERIFY(flaky.pages().size() > 50 && flaky.received.count('\x03') == relayed.size());
        flaky.socket.disconnectFromHost();
        QTRY_COMPARE(t->outputSockets.Socket(1).State(), platform::SocketState::Listening);
        send(stream.size());
        QTRY_COMPARE(always.pages().size(), pages.size());

        // The others come back; the stored packets go out one a second.
        late.connectTo(ports[2]);
        Client flakyAgain;
        flakyAgain.connectTo(ports[1]);
        QTRY_COMPARE(t->outputSockets.Socket(1).State(), platform::SocketState::Connected);
        QTRY_COMPARE(t->outputSockets.Socket(2).State(), platform::SocketState::Connected);
        for (int tick = 0; tick < 400 && t->delayedDb.gDelayedCount > 0; ++tick) {
            t.clock.advanceSecs(1);
            t->tmrSystem_Timer();
            QTest::qWait(2);
        }
        QCOMPARE(folder.storedPackets(), 0);

        QList<QByteArray> expected;
        for (const sim::Page& page : pages)
            expected << Expected(page).trimmed();
        QTRY_COMPARE(late.pages(), expected);
        QCOMPARE(always.pages(), expected);
        QTRY_COMPARE(flaky.pages() + flakyAgain.pages(), expected);
        QVERIFY(t.warnings.isEmpty());
    }
};

QTEST_GUILESS_MAIN(EndToEndTest)
#include "end-to-end-test.moc"
