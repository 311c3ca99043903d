// Relay dispatch through its real sinks: a TCP client on loopback, the
// delayed store in delayed.mdb and a real mosquitto broker. One rule for all
// of them: a destination that takes the page leaves nothing stored; one that
// is away has it stored, under the one series of identifiers, and is sent it
// when it comes back.

#include "Broker.h"
#include "LogLines.h"
#include "TestPorts.h"
#include "TestSystem.h"

#include "decoder/MessagePacket.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

namespace {

const QDateTime kStart(QDate(2026, 1, 15), QTime(10, 0, 0));

QByteArray Page(const QByteArray& text) {
    return decoder::MessagePacket("1200", "2", "D", "1234567", "A", text);
}

QJsonObject Json(const QByteArray& payload) {
    return QJsonDocument::fromJson(payload).object();
}

// A relay on a work folder with one TCP output, "Client A", and one broker,
// "Broker"; neither the client nor the broker is there at first.
struct Relay {
    WorkFolder folder;
    quint16 outputPort = TestPort();
    quint16 brokerPort = TestPort();
    std::unique_ptr<TestSystem> t;

    Relay() {
        folder.setOutputs({{QStringLiteral("Client A"), QString::number(outputPort)}});
        folder.setSetting(QStringLiteral("LastBackUp"), QStringLiteral("15 Jan 2026 09:00:00"));
        folder.exec(QStringLiteral("Ombrixsys.mdb"), QStringLiteral("DELETE FROM Publishers"));
        folder.exec(QStringLiteral("Ombrixsys.mdb"),
                    QStringLiteral("INSERT INTO Publishers (Description, Host, Port, Topic, QoS, "
                                   "Active) VALUES ('Broker', '127.0.0.1', ?, 'ombrix/pages', "
                                   "'1', 'Y')"),
                    {QString::number(brokerPort)});
        t = std::make_unique<TestSystem>(folder.path());
        t->clock.set(kStart);
        t->system->Form_Load();
        sys().outputSockets.UpdateOutputClients();
    }
    System& sys() { return *t->system; }

    // The broker's link as the publishers' tick sees it, a second at a time.
    bool brokerConnected() {
        for (int second = 0; second < 61; ++second) {
            if (sys().publishers.Publisher(0).Connected())
                return true;
            t->clock.advanceSecs(1);
            sys().publishers.tmrPublishers_Timer();
            QTest::qWait(20);
        }
        return sys().publishers.Publisher(0).Connected();
    }
    // Runs the resend, a second at a time, until the client has `bytes`.
    bool resentTo(const LoopbackClient& client, const QByteArray& bytes) {
        for (int second = 0; second < 20 && client.received != bytes; ++second) {
            t->clock.advanceSecs(1);
            sys().tmrSystem_Timer();
            QTest::qWait(50);
        }
        return client.received == bytes;
    }
    // (MessID, Destination, Packet) of every stored row, in identifier order.
    QList<QVariantList> stored() const {
        return folder.rows(
            QStringLiteral("delayed.mdb"),
            QStringLiteral("SELECT MessID, Destination, Packet FROM Delayed ORDER BY MessID"));
    }
    // The Outputs log's lines about the page, in order.
    QList<QByteArray> linesAbout(const QList<QByteArray>& pages) const {
        QList<QByteArray> lines;
        for (const QByteArray& line : LogLines(folder.systemLog(), "Output")) {
            const bool aboutAPage = std::any_of(
                pages.begin(), pages.end(), [&](const auto& page) { return line.contains(page); });
            if (aboutAPage || line.startsWith("System: TCP failed"))
                lines << line;
        }
        return lines;
    }
};

} // namespace

class DispatcherTest : public QObject {
    Q_OBJECT

private slots:
    void aPageEveryDestinationTakesLeavesNothingStored() {
        Relay relay;
        Broker broker(relay.brokerPort);
        Subscriber subscriber(relay.brokerPort, "ombrix/pages/#", Subscriber::Keep::Pages);
        QVERIFY(subscriber.subscribed());
        LoopbackClient client(relay.outputPort);
        QVERIFY(AcceptedOnOutput(relay.sys(), client, 0));
        QVERIFY(relay.brokerConnected());
        const qint64 first = relay.sys().delayedDb.gMessID;

        const QByteArray page = Page("taken by all");
        relay.sys().outputRules.RelayToOutputs(page);

        QTRY_COMPARE(client.received, page);
        QVERIFY(subscriber.waitFor(1));
        const QJsonObject json = Json(subscriber.messages.first().payload);
        QCOMPARE(QByteArray::fromBase64(json[u"packet"].toString().toLatin1()), page);
        // The client's copy took no identifier; the broker's is kept until
        // acknowledged, under the next one.
        QCOMPARE(json[u"id"].toInteger(), first);
        QTRY_COMPARE(relay.folder.storedPackets(), 0);
        QCOMPARE(relay.folder.setting(QStringLiteral("MessID")).toString(),
                 QString::number(first + 1));
        QCOMPARE(relay.linesAbout({page}), QList<QByteArray>{"Out: Client A\t" + page});
    }

    void awayDestinationsHaveThePageStoredInOneSeriesAndGetItOnTheirReturn() {
        Relay relay;
        const qint64 first = relay.sys().delayedDb.gMessID;
        const QList<QByteArray> pages = {Page("first while away"), Page("second while away")};
        for (const QByteArray& page : pages) {
            relay.sys().outputRules.RelayToOutputs(page);
            relay.t->clock.advanceMs(10);
        }
        relay.sys().publishers.FlushStore(); // the publishers' batch, due 20 ms later

        // The client's rows as each page came, then the broker's batch.
        const QString client = QStringLiteral("Client A");
        const QString broker = QStringLiteral("MQTT Broker");
        QCOMPARE(relay.stored(), (QList<QVariantList>{{first, client, pages[0]},
                                                      {first + 1, client, pages[1]},
                                                      {first + 2, broker, pages[0]},
                                                      {first + 3, broker, pages[1]}}));
        QCOMPARE(relay.folder.setting(QStringLiteral("MessID")).toString(),
                 QString::number(first + 4));
        QCOMPARE(
            relay.linesAbout(pages),
            (QList<QByteArray>{"Out: Client A\t" + pages[0],
                               "System: TCP failed Client A. Add record to dbase. Delayed Ct 1",
                               "Out: Client A\t" + pages[1],
                               "System: TCP failed Client A. Add record to dbase. Delayed "
                               "Ct 2"}));

        LoopbackClient back(relay.outputPort);
        QVERIFY(AcceptedOnOutput(relay.sys(), back, 0));
        QVERIFY(relay.resentTo(back, pages[0] + pages[1]));
        const QByteArray log = relay.folder.systemLog();
        for (const qint64 messID : {first, first + 1})
            QVERIFY(log.contains("  Record ID " + QByteArray::number(messID) +
                                 " successfully sent from database."));

        Broker up(relay.brokerPort);
        Subscriber subscriber(relay.brokerPort, "ombrix/pages/#", Subscriber::Keep::Pages);
        QVERIFY(subscriber.subscribed());
        QVERIFY(relay.brokerConnected());
        QVERIFY(subscriber.waitFor(pages.size()));
        for (int n = 0; n < pages.size(); ++n) {
            const QJsonObject json = Json(subscriber.messages[n].payload);
            QCOMPARE(json[u"id"].toInteger(), first + 2 + n);
            QCOMPARE(QByteArray::fromBase64(json[u"packet"].toString().toLatin1()), pages[n]);
        }
        QTRY_COMPARE(relay.folder.storedPackets(), 0);
        QCOMPARE(back.received, pages[0] + pages[1]); // sent once
    }
};

QTEST_GUILESS_MAIN(DispatcherTest)
#include "dispatcher-test.moc"
