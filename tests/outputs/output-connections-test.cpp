// Output connections on real loopback sockets: what a client application sees
// on the wire and what the System log says about it.

#include "LogLines.h"
#include "TestPorts.h"
#include "TestSystem.h"
#include "app/GridEditing.h"
#include "config/RefusalLog.h"
#include "decoder/MessagePacket.h"
#include "platform/HeldSends.h"

#include <QFile>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <algorithm>
#include <functional>
#include <memory>
#include <vector>

#include <linux/tcp.h>
#include <netinet/in.h>
#include <sys/socket.h>

namespace {

const QDateTime kStart(QDate(2026, 1, 15), QTime(10, 0, 0));

using Client = LoopbackClient;

// A client on another loopback address than 127.0.0.1.
void ConnectFrom(Client& client, const char* address, quint16 port) {
    QVERIFY(client.socket.bind(QHostAddress(QLatin1String(address)), 0));
    client.connectTo(port);
}

QByteArray RefusedLine(const char* address, quint16 port) {
    return QByteArray("\tOutput\tEvent: Refused connection from ") + address + " on port " +
           QByteArray::number(port) + "   Client A\r\n";
}

// What waits on a client's connection, without taking it and without
// running an event: the network stack itself tells.
QByteArray Peek(int fd) {
    QByteArray waiting(4096, '\0');
    const ssize_t peeked =
        ::recv(fd, waiting.data(), static_cast<size_t>(waiting.size()), MSG_PEEK | MSG_DONTWAIT);
    return waiting.left(static_cast<qsizetype>(std::max<ssize_t>(peeked, 0)));
}

// The segments with data that a client's connection has received so far.
quint32 DataSegmentsIn(int fd) {
    tcp_info info{};
    socklen_t size = sizeof info;
    if (::getsockopt(fd, IPPROTO_TCP, TCP_INFO, &info, &size) != 0)
        return 0;
    return info.tcpi_data_segs_in;
}

} // namespace

class OutputConnectionsTest : public QObject {
    Q_OBJECT

    struct Fixture {
        WorkFolder folder;
        quint16 portA = TestPort();
        quint16 portB = TestPort();
        std::unique_ptr<TestSystem> t;
        explicit Fixture(const QString& portAText = QString(),
                         const QString& pktType = QStringLiteral("Normal"),
                         const QString& allowFromA = QString()) {
            folder.setOutputs({{QStringLiteral("Client A"),
                                portAText.isNull() ? QString::number(portA) : portAText},
                               {QStringLiteral("Client B"), QString::number(portB)}});
            folder.exec(
                QStringLiteral("Ombrixsys.mdb"),
                QStringLiteral("UPDATE Outputs SET AllowFrom = ? WHERE Description = 'Client A'"),
                {allowFromA});
            folder.setSetting(QStringLiteral("IncomingPktType"), pktType);
            t = std::make_unique<TestSystem>(folder.path());
            t->clock.set(kStart);
            t->system->Form_Load();
            (*t)->outputSockets.UpdateOutputClients(); // the first heartbeat opens the ports
        }
        System& sys() { return *t->system; }
        bool connect(Client& client, int index) { return AcceptedOnOutput(sys(), client, index); }
    };

private slots:
    void aClientIsLoggedAndGetsTheIdleMessage_data() {
        QTest::addColumn<QString>("pktType");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("Normal")
            << QStringLiteral("Normal")
            << QByteArray(
                   "\x02"
                   "2000\r1234568\r10:00:00 Dummy Message: NO data on Relay Input Ombrix\x03");
        QTest::newRow("enhanced")
            << QStringLiteral("enhanced")
            << QByteArray(
                   "\x02"
                   "2000\r1234568\r10:00:00 Dummy Message: NO data on Relay Input Ombrix\x03");
        QTest::newRow("Enhanced") << QStringLiteral("Enhanced")
                                  << QByteArray("\x02"
                                                "2000\r2\rC\r1234568\rA\r10:00:00 Dummy Message: "
                                                "NO data on Relay Input Ombrix\x03");
    }
    void aClientIsLoggedAndGetsTheIdleMessage() {
        QFETCH(QString, pktType);
        QFETCH(QByteArray, expected);
        Fixture f(QString(), pktType);
        Client client(f.portA);
        QVERIFY(f.connect(client, 0));
        QVERIFY(f.folder.systemLog().contains(
            QStringLiteral("\tOutput\tSystem: Port %1 connected to Client A\r\n")
                .arg(f.portA)
                .toUtf8()));
        f.sys().outputSockets.tmrWskOutputs_Timer();
        QTRY_COMPARE(client.received, expected);
        // Not due again for fifteen seconds.
        f.t->clock.advanceSecs(10);
        f.sys().outputSockets.tmrWskOutputs_Timer();
        f.t->clock.advanceSecs(6);
        f.sys().outputSockets.tmrWskOutputs_Timer();
        QTRY_COMPARE(client.received,
                     expected + QByteArray(expected).replace("10:00:00", "10:00:16"));
    }

    void everyByteValueReachesTheClientUnchanged() {
        Fixture f;
        Client client(f.portA);
        QVERIFY(f.connect(client, 0));
        QByteArray all;
        for (int i = 0; i < 256; ++i)
            all.append(static_cast<char>(i));
        f.sys().outputRules.RelayToOutputs(all);
        QTRY_COMPARE(client.received, all);
        QVERIFY(f.folder.systemLog().contains("\tOutput\tOut: Client A\t" + all + "\r\n"));
    }

    // No event of the relay runs between the dispatch and the clients' reads:
    // the packet left for every client within the dispatch itself, not at a
    // later turn of the event loop behind the lines that tell of it.
    void aPacketLeavesForEveryClientWithinTheDispatch() {
        Fixture f;
        Client a(f.portA);
        Client b(f.portB);
        QVERIFY(f.connect(a, 0));
        QVERIFY(f.connect(b, 1));
        f.sys().outputRules.RelayToOutputs("\x02page\x03");
        for (Client* client : {&a, &b}) {
            QVERIFY(client->socket.waitForReadyRead(3000));
            QCOMPARE(client->received, QByteArray("\x02page\x03"));
        }
        QVERIFY(f.folder.systemLog().contains("\tOutput\tOut: Client A\t\x02page\x03\r\n"));
        QVERIFY(f.folder.systemLog().contains("\tOutput\tOut: Client B\t\x02page\x03\r\n"));
    }

    void whatAClientSendsIsCheckedAndLogged() {
        Fixture f;
        Client client(f.portA);
        QVERIFY(f.connect(client, 0));
        client.socket.write("hello");
        QTRY_VERIFY(f.folder.systemLog().contains(
            QStringLiteral("\tOutput\tSystem: Not a STX packet on Port %1 --> hello\r\n")
                .arg(f.portA)
                .toUtf8()));
        QVERIFY(
            f.folder.systemLog().contains("\tOutput\tEvent: New data on socket 0  --> hello\r\n"));
        const QByteArray before = f.folder.systemLog();
        f.t->clock.advanceSecs(30);
        client.socket.write("\x02\x06\x03");
        QTRY_VERIFY(f.folder.systemLog().size() > before.size());
        QTest::qWait(100);
        const QByteArray added = f.folder.systemLog().mid(before.size());
        QCOMPARE(
            added,
            QByteArray(
                "15 Jan 2026 10:00:30\tOutput\tEvent: New data on socket 0  --> <02><06><03>\r\n"));
        QCOMPARE(f.sys().outputSockets.Entry(0).StatusTime, kStart.addSecs(30));
    }

    void aClientCannotWriteLinesIntoTheLog() {
        Fixture f;
        Client client(f.portA);
        QVERIFY(f.connect(client, 0));
        client.socket.write("\r\n8 Dec 2026 10:00:00\tError\tforged");
        const QByteArray shown = "<0D><0A>8 Dec 2026 10:00:00\tError\tforged\r\n";
        QTRY_VERIFY(f.folder.systemLog().contains("\tEvent: New data on socket 0  --> " + shown));
        QVERIFY(f.folder.systemLog().contains("\tSystem: Not a STX packet on Port " +
                                              QByteArray::number(f.portA) + " --> " + shown));
        for (const QByteArray& line : f.folder.systemLog().split('\n'))
            QVERIFY2(!line.startsWith("8 Dec 2026"), line.constData());
        QVERIFY(!f.sys().window.txbLogOutputs.Text.contains(QStringLiteral("\n8 Dec 2026")));

        // Every byte value: control bytes but TAB as codes, the others as they came.
        QByteArray all = "\x02";
        QByteArray expected = "<02>";
        for (int b = 0; b < 256; ++b) {
            all += static_cast<char>(b);
            expected += (b < 0x20 && b != 0x09) || b == 0x7F
                            ? "<" + QByteArray::number(b, 16).rightJustified(2, '0').toUpper() + ">"
                            : QByteArray(1, static_cast<char>(b));
        }
        client.socket.write(all);
        QTRY_VERIFY(f.folder.systemLog().contains(
            "\tSystem: Data on Port " + QByteArray::number(f.portA) + " --> " + expected + "\r\n"));
    }

    void oneClientAtATime() {
        Fixture f;
        Client first(f.portA);
        QVERIFY(f.connect(first, 0));
        Client second(f.portA);
        QVERIFY(!second.socket.waitForConnected(1000) || !second.socket.waitForReadyRead(300));
        QVERIFY(second.socket.state() != QAbstractSocket::ConnectedState ||
                second.received.isEmpty());
        first.socket.disconnectFromHost();
        QTRY_COMPARE(f.sys().outputSockets.Socket(0).State(), platform::SocketState::Listening);
        QVERIFY(f.folder.systemLog().contains(
            "\tOutput\tEvent: Remote close request on socket 0  Client A\r\n"));
        Client third(f.portA);
        QVERIFY(f.connect(third, 0));
        f.sys().outputRules.RelayToOutputs("\x02page\x03");
        QTRY_COMPARE(third.received, QByteArray("\x02page\x03"));
    }

    void packetsDuringAnOutstandingSendGoOutAsOneSend() {
        Fixture f;
        Client client(f.portA);
        QVERIFY(f.connect(client, 0));
        // No event runs between these calls, so the first send is still outstanding.
        for (const char* p : {"\x02one\x03", "\x02two\x03", "\x02three\x03",
                              "\x02"
                              "four\x03"})
            f.sys().outputRules.RelayToOutputs(p);
        QCOMPARE(f.sys().outputSockets.Entry(0).Sending.Pending(),
                 QByteArray("\x02two\x03\x02three\x03\x02"
                            "four\x03"));
        QTRY_COMPARE(client.received, QByteArray("\x02one\x03\x02two\x03\x02three\x03\x02"
                                                 "four\x03"));
        // The pass that tells the tail complete comes a few milliseconds
        // after the client has it.
        QTRY_VERIFY(f.folder.systemLog().contains(
            "\tOutput\tSystem: Send Complete -> \x02two\x03\x02three\x03\x02"
            "four\x03\r\n"));
    }

    void aListeningOutputFailsItsHeartbeatAfterAMinute() {
        Fixture f;
        QSignalSpy warnings(&f.sys(), &System::warningShown);
        f.t->clock.advanceSecs(55);
        f.sys().outputSockets.UpdateOutputClients();
        QCOMPARE(warnings.size(), 0);
        f.t->clock.advanceSecs(10);
        f.sys().outputSockets.UpdateOutputClients();
        QCOMPARE(f.t->warningNumbers(), (QList<int>{108, 108}));
        QCOMPARE(f.t->warnings[0].text,
                 QStringLiteral("Client A has heartbeat failure. There is no TCP connection."));
        QCOMPARE(f.t->warnings[0].socket, 0);
        QCOMPARE(f.t->warnings[1].socket, 1);
        QVERIFY(f.folder.systemLog().contains(
            QStringLiteral("System: Socket heart beat has failed. Closing port %1   Client A")
                .arg(f.portA)
                .toUtf8()));
        QCOMPARE(f.sys().outputSockets.Socket(0).State(), platform::SocketState::Closed);
        // The next heartbeat listens again, and a client can connect.
        f.sys().outputSockets.UpdateOutputClients();
        Client client(f.portA);
        QVERIFY(f.connect(client, 0));
    }

    void aPortThatIsNotANumberNeverListens() {
        Fixture f(QStringLiteral("abc"));
        f.sys().outputSockets.UpdateOutputClients();
        QCOMPARE(f.t->warningNumbers(), (QList<int>{109, 109}));
        QCOMPARE(f.t->warnings[0].socket, 0);
        QVERIFY(f.t->warnings[0].text.contains(QStringLiteral("abc")));
        QCOMPARE(f.sys().outputSockets.Socket(0).State(), platform::SocketState::Closed);
        Client client(f.portB);
        QVERIFY(f.connect(client, 1));
    }

    // Whoever connects first gets the pages: an output that names its client's
    // addresses refuses anyone else at once and goes on listening for it.
    void aClientFromAnAddressNotAllowedIsRefusedAndThePortKeepsListening() {
        Fixture f(QString(), QStringLiteral("Normal"), QStringLiteral("127.0.0.2"));
        Client squatter(f.portA);                        // from 127.0.0.1
        QVERIFY(squatter.socket.waitForConnected(3000)); // the handshake is the kernel's
        QTRY_COMPARE(squatter.socket.state(), QAbstractSocket::UnconnectedState);
        QCOMPARE(f.folder.systemLog().count(RefusedLine("127.0.0.1", f.portA)), 1);
        QVERIFY(!f.folder.systemLog().contains("Event: Incoming request on port"));
        QCOMPARE(f.sys().outputSockets.Socket(0).State(), platform::SocketState::Listening);
        f.sys().outputSockets.UpdateOutputClients();
        QCOMPARE(f.sys().outputSockets.Entry(0).Status, int(OutputSocket::Listening));
        f.sys().outputRules.RelayToOutputs("\x02for the client\x03");
        QCOMPARE(squatter.received, QByteArray());

        Client client;
        ConnectFrom(client, "127.0.0.2", f.portA);
        QVERIFY(f.connect(client, 0));
        f.sys().outputRules.RelayToOutputs("\x02page\x03");
        QTRY_COMPARE(client.received, QByteArray("\x02page\x03"));
        QCOMPARE(squatter.received, QByteArray());
    }

    // A stranger who tries again and again cannot fill the disk: per address,
    // the first refusal in a minute is logged as it is, the others are
    // counted, and one line tells their number when the minute is over.
    void refusalsAfterTheFirstInAMinuteAreCounted() {
        Fixture f(QString(), QStringLiteral("Normal"), QStringLiteral("127.0.0.2"));
        const auto refuse = [&](int times, const char* from = "127.0.0.1") {
            for (int n = 0; n < times; ++n) {
                Client squatter;
                ConnectFrom(squatter, from, f.portA);
                QVERIFY(squatter.socket.waitForConnected(3000));
                QTRY_COMPARE(squatter.socket.state(), QAbstractSocket::UnconnectedState);
            }
        };
        const auto heartbeat = [&](int seconds) {
            f.t->clock.advanceSecs(seconds);
            f.sys().outputSockets.UpdateOutputClients();
        };
        const QByteArray counted = "\tOutput\tEvent: Connection from 127.0.0.1 on port " +
                                   QByteArray::number(f.portA) + "   Client A refused ";
        refuse(50);
        refuse(1, "127.0.0.3");
        QCOMPARE(f.folder.systemLog().count(RefusedLine("127.0.0.1", f.portA)), 1);
        QCOMPARE(f.folder.systemLog().count(RefusedLine("127.0.0.3", f.portA)), 1);
        heartbeat(55);
        QVERIFY(!f.folder.systemLog().contains(counted));
        heartbeat(5);
        QCOMPARE(f.folder.systemLog().count(counted), 1);
        QVERIFY(f.folder.systemLog().contains(counted + "49 more times in the last minute\r\n"));
        QVERIFY(!f.folder.systemLog().contains("Event: Connection from 127.0.0.3"));

        // A new minute begins with a refusal logged as it is; a count still
        // open at shutdown is written then.
        refuse(2);
        QCOMPARE(f.folder.systemLog().count(RefusedLine("127.0.0.1", f.portA)), 2);
        f.sys().Form_Unload();
        QVERIFY(f.folder.systemLog().contains(counted + "1 more time in the last minute\r\n"));
        QCOMPARE(f.folder.systemLog().count(counted), 2);
    }

    // Refusals from more addresses than are counted one by one are counted
    // together: the relay's memory for them is bounded.
    void refusalsFromEverMoreAddressesAreCountedTogether() {
        Fixture f(QString(), QStringLiteral("Normal"), QStringLiteral("127.0.0.1"));
        constexpr int kBatch = 20;
        const int addresses = RefusalLog::kTrackedAddresses + 3;
        for (int first = 0; first < addresses; first += kBatch) {
            std::vector<std::unique_ptr<Client>> batch;
            for (int n = first; n < std::min(first + kBatch, addresses); ++n) {
                batch.push_back(std::make_unique<Client>());
                const QByteArray from =
                    "127.1." + QByteArray::number(n / 250) + '.' + QByteArray::number(n % 250 + 1);
                ConnectFrom(*batch.back(), from.constData(), f.portA);
            }
            QVERIFY(QTest::qWaitFor(
                [&] {
                    return std::all_of(batch.begin(), batch.end(), [](const auto& client) {
                        return client->socket.state() == QAbstractSocket::UnconnectedState;
                    });
                },
                10000));
        }
        const QByteArray log = f.folder.systemLog();
        QCOMPARE(log.count("\tOutput\tEvent: Refused connection from 127.1."),
                 RefusalLog::kTrackedAddresses);
        f.t->clock.advanceSecs(60);
        f.sys().outputSockets.UpdateOutputClients();
        QVERIFY(f.folder.systemLog().contains(
            "\tOutput\tEvent: Connections from further addresses (over 1000 counted one by one) "
            "refused 3 times in the last minute\r\n"));
    }

    void anEmptyAllowFromServesAnyone_data() {
        QTest::addColumn<QString>("allowFrom");
        QTest::newRow("null") << QString();
        QTest::newRow("empty") << QStringLiteral("");
        QTest::newRow("blanks") << QStringLiteral("  ");
    }
    void anEmptyAllowFromServesAnyone() {
        QFETCH(QString, allowFrom);
        Fixture f(QString(), QStringLiteral("Normal"), allowFrom);
        for (const char* address : {"127.0.0.1", "127.0.0.2"}) {
            Client client;
            ConnectFrom(client, address, f.portA);
            QVERIFY(f.connect(client, 0));
            f.sys().outputRules.RelayToOutputs("\x02page\x03");
            QTRY_COMPARE(client.received, QByteArray("\x02page\x03"));
            client.socket.disconnectFromHost();
            QTRY_COMPARE(f.sys().outputSockets.Socket(0).State(), platform::SocketState::Listening);
        }
        QVERIFY(!f.folder.systemLog().contains("Event: Refused connection"));
    }

    void allowFromTakesAddressesAndRangesOfBothFamilies_data() {
        QTest::addColumn<QString>("allowFrom");
        QTest::addColumn<bool>("served"); // a client from 127.0.0.2
        QTest::newRow("address") << QStringLiteral("127.0.0.2") << true;
        QTest::newRow("list with commas") << QStringLiteral("127.0.0.1,127.0.0.2") << true;
        QTest::newRow("ranges") << QStringLiteral("10.1.0.0/16  127.0.0.0/30") << true;
        QTest::newRow("netmask") << QStringLiteral("127.0.0.0/255.255.255.252") << true;
        QTest::newRow("mapped") << QStringLiteral("::ffff:127.0.0.2") << true;
        QTest::newRow("mapped range") << QStringLiteral("::ffff:127.0.0.0/120") << true;
        QTest::newRow("others") << QStringLiteral("::1, 127.0.0.1 127.0.0.3") << false;
        QTest::newRow("next range") << QStringLiteral("127.0.0.4/30") << false;
    }
    void allowFromTakesAddressesAndRangesOfBothFamilies() {
        QFETCH(QString, allowFrom);
        QFETCH(bool, served);
        Fixture f(QString(), QStringLiteral("Normal"), allowFrom);
        QVERIFY(f.t->warnings.isEmpty());
        Client client;
        ConnectFrom(client, "127.0.0.2", f.portA);
        QVERIFY(client.socket.waitForConnected(3000));
        if (served) {
            QVERIFY(f.connect(client, 0));
        } else {
            QTRY_COMPARE(client.socket.state(), QAbstractSocket::UnconnectedState);
            QVERIFY(f.folder.systemLog().contains(RefusedLine("127.0.0.2", f.portA)));
            QCOMPARE(f.sys().outputSockets.Socket(0).State(), platform::SocketState::Listening);
        }
    }

    // Refusing everyone is safer than accepting everyone: a list that cannot
    // be read keeps the port closed, and says which entry is wrong.
    void aBadAllowFromEntryIsReportedAndThePortDoesNotListen_data() {
        QTest::addColumn<QString>("allowFrom");
        QTest::addColumn<QString>("entry");
        QTest::newRow("number too big")
            << QStringLiteral("10.0.0.300") << QStringLiteral("10.0.0.300");
        QTest::newRow("word") << QStringLiteral("abc/99") << QStringLiteral("abc/99");
        QTest::newRow("prefix too long")
            << QStringLiteral("127.0.0.1, 10.1.0.0/33") << QStringLiteral("10.1.0.0/33");
        QTest::newRow("short form") << QStringLiteral("127.1") << QStringLiteral("127.1");
        QTest::newRow("semicolon")
            << QStringLiteral("127.0.0.1;127.0.0.2") << QStringLiteral("127.0.0.1;127.0.0.2");
    }
    void aBadAllowFromEntryIsReportedAndThePortDoesNotListen() {
        QFETCH(QString, allowFrom);
        QFETCH(QString, entry);
        Fixture f(QString(), QStringLiteral("Normal"), allowFrom);
        QCOMPARE(f.t->warningNumbers(), QList<int>{109});
        QCOMPARE(f.t->warnings[0].socket, 0);
        QCOMPARE(f.t->warnings[0].text,
                 QStringLiteral("AllowFrom entry \"%1\" of output Client A is not an address or "
                                "an address range: the port does not listen")
                     .arg(entry));
        QCOMPARE(f.sys().outputSockets.Socket(0).State(), platform::SocketState::Closed);
        Client client(f.portA);
        QVERIFY(!client.socket.waitForConnected(1000));
        Client other(f.portB);
        QVERIFY(f.connect(other, 1));
    }

    // An output waiting for its client (listening, or its client gone) takes
    // an edit committed from the window: the new values are logged and used,
    // and within one heartbeat the old port refuses and the new one accepts.
    void anEditToAnOutputWaitingForItsClientTakesEffect_data() {
        QTest::addColumn<bool>("clientLeft");
        QTest::newRow("listening") << false;
        QTest::newRow("client gone") << true;
    }
    void anEditToAnOutputWaitingForItsClientTakesEffect() {
        QFETCH(bool, clientLeft);
        Fixture f;
        f.t->clock.advanceSecs(5);
        f.sys().outputSockets.UpdateOutputClients();
        if (clientLeft) {
            Client gone(f.portA);
            QVERIFY(f.connect(gone, 0));
            gone.socket.disconnectFromHost();
            QTRY_COMPARE(f.sys().outputSockets.Entry(0).Status, int(OutputSocket::PeerClosed));
        }
        QCOMPARE(f.sys().outputSockets.Entry(0).Status,
                 clientLeft ? int(OutputSocket::PeerClosed) : int(OutputSocket::Listening));
        const quint16 newPort = TestPort();
        frmQuorlan& w = f.sys().window;
        w.Click(QStringLiteral("cmdEditOuputs"));
        const auto column = [&](const char* name) {
            return w.dgOutputs.DataSource->FieldIndex(QLatin1String(name));
        };
        grid_editing::SetCell(w.dgOutputs, 0, column("Port"), QString::number(newPort));
        grid_editing::SetCell(w.dgOutputs, 0, column("Description"), QStringLiteral("Client A2"));
        grid_editing::SetCell(w.dgOutputs, 0, column("Match"), QStringLiteral("m"));
        grid_editing::SetCell(w.dgOutputs, 0, column("RawOutput"), QStringLiteral("Y"));
        w.Click(QStringLiteral("cmdEditOuputs"));
        QCOMPARE(w.cmdEditOuputs.Caption, QStringLiteral("Edit"));
        const QByteArray log = f.folder.systemLog();
        for (const QByteArray& line :
             {QByteArray("System: Updated socket [0] Client A2    Field  [Description]   To "
                         "Client A2\r\n"),
              QByteArray("System: Updated socket [0] Client A2    Field  [Match]   To m\r\n"),
              QByteArray("System: Updated socket [0]  Client A2 Field  [RawOutput]  To Y\r\n"),
              "System: Updated socket [0] Client A2    Field  [Port]   To " +
                  QByteArray::number(newPort) + ".\r\n",
              QByteArray(clientLeft ? "System: [PeerClosed status]"
                                    : "System: [Listening status]") +
                  " requires port change on socket [0]  Client A2\r\n"})
            QVERIFY2(log.contains("\tOutput\t" + line), line.constData());

        f.t->clock.advanceSecs(5);
        f.sys().outputSockets.UpdateOutputClients();
        QTcpSocket old;
        old.connectToHost(QHostAddress::LocalHost, f.portA);
        QVERIFY(!old.waitForConnected(3000));
        QCOMPARE(old.error(), QAbstractSocket::ConnectionRefusedError);
        Client moved(newPort);
        QVERIFY(f.connect(moved, 0));
        f.sys().outputRules.RelayToOutputs("\x02moved\x03");
        QTRY_COMPARE(moved.received, QByteArray("\x02moved\x03"));
        QVERIFY(f.folder.systemLog().contains("\tOutput\tOut: Client A2\t\x02moved\x03\r\n"));
    }

    // Who may connect takes effect at the commit, on a port that listens.
    void aNewAllowFromTakesEffectOnAListeningPortAtTheCommit() {
        Fixture f;
        f.sys().outputSockets.UpdateOutputClients();
        QCOMPARE(f.sys().outputSockets.Entry(0).Status, int(OutputSocket::Listening));
        f.sys().commands.Edit(config::EditedTable::Outputs);
        f.sys().db.rsOutputs->MoveFirst();
        f.sys().db.rsOutputs->SetField(QStringLiteral("AllowFrom"), QStringLiteral("127.0.0.2"));
        QVERIFY(f.sys().commands.Commit(config::EditedTable::Outputs).isEmpty());
        QVERIFY(f.folder.systemLog().contains(
            "\tOutput\tSystem: Updated socket [0] Client A    Field  [AllowFrom]   To "
            "127.0.0.2\r\n"));
        Client squatter(f.portA);
        QVERIFY(squatter.socket.waitForConnected(3000));
        QTRY_COMPARE(squatter.socket.state(), QAbstractSocket::UnconnectedState);
        QVERIFY(f.folder.systemLog().contains(RefusedLine("127.0.0.1", f.portA)));
        QCOMPARE(f.sys().outputSockets.Socket(0).State(), platform::SocketState::Listening);
    }

    void aPortHeldByAnotherProgramIsNotSaidToBeBound() {
        QTcpServer other;
        QVERIFY(other.listen(QHostAddress::LocalHost, 0));
        WorkFolder folder;
        const quint16 free = TestPort();
        folder.setOutputs({{QStringLiteral("Client A"), QString::number(other.serverPort())},
                           {QStringLiteral("Client B"), QString::number(free)}});
        TestSystem t(folder.path());
        QVERIFY(t->Form_Load());
        t->outputSockets.UpdateOutputClients();
        QCOMPARE(t.warningNumbers(), QList<int>{109});
        QCOMPARE(t.warnings[0].socket, 0);
        QList<QByteArray> lines;
        for (const QByteArray& line : folder.systemLog().split('\n'))
            if (line.contains("\tOutput\tSystem: Outputs bound") ||
                line.contains("\tOutput\tSystem: Reset to Listen"))
                lines << line.mid(line.indexOf("System: ")).trimmed();
        QCOMPARE(lines, (QList<QByteArray>{"System: Outputs bound to Local IP stack  127.0.0.1",
                                           "System: Reset to Listen on port " +
                                               QByteArray::number(free) + "   Client B"}));
    }

    void aPortChangeOnAConnectedOutputMovesIt() {
        Fixture f;
        Client client(f.portA);
        QVERIFY(f.connect(client, 0));
        const quint16 newPort = TestPort();
        f.sys().commands.Edit(config::EditedTable::Outputs);
        QCOMPARE(f.sys().window.dgOutputs.ForeColor, colours::DarkRed);
        auto rs = f.sys().db.rsOutputs;
        rs->MoveFirst();
        rs->SetField(QStringLiteral("Port"), QString::number(newPort));
        QVERIFY(f.sys().commands.Commit(config::EditedTable::Outputs).isEmpty());
        QCOMPARE(f.sys().window.dgOutputs.ForeColor, colours::Blue);
        QVERIFY(f.folder.systemLog().contains(
            "System: [Connected status] requires port change on socket [0]  Client A"));
        QVERIFY(f.folder.systemLog().contains(
            QStringLiteral("System: Updated socket [0] Client A    Field  [Port]   To %1.")
                .arg(newPort)
                .toUtf8()));
        QTRY_COMPARE(client.socket.state(), QAbstractSocket::UnconnectedState);
        f.sys().outputSockets.UpdateOutputClients();
        Client moved(newPort);
        QVERIFY(f.connect(moved, 0));
        f.sys().outputRules.RelayToOutputs("\x02moved\x03");
        QTRY_COMPARE(moved.received, QByteArray("\x02moved\x03"));
        QCOMPARE(f.folder
                     .rows(QStringLiteral("Ombrixsys.mdb"),
                           QStringLiteral("SELECT Port FROM Outputs WHERE Description='Client A'"))
                     .first()
                     .first()
                     .toString(),
                 QString::number(newPort));
    }

    void descriptionsAndValuesHoldingPercentSignsAreLoggedAsTheyAre() {
        WorkFolder folder;
        folder.setOutputs(
            {{QStringLiteral("Client %1 %2"), QStringLiteral("7001"), QStringLiteral("N")},
             {QStringLiteral("Other"), QStringLiteral("7002"), QStringLiteral("N")}});
        TestSystem t(folder.path());
        QVERIFY(t->Form_Load());
        t->commands.Edit(config::EditedTable::Outputs);
        auto rs = t->db.rsOutputs;
        rs->MoveFirst();
        rs->SetField(QStringLiteral("Port"), QStringLiteral("7%2"));
        rs->SetField(QStringLiteral("Match"), QStringLiteral("m%1"));
        rs->SetField(QStringLiteral("RawOutput"), QStringLiteral("Y"));
        rs->MoveNext();
        rs->SetField(QStringLiteral("Description"), QStringLiteral("Desk %1"));
        // A port that is no number is refused, and said as it was typed.
        QVERIFY(!t->commands.Commit(config::EditedTable::Outputs).isEmpty());
        QVERIFY(
            t.warnings.last().text.contains(QStringLiteral("(\"Client %1 %2\"): port \"7%2\"")));
        rs->MoveFirst();
        rs->SetField(QStringLiteral("Port"), QStringLiteral("7003"));
        QVERIFY(t->commands.Commit(config::EditedTable::Outputs).isEmpty());
        const QByteArray log = folder.systemLog();
        for (const char* line :
             {"System: [Empty status] requires a new socket on [0]  Client %1 %2",
              "System: [Empty status] requires a new socket on [1]  Other",
              "System: Updated socket [0] Client %1 %2    Field  [Match]   To m%1",
              "System: Updated socket [0]  Client %1 %2 Field  [RawOutput]  To Y",
              "System: Updated socket [0] Client %1 %2    Field  [Port]   To 7003.",
              "System: [Valid status] requires port change on socket [0]  Client %1 %2",
              "System: Updated socket [1] Desk %1    Field  [Description]   To Desk %1"})
            QVERIFY2(log.contains("\tOutput\t" + QByteArray(line) + "\r\n"), line);
    }

    void activeAndRawOutputLetters() {
        Fixture f;
        auto commitColumn = [&](const char* column, const QString& a, const QString& b) {
            f.sys().commands.Edit(config::EditedTable::Outputs);
            auto rs = f.sys().db.rsOutputs;
            rs->MoveFirst();
            rs->SetField(QLatin1String(column), a);
            rs->MoveNext();
            rs->SetField(QLatin1String(column), b);
            QVERIFY(f.sys().commands.Commit(config::EditedTable::Outputs).isEmpty());
        };
        const frmOutputSockets& outputs = f.sys().outputSockets;
        commitColumn("Active", QStringLiteral("no"), QString());
        QVERIFY(!outputs.Entry(0).Active);
        QVERIFY(outputs.Entry(1).Active); // empty changes nothing
        QVERIFY(f.folder.systemLog().contains(
            QStringLiteral("System: UPDATE: Closing port %1   Client A").arg(f.portA).toUtf8()));
        commitColumn("Active", QStringLiteral("yes"), QStringLiteral("x"));
        QVERIFY(outputs.Entry(0).Active);
        QVERIFY(outputs.Entry(1).Active);
        commitColumn("RawOutput", QStringLiteral("y"), QStringLiteral("Y"));
        f.sys().commands.Edit(config::EditedTable::Outputs);
        QVERIFY(f.sys()
                    .commands.Commit(config::EditedTable::Outputs)
                    .isEmpty()); // entries were left at 6: now they take the rows
        QVERIFY(!outputs.Entry(0).RawOutput);
        QVERIFY(outputs.Entry(1).RawOutput);
        QVERIFY(f.folder.systemLog().contains(
            "System: Updated socket [1]  Client B Field  [RawOutput]  To Y"));
        QVERIFY(!f.sys().db.CommitOutputs()); // not in edit mode
    }

    // One commit adds a row and changes another, a later one removes a row:
    // each output's socket follows its row, and the change log tells of each
    // step in order.
    void rowsAddedChangedAndRemovedReachTheSockets() {
        Fixture f;
        const quint16 newPortA = TestPort();
        const quint16 portC = TestPort();
        auto linesOfCommit = [&](const std::function<void(platform::Recordset&)>& edit) {
            const qsizetype before = LogLines(f.folder.systemLog(), "Output").size();
            f.sys().commands.Edit(config::EditedTable::Outputs);
            edit(*f.sys().db.rsOutputs);
            [&] { QVERIFY(f.sys().commands.Commit(config::EditedTable::Outputs).isEmpty()); }();
            // The commit's own "Event:" lines are the command's; the rest are the loader's.
            QList<QByteArray> lines = LogLines(f.folder.systemLog(), "Output").mid(before);
            lines.removeIf([](const QByteArray& line) { return line.startsWith("Event: "); });
            return lines;
        };
        const QList<QByteArray> added = linesOfCommit([&](platform::Recordset& rs) {
            rs.MoveFirst();
            rs.SetField(QStringLiteral("Port"), QString::number(newPortA));
            rs.SetField(QStringLiteral("Match"), QStringLiteral("m"));
            rs.AddNew();
            rs.SetField(QStringLiteral("Description"), QStringLiteral("Client C"));
            rs.SetField(QStringLiteral("Port"), QString::number(portC));
            rs.SetField(QStringLiteral("Active"), QStringLiteral("Y"));
        });
        const QByteArray newA = QByteArray::number(newPortA);
        const QByteArray c = QByteArray::number(portC);
        QCOMPARE(added,
                 (QList<QByteArray>{
                     "System: Updated socket [0] Client A    Field  [Match]   To m",
                     "System: Updated socket [0] Client A    Field  [Port]   To " + newA + ".",
                     "System: [Valid status] requires port change on socket [0]  Client A",
                     "System: Close port " + newA + "   Client A", "System: Load port " + c,
                     "System: [Empty status] requires a new socket on [2]  Client C",
                     "System: UPDATE: Enabling port " + c + "   Client C",
                     "System: Check for duplicate ports."}));
        f.sys().outputSockets.UpdateOutputClients();
        QTcpSocket old;
        old.connectToHost(QHostAddress::LocalHost, f.portA);
        QVERIFY(!old.waitForConnected(3000));
        Client movedA(newPortA);
        QVERIFY(f.connect(movedA, 0));
        Client clientC(portC);
        QVERIFY(f.connect(clientC, 2));

        const QList<QByteArray> removed = linesOfCommit([](platform::Recordset& rs) {
            rs.MoveLast();
            rs.Delete();
        });
        QCOMPARE(removed, (QList<QByteArray>{"System: Close port " + c + "   Client C",
                                             "System: Check for duplicate ports."}));
        QTRY_COMPARE(clientC.socket.state(), QAbstractSocket::UnconnectedState);
        QCOMPARE(f.sys().outputSockets.Entry(2).Status, int(OutputSocket::Empty));
        QVERIFY(!f.sys().outputSockets.Entry(2).Active);
        f.sys().outputSockets.UpdateOutputClients();
        QTcpSocket gone;
        gone.connectToHost(QHostAddress::LocalHost, portC);
        QVERIFY(!gone.waitForConnected(3000));
        QCOMPARE(movedA.socket.state(), QAbstractSocket::ConnectedState);
    }

    // A carrier read that holds a block's notice and its page: the client has
    // both on its connection before the relay turns to anything else, not the
    // page only after the notice's send is told complete. The send that the
    // completion makes, and its line, are as before, and no byte goes twice.
    void aPageBehindAnOutstandingSendReachesTheClientInTheSameTurn() {
        Fixture f;
        Client client(f.portA);
        QVERIFY(f.connect(client, 0));
        const QByteArray notice("\x02notice\x03");
        const QByteArray page("\x02page\x03");
        f.sys().outputRules.RelayToOutputs(notice);
        f.sys().outputRules.RelayToOutputs(page);
        QCOMPARE(f.sys().outputSockets.Entry(0).Sending.Pending(), page);
        // No event has run: what is on the client's connection, the network
        // stack itself tells.
        QByteArray waiting(64, '\0');
        const ssize_t peeked =
            ::recv(static_cast<int>(client.socket.socketDescriptor()), waiting.data(),
                   static_cast<size_t>(waiting.size()), MSG_PEEK | MSG_DONTWAIT);
        QCOMPARE(waiting.left(static_cast<qsizetype>(std::max<ssize_t>(peeked, 0))), notice + page);
        QTRY_VERIFY(
            f.folder.systemLog().contains("\tOutput\tSystem: Send Complete -> \x02page\x03\r\n"));
        f.sys().outputRules.RelayToOutputs("\x02next\x03");
        QTRY_COMPARE(client.received, notice + page + "\x02next\x03");
        QTest::qWait(50);
        QCOMPARE(client.received, notice + page + "\x02next\x03");
    }

    // Within a carrier read, a frame notice waits for the page that follows
    // it, and the two reach the client as one segment: one wake-up of the
    // client, not two. A notice with no page after it in the read goes out
    // when the read is done. The lines, the completions and the bytes are
    // those of two sends.
    void aReadsNoticeReachesTheClientInOneSegmentWithItsPage() {
        Fixture f;
        Client client(f.portA);
        QVERIFY(f.connect(client, 0));
        const int fd = static_cast<int>(client.socket.socketDescriptor());
        const QByteArray notice = decoder::F1StartNotice();
        const QByteArray page("\x02page\x03");
        {
            const platform::HeldSendScope read;
            f.sys().outputRules.RelayToOutputs(notice);
            QCOMPARE(Peek(fd), QByteArray());
            f.sys().outputRules.RelayToOutputs(page);
            QCOMPARE(Peek(fd), notice + page);
        }
        QCOMPARE(DataSegmentsIn(fd), 1U);
        QTRY_VERIFY(
            f.folder.systemLog().contains("\tOutput\tSystem: Send Complete -> \x02page\x03\r\n"));
        QTRY_VERIFY(f.sys().outputSockets.Entry(0).Sending.Ready());

        {
            const platform::HeldSendScope read;
            f.sys().outputRules.RelayToOutputs(decoder::EndOfBatchNotice());
            QVERIFY(!Peek(fd).endsWith(decoder::EndOfBatchNotice()));
        }
        QVERIFY(Peek(fd).endsWith(decoder::EndOfBatchNotice()));
        QTRY_COMPARE(client.received, notice + page + decoder::EndOfBatchNotice());
    }

    // A page reaches its client at once and the bookkeeping of its send comes
    // a moment later; but bytes that could not go ahead of that send do not
    // wait for the moment: the next turn of the event loop sends them.
    void bytesBehindAnOutstandingSendGoAtTheNextTurn() {
        Fixture f;
        Client client(f.portA);
        QVERIFY(f.connect(client, 0));
        const int fd = static_cast<int>(client.socket.socketDescriptor());
        const QByteArray page("\x02page\x03");
        const QByteArray burst = '\x02' + QByteArray(600, 'b') + '\x03';
        const QByteArray tail("\x02tail\x03");
        f.sys().outputRules.RelayToOutputs(page);
        f.sys().outputRules.RelayToOutputs(burst); // goes ahead, and fills what may
        f.sys().outputRules.RelayToOutputs(tail);  // waits for the completion
        QCOMPARE(Peek(fd), page + burst);
        // What the next turn does first, before any timer is looked at.
        QCoreApplication::sendPostedEvents();
        QCOMPARE(Peek(fd), page + burst + tail);
    }

    // A client that closes its connection has had what went on it, whether
    // or not that went ahead of an outstanding send: the next client to
    // connect does not get it again.
    void whatWentOnAClosedConnectionIsNotSentToTheNextClient() {
        Fixture f;
        Client client(f.portA);
        QVERIFY(f.connect(client, 0));
        const int fd = static_cast<int>(client.socket.socketDescriptor());
        f.sys().outputRules.RelayToOutputs("\x02one\x03");
        f.sys().outputRules.RelayToOutputs("\x02two\x03"); // ahead of one's completion
        QCOMPARE(Peek(fd), QByteArray("\x02one\x03\x02two\x03"));
        f.sys().outputSockets.wskOutputs_Close(0);
        f.sys().outputSockets.UpdateOutputClients();
        Client next(f.portA);
        QVERIFY(f.connect(next, 0));
        f.sys().outputRules.RelayToOutputs("\x02three\x03");
        QTRY_COMPARE(next.received, QByteArray("\x02three\x03"));
    }

    void afterASocketErrorTheQueueGoesToTheNextClient() {
        Fixture f;
        Client client(f.portA);
        QVERIFY(f.connect(client, 0));
        f.sys().outputRules.RelayToOutputs("\x02one\x03");
        f.sys().outputRules.RelayToOutputs("\x02two\x03");
        f.sys().outputSockets.wskOutputs_Error(0, 10054,
                                               QStringLiteral("Connection reset by peer"));
        QVERIFY(f.folder.systemLog().contains(
            QStringLiteral("Event: Error on Connection Request. Port %1   Client A reports "
                           "Connection reset by peer")
                .arg(f.portA)
                .toUtf8()));
        QVERIFY(f.sys().outputSockets.Entry(0).Sending.Ready());
        QCOMPARE(f.sys().outputSockets.Entry(0).Status, 2);
        f.sys().outputSockets.UpdateOutputClients();
        Client next(f.portA);
        QVERIFY(f.connect(next, 0));
        f.sys().outputRules.RelayToOutputs("\x02three\x03");
        QTRY_COMPARE(next.received, QByteArray("\x02two\x03\x02three\x03"));
    }
};

QTEST_GUILESS_MAIN(OutputConnectionsTest)
#include "output-connections-test.moc"
