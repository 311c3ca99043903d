// Sends held for the length of a carrier read, as the clients' peers see them
// on loopback connections.

#include "platform/HeldSends.h"
#include "platform/SocketControl.h"

#include <QHostAddress>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

#include <memory>
#include <vector>

namespace {

constexpr int kWaitMs = 5000;

// A control connected to SERVER, and the server's side of the connection.
struct Client {
    std::unique_ptr<platform::SocketControl> control;
    QTcpSocket* peer = nullptr;
};

void Connect(QTcpServer& server, Client& client) {
    client.control = std::make_unique<platform::SocketControl>();
    client.control->RemoteHost = QStringLiteral("127.0.0.1");
    client.control->RemotePort = server.serverPort();
    client.control->Connect();
    if (server.waitForNewConnection(kWaitMs))
        client.peer = server.nextPendingConnection();
    QTRY_VERIFY_WITH_TIMEOUT(client.control->State() == platform::SocketState::Connected, kWaitMs);
}

QByteArray EveryByte() {
    QByteArray bytes;
    for (int value = 0; value < 256; ++value)
        bytes.append(static_cast<char>(value));
    return bytes;
}

} // namespace

class HeldSendsTest : public QObject {
    Q_OBJECT

private slots:
    // What a control holds reaches its peer as one piece when the read ends,
    // every byte value as it was; a control destroyed while it held sends
    // loses them without harm to the others, and its peer sees only the close.
    void heldSendsGoOutTogetherAndAGoneControlIsLeftOut() {
        QTcpServer server;
        QVERIFY(server.listen(QHostAddress::LocalHost));
        Client gone;
        Client kept;
        Connect(server, gone);
        Connect(server, kept);
        QVERIFY(gone.peer && kept.peer);
        QSignalSpy closed(gone.peer, &QTcpSocket::disconnected);
        {
            const platform::HeldSendScope held;
            gone.control->HoldSends();
            gone.control->SendData("notice");
            kept.control->HoldSends();
            kept.control->SendData("notice|");
            gone.control.reset();
            kept.control->SendData(EveryByte());
            QCOMPARE(kept.control->BytesToWrite(), qint64(7 + 256));
        }
        QTRY_COMPARE_WITH_TIMEOUT(kept.peer->bytesAvailable(), qint64(7 + 256), kWaitMs);
        QCOMPARE(kept.peer->readAll(), "notice|" + EveryByte());
        QTRY_VERIFY_WITH_TIMEOUT(!closed.isEmpty(), kWaitMs);
        QCOMPARE(gone.peer->readAll(), QByteArray());
    }

    // Fifty clients' held sends leave in one call: each peer gets its own
    // bytes, whole and once. A send larger than the network stack takes at
    // once, and one behind bytes still in the socket's buffer, finish through
    // the buffer in order, and every send is counted and told complete.
    void manyHeldSendsLeaveTogetherEachWholeAndInOrder() {
        constexpr int kClients = 50;
        const QByteArray beyondTheStack(8 * 1024 * 1024, '\xAA');
        QTcpServer server;
        QVERIFY(server.listen(QHostAddress::LocalHost));
        std::vector<Client> clients(kClients);
        std::vector<std::unique_ptr<QSignalSpy>> completions;
        for (Client& client : clients) {
            Connect(server, client);
            QVERIFY(client.peer);
            completions.push_back(std::make_unique<QSignalSpy>(
                client.control.get(), &platform::SocketControl::SendComplete));
        }
        QByteArray expected[kClients];
        // Client 1's socket buffer still holds bytes when the read begins.
        clients[1].control->SendData(beyondTheStack);
        expected[1] = beyondTheStack;
        QVERIFY(clients[1].control->BytesToWrite() > 0);
        {
            const platform::HeldSendScope held;
            for (int i = 0; i < kClients; ++i) {
                const QByteArray data =
                    i == 0 ? beyondTheStack : QByteArray::number(i) + EveryByte();
                clients[i].control->HoldSends();
                clients[i].control->SendData(data);
                expected[i] += data;
            }
            platform::HeldSendScope::ReleaseAll();
            QCOMPARE(clients[2].control->BytesToWrite(), qint64(0));
            QVERIFY(clients[0].control->BytesToWrite() > 0);
        }
        for (int i = 0; i < kClients; ++i) {
            QByteArray received;
            QTRY_VERIFY_WITH_TIMEOUT(
                (received += clients[i].peer->readAll()).size() >= expected[i].size(), kWaitMs);
            QCOMPARE(received.size(), expected[i].size());
            QVERIFY2(received == expected[i], qPrintable(QString::number(i)));
        }
        for (int i = 0; i < kClients; ++i) {
            QTRY_VERIFY_WITH_TIMEOUT(!completions[i]->isEmpty(), kWaitMs);
            QCOMPARE(clients[i].control->BytesWritten(), qint64(expected[i].size()));
            QCOMPARE(clients[i].control->BytesToWrite(), qint64(0));
        }
    }
};

QTEST_GUILESS_MAIN(HeldSendsTest)
#include "held-sends-test.moc"
