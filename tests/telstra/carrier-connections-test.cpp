// Carrier connections against a carrier server on loopback: the relay connects,
// watches the connection and takes what the server sends into the decoder.

#include "FileText.h"
#include "LogLines.h"
#include "TestPorts.h"
#include "TestSystem.h"

#include "SatelliteStream.h"

#include <QFile>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <functional>

namespace {

const QDateTime kStart(QDate(2026, 1, 15), QTime(10, 0, 0));

QByteArray SystemLog(const WorkFolder& folder, const char* file = "LOGS/Quorlan") {
    return ReadFile(folder.file(QLatin1String(file)));
}

// A carrier's server: accepts the relay and keeps its connection.
struct Carrier {
    QTcpServer server;
    QTcpSocket* peer = nullptr;
    quint16 port = 0;
    Carrier() {
        server.listen(QHostAddress::LocalHost, 0);
        port = server.serverPort();
        QObject::connect(&server, &QTcpServer::newConnection,
                         [this] { peer = server.nextPendingConnection(); });
    }
};

} // namespace

class CarrierConnectionsTest : public QObject {
    Q_OBJECT

    struct Fixture {
        WorkFolder folder;
        std::unique_ptr<TestSystem> t;
        explicit Fixture(const QList<QStringList>& rows, bool rawLog = false,
                         const QList<WorkFolder::Output>& outputs = {}) {
            folder.setOutputs(outputs);
            folder.setSetting(QStringLiteral("LastBackUp"), QStringLiteral("15 Jan 2026 09:00:00"));
            folder.setSetting(QStringLiteral("RawLogEnabled"),
                              rawLog ? QStringLiteral("True") : QStringLiteral("False"));
            for (const QStringList& row : rows)
                folder.exec(QStringLiteral("Ombrixsys.mdb"),
                            QStringLiteral("INSERT INTO Telstra (Description, Port, Active, PSAP) "
                                           "VALUES (?, ?, ?, ?)"),
                            {row.value(0), row.value(1), row.value(2), row.value(3)});
            t = std::make_unique<TestSystem>(folder.path());
            t->clock.set(kStart);
            t->system->Form_Load();
        }
        System& sys() { return *t->system; }
        void heartbeat(int seconds = 5) {
            t->clock.advanceSecs(seconds);
            sys().decSockets.UpdateTelstraClients();
        }
        QByteArray log() const { return SystemLog(folder); }
    };

private slots:
    void connectsReceivesAndIsLogged() {
        Carrier carrier;
        Fixture f(
            {{QStringLiteral("Demo carrier"), QString::number(carrier.port), QStringLiteral("N")}},
            true);
        // Start-up enables every carrier connection.
        QCOMPARE(f.folder.rows(QStringLiteral("Ombrixsys.mdb"),
                               QStringLiteral("SELECT Active FROM Telstra")),
                 (QList<QVariantList>{{QStringLiteral("Y")}}));
        QVERIFY(f.sys().decSockets.Entry(0).Active);
        f.heartbeat();
        const QByteArray p = QByteArray::number(carrier.port);
        QVERIFY(f.log().contains("\tInput\tSystem: Decoder Socket set to 127.0.0.1:" + p + "\r\n"));
        QVERIFY(f.log().contains("\tInput\tSystem: Connect to port " + p + "   Demo carrier\r\n"));
        QTRY_VERIFY(carrier.peer != nullptr);
        QTRY_COMPARE(f.sys().decSockets.Socket(0).State(), platform::SocketState::Connected);
        f.heartbeat();
        QVERIFY(f.log().contains("\tInput\tSystem: Port " + p + " connected to Demo carrier\r\n"));

        QByteArray all;
        for (int i = 0; i < 256; ++i)
            all.append(static_cast<char>(i));
        carrier.peer->write(all);
        // Control bytes (but TAB) as codes, so that no carrier byte breaks a line.
        QByteArray shown;
        for (int i = 0; i < 256; ++i)
            shown += (i < 0x20 && i != 0x09) || i == 0x7F
                         ? "<" + QByteArray::number(i, 16).rightJustified(2, '0').toUpper() + ">"
                         : QByteArray(1, static_cast<char>(i));
        QTRY_VERIFY(SystemLog(f.folder, "LOGS/RAW_DEC.log").contains("\t0\t" + shown + "\r\n"));
        QCOMPARE(f.sys().decSockets.Entry(0).StatusTime, f.t->clock.now());
    }

    void aSilentServerIsDroppedAfterThreeMinutesAndReconnected() {
        Carrier carrier;
        Fixture f({{QStringLiteral("Quiet"), QString::number(carrier.port), QStringLiteral("Y")}});
        f.heartbeat();
        QTRY_COMPARE(f.sys().decSockets.Socket(0).State(), platform::SocketState::Connected);
        f.heartbeat();
        f.heartbeat(170);
        QCOMPARE(f.sys().decSockets.Socket(0).State(), platform::SocketState::Connected);
        f.heartbeat(15);
        QVERIFY(f.log().contains("System: Socket heart beat has failed. Closing port " +
                                 QByteArray::number(carrier.port) + "   Quiet"));
        QCOMPARE(f.sys().decSockets.Socket(0).State(), platform::SocketState::Closed);
        f.heartbeat();
        QTRY_COMPARE(f.sys().decSockets.Socket(0).State(), platform::SocketState::Connected);
    }

    void aServerThatClosesLeavesTheSocketListeningUntilTheLimit() {
        Carrier carrier;
        Fixture f(
            {{QStringLiteral("Demo carrier"), QString::number(carrier.port), QStringLiteral("Y")}});
        f.heartbeat();
        QTRY_VERIFY(carrier.peer != nullptr);
        QTRY_COMPARE(f.sys().decSockets.Socket(0).State(), platform::SocketState::Connected);
        f.heartbeat();
        carrier.peer->disconnectFromHost();
        QTRY_COMPARE(f.sys().decSockets.Socket(0).State(), platform::SocketState::Listening);
        QVERIFY(f.log().contains("\tInput\tSystem: Close " + QByteArray::number(carrier.port) +
                                 "   Demo carrier\r\n"));
        QCOMPARE(f.sys().decSockets.Entry(0).Status, 4);
        f.heartbeat();
        QCOMPARE(f.sys().decSockets.Entry(0).Status, 5);
        f.heartbeat(180);
        QCOMPARE(f.sys().decSockets.Socket(0).State(), platform::SocketState::Closed);
        QCOMPARE(f.sys().decSockets.Entry(0).Status, 2);
        carrier.peer = nullptr;
        f.heartbeat();
        QTRY_VERIFY(carrier.peer != nullptr);
    }

    // Each connection's stream opens with a block marker. Whether the last
    // connection ended between blocks or in the middle of one, and whether the
    // relay connected out or the carrier called in, the first block of the
    // next is decoded whole. A page cut off goes out as far as it came, when
    // the next page begins, as after a lost sync.
    void aNewConnectionsStreamIsDecodedFromItsFirstBlock() {
        Carrier carrier;
        Fixture f(
            {{QStringLiteral("Carrier"), QString::number(carrier.port), QStringLiteral("Y")}});
        QList<QByteArray> pages;
        QObject::connect(&f.sys().outputRules, &OutputRules::relayed, [&](const QByteArray& p) {
            if (!p.contains("\r1234566\r") && !p.contains("Dummy"))
                pages << p.mid(p.lastIndexOf('\r') + 1).chopped(1);
        });
        const auto page = [](quint32 ric, const QByteArray& text) {
            return sim::EncodeStream({sim::Page{ric, 'A', 'A', text}}, sim::StreamOptions{});
        };
        const auto reconnect = [&] {
            carrier.peer->disconnectFromHost();
            QTRY_COMPARE(f.sys().decSockets.Socket(0).State(), platform::SocketState::Listening);
            f.heartbeat(185);
            carrier.peer = nullptr;
            f.heartbeat();
            QTRY_VERIFY(carrier.peer != nullptr);
        };
        f.heartbeat();
        QTRY_VERIFY(carrier.peer != nullptr);

        carrier.peer->write(page(8, "before the first drop"));
        QTRY_COMPARE(pages.size(), 1);
        reconnect();
        carrier.peer->write(page(16, "first block after a clean drop"));
        QTRY_COMPARE(pages.size(), 2);

        // The next block, after the marker that ended the last one, cut in its
        // first batch four codewords after the sync.
        const QByteArray cut = page(15, "never finished").mid(sim::BlockMarker().size());
        carrier.peer->write(cut.left(4 + 72 + 4 + 4 * 4));
        QTRY_VERIFY(f.sys().decoder.gFrameState == SatelliteDecoder2::FrameState::GETCODE4);
        reconnect();
        carrier.peer->write(page(24, "first block after a cut"));
        QTRY_COMPARE(pages.size(), 3);
        QCOMPARE(pages,
                 (QList<QByteArray>{"before the first drop", "first block after a clean drop",
                                    "first block after a cut"}));

        // Cut two codewords into a page; the carrier then calls in to the
        // socket the relay listens on after the close.
        const QByteArray open = page(8, "cut while being sent").mid(sim::BlockMarker().size());
        carrier.peer->write(open.left(4 + 72 + 4 + 3 * 4));
        QTRY_VERIFY(f.sys().decoder.gFrameState == SatelliteDecoder2::FrameState::GETCODE4);
        carrier.peer->disconnectFromHost();
        QTRY_COMPARE(f.sys().decSockets.Socket(0).State(), platform::SocketState::Listening);
        QTRY_VERIFY(f.sys().decSockets.CallInHostKnown(0));
        QTcpSocket callingIn;
        callingIn.connectToHost(QHostAddress::LocalHost,
                                quint16(f.sys().decSockets.Socket(0).ListeningPort()));
        QTRY_COMPARE(f.sys().decSockets.Socket(0).State(), platform::SocketState::Connected);
        callingIn.write(page(32, "first block from a carrier calling in"));
        QTRY_COMPARE(pages.size(), 5);
        QVERIFY2(pages[3].size() > 0 && pages[3].size() < 20 &&
                     QByteArray("cut while being sent").startsWith(pages[3]),
                 pages[3].constData());
        QCOMPARE(pages[4], QByteArray("first block from a carrier calling in"));

        const QByteArray decoderLog = SystemLog(f.folder, "LOGS/DECODE.log");
        QCOMPARE(decoderLog.count("New carrier connection: block cut off in GETCODE4"), 2);
        QVERIFY(!decoderLog.contains("B A D"));
    }

    // Once the carrier has closed, the relay listens for it to call in, and
    // whoever calls in is taken as the carrier. Only the carrier's own host
    // may: anyone else is refused at once, its bytes never become pages, and
    // the socket goes on listening for the carrier.
    void onlyTheCarriersHostMayCallIn() {
        Carrier carrier;
        const quint16 present = TestPort();
        Fixture f(
            {{QStringLiteral("Demo carrier"), QString::number(carrier.port), QStringLiteral("Y")}},
            false,
            {{QStringLiteral("Present"), QString::number(present)},
             {QStringLiteral("Absent"), QString::number(TestPort())}});
        f.sys().outputSockets.UpdateOutputClients(); // opens the output ports
        LoopbackClient client(present);
        QVERIFY(AcceptedOnOutput(f.sys(), client, 1)); // in Description order
        f.heartbeat();
        QTRY_VERIFY(carrier.peer != nullptr);
        QTRY_COMPARE(f.sys().decSockets.Socket(0).State(), platform::SocketState::Connected);
        carrier.peer->disconnectFromHost();
        QTRY_COMPARE(f.sys().decSockets.Socket(0).State(), platform::SocketState::Listening);
        const quint16 callInPort = quint16(f.sys().decSockets.Socket(0).ListeningPort());
        const QByteArray port = QByteArray::number(callInPort);
        QVERIFY(f.log().contains("\tInput\tSystem: Listening for the carrier to call in on port " +
                                 port + "   Demo carrier\r\n"));

        const auto page = [](const QByteArray& text) {
            return sim::EncodeStream({sim::Page{8, 'A', 'A', text}}, sim::StreamOptions{});
        };
        {
            QTcpSocket stranger;
            QVERIFY(stranger.bind(QHostAddress(QStringLiteral("127.0.0.2"))));
            stranger.connectToHost(QHostAddress::LocalHost, callInPort);
            stranger.write(page("injected by a stranger"));
            QTRY_VERIFY(f.log().contains("\tInput\tEvent: Refused call-in from 127.0.0.2 on port " +
                                         port + "   Demo carrier\r\n"));
            QTRY_COMPARE(stranger.state(), QAbstractSocket::UnconnectedState);
            QCOMPARE(f.sys().decSockets.Socket(0).State(), platform::SocketState::Listening);
        }
        {
            // Only the address that faced the carrier listens.
            QTcpSocket elsewhere;
            elsewhere.connectToHost(QHostAddress::LocalHostIPv6, callInPort);
            QVERIFY(!elsewhere.waitForConnected(1000));
        }

        QTcpSocket callingIn;
        callingIn.connectToHost(QHostAddress::LocalHost, callInPort);
        QTRY_COMPARE(f.sys().decSockets.Socket(0).State(), platform::SocketState::Connected);
        QVERIFY(f.log().contains(
            "\tInput\tEvent: Incoming request on port [2]   Demo carrier from 127.0.0.1\r\n"));
        callingIn.write(page("from the carrier calling in"));
        QTRY_VERIFY(client.received.contains("from the carrier calling in"));
        QVERIFY(!client.received.contains("stranger"));
        QByteArray storedForAbsent;
        for (const QVariantList& row : f.folder.rows(
                 QStringLiteral("delayed.mdb"),
                 QStringLiteral("SELECT Destination, Packet FROM Delayed ORDER BY MessID")))
            storedForAbsent += row[0].toByteArray() + ": " + row[1].toByteArray() + '\n';
        QVERIFY2(storedForAbsent.contains("Absent: \x02"
                                          "1200\r1\rA\r0000008\rA\rfrom the carrier calling in"),
                 storedForAbsent.constData());
        QVERIFY2(!storedForAbsent.contains("stranger"), storedForAbsent.constData());
        QCOMPARE(f.log().count("\tInput\tEvent: Incoming request"), 1);
    }

    // A stranger calling in again and again cannot fill the disk: the first
    // refusal in a minute is logged, the others are counted in one line.
    void aStrangerCallingInAgainAndAgainIsCounted() {
        Carrier carrier;
        Fixture f(
            {{QStringLiteral("Demo carrier"), QString::number(carrier.port), QStringLiteral("Y")}});
        f.heartbeat();
        QTRY_VERIFY(carrier.peer != nullptr);
        QTRY_COMPARE(f.sys().decSockets.Socket(0).State(), platform::SocketState::Connected);
        carrier.peer->disconnectFromHost();
        QTRY_COMPARE(f.sys().decSockets.Socket(0).State(), platform::SocketState::Listening);
        const QByteArray port = QByteArray::number(f.sys().decSockets.Socket(0).ListeningPort());
        for (int n = 0; n < 20; ++n) {
            QTcpSocket stranger;
            QVERIFY(stranger.bind(QHostAddress(QStringLiteral("127.0.0.2"))));
            stranger.connectToHost(QHostAddress::LocalHost, port.toUShort());
            QTRY_COMPARE(stranger.state(), QAbstractSocket::UnconnectedState);
        }
        QCOMPARE(f.log().count("\tInput\tEvent: Refused call-in from 127.0.0.2 on port " + port +
                               "   Demo carrier\r\n"),
                 1);
        f.heartbeat(60);
        QCOMPARE(f.log().count("\tInput\tEvent: Call-in from 127.0.0.2 on port " + port +
                               "   Demo carrier refused 19 more times in the last minute\r\n"),
                 1);
        QCOMPARE(f.sys().decSockets.Socket(0).State(), platform::SocketState::Listening);
    }

    // The carrier's host may be named by a host name or an IPv4-mapped IPv6
    // address; a call-in from the address it stands for is the carrier's. A
    // name is looked up off the relay's thread: the call-in comes once the
    // answer is in.
    void theCarriersHostMayBeNamedAnyWay_data() {
        QTest::addColumn<QString>("host");
        QTest::newRow("host name") << QStringLiteral("localhost");
        QTest::newRow("IPv4-mapped") << QStringLiteral("::ffff:127.0.0.1");
    }
    void theCarriersHostMayBeNamedAnyWay() {
        QFETCH(QString, host);
        Carrier carrier;
        Fixture f(
            {{QStringLiteral("Demo carrier"), QString::number(carrier.port), QStringLiteral("Y")}});
        f.heartbeat();
        QTRY_VERIFY(carrier.peer != nullptr);
        QTRY_COMPARE(f.sys().decSockets.Socket(0).State(), platform::SocketState::Connected);
        f.folder.setSetting(QStringLiteral("TelstraLocalIP"), host);
        carrier.peer->disconnectFromHost();
        QTRY_COMPARE(f.sys().decSockets.Socket(0).State(), platform::SocketState::Listening);
        QTRY_VERIFY(f.sys().decSockets.CallInHostKnown(0));
        QTcpSocket callingIn;
        callingIn.connectToHost(QHostAddress::LocalHost,
                                quint16(f.sys().decSockets.Socket(0).ListeningPort()));
        QTRY_COMPARE(f.sys().decSockets.Socket(0).State(), platform::SocketState::Connected);
        QVERIFY(f.log().contains(
            "\tInput\tEvent: Incoming request on port [1]   Demo carrier from 127.0.0.1\r\n"));
    }

    // Two carrier rows feed one decoder: the second connecting while the first
    // is halfway through a block leaves that block alone.
    void aSecondCarrierConnectingLeavesTheFirstOnesBlockAlone() {
        Carrier first;
        const quint16 secondPort = TestPort();
        Fixture f({{QStringLiteral("First"), QString::number(first.port), QStringLiteral("Y")},
                   {QStringLiteral("Second"), QString::number(secondPort), QStringLiteral("Y")}});
        QList<QByteArray> pages;
        QObject::connect(&f.sys().outputRules, &OutputRules::relayed, [&](const QByteArray& p) {
            if (!p.contains("\r1234566\r") && !p.contains("Dummy"))
                pages << p.mid(p.lastIndexOf('\r') + 1).chopped(1);
        });
        f.heartbeat(); // the second is refused: nothing listens on its port yet
        QTRY_VERIFY(first.peer != nullptr);
        QTRY_COMPARE(f.sys().decSockets.Socket(1).State(), platform::SocketState::Closed);

        const QByteArray stream =
            sim::EncodeStream({sim::Page{8, 'A', 'A', "whole despite the second carrier"}}, {});
        const qsizetype half = 5 + 4 + 72 + 4 + 3 * 4;
        first.peer->write(stream.left(half));
        QTRY_VERIFY(f.sys().decoder.gFrameState == SatelliteDecoder2::FrameState::GETCODE4);

        QTcpServer second;
        QVERIFY(second.listen(QHostAddress::LocalHost, secondPort));
        f.heartbeat();
        QVERIFY(second.waitForNewConnection(3000));
        QTRY_COMPARE(f.sys().decSockets.Socket(1).State(), platform::SocketState::Connected);
        first.peer->write(stream.mid(half));
        QTRY_COMPARE(pages, QList<QByteArray>{"whole despite the second carrier"});
        QVERIFY(!SystemLog(f.folder, "LOGS/DECODE.log").contains("block cut off"));
    }

    void aPortThatIsNotANumberIsReportedAtEveryTick() {
        Fixture f({{QStringLiteral("Broken"), QStringLiteral("50x1"), QStringLiteral("Y")}});
        f.heartbeat();
        f.heartbeat();
        QCOMPARE(f.t->warningNumbers(), (QList<int>{205, 205}));
        QCOMPARE(
            f.log().count(
                "\tInput\tSystem: Telstra Socket problem starting 50x1   Broken Windows reports ["),
            2);
        QCOMPARE(f.sys().decSockets.Socket(0).State(), platform::SocketState::Closed);
    }

    void theBusyCounterRefusesThreeTimesThenForces() {
        Carrier carrier;
        Fixture f({{QStringLiteral("Busy"), QString::number(carrier.port), QStringLiteral("Y")}});
        f.heartbeat();
        QTRY_COMPARE(f.sys().decSockets.Socket(0).State(), platform::SocketState::Connected);
        QVERIFY(f.sys().decSockets.SendDataTelstra(0, "ping")); // outstanding until its event runs
        for (int i = 0; i < 3; ++i)
            QVERIFY(!f.sys().decSockets.CloseTelstraPort(0));
        QCOMPARE(f.log().count("System: Can not close. Socket busy. " +
                               QByteArray::number(carrier.port) + "   Busy"),
                 3);
        QCOMPARE(f.sys().decSockets.Socket(0).State(), platform::SocketState::Connected);
        QVERIFY(!f.sys().decSockets.CloseTelstraPort(0));
        QVERIFY(f.log().contains("System: Socket busy. Close counter exceeded. Close NOW " +
                                 QByteArray::number(carrier.port) + "   Busy"));
        QCOMPARE(f.sys().decSockets.Socket(0).State(), platform::SocketState::Closed);
        QCOMPARE(f.sys().decSockets.Entry(0).CloseCount, 0);
        QVERIFY(f.sys().decSockets.Entry(0).Sending.Ready());
    }

    void tableChangesReachTheEntries() {
        Fixture f({{QStringLiteral("C"), QStringLiteral("5003"), QStringLiteral("Y")},
                   {QStringLiteral("B"), QStringLiteral("5002"), QStringLiteral("Y")},
                   {QStringLiteral("D"), QStringLiteral("5004"), QStringLiteral("Y")}});
        const frmDecSockets& carriers = f.sys().decSockets;
        QCOMPARE(f.sys().db.gTelstraCount, 2);
        QCOMPARE(carriers.Entry(0).Description, QStringLiteral("B"));
        QCOMPARE(carriers.Entry(1).Description, QStringLiteral("C"));
        QVERIFY(f.sys().window.txbLogTelstra.Text.contains(
            QStringLiteral("greater than MAX Allowed of [2]")));
        // A new row that sorts first takes entry 0 field by field.
        f.sys().commands.Edit(config::EditedTable::Telstra);
        f.sys().db.rsTelstra->AddNew();
        f.sys().db.rsTelstra->SetField(QStringLiteral("Description"), QStringLiteral("A"));
        f.sys().db.rsTelstra->SetField(QStringLiteral("Port"), QStringLiteral("5001"));
        f.sys().db.rsTelstra->SetField(QStringLiteral("Active"), QStringLiteral("y"));
        QVERIFY(f.sys().commands.Commit(config::EditedTable::Telstra).isEmpty());
        QCOMPARE(carriers.Entry(0).Description, QStringLiteral("A"));
        QCOMPARE(carriers.Entry(0).Port, QStringLiteral("5001"));
        QCOMPARE(carriers.Entry(1).Description, QStringLiteral("B"));
        QVERIFY(
            f.log().contains("System: Updated socket [0] A    Field  [Description]   To A\r\n"));
        QVERIFY(f.log().contains("System: Updated socket [0] A    Field  [Port]   To 5001\r\n"));
        // Active: lower-case n disables, an empty value changes nothing.
        f.sys().commands.Edit(config::EditedTable::Telstra);
        f.sys().db.rsTelstra->MoveFirst();
        f.sys().db.rsTelstra->SetField(QStringLiteral("Active"), QStringLiteral("no"));
        f.sys().db.rsTelstra->MoveNext();
        f.sys().db.rsTelstra->SetField(QStringLiteral("Active"), QString());
        QVERIFY(f.sys().commands.Commit(config::EditedTable::Telstra).isEmpty());
        QVERIFY(!carriers.Entry(0).Active);
        QVERIFY(carriers.Entry(1).Active);
        QVERIFY(f.log().contains("System: UPDATE: Closing port 5001   A\r\n"));
        // Down to one row: entry 1 is closed and reset.
        f.sys().commands.Edit(config::EditedTable::Telstra);
        for (int i = 0; i < 3; ++i) { // B, C and D go; A stays
            f.sys().db.rsTelstra->MoveLast();
            f.sys().db.rsTelstra->Delete();
        }
        QVERIFY(f.sys().commands.Commit(config::EditedTable::Telstra).isEmpty());
        QCOMPARE(f.sys().db.gTelstraCount, 1);
        QCOMPARE(carriers.Entry(1).Status, 1);
        QVERIFY(!carriers.Entry(1).Active);
        // Its socket stays loaded, and closed.
        QCOMPARE(f.sys().decSockets.Socket(1).State(), platform::SocketState::Closed);
        QVERIFY(!f.sys().db.CommitTelstra()); // not in edit mode
    }

    // One commit adds a row and changes another, a later one removes a row:
    // each carrier connection follows its row, and the change log tells of
    // each step in order.
    void rowsAddedChangedAndRemovedReachTheConnections() {
        Carrier first;
        Carrier second;
        const QByteArray unused = QByteArray::number(TestPort());
        Fixture f({{QStringLiteral("A"), QString::fromLatin1(unused), QStringLiteral("Y")}});
        auto linesOfCommit = [&](const std::function<void(platform::Recordset&)>& edit) {
            const qsizetype before = LogLines(f.log(), "Input").size();
            f.sys().commands.Edit(config::EditedTable::Telstra);
            edit(*f.sys().db.rsTelstra);
            [&] { QVERIFY(f.sys().commands.Commit(config::EditedTable::Telstra).isEmpty()); }();
            // The commit's own "Event:" lines are the command's; the rest are the loader's.
            QList<QByteArray> lines = LogLines(f.log(), "Input").mid(before);
            lines.removeIf([](const QByteArray& line) { return line.startsWith("Event: "); });
            return lines;
        };
        const QByteArray p1 = QByteArray::number(first.port);
        const QByteArray p2 = QByteArray::number(second.port);
        const QList<QByteArray> added = linesOfCommit([&](platform::Recordset& rs) {
            rs.MoveFirst();
            rs.SetField(QStringLiteral("Port"), QString::fromLatin1(p1));
            rs.SetField(QStringLiteral("PSAP"), QStringLiteral("P1"));
            rs.AddNew();
            rs.SetField(QStringLiteral("Description"), QStringLiteral("B"));
            rs.SetField(QStringLiteral("Port"), QString::fromLatin1(p2));
            rs.SetField(QStringLiteral("Active"), QStringLiteral("Y"));
        });
        QCOMPARE(added,
                 (QList<QByteArray>{"System: Updated socket [0] A    Field  [PSAP]   To P1",
                                    "System: Updated socket [0] A    Field  [Port]   To " + p1,
                                    "System: Load port " + p2,
                                    "System: UPDATE: Enabling port " + p2 + "   B"}));
        f.heartbeat();
        QTRY_VERIFY(first.peer != nullptr);
        QTRY_VERIFY(second.peer != nullptr);
        QTRY_COMPARE(f.sys().decSockets.Socket(1).State(), platform::SocketState::Connected);

        const QList<QByteArray> removed = linesOfCommit([](platform::Recordset& rs) {
            rs.MoveLast();
            rs.Delete();
        });
        QCOMPARE(removed, (QList<QByteArray>{"System: Close port " + p2 + "   B",
                                             "System: Close " + p2 + "   B"}));
        QTRY_COMPARE(second.peer->state(), QAbstractSocket::UnconnectedState);
        QCOMPARE(f.sys().decSockets.Socket(1).State(), platform::SocketState::Closed);
        QCOMPARE(f.sys().decSockets.Entry(1).Status, 1);
        QVERIFY(!f.sys().decSockets.Entry(1).Active);
        QCOMPARE(f.sys().decSockets.Socket(0).State(), platform::SocketState::Connected);
    }

    void aPortChangeDependsOnTheConnectionsStatus() {
        Carrier carrier;
        Fixture f({{QStringLiteral("Live"), QString::number(carrier.port), QStringLiteral("Y")}});
        const TelstraSocket& entry = f.sys().decSockets.Entry(0);
        auto commitPort = [&](const QString& port) {
            f.sys().commands.Edit(config::EditedTable::Telstra);
            f.sys().db.rsTelstra->MoveFirst();
            f.sys().db.rsTelstra->SetField(QStringLiteral("Port"), port);
            QVERIFY(f.sys().commands.Commit(config::EditedTable::Telstra).isEmpty());
        };
        f.heartbeat();
        QTRY_COMPARE(f.sys().decSockets.Socket(0).State(), platform::SocketState::Connected);
        f.heartbeat();
        QCOMPARE(entry.Status, 3);
        // Connected: skipped by the reload, then marked for update; the live
        // connection keeps its port.
        commitPort(QStringLiteral("5999"));
        QCOMPARE(entry.Port, QString::number(carrier.port));
        QCOMPARE(entry.Status, 6);
        // Still 6 at the next reload: the new port goes in, the connection stays.
        commitPort(QStringLiteral("5998"));
        QCOMPARE(entry.Port, QStringLiteral("5998"));
        QCOMPARE(f.sys().decSockets.Socket(0).State(), platform::SocketState::Connected);
        // Listening (the server closed): the new port goes in and the socket closes at once.
        carrier.peer->disconnectFromHost();
        QTRY_COMPARE(f.sys().decSockets.Socket(0).State(), platform::SocketState::Listening);
        f.heartbeat();
        QCOMPARE(entry.Status, 5);
        f.sys().commands.Edit(config::EditedTable::Telstra);
        f.sys().db.rsTelstra->MoveFirst();
        f.sys().db.rsTelstra->SetField(QStringLiteral("Port"), QString::number(carrier.port));
        // A commit marks the entry 6 before the reload sees it; the heartbeat
        // writes 5 back while the socket listens.
        f.sys().decSockets.LoadTelstraClients();
        f.sys().db.rsTelstra->Update();
        f.sys().db.rsTelstra->Requery();
        f.sys().decSockets.LoadTelstraClients();
        QVERIFY(f.log().contains("System: Update requires socket changes on [0]  Live"));
        QCOMPARE(f.sys().decSockets.Socket(0).State(), platform::SocketState::Closed);
        QCOMPARE(entry.Status, 2);
        QCOMPARE(entry.Port, QString::number(carrier.port));
    }

    void enableAndDisableAllWriteTheTable() {
        Fixture f({{QStringLiteral("A"), QStringLiteral("5001"), QStringLiteral("Y")},
                   {QStringLiteral("B"), QStringLiteral("5002"), QStringLiteral("Y")}});
        f.sys().commands.SetCarriersActive(false);
        QCOMPARE(f.folder.rows(QStringLiteral("Ombrixsys.mdb"),
                               QStringLiteral("SELECT Active FROM Telstra ORDER BY Description")),
                 (QList<QVariantList>{{QStringLiteral("N")}, {QStringLiteral("N")}}));
        QVERIFY(!f.sys().decSockets.Entry(0).Active && !f.sys().decSockets.Entry(1).Active);
        f.sys().commands.SetCarriersActive(true);
        QCOMPARE(f.folder.rows(QStringLiteral("Ombrixsys.mdb"),
                               QStringLiteral("SELECT Active FROM Telstra ORDER BY Description")),
                 (QList<QVariantList>{{QStringLiteral("Y")}, {QStringLiteral("Y")}}));
        QVERIFY(f.log().contains("System: UPDATE: Enabling port 5002   B\r\n"));
    }

    void thePortCheckReportsEveryRepetition() {
        WorkFolder folder;
        folder.setOutputs({{QStringLiteral("Out A"), QStringLiteral("7001")},
                           {QStringLiteral("Out B"), QStringLiteral("7001")},
                           {QStringLiteral("Out C"), QStringLiteral("07001")},
                           {QStringLiteral("Out D"), QStringLiteral("5001")}});
        folder.setSetting(QStringLiteral("LastBackUp"), QStringLiteral("15 Jan 2026 09:00:00"));
        for (const char* row : {"Feed 1", "Feed 2"})
            folder.exec(
                QStringLiteral("Ombrixsys.mdb"),
                QStringLiteral(
                    "INSERT INTO Telstra (Description, Port, Active) VALUES (?, '5001', 'Y')"),
                {QLatin1String(row)});
        TestSystem t(folder.path());
        t.clock.set(kStart);
        QVERIFY(t->Form_Load());
        // "07001" is port 7001: it repeats both of the others.
        QCOMPARE(t.warningNumbers(), (QList<int>{600, 600, 600, 601, 602, 602}));
        QCOMPARE(t.warnings[0].text,
                 QStringLiteral("System: Found duplicate ports \t7001\tOut A\tOut B"));
        QCOMPARE(t.warnings[1].text,
                 QStringLiteral("System: Found duplicate ports \t7001\tOut A\tOut C"));
        QCOMPARE(t.warnings[2].text,
                 QStringLiteral("System: Found duplicate ports \t7001\tOut B\tOut C"));
        QCOMPARE(t.warnings[3].text,
                 QStringLiteral("System: Found duplicate ports \t5001\tFeed 1\tFeed 2"));
        QCOMPARE(
            t.warnings[4].text,
            QStringLiteral("System: Found duplicate ports between tables\t5001\tOut D\tFeed 1"));
        const QByteArray log = SystemLog(folder);
        QVERIFY(log.contains("\tError\tSystem: Found duplicate ports \t7001\tOut A\tOut B\r\n"));
        QVERIFY(log.contains("\tOutput\tSystem: Found duplicate ports \t7001\tOut A\tOut B\r\n"));
        QVERIFY(log.contains("\tInput\tSystem: Found duplicate ports \t5001\tFeed 1\tFeed 2\r\n"));
        QVERIFY(log.contains(
            "\tInput\tSystem: Found duplicate ports between tables\t5001\tOut D\tFeed 2\r\n"));
        // Entries beyond the counts, left over from a larger table, are never compared.
        t.warnings.clear();
        t->db.gOutputCount = 1;
        t->db.gTelstraCount = 0;
        t->outputRules.CheckDuplicatePorts();
        QVERIFY(t.warnings.isEmpty());
    }
};

QTEST_GUILESS_MAIN(CarrierConnectionsTest)
#include "carrier-connections-test.moc"
