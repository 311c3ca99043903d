// Routes per output, as the clients see them: pages from a carrier reach
// each client only when its output's route lets them through, while every
// frame notice and idle message reaches all; an away client's store holds its
// own pages only; a route that does not parse is refused at commit, and one
// written into the file by hand gives its output no page.

#include "Broker.h"
#include "LogLines.h"
#include "TestPorts.h"
#include "TestSystem.h"

#include "SatelliteStream.h"
#include "app/GridEditing.h"
#include "app/frmQuorlan.h"
#include "decoder/MessagePacket.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTest>
#include <array>

namespace {

const QDateTime kStart(QDate(2026, 1, 15), QTime(10, 0, 0));

// The outputs in Description order (their indexes), with their routes.
enum Output { Ambulance, Everything, Fire, Hospital, kOutputs };
const std::array<const char*, kOutputs> kNames{"Ambulance", "Everything", "Fire", "Hospital"};
const std::array<const char*, kOutputs> kRoutes{"1200000-1299999", "", "fn:C",
                                                "text:\"ward\" !fn:D"};

sim::Page Page(quint32 ric, char function, const QByteArray& text, char type = 'A') {
    sim::Page page;
    page.ric = ric;
    page.function = function;
    page.type = type;
    page.text = text;
    return page;
}

// The carrier's pages, and which outputs' routes let each through.
const QList<sim::Page> kPages{
    Page(1200005, 'A', "Unit 5 respond to house fire"), // Ambulance
    Page(1300000, 'C', "Smoke alarm level 3"),          // Fire
    Page(1400001, 'B', "Patient to WARD 7"),            // Hospital
    Page(1400002, 'D', "Ward 7 test page"),             // excluded by Hospital's !fn:D
    Page(1299999, 'C', "Ward round"),                   // Ambulance, Fire, Hospital
    Page(1250000, 'A', "4711", 'N'),                    // Ambulance
    Page(1500000, 'A', "Award ceremony"),               // no route: a word inside a word
};
const std::array<QList<quint32>, kOutputs> kRoutedTo{
    QList<quint32>{1200005, 1299999, 1250000},
    {},
    {1300000, 1299999},
    {1400001, 1299999},
};

QList<QByteArray> Packets(const QByteArray& received) {
    QList<QByteArray> packets;
    for (const QByteArray& piece : received.split('\x03'))
        if (!piece.isEmpty())
            packets << piece + '\x03';
    return packets;
}

// The address of a page's packet; none for a frame notice or the idle message.
std::optional<quint32> PageAddress(const QByteArray& packet) {
    const QList<QByteArray> fields = packet.mid(1).split('\r');
    if (fields.size() != 6 || fields[3] == "1234566" || fields[3] == "1234568")
        return std::nullopt;
    return fields[3].toUInt();
}

// What a client should have, from what the client of every page got: every
// notice and idle message, and the pages to `routed`, in the same order.
QByteArray Expected(const QList<quint32>& routed, const QByteArray& everything) {
    QByteArray expected;
    for (const QByteArray& packet : Packets(everything)) {
        const std::optional<quint32> address = PageAddress(packet);
        if (!address || routed.contains(*address))
            expected += packet;
    }
    return expected;
}
QByteArray Expected(Output output, const QByteArray& everything) {
    return Expected(kRoutedTo[output], everything);
}

// The relay with a loopback carrier and the four outputs; no client at first.
struct Site {
    WorkFolder folder;
    QTcpServer carrier;
    QTcpSocket* feed = nullptr;
    std::array<quint16, kOutputs> ports{};
    std::unique_ptr<TestSystem> t;
    bool streamed = false;

    Site() {
        carrier.listen(QHostAddress::LocalHost, 0);
        QObject::connect(&carrier, &QTcpServer::newConnection,
                         [this] { feed = carrier.nextPendingConnection(); });
        QList<WorkFolder::Output> outputs;
        for (int i = 0; i < kOutputs; ++i) {
            ports[size_t(i)] = TestPort();
            outputs.append({QLatin1String(kNames[size_t(i)]), QString::number(ports[size_t(i)])});
        }
        folder.setOutputs(outputs);
        for (int i = 0; i < kOutputs; ++i)
            setRoute(Output(i), QLatin1String(kRoutes[size_t(i)]));
        folder.setSetting(QStringLiteral("LastBackUp"), QStringLiteral("15 Jan 2026 09:00:00"));
        folder.exec(
            QStringLiteral("Ombrixsys.mdb"),
            QStringLiteral(
                "INSERT INTO Telstra (Description, Port, Active) VALUES ('Carrier', ?, 'Y')"),
            {QString::number(carrier.serverPort())});
    }
    void setRoute(Output output, const QString& route) {
        folder.exec(QStringLiteral("Ombrixsys.mdb"),
                    QStringLiteral("UPDATE Outputs SET Route = ? WHERE Description = ?"),
                    {route, QLatin1String(kNames[output])});
    }
    bool start() {
        t = std::make_unique<TestSystem>(folder.path());
        t->clock.set(kStart);
        if (!sys().Form_Load())
            return false;
        t->clock.advanceSecs(5);
        sys().tmrSockets_Timer();
        sys().outputSockets.UpdateOutputClients();
        return QTest::qWaitFor([this] { return feed != nullptr; }, 3000);
    }
    System& sys() { return *t->system; }
    bool connect(LoopbackClient& client, Output output) {
        client.connectTo(ports[output]);
        return AcceptedOnOutput(sys(), client, output);
    }
    // The pages in one block of the carrier's stream; true once the block's
    // notice and every page went to dispatch.
    // Each block ends with the next one's marker: the stream goes on.
    bool send(const QList<sim::Page>& pages) {
        QSignalSpy relayed(&sys().outputRules, &OutputRules::relayed);
        const QByteArray stream = sim::EncodeStream(pages, sim::StreamOptions{});
        feed->write(std::exchange(streamed, true) ? stream.mid(sim::BlockMarker().size()) : stream);
        return QTest::qWaitFor([&] { return relayed.size() > pages.size(); }, 5000);
    }
    // Sixteen quiet seconds: the idle message goes out.
    void idle() {
        t->clock.advanceSecs(16);
        sys().outputSockets.tmrWskOutputs_Timer();
    }
    QList<QByteArray> storedFor(Output output) const {
        QList<QByteArray> packets;
        for (const QVariantList& row : folder.rows(
                 QStringLiteral("delayed.mdb"),
                 QStringLiteral("SELECT Packet FROM Delayed WHERE Destination = ? ORDER BY MessID"),
                 {QLatin1String(kNames[output])}))
            packets << row[0].toByteArray();
        return packets;
    }
    QList<QByteArray> outLines(Output output) const {
        QList<QByteArray> lines;
        for (const QByteArray& line : LogLines(folder.systemLog(), "Output"))
            if (line.startsWith("Out: " + QByteArray(kNames[output]) + '\t'))
                lines << line;
        return lines;
    }
};

} // namespace

class RoutingTest : public QObject {
    Q_OBJECT

private slots:
    void eachClientGetsItsOwnPagesAndEveryNotice() {
        Site site;
        QVERIFY(site.start());
        std::array<LoopbackClient, kOutputs> clients;
        for (int i = 0; i < kOutputs; ++i)
            QVERIFY(site.connect(clients[size_t(i)], Output(i)));

        QVERIFY(site.send(kPages));
        site.idle();

        const QByteArray& all = clients[Everything].received;
        QTRY_COMPARE(Packets(all).size(), kPages.size() + 2); // the block's notice, the idle
        const QList<QByteArray> packets = Packets(all);
        QCOMPARE(std::count_if(packets.begin(), packets.end(),
                               [](const QByteArray& p) { return PageAddress(p).has_value(); }),
                 kPages.size());
        for (const Output output : {Ambulance, Fire, Hospital}) {
            QTRY_COMPARE(clients[output].received, Expected(output, all));
            // A page not routed to an output is not told of in its log either.
            for (const QByteArray& line : site.outLines(output)) {
                const std::optional<quint32> address =
                    PageAddress(line.mid(line.indexOf('\t') + 1));
                QVERIFY2(!address || kRoutedTo[output].contains(*address), line.constData());
            }
            QVERIFY(!site.outLines(output).isEmpty());
        }
        QCOMPARE(site.folder.storedPackets(), 0);
    }

    void anAwayClientsStoreHoldsItsOwnPagesOnly() {
        Site site;
        QVERIFY(site.start());
        LoopbackClient everything;
        QVERIFY(site.connect(everything, Everything));

        QVERIFY(site.send(kPages));
        QTRY_COMPARE(Packets(everything.received).size(), kPages.size() + 1);
        QByteArray stored;
        for (const QByteArray& packet : site.storedFor(Ambulance))
            stored += packet;
        QCOMPARE(stored, Expected(Ambulance, everything.received));
        QCOMPARE(site.storedFor(Fire).size(), 1 + 2);
        QCOMPARE(site.storedFor(Hospital).size(), 1 + 2);

        // Back, the client is sent its store, a packet a second, and no more.
        LoopbackClient ambulance;
        QVERIFY(site.connect(ambulance, Ambulance));
        for (int second = 0; second < 10 && ambulance.received != stored; ++second) {
            site.t->clock.advanceSecs(1);
            site.sys().tmrSystem_Timer();
            QTest::qWait(50);
        }
        QCOMPARE(ambulance.received, stored);
        QTRY_COMPARE(site.storedFor(Ambulance).size(), 0);
    }

    void aRouteThatDoesNotParseIsRefusedAtCommit() {
        Site site;
        QVERIFY(site.start());
        frmQuorlan& w = site.sys().window;
        w.Click(QStringLiteral("cmdEditOuputs"));
        const int column = w.dgOutputs.DataSource->FieldIndex(QStringLiteral("Route"));
        QVERIFY(column >= 0);
        grid_editing::SetCell(w.dgOutputs, Fire, column, QStringLiteral("fn:C, fn:X"));
        site.t->warnings.clear();
        w.Click(QStringLiteral("cmdEditOuputs"));

        const QString reason = QStringLiteral("Outputs row 3 (\"Fire\"): its Route \"fn:X\": "
                                              "function letters are A, B, C and D. Nothing was "
                                              "saved: correct it and commit again.");
        QCOMPARE(w.cmdEditOuputs.Caption, QStringLiteral("Commit"));
        QCOMPARE(w.Refusal, reason);
        QCOMPARE(site.t->warningNumbers(), QList<int>{305});
        QCOMPARE(site.folder
                     .rows(QStringLiteral("Ombrixsys.mdb"),
                           QStringLiteral("SELECT Route FROM Outputs WHERE Description = 'Fire'"))
                     .value(0)
                     .value(0)
                     .toString(),
                 QStringLiteral("fn:C"));

        // Put right, the commit goes through and the new route is logged and used.
        grid_editing::SetCell(w.dgOutputs, Fire, column, QStringLiteral("fn:C, fn:B"));
        w.Click(QStringLiteral("cmdEditOuputs"));
        QCOMPARE(w.cmdEditOuputs.Caption, QStringLiteral("Edit"));
        QVERIFY(LogLines(site.folder.systemLog(), "Output")
                    .contains("System: Updated socket [2] Fire    Field  [Route]   To fn:C, fn:B"));
        LoopbackClient fire;
        QVERIFY(site.connect(fire, Fire));
        QVERIFY(site.send({Page(1400001, 'B', "Patient to ward 7")}));
        QTRY_VERIFY(fire.received.contains("Patient to ward 7"));
    }

    void aBrokenRouteInTheFileGivesItsOutputNoPage() {
        Site site;
        site.setRoute(Fire, QStringLiteral("fn:C re:/(unclosed/"));
        QVERIFY(site.start());
        QCOMPARE(site.t->warningNumbers(), QList<int>{109});
        QCOMPARE(site.t->warnings[0].socket, int(Fire));
        QVERIFY(site.t->warnings[0].text.startsWith(
            QStringLiteral("The route of output Fire does not parse: \"re:/(unclosed/\": ")));
        LoopbackClient fire;
        LoopbackClient everything;
        QVERIFY(site.connect(fire, Fire));
        QVERIFY(site.connect(everything, Everything));

        QVERIFY(site.send(kPages));
        QTRY_COMPARE(Packets(everything.received).size(), kPages.size() + 1);
        // The notices still come: the link is alive, the pages are withheld.
        QTRY_COMPARE(fire.received, Expected(QList<quint32>{}, everything.received));
        QCOMPARE(site.storedFor(Fire).size(), 0);
    }

    void anAliasRouteFollowsTheAliasesTable() {
        Site site;
        const QString db = QStringLiteral("Ombrixsys.mdb");
        const QString insert = QStringLiteral(
            "INSERT INTO Aliases (Address, Function, Name, Agency) VALUES (?, ?, ?, ?)");
        site.folder.exec(db, insert,
                         {QStringLiteral("1300000"), QString(), QStringLiteral("Station 12 crew"),
                          QStringLiteral("Fire")});
        site.folder.exec(db, insert,
                         {QStringLiteral("13x"), QString(), QStringLiteral("Typo"), QString()});
        site.setRoute(Fire, QStringLiteral("alias:\"station 12 crew\""));
        QVERIFY(site.start());
        // The row that is no address is left out, and says so.
        QCOMPARE(site.t->warningNumbers(), QList<int>{115});
        QVERIFY(site.t->warnings[0].text.contains(
            QStringLiteral("Aliases row 2: the Address \"13x\"")));
        LoopbackClient fire;
        QVERIFY(site.connect(fire, Fire));
        QVERIFY(site.send({Page(1300000, 'C', "Crew page"), Page(1400000, 'C', "Other page")}));
        QTRY_VERIFY(fire.received.contains("Crew page"));

        // The crew moves to another pager: committed, the route follows it.
        site.folder.exec(
            db, QStringLiteral(
                    "UPDATE Aliases SET Address = '1400000' WHERE Name = 'Station 12 crew'"));
        frmQuorlan& w = site.sys().window;
        w.Click(QStringLiteral("cmdEditAliases"));
        QCOMPARE(w.cmdEditAliases.Caption, QStringLiteral("Commit"));
        w.Click(QStringLiteral("cmdEditAliases"));
        QCOMPARE(w.cmdEditAliases.Caption, QStringLiteral("Edit"));
        fire.received.clear();
        QVERIFY(site.send({Page(1300000, 'C', "Old pager"), Page(1400000, 'C', "New pager")}));
        QTRY_VERIFY(fire.received.contains("New pager"));
        QVERIFY(!fire.received.contains("Old pager"));

        // The alias gone, the route names nothing: warning 109 and no pages.
        site.folder.exec(db, QStringLiteral("DELETE FROM Aliases"));
        site.t->warnings.clear();
        w.Click(QStringLiteral("cmdEditAliases"));
        w.Click(QStringLiteral("cmdEditAliases"));
        QCOMPARE(site.t->warningNumbers(), QList<int>{109});
        QVERIFY(site.t->warnings[0].text.contains(QStringLiteral("no alias has that name")));
        fire.received.clear();
        QVERIFY(site.send({Page(1400000, 'C', "Nobody's page")}));
        QTRY_VERIFY(fire.received.contains("F1 SOT"));
        QVERIFY(!fire.received.contains("Nobody's page"));
    }

    void eachPublisherPublishesItsOwnPages() {
        Site site;
        const quint16 brokerPort = TestPort();
        site.folder.exec(QStringLiteral("Ombrixsys.mdb"), QStringLiteral("DELETE FROM Publishers"));
        for (const auto& [name, topic, route] :
             {std::tuple{"Ambulance broker", "amb", "1200000-1299999"},
              std::tuple{"Fire broker", "fire", "fn:C"}, std::tuple{"All broker", "all", ""}})
            site.folder.exec(QStringLiteral("Ombrixsys.mdb"),
                             QStringLiteral("INSERT INTO Publishers (Description, Host, Port, "
                                            "Topic, QoS, Active, Route) VALUES (?, '127.0.0.1', "
                                            "?, ?, '1', 'Y', ?)"),
                             {QLatin1String(name), QString::number(brokerPort),
                              QLatin1String(topic), QLatin1String(route)});
        site.folder.exec(QStringLiteral("Ombrixsys.mdb"),
                         QStringLiteral("INSERT INTO Aliases (Address, Function, Name, Agency) "
                                        "VALUES ('1300000', 'C', 'Smoke desk', 'Fire'), "
                                        "('1200005', '', 'Unit 5', '')"));
        Broker broker(brokerPort);
        Subscriber subscriber(brokerPort, "#", Subscriber::Keep::Pages);
        QVERIFY(subscriber.subscribed());
        QVERIFY(site.start());
        for (int second = 0; second < 61; ++second) {
            const auto& publishers = site.sys().publishers;
            if (publishers.Publisher(0).Connected() && publishers.Publisher(1).Connected() &&
                publishers.Publisher(2).Connected())
                break;
            site.t->clock.advanceSecs(1);
            site.sys().publishers.tmrPublishers_Timer();
            QTest::qWait(20);
        }

        for (const sim::Page& page : kPages)
            site.sys().outputRules.RelayToOutputs(decoder::MessagePacket(
                "1200", "1", QByteArray(1, page.function), QByteArray::number(page.ric),
                QByteArray(1, page.type), page.text));
        site.sys().outputRules.RelayToOutputs(decoder::F1StartNotice());

        // Every page on "all", three on "amb" and two on "fire"; nothing else.
        QVERIFY(subscriber.waitFor(kPages.size() + 3 + 2));
        subscriber.settle();
        QMap<QByteArray, QList<quint32>> published;
        for (const Subscriber::Message& message : subscriber.messages) {
            const QJsonObject json = QJsonDocument::fromJson(message.payload).object();
            const quint32 address = json[u"address"].toString().toUInt();
            published[message.topic.left(message.topic.indexOf('/'))] << address;
            // A named address carries its alias, and its agency when it has one.
            QCOMPARE(json.contains(u"alias"), address == 1300000 || address == 1200005);
            QCOMPARE(json.contains(u"agency"), address == 1300000);
            if (address == 1300000)
                QVERIFY(message.payload.contains(
                    R"("address":"1300000","alias":"Smoke desk","agency":"Fire","type":)"));
            if (address == 1200005)
                QVERIFY(
                    message.payload.contains(R"("address":"1200005","alias":"Unit 5","type":)"));
        }
        QList<quint32> all;
        for (const sim::Page& page : kPages)
            all << page.ric;
        QCOMPARE(published.value("all"), all);
        QCOMPARE(published.value("amb"), kRoutedTo[Ambulance]);
        QCOMPARE(published.value("fire"), kRoutedTo[Fire]);
        QCOMPARE(published.size(), 3);
    }
};

QTEST_GUILESS_MAIN(RoutingTest)
#include "routing-test.moc"
