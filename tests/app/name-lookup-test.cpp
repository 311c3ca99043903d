// Names the relay looks up while the DNS is slow or never answers: a broker's
// Host and the carrier's host for call-ins. The relay's thread never waits for
// an answer: pages go on reaching the clients meanwhile, and what needed the
// answer goes on once it comes.

#include "FileText.h"
#include "HeldDns.h"
#include "TestPorts.h"
#include "TestSystem.h"

#include "decoder/MessagePacket.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

namespace {

const QDateTime kStart(QDate(2026, 1, 15), QTime(10, 0, 0));

QByteArray Page(const QByteArray& text) {
    return decoder::MessagePacket("1200", "2", "D", "1234567", "A", text);
}

} // namespace

class NameLookupTest : public QObject {
    Q_OBJECT
public:
    explicit NameLookupTest(QByteArray noNamespaces) : noNamespaces_(std::move(noNamespaces)) {}

private:
    QByteArray noNamespaces_;

private slots:
    void init() {
        if (!noNamespaces_.isEmpty())
            QSKIP(noNamespaces_.constData());
    }

    // A broker named by a host the DNS never answers: the tick that starts the
    // lookup returns at once, a page goes to the TCP client and into the store
    // for the broker, and nothing is said of the broker while it is looked up.
    void aBrokerWhoseNameIsNeverAnsweredHoldsNoPageBack() {
        HeldDns dns;
        QVERIFY(dns.bound());
        WorkFolder folder;
        const quint16 outputPort = TestPort();
        folder.setOutputs({{QStringLiteral("Client A"), QString::number(outputPort)}});
        folder.setSetting(QStringLiteral("LastBackUp"), QStringLiteral("15 Jan 2026 09:00:00"));
        folder.exec(QStringLiteral("Ombrixsys.mdb"),
                    QStringLiteral("INSERT INTO Publishers (Description, Host, Port, Topic, QoS, "
                                   "Active) VALUES ('Unanswered', 'broker.unanswered.test', "
                                   "'1883', 'ombrix/pages', '1', 'Y')"));
        TestSystem t(folder.path());
        t.clock.set(kStart);
        QVERIFY(t.system->Form_Load());
        t->outputSockets.UpdateOutputClients();
        LoopbackClient client(outputPort);
        QVERIFY(AcceptedOnOutput(*t.system, client, 0));

        t->publishers.tmrPublishers_Timer();
        QTRY_VERIFY(dns.asked("broker.unanswered.test"));
        t->outputRules.RelayToOutputs(Page("while the DNS is silent"));
        QTRY_VERIFY(client.received.contains("while the DNS is silent"));
        QTRY_COMPARE(folder.storedPackets(), 1);
        QVERIFY(!t->publishers.Publisher(0).Connected());
        QVERIFY(t.warnings.isEmpty());
        QVERIFY(!folder.systemLog().contains("System: MQTT Unanswered lost"));
    }

    // A broker's row deleted while its name is being looked up: the answer
    // that comes later finds no publisher to call.
    void anAnswerForADeletedBrokerGoesNowhere() {
        HeldDns dns;
        QVERIFY(dns.bound());
        WorkFolder folder;
        folder.setOutputs({});
        folder.setSetting(QStringLiteral("LastBackUp"), QStringLiteral("15 Jan 2026 09:00:00"));
        folder.exec(QStringLiteral("Ombrixsys.mdb"),
                    QStringLiteral("INSERT INTO Publishers (Description, Host, Port, Topic, QoS, "
                                   "Active) VALUES ('Deleted', 'broker.late.test', ?, "
                                   "'ombrix/pages', '1', 'Y')"),
                    {QString::number(TestPort())});
        TestSystem t(folder.path());
        t.clock.set(kStart);
        QVERIFY(t.system->Form_Load());
        t->publishers.tmrPublishers_Timer();
        QTRY_VERIFY(dns.asked("broker.late.test"));

        t->window.Click(QStringLiteral("cmdEditPublishers"));
        t->db.rsPublishers->MoveFirst();
        t->db.rsPublishers->Delete();
        t->window.Click(QStringLiteral("cmdEditPublishers"));
        QCOMPARE(t->publishers.Count(), 0);
        dns.answer("broker.late.test", QHostAddress::LocalHost);
        QTest::qWait(300);
        const QByteArray log = folder.systemLog();
        QVERIFY(log.contains("System: MQTT Deleted removed"));
        QVERIFY(!log.contains("System: MQTT Deleted lost"));
        QVERIFY(t.warnings.isEmpty());
    }

    // The carrier's host named for call-ins: until the DNS answers, a caller
    // from the carrier's address is refused like any stranger; once it has
    // answered, the carrier's call-in is taken.
    void theCarriersCallInIsTakenOnceItsNameIsAnswered() {
        HeldDns dns;
        QVERIFY(dns.bound());
        QTcpServer carrier;
        QVERIFY(carrier.listen(QHostAddress::LocalHost, 0));
        QTcpSocket* feed = nullptr;
        QObject::connect(&carrier, &QTcpServer::newConnection,
                         [&] { feed = carrier.nextPendingConnection(); });
        WorkFolder folder;
        folder.setOutputs({});
        folder.setSetting(QStringLiteral("LastBackUp"), QStringLiteral("15 Jan 2026 09:00:00"));
        folder.exec(QStringLiteral("Ombrixsys.mdb"),
                    QStringLiteral("INSERT INTO Telstra (Description, Port, Active) VALUES "
                                   "('Demo carrier', ?, 'Y')"),
                    {QString::number(carrier.serverPort())});
        TestSystem t(folder.path());
        t.clock.set(kStart);
        QVERIFY(t.system->Form_Load());
        t.clock.advanceSecs(5);
        t->decSockets.UpdateTelstraClients();
        QTRY_VERIFY(feed != nullptr);
        QTRY_COMPARE(t->decSockets.Socket(0).State(), platform::SocketState::Connected);

        folder.setSetting(QStringLiteral("TelstraLocalIP"), QStringLiteral("carrier.held.test"));
        feed->disconnectFromHost();
        QTRY_COMPARE(t->decSockets.Socket(0).State(), platform::SocketState::Listening);
        QTRY_VERIFY(dns.asked("carrier.held.test"));
        const quint16 callInPort = quint16(t->decSockets.Socket(0).ListeningPort());
        const QByteArray port = QByteArray::number(callInPort);
        const auto log = [&] { return ReadFile(folder.file(QStringLiteral("LOGS/Quorlan"))); };

        QTcpSocket early;
        early.connectToHost(QHostAddress::LocalHost, callInPort);
        QTRY_VERIFY(log().contains("\tInput\tEvent: Refused call-in from 127.0.0.1 on port " +
                                   port + "   Demo carrier\r\n"));
        QTRY_COMPARE(early.state(), QAbstractSocket::UnconnectedState);
        QCOMPARE(t->decSockets.Socket(0).State(), platform::SocketState::Listening);

        dns.answer("carrier.held.test", QHostAddress::LocalHost);
        QTRY_VERIFY(t->decSockets.CallInHostKnown(0));
        QTcpSocket callingIn;
        callingIn.connectToHost(QHostAddress::LocalHost, callInPort);
        QTRY_COMPARE(t->decSockets.Socket(0).State(), platform::SocketState::Connected);
        QVERIFY(log().contains("   Demo carrier from 127.0.0.1\r\n"));
        QCOMPARE(log().count("\tInput\tEvent: Incoming request"), 1);
    }
};

int main(int argc, char** argv) {
    // Before Qt starts a thread.
    QByteArray noNamespaces = EnterNamespacesWithHeldDns();
    QCoreApplication app(argc, argv);
    NameLookupTest test(std::move(noNamespaces));
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "name-lookup-test.moc"
