// What a connection made out reads, as its peer on a loopback connection sent
// it: every byte in order, the peer's close after its last bytes, and no more
// at a time than the reading limit.

#include "platform/SocketControl.h"

#include <QHostAddress>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

#include <sys/socket.h>

namespace {

constexpr int kWaitMs = 5000;

// A control connected out to SERVER, and the server's side of the connection.
struct Connection {
    platform::SocketControl control;
    QTcpSocket* peer = nullptr;
    QByteArray read;         // what DataArrival brought, in order
    QList<qint64> readSizes; // how much each DataArrival brought
    int closes = 0;
    QByteArray readAtClose; // what had been read when the close was told

    explicit Connection(QTcpServer& server) {
        QObject::connect(&control, &platform::SocketControl::DataArrival, [this](qint64) {
            const QByteArray data = control.GetData();
            read += data;
            readSizes.append(data.size());
        });
        QObject::connect(&control, &platform::SocketControl::CloseEvent, [this] {
            ++closes;
            readAtClose = read;
        });
        control.RemoteHost = QStringLiteral("127.0.0.1");
        control.RemotePort = server.serverPort();
        control.Connect();
        if (server.waitForNewConnection(kWaitMs))
            peer = server.nextPendingConnection();
    }

    bool connected() const { return peer && control.State() == platform::SocketState::Connected; }
};

QByteArray EveryByte() {
    QByteArray bytes;
    for (int value = 0; value < 256; ++value)
        bytes.append(static_cast<char>(value));
    return bytes;
}

// False when the bytes did not all go out in time.
bool Send(QTcpSocket& peer, const QByteArray& bytes) {
    peer.write(bytes);
    while (peer.bytesToWrite() > 0) {
        if (!peer.waitForBytesWritten(kWaitMs))
            return false;
    }
    return true;
}

} // namespace

class SocketReadsTest : public QObject {
    Q_OBJECT

private slots:
    // Every byte value arrives as it was sent; bytes the peer sent just
    // before it closed are read before the close is told, and it is told once.
    void aPeersBytesAndThenItsCloseAreTold() {
        QTcpServer server;
        QVERIFY(server.listen(QHostAddress::LocalHost));
        Connection connection(server);
        QTRY_VERIFY_WITH_TIMEOUT(connection.connected(), kWaitMs);
        QVERIFY(Send(*connection.peer, EveryByte()));
        QTRY_COMPARE_WITH_TIMEOUT(connection.read, EveryByte(), kWaitMs);
        QVERIFY(Send(*connection.peer, "last words"));
        connection.peer->disconnectFromHost();
        QTRY_COMPARE_WITH_TIMEOUT(connection.closes, 1, kWaitMs);
        QCOMPARE(connection.readAtClose, EveryByte() + "last words");
        QCOMPARE(connection.control.State(), platform::SocketState::Closing);
        QTest::qWait(50);
        QCOMPARE(connection.closes, 1);
        connection.control.Close();
        QCOMPARE(connection.control.State(), platform::SocketState::Closed);
    }

    // A peer that resets the connection is told as a close, as a peer that
    // closes it in order is.
    void aResetIsToldAsAClose() {
        QTcpServer server;
        QVERIFY(server.listen(QHostAddress::LocalHost));
        Connection connection(server);
        QTRY_VERIFY_WITH_TIMEOUT(connection.connected(), kWaitMs);
        // Lingering for no time makes the close a reset.
        const linger reset{1, 0};
        QCOMPARE(::setsockopt(int(connection.peer->socketDescriptor()), SOL_SOCKET, SO_LINGER,
                              &reset, sizeof reset),
                 0);
        connection.peer->abort();
        QTRY_COMPARE_WITH_TIMEOUT(connection.closes, 1, kWaitMs);
        QCOMPARE(connection.control.State(), platform::SocketState::Closing);
    }

    // A peer that sends more than the limit at once has it all read, in order,
    // no more than the limit at each turn.
    void aLimitedReadTakesItAllInPieces() {
        constexpr qint64 kLimit = 1000;
        QTcpServer server;
        QVERIFY(server.listen(QHostAddress::LocalHost));
        Connection connection(server);
        connection.control.LimitReading(kLimit);
        QTRY_VERIFY_WITH_TIMEOUT(connection.connected(), kWaitMs);
        QByteArray many;
        for (int k = 0; k < 256; ++k)
            many += EveryByte();
        QVERIFY(Send(*connection.peer, many));
        QTRY_COMPARE_WITH_TIMEOUT(connection.read.size(), many.size(), kWaitMs);
        QVERIFY(connection.read == many);
        QVERIFY(connection.readSizes.size() >= many.size() / kLimit);
        for (const qint64 size : std::as_const(connection.readSizes))
            QVERIFY2(size > 0 && size <= kLimit, qPrintable(QString::number(size)));
    }
};

QTEST_GUILESS_MAIN(SocketReadsTest)
#include "socket-reads-test.moc"
