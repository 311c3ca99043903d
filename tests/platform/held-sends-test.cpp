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
};

QTEST_GUILESS_MAIN(HeldSendsTest)
#include "held-sends-test.moc"
