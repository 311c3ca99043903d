// The history of relayed pages and the operators' audit as the console's
// API answers them: real loopback HTTP to a relay on a work folder whose
// history.mdb holds real rows, written with plain SQL as the archive writes
// them. Checked by the JSON and CSV the console sends.

#include "ConsoleClient.h"
#include "HistoryFile.h"
#include "TestPorts.h"
#include "TestSystem.h"
#include "history/HistorySearch.h"
#include "web/Sessions.h"

#include <QJsonArray>
#include <QSqlDatabase>
#include <QTest>

namespace {

const QDateTime kStart(QDate(2026, 1, 15), QTime(10, 0, 0));
// The pages' own moment, 10:00:00.123 at +10:00, apart from the relay's fake clock.
const QDateTime kPageTime(QDate(2026, 1, 15), QTime(10, 0, 0, 123), Qt::OffsetFromUTC, 36000);
const QString kViewer = QStringLiteral("wallboard");
const QString kViewerPassword = QStringLiteral("wallboard password");
constexpr int kFillers = 125;      // routine pages after the five of interest
constexpr qint64 kFirstFiller = 6; // their ids
constexpr qint64 kFillerAddress = 3000000;
constexpr int kWriteWaitMs = 10000;

// The failed logins that lock an address out.
int FailureCount() {
    return web::FailureCount::kMaxFailures;
}

// A text as a carrier may send it: a comma, a quote, CR LF, and every byte
// from 128 to 255.
QByteArray HostileText() {
    QByteArray text("a,b \"q\"\r\nnext line ");
    for (int b = 128; b < 256; ++b)
        text += char(b);
    return text;
}

qint64 At(int seconds) {
    return kPageTime.addSecs(seconds).toMSecsSinceEpoch();
}

HistoryPage Page(qint64 id, int seconds, qint64 address, const char* function, const char* type,
                 const QByteArray& text, const char* carrier = "Sat Feed 1") {
    HistoryPage page;
    page.id = id;
    page.timeMs = At(seconds);
    page.address = address;
    page.function = QString::fromLatin1(function);
    page.type = QString::fromLatin1(type);
    page.text = text;
    page.carrier = QString::fromLatin1(carrier);
    return page;
}

QList<HistoryPage> Pages() {
    QList<HistoryPage> pages = {
        Page(1, 0, 1234567, "D", "A", "Ambulance 12 to 45 Harbour St"),
        Page(2, 1, 21, "A", "N", "911  "),
        Page(3, 2, 1500100, "C", "T", ""),
        Page(4, 3, 1234567, "B", "A", "Fire alarm at Harbour St station", "Sat Feed 2"),
        Page(5, 4, 1234999, "D", "A", HostileText()),
    };
    for (int i = 0; i < kFillers; ++i)
        pages << Page(kFirstFiller + i, 10 + i, kFillerAddress + i, "A", "A",
                      "Routine check " + QByteArray::number(i));
    return pages;
}

QList<qint64> Ids(const QJsonObject& answer, const char* list = "pages") {
    QList<qint64> ids;
    for (const QJsonValue& row : answer.value(QLatin1String(list)).toArray())
        ids << row.toObject().value(QStringLiteral("id")).toInteger();
    return ids;
}

QStringList Keys(const QJsonObject& object) {
    QStringList keys = object.keys();
    keys.sort();
    return keys;
}

QStringList Sorted(QStringList keys) {
    keys.sort();
    return keys;
}

QByteArray Encoded(const QString& text) {
    return QUrl::toPercentEncoding(text);
}

} // namespace

class ConsoleHistoryTest : public QObject {
    Q_OBJECT

    struct Fixture {
        WorkFolder folder;
        std::unique_ptr<TestSystem> t;
        std::unique_ptr<ConsoleClient> console;
        QString dbName = QStringLiteral("console-history-test");

        Fixture() {
            folder.setOutputs({{QStringLiteral("Client A"), QString::number(TestPort())}});
            t = std::make_unique<TestSystem>(folder.path());
            t->clock.set(kStart);
            t->system->Form_Load();
            openHistory();
            config::SetOperatorPassword(sys().db.gSysConnection, kViewer, kViewerPassword,
                                        QStringLiteral("15 Jan 2026 10:00:00"),
                                        config::OperatorRole::Viewer);
            console = std::make_unique<ConsoleClient>(sys(), TestPort());
            console->beforeRequest = [this] {
                t->clock.advanceSecs(1);
                console->Tick();
            };
            if (!console->login())
                qFatal("login refused");
        }
        ~Fixture() {
            history().close();
            QSqlDatabase::removeDatabase(dbName);
        }
        System& sys() { return *t->system; }
        QSqlDatabase history() const { return QSqlDatabase::database(dbName, false); }

        // history.mdb as the archive keeps it; made here when the relay has not.
        void openHistory() {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), dbName);
            db.setDatabaseName(folder.file(QStringLiteral("history.mdb")));
            db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=5000"));
            if (!db.open())
                qFatal("history.mdb not opened");
            if (!RunHistorySql(db, QStringLiteral("SELECT name FROM sqlite_master WHERE name = "
                                                  "'Pages'"))
                     .next())
                CreateHistoryTables(db);
        }
        void add(const QList<HistoryPage>& pages) {
            QSqlDatabase db = history();
            db.transaction();
            for (const HistoryPage& page : pages)
                AddHistoryPage(db, page);
            db.commit();
        }
        QJsonObject getJson(const QByteArray& path) { return console->get(path).json(); }
        // The Audit table once the archive has written what it was told:
        // each row's operator, address, action and detail, oldest first.
        QList<QStringList> auditRows() {
            sys().history.Tick();
            if (!QTest::qWaitFor([this] { return sys().history.Settled(); }, kWriteWaitMs))
                qFatal("the history did not write");
            QList<QStringList> rows;
            QSqlQuery query = RunHistorySql(
                history(), QStringLiteral("SELECT Operator, Address, Action, Detail FROM Audit "
                                          "ORDER BY ID"));
            while (query.next())
                rows << QStringList{query.value(0).toString(), query.value(1).toString(),
                                    query.value(2).toString(), query.value(3).toString()};
            return rows;
        }
        QList<qint64> found(const QByteArray& query) {
            return Ids(getJson("/api/history?" + query));
        }
    };

    // One relay with the pages, for the tables of cases that only read.
    std::unique_ptr<Fixture> shared_;
    Fixture& shared() {
        if (!shared_) {
            shared_ = std::make_unique<Fixture>();
            shared_->add(Pages());
        }
        return *shared_;
    }

private slots:
    void cleanupTestCase() { shared_.reset(); }

    // Each page with exactly the contract's fields, newest first, its time
    // with milliseconds and the offset it was relayed under.
    void pagesAnswerNewestFirstWithEveryField() {
        Fixture f;
        f.add(Pages());
        const QJsonObject answer = f.getJson("/api/history?address=1234567");
        QCOMPARE(Keys(answer), Sorted({QStringLiteral("pages"), QStringLiteral("next")}));
        QCOMPARE(Ids(answer), (QList<qint64>{4, 1}));
        QVERIFY(answer.value(QStringLiteral("next")).isNull());
        const QJsonObject page = answer.value(QStringLiteral("pages")).toArray()[1].toObject();
        QCOMPARE(page,
                 (QJsonObject{
                     {QStringLiteral("id"), 1},
                     {QStringLiteral("time"), QStringLiteral("2026-01-15T10:00:00.123+10:00")},
                     {QStringLiteral("carrier"), QStringLiteral("Sat Feed 1")},
                     {QStringLiteral("rate"), QStringLiteral("1200")},
                     {QStringLiteral("frequency"), QStringLiteral("1")},
                     {QStringLiteral("function"), QStringLiteral("D")},
                     {QStringLiteral("address"), QStringLiteral("1234567")},
                     {QStringLiteral("type"), QStringLiteral("A")},
                     {QStringLiteral("text"), QStringLiteral("Ambulance 12 to 45 Harbour St")},
                 }));
        // A page's bytes are the code points of their values.
        const QJsonObject hostile = f.getJson("/api/history?address=1234999")
                                        .value(QStringLiteral("pages"))
                                        .toArray()[0]
                                        .toObject();
        QCOMPARE(hostile.value(QStringLiteral("text")).toString(),
                 QString::fromLatin1(HostileText()));
    }

    // "next" leads through every page, older and older, however many.
    void olderPagesFollowNext() {
        Fixture f;
        f.add(Pages());
        QList<qint64> seen;
        QByteArray query = "/api/history?limit=50";
        int reads = 0;
        for (;; ++reads) {
            const QJsonObject answer = f.getJson(query);
            const QList<qint64> ids = Ids(answer);
            QVERIFY(ids.size() <= 50);
            seen << ids;
            const QJsonValue next = answer.value(QStringLiteral("next"));
            if (next.isNull())
                break;
            query = "/api/history?limit=50&before=" + QByteArray::number(next.toInteger());
        }
        QCOMPARE(reads + 1, 3);
        QList<qint64> all;
        for (qint64 id = kFirstFiller + kFillers - 1; id >= 1; --id)
            all << id;
        QCOMPARE(seen, all);
        QCOMPARE(f.found("limit=3&before=5"), (QList<qint64>{4, 3, 2}));
        QCOMPARE(f.found("").size(), history::kDefaultSearchLimit);
        QCOMPARE(f.found("limit=200").size(), 130);
    }

    void eachFilterNarrowsTheSearch_data() {
        QTest::addColumn<QByteArray>("query");
        QTest::addColumn<QList<qint64>>("ids");
        QTest::newRow("address") << QByteArray("address=1234567") << QList<qint64>{4, 1};
        QTest::newRow("leading zeros") << QByteArray("address=0000021") << QList<qint64>{2};
        QTest::newRow("short") << QByteArray("address=21") << QList<qint64>{2};
        QTest::newRow("range") << QByteArray("address=1234000-1234999") << QList<qint64>{5, 4, 1};
        QTest::newRow("function") << QByteArray("function=b") << QList<qint64>{4};
        QTest::newRow("type") << QByteArray("type=T") << QList<qint64>{3};
        QTest::newRow("numeric") << QByteArray("type=N&function=A") << QList<qint64>{2};
        QTest::newRow("carrier") << QByteArray("carrier=Sat%20Feed%202") << QList<qint64>{4};
        QTest::newRow("word") << QByteArray("text=harbour") << QList<qint64>{4, 1};
        QTest::newRow("prefix") << QByteArray("text=harb*") << QList<qint64>{4, 1};
        QTest::newRow("phrase") << "text=" + Encoded(QStringLiteral("\"alarm at\""))
                                << QList<qint64>{4};
        QTest::newRow("not") << QByteArray("text=harbour+NOT+fire") << QList<qint64>{1};
        QTest::newRow("or") << QByteArray("text=ambulance+OR+fire") << QList<qint64>{4, 1};
        QTest::newRow("address and word")
            << QByteArray("address=1234567&text=fire") << QList<qint64>{4};
        QTest::newRow("time range")
            << "from=" + Encoded(QStringLiteral("2026-01-15T10:00:01.123+10:00")) +
                   "&to=" + Encoded(QStringLiteral("2026-01-15T00:00:03.123Z"))
            << QList<qint64>{3, 2};
        QTest::newRow("nothing") << QByteArray("address=7654321") << QList<qint64>{};
    }
    void eachFilterNarrowsTheSearch() {
        QFETCH(QByteArray, query);
        QFETCH(QList<qint64>, ids);
        QCOMPARE(shared().found(query), ids);
    }

    // A page opens with its packet and its trail, oldest event first.
    void aPageOpensWithItsTrail() {
        Fixture f;
        f.add(Pages());
        QSqlDatabase db = f.history();
        AddTrailRow(db, 4, QStringLiteral("Client A"), QStringLiteral("sent"), At(3) + 1);
        AddTrailRow(db, 4, QStringLiteral("Client B"), QStringLiteral("stored"), At(3) + 2);
        AddTrailRow(db, 4, QStringLiteral("Client A"), QStringLiteral("taken"), At(3) + 3);
        AddTrailRow(db, 4, QStringLiteral("Client B"), QStringLiteral("resent"), At(63));
        AddTrailRow(db, 1, QStringLiteral("Client A"), QStringLiteral("sent"), At(0) + 1);

        const HttpAnswer answer = f.console->get("/api/history/4");
        QCOMPARE(answer.status, 200);
        const QJsonObject json = answer.json();
        QCOMPARE(Keys(json), Sorted({QStringLiteral("page"), QStringLiteral("trail")}));
        const QJsonObject page = json.value(QStringLiteral("page")).toObject();
        QCOMPARE(Keys(page),
                 Sorted(QStringLiteral("id,time,carrier,rate,frequency,function,address,type,"
                                       "text,packet")
                            .split(QLatin1Char(','))));
        QCOMPARE(page.value(QStringLiteral("text")).toString(),
                 QStringLiteral("Fire alarm at Harbour St station"));
        QCOMPARE(QByteArray::fromBase64(page.value(QStringLiteral("packet")).toString().toLatin1()),
                 QByteArray("\x02"
                            "1200\r1\rB\r1234567\rA\rFire alarm at Harbour St station\x03"));
        const auto event = [](const char* destination, const char* name, const char* time) {
            return QJsonObject{{QStringLiteral("destination"), QString::fromLatin1(destination)},
                               {QStringLiteral("event"), QString::fromLatin1(name)},
                               {QStringLiteral("time"), QString::fromLatin1(time)}};
        };
        QCOMPARE(json.value(QStringLiteral("trail")).toArray(),
                 (QJsonArray{event("Client A", "sent", "2026-01-15T10:00:03.124+10:00"),
                             event("Client B", "stored", "2026-01-15T10:00:03.125+10:00"),
                             event("Client A", "taken", "2026-01-15T10:00:03.126+10:00"),
                             event("Client B", "resent", "2026-01-15T10:01:03.123+10:00")}));

        const QJsonObject quiet = f.getJson("/api/history/3");
        QCOMPARE(quiet.value(QStringLiteral("trail")).toArray(), QJsonArray());
        const HttpAnswer unknown = f.console->get("/api/history/99999");
        QCOMPARE(unknown.status, 404);
        QVERIFY(!unknown.json().value(QStringLiteral("error")).toString().isEmpty());
    }

    void badInputIsRefusedWithItsReason_data() {
        QTest::addColumn<QByteArray>("path");
        for (const char* query : {"address=12a",
                                  "address=5-3",
                                  "address=12345678",
                                  "address=1-",
                                  "address=-5",
                                  "address=%201234567",
                                  "address=1234567-1234568-1234569",
                                  "limit=0",
                                  "limit=201",
                                  "limit=ten",
                                  "limit=-1",
                                  "before=0",
                                  "before=-5",
                                  "before=abc",
                                  "before=1.5",
                                  "before=99999999999999999999",
                                  "from=yesterday",
                                  "to=2026-13-01T00:00:00",
                                  "from=2026-01-15T11:00:00&to=2026-01-15T10:00:00",
                                  "function=E",
                                  "function=AB",
                                  "type=X"})
            QTest::newRow(query) << "/api/history?" + QByteArray(query);
        QTest::newRow("long text") << "/api/history?text=" + QByteArray(257, 'x');
        QTest::newRow("long carrier") << "/api/history?carrier=" + QByteArray(256, 'x');
        QTest::newRow("open quote") << "/api/history?text=" + Encoded(QStringLiteral("\"harbour"));
        QTest::newRow("open bracket") << QByteArray("/api/history?text=%28harbour");
        QTest::newRow("dangling AND") << QByteArray("/api/history?text=harbour+AND");
        QTest::newRow("csv") << QByteArray("/api/history.csv?address=12a");
        QTest::newRow("csv text") << "/api/history.csv?text=" + Encoded(QStringLiteral("\"x"));
        QTest::newRow("page id") << QByteArray("/api/history/abc");
        QTest::newRow("page 0") << QByteArray("/api/history/0");
        QTest::newRow("page id huge") << QByteArray("/api/history/9999999999999999999999");
        QTest::newRow("audit limit") << QByteArray("/api/audit?limit=201");
        QTest::newRow("audit before") << QByteArray("/api/audit?before=x");
        QTest::newRow("audit from") << QByteArray("/api/audit?from=soon");
        QTest::newRow("audit text") << "/api/audit?text=" + QByteArray(257, 'x');
    }
    void badInputIsRefusedWithItsReason() {
        QFETCH(QByteArray, path);
        Fixture& f = shared();
        const HttpAnswer answer = f.console->get(path);
        QCOMPARE(answer.status, 400);
        QCOMPARE(answer.header("Content-Type"), QByteArray("application/json"));
        QVERIFY2(!answer.json().value(QStringLiteral("error")).toString().isEmpty(),
                 answer.body.constData());
        // The search goes on working for the next request.
        QCOMPARE(f.found("address=1234567"), (QList<qint64>{4, 1}));
    }

    // The same filters as CSV: quoted as RFC 4180, each byte as its
    // character in UTF-8, rows ending CR LF.
    void theSearchDownloadsAsCsv() {
        Fixture f;
        f.add(Pages());
        const HttpAnswer hostile = f.console->get("/api/history.csv?address=1234999");
        QCOMPARE(hostile.status, 200);
        QCOMPARE(hostile.header("Content-Type"), QByteArray("text/csv; charset=utf-8"));
        QVERIFY(hostile.header("Content-Disposition").startsWith("attachment"));
        QByteArray high;
        for (int b = 128; b < 256; ++b)
            high += QString(QChar(b)).toUtf8();
        QCOMPARE(hostile.body, "id,time,carrier,rate,frequency,function,address,type,text\r\n"
                               "5,2026-01-15T10:00:04.123+10:00,Sat Feed 1,1200,1,D,1234999,A,"
                               "\"a,b \"\"q\"\"\r\nnext line " +
                                   high + "\"\r\n");

        const HttpAnswer two = f.console->get("/api/history.csv?address=1234567&text=harbour");
        QCOMPARE(two.body,
                 QByteArray("id,time,carrier,rate,frequency,function,address,type,text\r\n"
                            "4,2026-01-15T10:00:03.123+10:00,Sat Feed 2,1200,1,B,"
                            "1234567,A,Fire alarm at Harbour St station\r\n"
                            "1,2026-01-15T10:00:00.123+10:00,Sat Feed 1,1200,1,D,"
                            "1234567,A,Ambulance 12 to 45 Harbour St\r\n"));
        // Past a search's limit: every filler, newest first.
        const QList<QByteArray> lines =
            f.console->get("/api/history.csv?address=3000000-3999999").body.split('\n');
        QCOMPARE(lines.size(), kFillers + 2); // the header, the rows, "" after the last
        QVERIFY(lines[1].startsWith(QByteArray::number(kFirstFiller + kFillers - 1) + ','));
        QVERIFY(lines[kFillers].startsWith(QByteArray::number(kFirstFiller) + ','));
    }

    // However many match, an export holds the newest 10,000.
    void anExportStopsAtTenThousandPages() {
        Fixture f;
        QList<HistoryPage> many;
        for (int i = 1; i <= 10050; ++i)
            many << Page(i, i, kFillerAddress, "A", "A", "Many " + QByteArray::number(i));
        f.add(many);
        const QByteArray csv = f.console->get("/api/history.csv").body;
        const QList<QByteArray> lines = csv.split('\n');
        QCOMPARE(lines.size(), 10002);
        QVERIFY(lines[1].startsWith("10050,"));
        QVERIFY(lines[10000].startsWith("51,"));
    }

    // Logged in, a viewer reads every page of the history and the audit;
    // without a session nothing is read.
    void aViewerMayReadAndNobodyElse() {
        Fixture f;
        f.add(Pages());
        const QByteArray operatorSession = f.console->session();
        for (const QByteArray path :
             {"/api/history", "/api/history/1", "/api/history.csv", "/api/audit"}) {
            f.console->useSession("Cookie: ombrix_session=none");
            const HttpAnswer refused = f.console->get(path);
            QVERIFY2(refused.status == 401, path.constData());
            QVERIFY(refused.body.isEmpty() || !refused.body.contains("Harbour"));
        }
        QVERIFY(f.console->login(kViewer, kViewerPassword));
        for (const QByteArray path :
             {"/api/history", "/api/history/1", "/api/history.csv", "/api/audit"})
            QVERIFY2(f.console->get(path).status == 200, path.constData());
        f.console->useSession(operatorSession);
        QCOMPARE(f.console->get("/api/history").status, 200);
    }

    // The audit's rows with exactly the contract's fields, searched by text
    // and time, newest first and paged.
    void auditRowsAnswerWithTheirFields() {
        Fixture f;
        QSqlDatabase db = f.history();
        for (int i = 0; i < 7; ++i)
            AddAuditRow(db, {1000 + i, At(i), QStringLiteral("shift-%1").arg(i % 2),
                             QStringLiteral("192.0.2.%1").arg(i), QStringLiteral("command"),
                             QStringLiteral("marked %1").arg(i)});
        const QJsonObject answer = f.getJson("/api/audit?text=marked&limit=3");
        QCOMPARE(Keys(answer), Sorted({QStringLiteral("rows"), QStringLiteral("next")}));
        QCOMPARE(Ids(answer, "rows"), (QList<qint64>{1006, 1005, 1004}));
        const QJsonObject row = answer.value(QStringLiteral("rows")).toArray()[0].toObject();
        QCOMPARE(row, (QJsonObject{
                          {QStringLiteral("id"), 1006},
                          {QStringLiteral("time"), QStringLiteral("2026-01-15T10:00:06.123+10:00")},
                          {QStringLiteral("operator"), QStringLiteral("shift-0")},
                          {QStringLiteral("address"), QStringLiteral("192.0.2.6")},
                          {QStringLiteral("action"), QStringLiteral("command")},
                          {QStringLiteral("detail"), QStringLiteral("marked 6")},
                      }));
        const qint64 next = answer.value(QStringLiteral("next")).toInteger();
        QCOMPARE(Ids(f.getJson("/api/audit?text=marked&limit=3&before=" + QByteArray::number(next)),
                     "rows"),
                 (QList<qint64>{1003, 1002, 1001}));
        QCOMPARE(Ids(f.getJson("/api/audit?text=shift-1"), "rows"),
                 (QList<qint64>{1005, 1003, 1001}));
        QCOMPARE(Ids(f.getJson("/api/audit?text=marked&from=" +
                               Encoded(QStringLiteral("2026-01-15T10:00:02.123+10:00")) +
                               "&to=" + Encoded(QStringLiteral("2026-01-15T10:00:04.123+10:00"))),
                     "rows"),
                 (QList<qint64>{1003, 1002}));
    }

    // Who did what: a login, failed logins and the lock-out they began, the
    // console's commands in its operator's name and the window's in the
    // window's, and a logout; each once, with the address, and no password
    // or secret anywhere. A tab chosen is no command and leaves no row.
    void operatorsAreAudited() {
        Fixture f;
        const QByteArray session = f.console->session();
        const QString wrong = QStringLiteral("wrong horse");
        const QString typedAsName = QStringLiteral("p4ssword-typed-as-name");
        const QString secret = QStringLiteral("s3cret-broker-pw");
        QVERIFY(!f.console->login(typedAsName, wrong));
        for (int i = 0; i < FailureCount() - 1; ++i)
            QVERIFY(!f.console->login(ConsoleClient::kName, wrong));
        f.console->useSession(session);
        const auto click = [&](const char* name) {
            return f.console->command({{QStringLiteral("click"), QLatin1String(name)}});
        };
        QCOMPARE(click("cmdSendDummy"), 200);
        QCOMPARE(f.console->command({{QStringLiteral("tab"), 2}}), 400);
        QCOMPARE(f.console->command({{QStringLiteral("menu"), QStringLiteral("mnuExit")}}), 409);
        QCOMPARE(click("cmdEditPublishers"), 200);
        QCOMPARE(f.console->command(
                     {{QStringLiteral("grid"), QStringLiteral("dgPublishers")},
                      {QStringLiteral("addRow"),
                       QJsonObject{{QStringLiteral("Description"), QStringLiteral("Broker")},
                                   {QStringLiteral("Host"), QStringLiteral("127.0.0.1")},
                                   {QStringLiteral("Topic"), QStringLiteral("pages")},
                                   {QStringLiteral("Active"), QStringLiteral("N")},
                                   {QStringLiteral("Password"), secret}}}}),
                 200);
        QCOMPARE(click("cmdEditPublishers"), 200);
        f.sys().window.cmdSendDummy_Click();
        f.sys().window.Click(QStringLiteral("cmdEditOuputs"));
        QCOMPARE(f.console->post("/logout", {}).status, 303);

        const QList<QStringList> rows = f.auditRows();
        const QString console = QStringLiteral("127.0.0.1");
        const auto row = [](const QString& who, const QString& where, const char* action,
                            const QString& detail) {
            return QStringList{who, where, QLatin1String(action), detail};
        };
        const QString name = ConsoleClient::kName;
        const QString banned = QStringLiteral("locked out for 10 minutes after 5 failed logins");
        QCOMPARE(
            rows,
            (QList<QStringList>{
                row(name, console, "login", QStringLiteral("role operator")),
                row({}, console, "login-failed", QStringLiteral("unknown name")),
                row(name, console, "login-failed", QStringLiteral("wrong password")),
                row(name, console, "login-failed", QStringLiteral("wrong password")),
                row(name, console, "login-failed", QStringLiteral("wrong password")),
                row(name, console, "login-failed", QStringLiteral("wrong password")),
                row(name, console, "banned", QStringLiteral("address 127.0.0.1 ") + banned),
                row(name, console, "command", QStringLiteral("send idle message")),
                row(name, console, "command",
                    QStringLiteral("refused {\"menu\":\"mnuExit\"} (stop the service with "
                                   "systemctl)")),
                row(name, console, "command", QStringLiteral("edit Publishers")),
                row(name, console, "command",
                    QStringLiteral("{\"addRow\":{\"Active\":\"N\",\"Description\":\"Broker\","
                                   "\"Host\":\"127.0.0.1\",\"Password\":\"(hidden)\","
                                   "\"Topic\":\"pages\"},\"grid\":\"dgPublishers\"}")),
                row(name, console, "command", QStringLiteral("commit Publishers")),
                row(QStringLiteral("window"), {}, "command", QStringLiteral("send idle message")),
                row(QStringLiteral("window"), {}, "command", QStringLiteral("edit Outputs")),
                row(name, console, "logout", {}),
            }));
        for (const QStringList& audited : rows)
            for (const QString& field : audited)
                QVERIFY2(!field.contains(wrong) && !field.contains(typedAsName) &&
                             !field.contains(secret) && !field.contains(ConsoleClient::kPassword),
                         qPrintable(field));
    }
};

QTEST_MAIN(ConsoleHistoryTest)
#include "console-history-test.moc"
