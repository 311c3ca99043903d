// Pages published to a real mosquitto broker: as subscribers and operators
// see them, while the broker comes and goes.

#include "Broker.h"
#include "StuckClient.h"
#include "TestCertificates.h"
#include "TestPorts.h"
#include "TestSystem.h"

#include "decoder/MessagePacket.h"
#include "outputs/DummyMessage.h"
#include "platform/Recordset.h"
#include "publish/AlarmMessage.h"
#include "publish/LinkFailure.h"
#include "publish/PageMessage.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>
#include <QTimeZone>
#include <csignal>

namespace {

const QDateTime kStart(QDate(2026, 1, 15), QTime(10, 0, 0));

struct PublisherRow {
    QString description;
    quint16 port;
    QString qos = QStringLiteral("1");
    QString username;
    QString password;
    QString host = QStringLiteral("127.0.0.1");
    QString caFile;
};

void SetPublishers(const WorkFolder& folder, const QList<PublisherRow>& rows) {
    folder.exec(QStringLiteral("Ombrixsys.mdb"), QStringLiteral("DELETE FROM Publishers"));
    for (const PublisherRow& r : rows)
        folder.exec(QStringLiteral("Ombrixsys.mdb"),
                    QStringLiteral("INSERT INTO Publishers (Description, Host, Port, Topic, QoS, "
                                   "Active, Username, Password, CAFile) VALUES (?, ?, ?, "
                                   "'ombrix/pages', ?, 'Y', ?, ?, ?)"),
                    {r.description, r.host, QString::number(r.port), r.qos, r.username, r.password,
                     r.caFile});
}

QByteArray Page(const QByteArray& address, const QByteArray& text) {
    return decoder::MessagePacket("1200", "2", "D", address, "A", text);
}

int StoredFor(const WorkFolder& folder, const QString& destination) {
    return folder
        .rows(QStringLiteral("delayed.mdb"),
              QStringLiteral("SELECT count(*) FROM Delayed WHERE Destination = ?"), {destination})
        .first()
        .first()
        .toInt();
}

// A relay on a work folder with one TCP output and the given brokers.
struct Relay {
    WorkFolder folder;
    quint16 outputPort = TestPort();
    std::unique_ptr<TestSystem> t;
    std::unique_ptr<LoopbackClient> client;

    explicit Relay(const QList<PublisherRow>& publishers) {
        folder.setOutputs({{QStringLiteral("Client A"), QString::number(outputPort)}});
        folder.setSetting(QStringLiteral("LastBackUp"), QStringLiteral("15 Jan 2026 09:00:00"));
        SetPublishers(folder, publishers);
    }
    // The relay started, with no client yet.
    void load() {
        t = std::make_unique<TestSystem>(folder.path());
        t->clock.set(kStart);
        QVERIFY(t->system->Form_Load());
        sys().outputSockets.UpdateOutputClients();
    }
    void start() {
        load();
        client = std::make_unique<LoopbackClient>(outputPort);
        QVERIFY(AcceptedOnOutput(sys(), *client, 0));
        sys().publishers.tmrPublishers_Timer();
    }
    System& sys() { return *t->system; }
    // Moves the clock a second and runs the publishers' tick.
    void tick() {
        t->clock.advanceSecs(1);
        sys().publishers.tmrPublishers_Timer();
        QCoreApplication::processEvents();
    }
    bool connected(int index = 0) {
        return QTest::qWaitFor([&] { return sys().publishers.Publisher(index).Connected(); }, 5000);
    }
};

QJsonObject Json(const QByteArray& payload) {
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(payload, &error);
    return error.error == QJsonParseError::NoError ? doc.object() : QJsonObject();
}

// The payloads received on `topic`, in order.
QList<QByteArray> PayloadsOn(const Subscriber& subscriber, const QByteArray& topic) {
    QList<QByteArray> payloads;
    for (const auto& message : subscriber.messages)
        if (message.topic == topic)
            payloads << message.payload;
    return payloads;
}

// What a subscriber that comes now reads on `topic`: the retained message.
QByteArray RetainedOn(quint16 port, const QByteArray& topic) {
    Subscriber late(port, topic);
    return late.waitFor(1, 3000) ? late.messages.first().payload : QByteArray();
}

} // namespace

class MqttPublishTest : public QObject {
    Q_OBJECT

private slots:
    void theMessageIsThePageAsJsonByteForByte() {
        QByteArray text = "Fire \"3\" \\ at 12:05\r";
        text += '\x01';
        text += "\x80\xE9\xFF";
        const QByteArray packet = Page("1234567", text);
        const auto page = publish::ReadPage(packet);
        QVERIFY(page);
        const QDateTime at(QDate(2026, 1, 15), QTime(10, 0, 1, 250), QTimeZone(36000));
        const QByteArray json =
            publish::PageJson(1000042, at, QStringLiteral("Ombrix"), packet, *page);
        QCOMPARE(json, QByteArray("{\"id\":1000042,\"time\":\"2026-01-15T10:00:01.250+10:00\","
                                  "\"server\":\"Ombrix\",\"rate\":\"1200\",\"frequency\":\"2\","
                                  "\"function\":\"D\",\"address\":\"1234567\",\"type\":\"A\","
                                  "\"text\":\"Fire \\\"3\\\" \\\\ at 12:05\\u000d\\u0001"
                                  "\xC2\x80\xC3\xA9\xC3\xBF\",\"packet\":\"") +
                           packet.toBase64() + "\"}");
        QCOMPARE(publish::PageTopic(QStringLiteral("ombrix/pages"), *page),
                 QByteArray("ombrix/pages/1234567"));
        // Not pages: the frame notices, the idle message, anything without six fields.
        QVERIFY(!publish::ReadPage(decoder::F1StartNotice()));
        QVERIFY(!publish::ReadPage(decoder::EndOfBatchNotice()));
        QVERIFY(!publish::ReadPage(DummyMessage(QStringLiteral("10:00:00"),
                                                QStringLiteral("Enhanced"), QStringLiteral("O"))));
        QVERIFY(!publish::ReadPage(DummyMessage(QStringLiteral("10:00:00"),
                                                QStringLiteral("Normal"), QStringLiteral("O"))));
        QVERIFY(!publish::ReadPage("\x02garbage\x03"));
    }

    // The reasons of "System: MQTT <Description> lost: <reason>": the library
    // itself names a frozen broker's keep-alive timeout and a few others
    // "Unknown error.".
    void aLostConnectionSaysWhy_data() {
        QTest::addColumn<int>("rc");
        QTest::addColumn<QString>("reason");
        QTest::newRow("frozen broker") << int(MOSQ_ERR_KEEPALIVE) << "keepalive timeout";
        QTest::newRow("malformed packet")
            << int(MOSQ_ERR_MALFORMED_PACKET) << "malformed packet from the broker";
        QTest::newRow("timeout") << int(MOSQ_ERR_TIMEOUT) << "timed out";
        QTest::newRow("closed") << int(MOSQ_ERR_CONN_LOST) << "the broker closed the connection";
        QTest::newRow("system call") << int(MOSQ_ERR_ERRNO) << "Connection refused";
        QTest::newRow("TLS") << int(MOSQ_ERR_TLS) << "A TLS error occurred.";
    }
    void aLostConnectionSaysWhy() {
        QFETCH(int, rc);
        QFETCH(QString, reason);
        QCOMPARE(publish::LinkFailure(rc, ECONNREFUSED), reason);
    }

    void everyPageArrivesOnceWithThePacketTheTcpClientGot() {
        const quint16 port = TestPort();
        Broker broker(port);
        Subscriber subscriber(port, "ombrix/pages/#", Subscriber::Keep::Pages);
        QVERIFY(subscriber.subscribed());
        Relay relay({{QStringLiteral("Broker"), port}});
        relay.start();
        QVERIFY(relay.connected());

        QList<QByteArray> pages;
        for (int n = 0; n < 20; ++n) {
            QByteArray text = "Page " + QByteArray::number(n) + " ";
            for (int b = 0x80 + n; b <= 0xFF; b += 20)
                text += char(b);
            pages << Page(QByteArray::number(1234500 + n % 3), text);
        }
        for (const QByteArray& page : pages) {
            relay.sys().outputRules.RelayToOutputs(page);
            relay.t->clock.advanceMs(10);
        }
        // Notices and the idle message reach the TCP client only.
        relay.sys().outputRules.RelayToOutputs(decoder::F1StartNotice());
        relay.sys().window.Click(QStringLiteral("cmdSendDummy"));

        QVERIFY(subscriber.waitFor(pages.size()));
        subscriber.settle();
        QCOMPARE(subscriber.messages.size(), pages.size());
        QTRY_VERIFY(relay.client->received.count('\x03') == pages.size() + 2);
        for (int n = 0; n < pages.size(); ++n) {
            const auto& message = subscriber.messages[n];
            const QJsonObject json = Json(message.payload);
            QVERIFY2(!json.isEmpty(), message.payload.constData());
            const QByteArray packet = QByteArray::fromBase64(json[u"packet"].toString().toLatin1());
            QCOMPARE(packet, pages[n]);
            QVERIFY(relay.client->received.contains(packet));
            QCOMPARE(message.topic, "ombrix/pages/" + json[u"address"].toString().toLatin1());
            QCOMPARE(json[u"text"].toString().toLatin1(), publish::ReadPage(packet)->text);
            QCOMPARE(json[u"server"].toString(), QStringLiteral("Ombrix"));
            QVERIFY(json[u"time"].toString().startsWith(QStringLiteral("2026-01-15T10:00:00.")));
        }
        // Every page was acknowledged: nothing stays stored for the broker.
        QTRY_COMPARE(StoredFor(relay.folder, QStringLiteral("MQTT Broker")), 0);
        QVERIFY(relay.folder.systemLog().contains("System: MQTT Broker connected to 127.0.0.1:" +
                                                  QByteArray::number(port)));
        QVERIFY(relay.t->warnings.isEmpty());
    }

    // The operator's Edit and Commit of the Publishers grid: the row that
    // changed connects again and publishes on its new topic; the other keeps
    // its connection.
    void aCommitOfTheGridReconnectsOnlyTheRowThatChanged() {
        const quint16 port = TestPort();
        Broker broker(port);
        Subscriber subscriber(port, "moved/#", Subscriber::Keep::Pages);
        QVERIFY(subscriber.subscribed());
        Relay relay({{QStringLiteral("Kept"), port}, {QStringLiteral("Moved"), port}});
        relay.start();
        QVERIFY(relay.connected(0));
        QVERIFY(relay.connected(1));
        const auto connects = [&](const char* description) {
            return relay.folder.systemLog().count(QByteArray("System: MQTT ") + description +
                                                  " connected to");
        };
        QCOMPARE(connects("Kept"), 1);
        QCOMPARE(connects("Moved"), 1);

        frmQuorlan& window = relay.sys().window;
        window.Click(QStringLiteral("cmdEditPublishers"));
        QCOMPARE(window.cmdEditPublishers.Caption, QStringLiteral("Commit"));
        platform::Recordset& rows = *relay.sys().db.rsPublishers;
        rows.MoveFirst();
        rows.MoveNext(); // the rows are in Description order: Kept, Moved
        QCOMPARE(rows.Field(QStringLiteral("Description")).toString(), QStringLiteral("Moved"));
        rows.SetField(QStringLiteral("Topic"), QStringLiteral("moved"));
        window.Click(QStringLiteral("cmdEditPublishers"));
        QCOMPARE(window.cmdEditPublishers.Caption, QStringLiteral("Edit"));

        relay.tick(); // the publishers' timer, which the running relay has started
        QVERIFY(relay.connected(1));
        QTRY_COMPARE(connects("Moved"), 2);
        QCOMPARE(connects("Kept"), 1);
        relay.sys().outputRules.RelayToOutputs(Page("1234567", "after the commit"));
        QVERIFY(subscriber.waitFor(1));
        QCOMPARE(subscriber.messages.first().topic, QByteArray("moved/1234567"));
        QTRY_COMPARE(StoredFor(relay.folder, QStringLiteral("MQTT Kept")), 0);
    }

    void pagesOfABrokerAwayForThirtySecondsArriveOnItsReturnOldestFirstOnce() {
        const quint16 port = TestPort();
        auto broker = std::make_unique<Broker>(port);
        Relay relay({{QStringLiteral("Broker"), port, QStringLiteral("2")}});
        relay.start();
        QVERIFY(relay.connected());

        broker.reset();
        QTRY_VERIFY(!relay.sys().publishers.Publisher(0).Connected());
        QList<QByteArray> gap;
        for (int second = 0; second < 30; ++second) {
            gap << Page("1234567", "gap page " + QByteArray::number(second));
            relay.sys().outputRules.RelayToOutputs(gap.last());
            relay.tick(); // the relay tries again, and fails, on its back-off
        }
        QTRY_COMPARE(StoredFor(relay.folder, QStringLiteral("MQTT Broker")), 30);
        QTRY_VERIFY(relay.client->received.count('\x03') == gap.size());

        broker = std::make_unique<Broker>(port);
        Subscriber subscriber(port, "ombrix/pages/#", Subscriber::Keep::Pages);
        QVERIFY(subscriber.subscribed());
        for (int second = 0; second < 61 && !relay.sys().publishers.Publisher(0).Connected();
             ++second) {
            relay.tick();
            QTest::qWait(20);
        }
        QVERIFY(relay.connected());
        QVERIFY(subscriber.waitFor(gap.size()));
        subscriber.settle(500);
        QCOMPARE(subscriber.messages.size(), gap.size());
        for (int n = 0; n < gap.size(); ++n)
            QCOMPARE(QByteArray::fromBase64(
                         Json(subscriber.messages[n].payload)[u"packet"].toString().toLatin1()),
                     gap[n]);
        QTRY_COMPARE(StoredFor(relay.folder, QStringLiteral("MQTT Broker")), 0);
        const QByteArray log = relay.folder.systemLog();
        QVERIFY(log.contains("System: MQTT Broker lost: "));
        QCOMPARE(log.count("System: MQTT Broker connected to "), 2);
    }

    void aWrongPasswordAndAnAbsentBrokerAreWarnedWhileTheClientsGetEveryPage() {
        const quint16 port = TestPort();
        const quint16 nobody = TestPort();
        Broker broker(port, QStringLiteral("relay"), QStringLiteral("right-secret"));
        Relay relay({{QStringLiteral("Absent"), nobody},
                     {QStringLiteral("Locked"), port, QStringLiteral("1"), QStringLiteral("relay"),
                      QStringLiteral("wrong-secret")}});
        relay.start();
        QTRY_COMPARE(relay.t->warningNumbers(), (QList<int>{110, 110}));
        for (int n = 0; n < 5; ++n)
            relay.sys().outputRules.RelayToOutputs(
                Page("1234567", "page " + QByteArray::number(n)));
        QTRY_COMPARE(relay.client->received.count('\x03'), 5);
        QTRY_COMPARE(StoredFor(relay.folder, QStringLiteral("MQTT Locked")), 5);
        QCOMPARE(StoredFor(relay.folder, QStringLiteral("MQTT Absent")), 5);
        // Tried again on the back-off, without a new warning for the same reason.
        for (int n = 0; n < 5; ++n)
            relay.tick();
        QTest::qWait(200);
        QCOMPARE(relay.t->warnings.size(), 2);

        const QByteArray log = relay.folder.systemLog();
        QVERIFY(log.contains("System: MQTT Locked refused: Connection Refused: not authorised."));
        QVERIFY(log.contains("System: MQTT Absent lost: cannot reach 127.0.0.1:" +
                             QByteArray::number(nobody) + ": Connection refused"));
        QVERIFY(!log.contains("wrong-secret"));
        for (const auto& warning : relay.t->warnings)
            QVERIFY(!warning.text.contains(QStringLiteral("wrong-secret")));
    }

    // A CA file that is not there, one that holds no certificate and a host
    // that does not resolve each say what is wrong; the TCP client carries on.
    void aBadCaFileAndAnUnknownHostAreWarnedWhileTheClientsGetEveryPage() {
        const quint16 port = TestPort();
        Broker broker(port);
        Relay relay({{QStringLiteral("Garbage CA"), port},
                     {QStringLiteral("Missing CA"), port},
                     {QStringLiteral("Nowhere"), port}});
        QFile garbage(relay.folder.file(QStringLiteral("garbage.pem")));
        QVERIFY(garbage.open(QIODevice::WriteOnly));
        garbage.write("not a certificate\n");
        garbage.close();
        const auto set = [&](const char* column, const QString& value, const char* row) {
            relay.folder.exec(QStringLiteral("Ombrixsys.mdb"),
                              QStringLiteral("UPDATE Publishers SET %1 = ? WHERE Description = ?")
                                  .arg(QLatin1String(column)),
                              {value, QLatin1String(row)});
        };
        set("CAFile", QStringLiteral("garbage.pem"), "Garbage CA");
        set("CAFile", QStringLiteral("no-such-ca.pem"), "Missing CA");
        set("Host", QStringLiteral("nowhere.invalid"), "Nowhere");
        relay.start();
        QTRY_COMPARE(relay.t->warningNumbers(), (QList<int>{110, 110, 110}));
        QStringList texts;
        for (const auto& warning : relay.t->warnings)
            texts << warning.text;
        const QString all = texts.join(QLatin1Char('\n'));
        QVERIFY2(all.contains(QStringLiteral("garbage.pem a PEM file of CA certificates?")),
                 qPrintable(all));
        QVERIFY2(all.contains(QStringLiteral("no-such-ca.pem cannot be read")), qPrintable(all));
        QVERIFY2(all.contains(QStringLiteral("unknown host nowhere.invalid")), qPrintable(all));
        for (int n = 0; n < 3; ++n)
            relay.sys().outputRules.RelayToOutputs(
                Page("1234567", "page " + QByteArray::number(n)));
        QTRY_COMPARE(relay.client->received.count('\x03'), 3);
        QTRY_COMPARE(StoredFor(relay.folder, QStringLiteral("MQTT Nowhere")), 3);
        // Looked up again on the back-off, without a new warning or line for the same reason.
        for (int n = 0; n < 4; ++n) {
            relay.tick();
            QTest::qWait(100);
        }
        QCOMPARE(relay.t->warnings.size(), 3);
        QCOMPARE(relay.folder.systemLog().count("System: MQTT Nowhere lost: unknown host "
                                                "nowhere.invalid\r\n"),
                 1);
    }

    // A broker given by name: the name is looked up off the relay's thread,
    // and the log names the broker as the operator did.
    void aBrokerGivenByNameIsLookedUpAndGetsEveryPage() {
        const quint16 port = TestPort();
        Broker broker(port);
        Subscriber subscriber(port, "ombrix/pages/#", Subscriber::Keep::Pages);
        QVERIFY(subscriber.subscribed());
        PublisherRow row{QStringLiteral("Named"), port};
        row.host = QStringLiteral("localhost");
        Relay relay({row});
        relay.start();
        QVERIFY(relay.connected());
        for (int n = 0; n < 3; ++n)
            relay.sys().outputRules.RelayToOutputs(
                Page("1234567", "by name " + QByteArray::number(n)));
        QVERIFY(subscriber.waitFor(3));
        QCOMPARE(Json(subscriber.messages[2].payload)[u"text"].toString(),
                 QStringLiteral("by name 2"));
        QTRY_COMPARE(StoredFor(relay.folder, QStringLiteral("MQTT Named")), 0);
        QVERIFY(relay.folder.systemLog().contains("System: MQTT Named connected to localhost:" +
                                                  QByteArray::number(port)));
        QVERIFY(relay.t->warnings.isEmpty());
    }

    // TLS to a broker given by name: it is reached at the name's address, and
    // its certificate must still name the host as the operator gave it. A
    // certificate for another name, from the same CA, is refused.
    void aTlsBrokerMustHoldACertificateForTheNameGiven() {
        TestCertificates certificates;
        const Broker::Certificate right = certificates.issue(QStringLiteral("localhost"));
        const Broker::Certificate other = certificates.issue(QStringLiteral("other.invalid"));
        QVERIFY(certificates.ok());
        const quint16 rightPort = TestPort();
        const quint16 wrongPort = TestPort();
        Broker rightBroker(rightPort, right);
        Broker wrongBroker(wrongPort, other);
        PublisherRow named{QStringLiteral("Right name"), rightPort};
        named.host = QStringLiteral("localhost");
        named.caFile = certificates.caFile();
        PublisherRow misnamed = named;
        misnamed.description = QStringLiteral("Wrong name");
        misnamed.port = wrongPort;
        Relay relay({named, misnamed});
        relay.start();
        QVERIFY(relay.connected(0));
        QTRY_COMPARE(relay.t->warningNumbers(), QList<int>{110});
        relay.sys().outputRules.RelayToOutputs(Page("1234567", "over TLS"));
        QTRY_COMPARE(StoredFor(relay.folder, QStringLiteral("MQTT Right name")), 0);
        QTRY_COMPARE(StoredFor(relay.folder, QStringLiteral("MQTT Wrong name")), 1);
        QVERIFY(!relay.sys().publishers.Publisher(1).Connected());
        qDebug() << relay.t->warnings[0].text;
        const QByteArray log = relay.folder.systemLog();
        QVERIFY(log.contains("System: MQTT Right name connected to localhost:" +
                             QByteArray::number(rightPort)));
        QVERIFY(log.contains("System: MQTT Wrong name lost: cannot reach localhost:" +
                             QByteArray::number(wrongPort) + ": A TLS error occurred."));
        QVERIFY(!log.contains("System: MQTT Wrong name connected"));
    }

    void pagesOfARelayKilledOutrightArriveAfterItsRestart() {
        const quint16 port = TestPort();
        Relay relay({{QStringLiteral("Broker"), port}});
        QProcess child;
        child.start(QStringLiteral(PUBLISH_AND_DIE), {relay.folder.path()});
        QVERIFY(child.waitForReadyRead(20000));
        QCOMPARE(child.readAllStandardOutput(), QByteArray("stored\n"));
        ::kill(static_cast<pid_t>(child.processId()), SIGKILL);
        QVERIFY(child.waitForFinished(10000));
        QCOMPARE(StoredFor(relay.folder, QStringLiteral("MQTT Broker")), 25);

        Broker broker(port);
        Subscriber subscriber(port, "ombrix/pages/#", Subscriber::Keep::Pages);
        QVERIFY(subscriber.subscribed());
        relay.start();
        QVERIFY(relay.connected());
        QVERIFY(subscriber.waitFor(25));
        subscriber.settle();
        QCOMPARE(subscriber.messages.size(), 25);
        for (int n = 0; n < 25; ++n)
            QCOMPARE(Json(subscriber.messages[n].payload)[u"text"].toString(),
                     QStringLiteral("killed page %1").arg(n));
        QTRY_COMPARE(StoredFor(relay.folder, QStringLiteral("MQTT Broker")), 0);
    }

    void theAlarmIsTheWarningAsJson() {
        const QDateTime at(QDate(2026, 1, 15), QTime(10, 0, 1, 250), QTimeZone(36000));
        const publish::Alarm alarm{104, QStringLiteral("CloseStalledClient"),
                                   QStringLiteral("System: Client \"A\" stopped reading.\r\n")};
        QCOMPARE(publish::AlarmJson(alarm, at, QStringLiteral("Ombrix")),
                 QByteArray("{\"code\":104,\"function\":\"CloseStalledClient\","
                            "\"text\":\"System: Client \\\"A\\\" stopped reading.\\u000d\\u000a\","
                            "\"time\":\"2026-01-15T10:00:01.250+10:00\",\"server\":\"Ombrix\"}"));
        QCOMPARE(publish::AlarmTopic(QStringLiteral("ombrix/pages")), "ombrix/pages/alarms");
        QCOMPARE(publish::StatusTopic(QStringLiteral("ombrix/pages")), "ombrix/pages/status");
    }

    // The status a dashboard reads: "online" (retained) while the relay is
    // connected; "offline" from the broker itself, as the relay's last will,
    // when the relay dies without a word.
    void theStatusReadsOnlineWhileConnectedAndOfflineAfterTheRelayIsKilled() {
        const quint16 port = TestPort();
        Broker broker(port);
        Subscriber subscriber(port, "ombrix/pages/status");
        QVERIFY(subscriber.subscribed());
        Relay relay({{QStringLiteral("Broker"), port}});
        QProcess child;
        child.start(QStringLiteral(PUBLISH_AND_DIE), {relay.folder.path()});
        QVERIFY(subscriber.waitFor(1));
        QCOMPARE(subscriber.messages.first().payload, QByteArray("online"));
        QCOMPARE(RetainedOn(port, "ombrix/pages/status"), QByteArray("online"));

        ::kill(static_cast<pid_t>(child.processId()), SIGKILL);
        QVERIFY(child.waitForFinished(10000));
        QVERIFY(subscriber.waitFor(2));
        QCOMPARE(PayloadsOn(subscriber, "ombrix/pages/status"),
                 (QList<QByteArray>{"online", "offline"}));
        QCOMPARE(RetainedOn(port, "ombrix/pages/status"), QByteArray("offline"));
    }

    // A clean disconnect sends no will: the relay says "offline" itself.
    void anOrderlyShutdownLeavesTheStatusOffline() {
        const quint16 port = TestPort();
        Broker broker(port);
        Subscriber subscriber(port, "ombrix/pages/status");
        QVERIFY(subscriber.subscribed());
        Relay relay({{QStringLiteral("Broker"), port}});
        relay.start();
        QVERIFY(relay.connected());
        QVERIFY(subscriber.waitFor(1));
        relay.sys().Form_Unload();
        QVERIFY(subscriber.waitFor(2));
        QCOMPARE(PayloadsOn(subscriber, "ombrix/pages/status"),
                 (QList<QByteArray>{"online", "offline"}));
        QCOMPARE(RetainedOn(port, "ombrix/pages/status"), QByteArray("offline"));
    }

    // A client that stopped reading and a store failure are alarms; a warning
    // that concerns only the operator (a port that cannot listen) is not.
    void warningsAnAlertingSystemMustHearArePublishedAsAlarms() {
        const quint16 port = TestPort();
        Broker broker(port);
        Subscriber subscriber(port, "ombrix/pages/alarms");
        QVERIFY(subscriber.subscribed());
        Relay relay({{QStringLiteral("Broker"), port}});
        relay.load();
        StuckClient stuck(relay.outputPort);
        QVERIFY(stuck.connected());
        QVERIFY(QTest::qWaitFor(
            [&] {
                return relay.sys().outputSockets.Socket(0).State() ==
                       platform::SocketState::Connected;
            },
            3000));
        relay.sys().outputSockets.UpdateOutputClients();
        relay.sys().publishers.tmrPublishers_Timer();
        QVERIFY(relay.connected());

        relay.sys().ShowWarning(ErrorCode::ListenOnPort, QStringLiteral("not an alarm"), 0);
        // Far more than the buffers of both ends hold; not pages, so that
        // the broker is not busy with them.
        for (int n = 0; n < 300; ++n)
            relay.sys().outputRules.RelayToOutputs('\x02' + QByteArray(200, 'x') + '\x03');
        QTest::qWait(100);
        for (int second = 0; second < 35; second += 5) {
            relay.t->clock.advanceSecs(5);
            relay.sys().outputSockets.UpdateOutputClients();
            QCoreApplication::processEvents();
        }
        QVERIFY(relay.t->warningNumbers().contains(104));
        relay.sys().ShowWarning(ErrorCode::AddDelayed, QStringLiteral("disk I/O error"), 0);
        QVERIFY(subscriber.waitFor(2));
        subscriber.settle();
        QCOMPARE(subscriber.messages.size(), 2);

        const QJsonObject stalled = Json(subscriber.messages[0].payload);
        QCOMPARE(stalled.keys(), (QStringList{QStringLiteral("code"), QStringLiteral("function"),
                                              QStringLiteral("server"), QStringLiteral("text"),
                                              QStringLiteral("time")}));
        QCOMPARE(stalled[u"code"].toInt(), 104);
        QCOMPARE(stalled[u"function"].toString(), QStringLiteral("CloseStalledClient"));
        QCOMPARE(stalled[u"text"].toString(),
                 QStringLiteral("System: Client Client A stopped reading. Closing port %1")
                     .arg(relay.outputPort));
        QCOMPARE(stalled[u"server"].toString(), QStringLiteral("Ombrix"));
        const QRegularExpression iso(
            QStringLiteral("^2026-01-15T10:00:35\\.000(Z|[+-]\\d\\d:\\d\\d)$"));
        QVERIFY2(iso.match(stalled[u"time"].toString()).hasMatch(),
                 qPrintable(stalled[u"time"].toString()));
        const QJsonObject store = Json(subscriber.messages[1].payload);
        QCOMPARE(store[u"code"].toInt(), 402);
        QCOMPARE(store[u"function"].toString(), QStringLiteral("AddDelayed"));
        QCOMPARE(store[u"text"].toString(), QStringLiteral("disk I/O error"));
    }

    // While the broker is away the newest alarms wait, the oldest beyond the
    // bound are dropped and counted; the rest arrive once it is back.
    void alarmsWaitForABrokerThatIsAwayUpToTheirBound() {
        const quint16 port = TestPort();
        Relay relay({{QStringLiteral("Broker"), port}});
        relay.start();
        const int raised = publish::kAlarmQueueLimit + 5;
        for (int n = 0; n < raised; ++n)
            relay.sys().ShowWarning(ErrorCode::DelayedList, QStringLiteral("alarm %1").arg(n), 0);
        QCOMPARE(relay.sys().publishers.Publisher(0).AlarmsDropped(), 5);

        Broker broker(port);
        Subscriber subscriber(port, "ombrix/pages/alarms");
        QVERIFY(subscriber.subscribed());
        for (int second = 0; second < 61 && !relay.sys().publishers.Publisher(0).Connected();
             ++second) {
            relay.tick();
            QTest::qWait(20);
        }
        QVERIFY(relay.connected());
        QVERIFY(subscriber.waitFor(publish::kAlarmQueueLimit));
        subscriber.settle();
        QCOMPARE(subscriber.messages.size(), publish::kAlarmQueueLimit);
        for (int n = 0; n < publish::kAlarmQueueLimit; ++n)
            QCOMPARE(Json(subscriber.messages[n].payload)[u"text"].toString(),
                     QStringLiteral("alarm %1").arg(n + 5));
        QVERIFY(relay.folder.systemLog().contains(
            "System: MQTT Broker: 5 alarms dropped while the broker was away"));
    }

    void unusableRowsAreWarnedAndLeftOut() {
        Relay relay({});
        const QList<QVariantList> rows = {
            {QStringLiteral("No port"), QStringLiteral("127.0.0.1"), QStringLiteral("abc"),
             QStringLiteral("t"), QStringLiteral("1")},
            {QStringLiteral("No QoS"), QStringLiteral("127.0.0.1"), QStringLiteral("1883"),
             QStringLiteral("t"), QStringLiteral("3")},
            {QStringLiteral("No host"), QString(), QStringLiteral("1883"), QStringLiteral("t"),
             QStringLiteral("1")},
            {QStringLiteral("No topic"), QStringLiteral("127.0.0.1"), QStringLiteral("1883"),
             QString(), QStringLiteral("1")},
        };
        for (const QVariantList& row : rows)
            relay.folder.exec(QStringLiteral("Ombrixsys.mdb"),
                              QStringLiteral("INSERT INTO Publishers (Description, Host, Port, "
                                             "Topic, QoS, Active) VALUES (?, ?, ?, ?, ?, 'Y')"),
                              row);
        relay.start();
        QCOMPARE(relay.t->warningNumbers(), (QList<int>{111, 111, 111, 111}));
        QCOMPARE(relay.sys().publishers.Count(), 0);
        relay.sys().outputRules.RelayToOutputs(Page("1234567", "x"));
        QTRY_COMPARE(relay.client->received.count('\x03'), 1);
        QCOMPARE(relay.folder.storedPackets(), 0);
        const QByteArray log = relay.folder.systemLog();
        QVERIFY(log.contains("System: MQTT No port: the Port \"abc\" is not a port number"));
        QVERIFY(log.contains("System: MQTT No QoS: the QoS \"3\" is not 0, 1 or 2"));
        QVERIFY(log.contains("System: MQTT No host: the Host is empty"));
        QVERIFY(log.contains("System: MQTT No topic: the Topic is empty"));
    }

    void theStoredPagesOfADeletedPublisherArePruned() {
        const quint16 nobody = TestPort();
        Relay relay({{QStringLiteral("Gone"), nobody}});
        relay.start();
        for (int n = 0; n < 3; ++n)
            relay.sys().outputRules.RelayToOutputs(Page("1234567", "x"));
        QTRY_COMPARE(StoredFor(relay.folder, QStringLiteral("MQTT Gone")), 3);
        relay.t->clock.advanceSecs(1);
        relay.sys().tmrSystem_Timer();
        QCOMPARE(StoredFor(relay.folder, QStringLiteral("MQTT Gone")), 3); // still a row
        relay.sys().window.Click(QStringLiteral("cmdEditPublishers"));
        relay.sys().db.rsPublishers->MoveFirst();
        relay.sys().db.rsPublishers->Delete();
        relay.sys().window.Click(QStringLiteral("cmdEditPublishers"));
        QCOMPARE(relay.sys().publishers.Count(), 0);
        relay.t->clock.advanceSecs(1);
        relay.sys().tmrSystem_Timer();
        QCOMPARE(StoredFor(relay.folder, QStringLiteral("MQTT Gone")), 0);
        QVERIFY(relay.folder.systemLog().contains("System: MQTT Gone removed"));
    }
};

QTEST_GUILESS_MAIN(MqttPublishTest)
#include "mqtt-publish-test.moc"
