// What the web console reads besides the window: the delayed store a page at
// a time, and the System log searched and downloaded, over real loopback HTTP
// to a relay on a work folder with real SQLite files and log files, the fake
// clock stamping the lines.

#include "ConsoleClient.h"
#include "TestPorts.h"
#include "TestSystem.h"
#include "publish/JsonText.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QTest>
#include <algorithm>

namespace {

const QDateTime kStart(QDate(2026, 1, 15), QTime(10, 0, 0));
const QString kSystemLog = QStringLiteral("Quorlan");

QByteArray ReadAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QList<qint64> Ids(const QJsonObject& page) {
    QList<qint64> ids;
    for (const QJsonValue& row : page.value(QStringLiteral("rows")).toArray())
        ids << row.toObject().value(QStringLiteral("id")).toInteger();
    return ids;
}

QStringList Texts(const QJsonObject& found) {
    QStringList texts;
    for (const QJsonValue& line : found.value(QStringLiteral("lines")).toArray())
        texts << line.toObject().value(QStringLiteral("text")).toString();
    return texts;
}

QByteArray Iso(const QDateTime& time) {
    return QUrl::toPercentEncoding(publish::IsoTime(time));
}

// What the store's 256 byte values look like in the console, written out
// by hand from the rule: framing bytes by name, other bytes below 32 and
// from 127 up as two lowercase hex digits, the rest as they are.
QString EveryByteShown() {
    QString shown;
    for (int b = 0; b < 256; ++b) {
        if (b == 2)
            shown += QStringLiteral("<STX>");
        else if (b == 3)
            shown += QStringLiteral("<ETX>");
        else if (b == 13)
            shown += QStringLiteral("<CR>");
        else if (b < 32 || b > 126)
            shown += QStringLiteral("<%1>").arg(b, 2, 16, QLatin1Char('0'));
        else
            shown += QChar(b);
    }
    return shown;
}

} // namespace

class ConsoleRecordsTest : public QObject {
    Q_OBJECT

    struct Fixture {
        WorkFolder folder;
        std::unique_ptr<TestSystem> t;
        std::unique_ptr<ConsoleClient> console;

        Fixture() {
            folder.setOutputs({{QStringLiteral("Client A"), QString::number(TestPort())}});
            t = std::make_unique<TestSystem>(folder.path());
            t->clock.set(kStart);
            t->system->Form_Load();
            console = std::make_unique<ConsoleClient>(sys(), TestPort());
            console->beforeRequest = [this] {
                t->clock.advanceSecs(1);
                console->Tick();
            };
            if (!console->login())
                qFatal("login refused");
        }
        System& sys() { return *t->system; }
        QJsonObject getJson(const QByteArray& path) { return console->get(path).json(); }
        QString logs(const QString& name = {}) const {
            return folder.file(QStringLiteral("LOGS/") + name);
        }
    };

    // 500 stored packets for three destinations, in the order they were
    // stored; several share a millisecond, as a burst's rows do.
    static QList<DelayedRecord> Store(Fixture& f) {
        const QStringList destinations = {QStringLiteral("Client A"), QStringLiteral("Client B"),
                                          QStringLiteral("MQTT Broker")};
        QList<DelayedRecord> rows;
        for (int i = 0; i < 500; ++i) {
            DelayedRecord row;
            row.MessID = 2000000 + i;
            row.Created = kStart.addMSecs((i / 3) * 7).toString(Qt::ISODateWithMs);
            row.Destination = destinations[i % 5 == 0 ? 2 : i % 2];
            row.Packet = "\x02" + QByteArray::number(i) + "\x03";
            rows << row;
        }
        if (!f.sys().delayedDb.AddDelayedRows(rows))
            qFatal("rows not stored");
        return rows;
    }

private slots:
    // Whatever the number of rows, the console pages through all of them,
    // newest or oldest first, for one destination or all, with the count of
    // each destination.
    void theDelayedViewPagesThroughTheStore() {
        Fixture f;
        const QList<DelayedRecord> rows = Store(f);
        QList<qint64> oldest;
        QHash<QString, QList<qint64>> byDestination;
        for (const DelayedRecord& row : rows) {
            oldest << row.MessID;
            byDestination[row.Destination] << row.MessID;
        }
        QList<qint64> newest = oldest;
        std::reverse(newest.begin(), newest.end());
        const QJsonObject counts{{QStringLiteral("Client A"), byDestination["Client A"].size()},
                                 {QStringLiteral("Client B"), byDestination["Client B"].size()},
                                 {QStringLiteral("MQTT Broker"), 100}};

        const QJsonObject first = f.getJson("/api/delayed");
        QCOMPARE(first.value(QStringLiteral("total")).toInteger(), 500);
        QCOMPARE(first.value(QStringLiteral("counts")).toObject(), counts);
        QCOMPARE(Ids(first), newest.mid(0, 50));
        const QJsonObject row = first.value(QStringLiteral("rows")).toArray().first().toObject();
        QCOMPARE(row.value(QStringLiteral("destination")).toString(), rows.last().Destination);
        QCOMPARE(row.value(QStringLiteral("packet")).toString(), QStringLiteral("<STX>499<ETX>"));
        QCOMPARE(row.value(QStringLiteral("created")).toString(),
                 publish::IsoTime(QDateTime::fromString(rows.last().Created, Qt::ISODateWithMs)));

        for (const char* order : {"newest", "oldest"}) {
            QList<qint64> all;
            for (int offset = 0; offset < 500; offset += 50)
                all << Ids(f.getJson("/api/delayed?order=" + QByteArray(order) +
                                     "&offset=" + QByteArray::number(offset)));
            QCOMPARE(all, QByteArray(order) == "newest" ? newest : oldest);
        }

        const QJsonObject clientB =
            f.getJson("/api/delayed?destination=Client+B&order=oldest&offset=100&limit=50");
        QCOMPARE(clientB.value(QStringLiteral("total")).toInteger(),
                 byDestination["Client B"].size());
        QCOMPARE(clientB.value(QStringLiteral("counts")).toObject(), counts);
        QCOMPARE(Ids(clientB), byDestination["Client B"].mid(100, 50));
        const QJsonObject broker = f.getJson("/api/delayed?destination=MQTT%20Broker&limit=7");
        QCOMPARE(broker.value(QStringLiteral("total")).toInteger(), 100);
        QList<qint64> brokerNewest = byDestination["MQTT Broker"];
        std::reverse(brokerNewest.begin(), brokerNewest.end());
        QCOMPARE(Ids(broker), brokerNewest.mid(0, 7));

        QCOMPARE(Ids(f.getJson("/api/delayed?offset=480")), newest.mid(480));
        QCOMPARE(Ids(f.getJson("/api/delayed?order=oldest&offset=261&limit=3")),
                 oldest.mid(261, 3));
        const QJsonObject past = f.getJson("/api/delayed?offset=500");
        QCOMPARE(past.value(QStringLiteral("total")).toInteger(), 500);
        QVERIFY(past.value(QStringLiteral("rows")).toArray().isEmpty());
        QCOMPARE(
            f.getJson("/api/delayed?destination=Nobody").value(QStringLiteral("total")).toInteger(),
            0);

        // The store changes under the pages: a resent row leaves them.
        f.sys().delayedDb.DeleteDelayed(rows.last());
        QCOMPARE(Ids(f.getJson("/api/delayed?limit=1")), QList<qint64>{newest[1]});
        QCOMPARE(f.getJson("/api/delayed").value(QStringLiteral("total")).toInteger(), 499);
    }

    void theDelayedViewRefusesWhatItCannotUse_data() {
        QTest::addColumn<QByteArray>("query");
        QTest::addColumn<QString>("reason");
        QTest::newRow("limit 0") << QByteArray("limit=0")
                                 << QStringLiteral("limit is a whole number from 1 to 50");
        QTest::newRow("limit 51") << QByteArray("limit=51")
                                  << QStringLiteral("limit is a whole number from 1 to 50");
        QTest::newRow("limit text")
            << QByteArray("limit=ten") << QStringLiteral("limit is a whole number from 1 to 50");
        QTest::newRow("offset below 0")
            << QByteArray("offset=-1")
            << QStringLiteral("offset is a whole number from 0 to 1099511627776");
        QTest::newRow("offset fraction")
            << QByteArray("offset=1.5")
            << QStringLiteral("offset is a whole number from 0 to 1099511627776");
        QTest::newRow("offset huge")
            << QByteArray("offset=99999999999999999999")
            << QStringLiteral("offset is a whole number from 0 to 1099511627776");
        QTest::newRow("order") << QByteArray("order=sideways")
                               << QStringLiteral("order is oldest or newest");
        QTest::newRow("destination") << "destination=" + QByteArray(1025, 'x')
                                     << QStringLiteral("destination is at most 1024 characters");
    }
    void theDelayedViewRefusesWhatItCannotUse() {
        QFETCH(QByteArray, query);
        QFETCH(QString, reason);
        Fixture f;
        const HttpAnswer answer = f.console->get("/api/delayed?" + query);
        QCOMPARE(answer.status, 400);
        QCOMPARE(answer.json().value(QStringLiteral("error")).toString(), reason);
    }

    // A packet is shown on one line whatever its bytes: each of the 256.
    void aStoredPacketShowsEveryByte() {
        Fixture f;
        QByteArray every;
        for (int b = 0; b < 256; ++b)
            every += char(b);
        QVERIFY(f.sys().delayedDb.AddDelayed(every, QStringLiteral("Client A"), 42));
        const QJsonObject page = f.getJson("/api/delayed");
        QCOMPARE(page.value(QStringLiteral("rows"))
                     .toArray()
                     .first()
                     .toObject()
                     .value(QStringLiteral("packet")),
                 QJsonValue(EveryByteShown()));
    }

    // The System log's lines, today's file and a back-up, newest first:
    // found by text in any case, by tag, by time, and capped.
    void theSystemLogIsSearched() {
        Fixture f;
        Logs& logs = f.sys().logs;
        const auto at = [&](int seconds) { f.t->clock.set(kStart.addSecs(seconds)); };
        at(100);
        logs.LogError(QStringLiteral("System: Marker one"));
        at(200);
        logs.LogInput(QStringLiteral("Marker two from the carrier"));
        at(300);
        logs.gNextBackUp = kStart; // due: today's file moves to BACKUP
        logs.CheckBackUp();
        const QStringList backUps =
            QDir(f.logs(QStringLiteral("BACKUP"))).entryList(QDir::Files, QDir::Name);
        const QString backUp = QStringLiteral("2026-01-15-10-05-00_") + kSystemLog;
        QVERIFY2(backUps.contains(backUp), qPrintable(backUps.join(QLatin1Char(' '))));
        at(400);
        logs.LogOutput(QStringLiteral("Out: MARKER three"));
        at(500);
        logs.LogError(QByteArray("System: marker four \x01\x1b\x7f\xff bytes"));

        const QJsonObject all = f.getJson("/api/logs/search?text=mArKeR");
        QCOMPARE(Texts(all),
                 (QStringList{QStringLiteral("System: marker four \x01\x1b\x7f\u00ff bytes"),
                              QStringLiteral("Out: MARKER three"),
                              QStringLiteral("Marker two from the carrier"),
                              QStringLiteral("System: Marker one")}));
        QCOMPARE(all.value(QStringLiteral("truncated")).toBool(), false);
        const QJsonArray lines = all.value(QStringLiteral("lines")).toArray();
        QCOMPARE(lines[0].toObject().value(QStringLiteral("file")).toString(), kSystemLog);
        QCOMPARE(lines[0].toObject().value(QStringLiteral("tag")).toString(),
                 QStringLiteral("Error"));
        QCOMPARE(lines[0].toObject().value(QStringLiteral("time")).toString(),
                 publish::IsoTime(kStart.addSecs(500)));
        QCOMPARE(lines[2].toObject().value(QStringLiteral("file")).toString(), backUp);
        QCOMPARE(lines[2].toObject().value(QStringLiteral("tag")).toString(),
                 QStringLiteral("Input"));

        QCOMPARE(Texts(f.getJson("/api/logs/search?text=marker&tag=output")),
                 QStringList{QStringLiteral("Out: MARKER three")});
        QCOMPARE(Texts(f.getJson("/api/logs/search?text=marker&from=" + Iso(kStart.addSecs(200)) +
                                 "&to=" + Iso(kStart.addSecs(400)))),
                 (QStringList{QStringLiteral("Out: MARKER three"),
                              QStringLiteral("Marker two from the carrier")}));
        const QJsonObject capped = f.getJson("/api/logs/search?text=marker&limit=3");
        QCOMPARE(Texts(capped).size(), 3);
        QCOMPARE(capped.value(QStringLiteral("truncated")).toBool(), true);

        // Every line, headers and back-up notes too, with no filter at all.
        const QJsonObject every = f.getJson("/api/logs/search?limit=1000");
        QVERIFY(Texts(every).contains(QStringLiteral("Backing up Log file") + QString(50, '.')));
        QVERIFY(Texts(every).size() > 10);
    }

    void theSearchRefusesWhatItCannotUse_data() {
        QTest::addColumn<QByteArray>("query");
        QTest::addColumn<QString>("reason");
        QTest::newRow("tag") << QByteArray("tag=Warning")
                             << QStringLiteral("tag is Error, Input or Output");
        QTest::newRow("from") << QByteArray("from=yesterday")
                              << QStringLiteral("from is an ISO 8601 date and time, such as "
                                                "2026-01-15T10:00:00+10:00");
        QTest::newRow("order of times")
            << QByteArray("from=2026-01-15T11:00:00&to=2026-01-15T10:00:00")
            << QStringLiteral("from is after to");
        QTest::newRow("limit 0") << QByteArray("limit=0")
                                 << QStringLiteral("limit is a whole number from 1 to 1000");
        QTest::newRow("limit 1001")
            << QByteArray("limit=1001") << QStringLiteral("limit is a whole number from 1 to 1000");
        QTest::newRow("text") << "text=" + QByteArray(257, 'x')
                              << QStringLiteral("text is at most 256 characters");
    }
    void theSearchRefusesWhatItCannotUse() {
        QFETCH(QByteArray, query);
        QFETCH(QString, reason);
        Fixture f;
        const HttpAnswer answer = f.console->get("/api/logs/search?" + query);
        QCOMPARE(answer.status, 400);
        QCOMPARE(answer.json().value(QStringLiteral("error")).toString(), reason);
    }

    // The log folders' files are listed and each can be downloaded whole,
    // a large one too; nothing outside them can.
    void logFilesAreListedAndDownloaded() {
        Fixture f;
        f.sys().logs.gNextBackUp = kStart;
        f.t->clock.set(kStart.addSecs(60));
        f.sys().logs.CheckBackUp();
        QByteArray big;
        for (int i = 0; big.size() < 5 * 1024 * 1024; ++i)
            big += "line " + QByteArray::number(i) + " of a large log\r\n";
        QFile bigFile(f.logs(QStringLiteral("BACKUP/big.log")));
        QVERIFY(bigFile.open(QIODevice::WriteOnly));
        bigFile.write(big);
        bigFile.close();

        const QJsonArray files =
            QJsonDocument::fromJson(f.console->get("/api/logs/files").body).array();
        QHash<QString, qint64> sizes;
        for (const QJsonValue& file : files)
            sizes.insert(file.toObject().value(QStringLiteral("name")).toString(),
                         file.toObject().value(QStringLiteral("size")).toInteger());
        const QString backUp = QStringLiteral("2026-01-15-10-01-00_") + kSystemLog;
        for (const QString& name :
             {kSystemLog, QStringLiteral("RAW_DEC.log"), QStringLiteral("DECODE.log"), backUp,
              QStringLiteral("big.log")})
            QVERIFY2(sizes.contains(name), qPrintable(name));
        QCOMPARE(sizes.value(QStringLiteral("big.log")), big.size());

        const HttpAnswer saved = f.console->get("/api/logs/file?name=" + backUp.toUtf8());
        QCOMPARE(saved.status, 200);
        QCOMPARE(saved.body, ReadAll(f.logs(QStringLiteral("BACKUP/") + backUp)));
        QCOMPARE(saved.header("Content-Disposition"), "attachment; filename=\"" + backUp.toUtf8() +
                                                          "\"; filename*=UTF-8''" +
                                                          backUp.toUtf8());
        const HttpAnswer large = f.console->get("/api/logs/file?name=big.log");
        QCOMPARE(large.status, 200);
        QVERIFY(large.body == big);

        for (const QByteArray name : {"../x", "..%2Fx", "%2E%2E%2FOmbrixsys.mdb", "..",
                                      "BACKUP%2Fbig.log", "BACKUP%5Cbig.log", ""}) {
            const HttpAnswer refused = f.console->get("/api/logs/file?name=" + name);
            QVERIFY2(refused.status == 400, name.constData());
        }
        QCOMPARE(f.console->get("/api/logs/file?name=Ombrixsys.mdb").status, 404);
        QCOMPARE(f.console->get("/api/logs/file?name=nothing.log").status, 404);
    }
};

QTEST_MAIN(ConsoleRecordsTest)
#include "console-records-test.moc"
