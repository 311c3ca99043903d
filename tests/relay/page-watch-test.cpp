// The test pages a site watches for: pages relayed from a carrier on loopback,
// the fake clock moved and the watches' tick called; warning 113 once per
// miss, the line when the page comes again, the health checks, and the
// Watches table edited in the window and through the console's API.

#include "ConsoleClient.h"
#include "LogLines.h"
#include "TestPorts.h"
#include "TestSystem.h"
#include "app/GridEditing.h"

#include "SatelliteStream.h"

#include <QJsonArray>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

namespace {

const QDateTime kStart(QDate(2026, 1, 15), QTime(10, 0, 0));

struct WatchRow {
    QString description, address, function, everyMinutes, active;
};

} // namespace

class PageWatchTest : public QObject {
    Q_OBJECT

    struct Fixture {
        WorkFolder folder;
        QTcpServer carrier;
        QTcpSocket* peer = nullptr;
        std::unique_ptr<TestSystem> t;
        int relayed = 0; // packets handed to dispatch

        explicit Fixture(const QList<WatchRow>& watches) {
            folder.setOutputs({}); // and the carrier's host on loopback
            folder.setSetting(QStringLiteral("LastBackUp"), QStringLiteral("15 Jan 2026 09:00:00"));
            carrier.listen(QHostAddress::LocalHost, 0);
            QObject::connect(&carrier, &QTcpServer::newConnection,
                             [this] { peer = carrier.nextPendingConnection(); });
            folder.exec(QStringLiteral("Ombrixsys.mdb"),
                        QStringLiteral("INSERT INTO Telstra (Description, Port, Active) "
                                       "VALUES ('Carrier', ?, 'Y')"),
                        {QString::number(carrier.serverPort())});
            for (const WatchRow& w : watches)
                folder.exec(QStringLiteral("Ombrixsys.mdb"),
                            QStringLiteral("INSERT INTO Watches VALUES (?, ?, ?, ?, ?)"),
                            {w.description, w.address, w.function, w.everyMinutes, w.active});
            t = std::make_unique<TestSystem>(folder.path());
            t->clock.set(kStart);
            t->system->Form_Load();
            QObject::connect(&sys().outputRules, &OutputRules::relayed,
                             [this](const QByteArray&) { ++relayed; });
        }
        System& sys() { return *t->system; }
        void at(const QTime& time) { t->clock.set(QDateTime(kStart.date(), time)); }
        [[nodiscard]] bool connected() {
            at(QTime(10, 0, 5));
            sys().decSockets.UpdateTelstraClients();
            return QTest::qWaitFor([&] { return peer && sys().decSockets.Carrying(0); });
        }
        // A page from the carrier at TIME, relayed once this returns.
        [[nodiscard]] bool page(const QTime& time, quint32 ric, char function = 'A') {
            at(time);
            const int before = relayed;
            // After the first block, the marker that ended the last one starts the next.
            const QByteArray stream =
                sim::EncodeStream({sim::Page{ric, function, 'A', "test page"}}, {});
            peer->write(before == 0 ? stream : stream.mid(sim::BlockMarker().size()));
            return QTest::qWaitFor([&] { return relayed >= before + 2; }); // the notice, the page
        }
        void check(const QTime& time) {
            at(time);
            sys().watches.Check();
        }
        QList<TestSystem::Warning> warnings(int number) const {
            QList<TestSystem::Warning> found;
            for (const TestSystem::Warning& w : t->warnings)
                if (w.number == number)
                    found << w;
            return found;
        }
        QList<health::Check> checks() const {
            QList<health::Check> all;
            t->system->watches.AppendChecks(all);
            return all;
        }
        QList<QByteArray> errorLines() const { return LogLines(folder.systemLog(), "Error"); }
        void addRow(const WatchRow& w) {
            grid_editing::AddRow(sys().window.dgWatches,
                                 {{QStringLiteral("Description"), w.description},
                                  {QStringLiteral("Address"), w.address},
                                  {QStringLiteral("Function"), w.function},
                                  {QStringLiteral("EveryMinutes"), w.everyMinutes},
                                  {QStringLiteral("Active"), w.active}});
        }
    };

private slots:
    void aPageOnTimeRaisesNothingAndAMissIsWarnedOnce() {
        Fixture f({{QStringLiteral("Site test"), QStringLiteral("1234567"), QString(),
                    QStringLiteral("10"), QStringLiteral("Y")}});
        QVERIFY(f.connected());
        for (const QTime& time : {QTime(10, 5, 0), QTime(10, 15, 0), QTime(10, 25, 0)}) {
            QVERIFY(f.page(time, 1234567));
            f.check(time.addSecs(5 * 60));
            f.check(time.addSecs(10 * 60));
        }
        QCOMPARE(f.warnings(113).size(), 0);
        QCOMPARE(f.checks().value(0).status, health::Status::Ok);
        QCOMPARE(f.checks().value(0).state, QStringLiteral("last seen 15 Jan 2026 10:25:00"));

        f.check(QTime(10, 36, 0)); // ten minutes and the minute's grace
        QCOMPARE(f.warnings(113).size(), 0);
        f.check(QTime(10, 36, 5));
        QCOMPARE(f.warnings(113).size(), 1);
        QCOMPARE(
            f.warnings(113).first().text,
            QStringLiteral("Test page Site test (1234567) not seen since 15 Jan 2026 10:25:00"));
        QVERIFY(f.errorLines().contains(
            "Error\tTest page Site test (1234567) not seen since 15 Jan 2026 10:25:00"));
        const health::Check missed = f.checks().value(0);
        QCOMPARE(missed.name, QStringLiteral("watch:Site test"));
        QCOMPARE(missed.status, health::Status::Degraded);
        QCOMPARE(missed.state, QStringLiteral("not seen since 15 Jan 2026 10:25:00"));
        QCOMPARE(missed.since, QDateTime(kStart.date(), QTime(10, 36, 5)));

        f.check(QTime(10, 50, 0)); // the same miss
        f.check(QTime(11, 30, 0));
        QCOMPARE(f.warnings(113).size(), 1);

        // Another address, and the frame notices, are not the test page.
        QVERIFY(f.page(QTime(11, 31, 0), 1234560));
        QVERIFY(!f.errorLines().join('\n').contains("seen again"));
        QVERIFY(f.page(QTime(11, 32, 0), 1234567));
        QVERIFY(f.errorLines().contains("System: Test page Site test (1234567) seen again after "
                                        "67 min"));
        QCOMPARE(f.checks().value(0).status, health::Status::Ok);
        QCOMPARE(f.checks().value(0).since, QDateTime(kStart.date(), QTime(11, 32, 0)));

        // The next miss is warned again.
        f.check(QTime(11, 43, 5));
        QCOMPARE(f.warnings(113).size(), 2);
    }

    // Counted from start-up when no page has come; the socket tick runs the check.
    void aPageNeverSeenIsMissedFromStartUp() {
        Fixture f({{QStringLiteral("Weekly"), QStringLiteral("8"), QStringLiteral("d"),
                    QStringLiteral("2"), QStringLiteral("yes")}});
        QCOMPARE(f.checks().value(0).state, QStringLiteral("waiting since 15 Jan 2026 10:00:00"));
        f.at(QTime(10, 3, 0));
        f.sys().tmrSockets_Timer();
        QCOMPARE(f.warnings(113).size(), 0);
        f.at(QTime(10, 3, 5));
        f.sys().tmrSockets_Timer();
        QCOMPARE(f.warnings(113).size(), 1);
        QCOMPARE(f.warnings(113).first().text,
                 QStringLiteral("Test page Weekly (8) not seen since 15 Jan 2026 10:00:00"));
        QCOMPARE(f.warnings(113).first().socket, 0);
    }

    // A function given must match; empty matches any.
    void theFunctionMustMatchWhenGiven() {
        Fixture f({{QStringLiteral("Any"), QStringLiteral("16"), QString(), QStringLiteral("5"),
                    QStringLiteral("Y")},
                   {QStringLiteral("Only D"), QStringLiteral("0000016"), QStringLiteral("D"),
                    QStringLiteral("5"), QStringLiteral("Y")}});
        QVERIFY(f.connected());
        QVERIFY(f.page(QTime(10, 4, 0), 16, 'B'));
        f.check(QTime(10, 6, 30));
        QCOMPARE(f.warnings(113).size(), 1);
        QCOMPARE(f.warnings(113).first().text,
                 QStringLiteral("Test page Only D (0000016) not seen since 15 Jan 2026 10:00:00"));
        QCOMPARE(f.warnings(113).first().socket, 1);
        QVERIFY(f.page(QTime(10, 7, 0), 16, 'D'));
        QVERIFY(
            f.errorLines().contains("System: Test page Only D (0000016) seen again after 7 min"));
        QCOMPARE(f.checks().value(0).state, QStringLiteral("last seen 15 Jan 2026 10:07:00"));
        QCOMPARE(f.checks().value(1).state, QStringLiteral("last seen 15 Jan 2026 10:07:00"));
    }

    // Rows that cannot be used are reported as they are read and left out;
    // rows not active are watched by nobody.
    void rowsThatCannotBeUsedAreReportedAndSkipped() {
        Fixture f({
            {QStringLiteral("Good"), QStringLiteral("1234567"), QString(), QStringLiteral("10"),
             QStringLiteral("Y")},
            {QStringLiteral("Good"), QStringLiteral("7654321"), QString(), QStringLiteral("10"),
             QStringLiteral("Y")},
            {QStringLiteral("Letters"), QStringLiteral("12a"), QString(), QStringLiteral("10"),
             QStringLiteral("Y")},
            {QStringLiteral("Off"), QStringLiteral("5"), QString(), QStringLiteral("10"),
             QStringLiteral("N")},
            {QStringLiteral("Rarely"), QStringLiteral("5"), QString(), QStringLiteral("ten"),
             QStringLiteral("Y")},
            {QStringLiteral("Wrong function"), QStringLiteral("5"), QStringLiteral("E"),
             QStringLiteral("10"), QStringLiteral("Y")},
            {QString(), QStringLiteral("5"), QString(), QStringLiteral("10"), QStringLiteral("Y")},
        });
        const QStringList reasons = {
            QStringLiteral("a row of the Watches table has no Description; it is not used"),
            QStringLiteral("Watch Good: a second row with this Description is not used"),
            QStringLiteral("Watch Letters: the Address \"12a\" is not a pager address (1 to 7 "
                           "digits); the row is not used"),
            QStringLiteral("Watch Rarely: EveryMinutes \"ten\" is not a whole number from 1 to "
                           "44640; the row is not used"),
            QStringLiteral("Watch Wrong function: the Function \"E\" is not A, B, C, D or empty; "
                           "the row is not used"),
        };
        QStringList warned;
        for (const TestSystem::Warning& w : f.warnings(114))
            warned << w.text;
        QCOMPARE(warned, reasons);
        for (const QString& reason : reasons)
            QVERIFY2(f.errorLines().contains("System: " + reason.toUtf8()), qPrintable(reason));
        QCOMPARE(f.checks().size(), 1);
        QCOMPARE(f.checks().first().name, QStringLiteral("watch:Good"));
    }

    void theWatchesGridIsEditedAndCommittedInTheWindow() {
        Fixture f({});
        frmQuorlan& w = f.sys().window;
        QCOMPARE(w.dgWatches.DataSource->FieldCount(), 5);
        QCOMPARE(w.dgWatches.ForeColor, colours::Blue);
        w.Click(QStringLiteral("cmdEditWatches"));
        QCOMPARE(w.cmdEditWatches.Caption, QStringLiteral("Commit"));
        QCOMPARE(w.dgWatches.ForeColor, colours::DarkRed);
        f.addRow({QStringLiteral("Site test"), QStringLiteral("1234567"), QStringLiteral("A"),
                  QStringLiteral("15"), QStringLiteral("Y")});
        w.Click(QStringLiteral("cmdEditWatches"));
        QCOMPARE(w.Refusal, QString());
        QCOMPARE(w.cmdEditWatches.Caption, QStringLiteral("Edit"));
        QCOMPARE(w.dgWatches.ForeColor, colours::Blue);
        QCOMPARE(
            f.folder.rows(QStringLiteral("Ombrixsys.mdb"), QStringLiteral("SELECT * FROM Watches")),
            (QList<QVariantList>{{QStringLiteral("Site test"), QStringLiteral("1234567"),
                                  QStringLiteral("A"), QStringLiteral("15"),
                                  QStringLiteral("Y")}}));
        QVERIFY(f.errorLines().contains("Event: Watches opened for EDIT"));
        QVERIFY(f.errorLines().contains("Event: Watches table committed"));
        // The commit is loaded at once, and counts from then.
        QCOMPARE(f.checks().size(), 1);
        QCOMPARE(f.checks().first().state, QStringLiteral("waiting since 15 Jan 2026 10:00:00"));
    }

    // A commit that leaves a watch as it was keeps its miss: no second
    // warning, no fresh count.
    void aCommitKeepsTheWatchesItLeavesAsTheyWere() {
        Fixture f({{QStringLiteral("Site test"), QStringLiteral("1234567"), QString(),
                    QStringLiteral("1"), QStringLiteral("Y")}});
        f.check(QTime(10, 2, 5));
        QCOMPARE(f.warnings(113).size(), 1);
        f.at(QTime(10, 5, 0));
        f.sys().commands.Edit(config::EditedTable::Watches);
        f.addRow({QStringLiteral("Another"), QStringLiteral("1"), QString(), QStringLiteral("1"),
                  QStringLiteral("Y")});
        QCOMPARE(f.sys().commands.Commit(config::EditedTable::Watches), QString());
        QCOMPARE(f.checks().size(), 2);
        QCOMPARE(f.checks().value(0).name, QStringLiteral("watch:Another"));
        QCOMPARE(f.checks().value(1).status, health::Status::Degraded);
        f.check(QTime(10, 6, 0));
        QCOMPARE(f.warnings(113).size(), 1);
        f.check(QTime(10, 7, 5));
        QCOMPARE(f.warnings(113).size(), 2);
        QCOMPARE(f.warnings(113).last().text,
                 QStringLiteral("Test page Another (1) not seen since 15 Jan 2026 10:05:00"));
    }

    // The console edits the same table through the same commands: a row added
    // there is in the table, shown in the console's grid and watched.
    void theConsoleEditsTheWatchesTable() {
        Fixture f({});
        ConsoleClient console(f.sys(), TestPort());
        QVERIFY(console.login());
        const QJsonObject shown = console.control(QStringLiteral("dgWatches"));
        QCOMPARE(shown.value(QStringLiteral("columns")).toArray().toVariantList(),
                 (QVariantList{QStringLiteral("Description"), QStringLiteral("Address"),
                               QStringLiteral("Function"), QStringLiteral("EveryMinutes"),
                               QStringLiteral("Active")}));
        QCOMPARE(shown.value(QStringLiteral("tab")).toInt(), frmQuorlan::kSystemLogsTab);
        const QJsonObject click{{QStringLiteral("click"), QStringLiteral("cmdEditWatches")}};
        QCOMPARE(console.command(click), 200);
        QCOMPARE(console.control(QStringLiteral("cmdEditWatches"))
                     .value(QStringLiteral("caption"))
                     .toString(),
                 QStringLiteral("Commit"));
        QCOMPARE(console.command(
                     {{QStringLiteral("grid"), QStringLiteral("dgWatches")},
                      {QStringLiteral("addRow"),
                       QJsonObject{{QStringLiteral("Description"), QStringLiteral("Paging test")},
                                   {QStringLiteral("Address"), QStringLiteral("2000001")},
                                   {QStringLiteral("EveryMinutes"), QStringLiteral("60")},
                                   {QStringLiteral("Active"), QStringLiteral("Y")}}}}),
                 200);
        QCOMPARE(console.command(click), 200);
        QCOMPARE(f.folder.rows(QStringLiteral("Ombrixsys.mdb"),
                               QStringLiteral("SELECT Description, Address, EveryMinutes FROM "
                                              "Watches")),
                 (QList<QVariantList>{{QStringLiteral("Paging test"), QStringLiteral("2000001"),
                                       QStringLiteral("60")}}));
        const QJsonObject committed = console.control(QStringLiteral("dgWatches"));
        QCOMPARE(committed.value(QStringLiteral("editable")).toBool(), false);
        QCOMPARE(committed.value(QStringLiteral("rows")).toArray().first().toArray().first(),
                 QJsonValue(QStringLiteral("Paging test")));
        QCOMPARE(f.checks().value(0).name, QStringLiteral("watch:Paging test"));

        // A row that cannot be used is saved as typed and reported when loaded.
        QCOMPARE(console.command(click), 200);
        QCOMPARE(console.command({{QStringLiteral("grid"), QStringLiteral("dgWatches")},
                                  {QStringLiteral("row"), 0},
                                  {QStringLiteral("column"), 3},
                                  {QStringLiteral("value"), QStringLiteral("hourly")}}),
                 200);
        QCOMPARE(console.command(click), 200);
        QCOMPARE(f.warnings(114).size(), 1);
        QVERIFY(f.checks().isEmpty());
    }
};

QTEST_GUILESS_MAIN(PageWatchTest)
#include "page-watch-test.moc"
