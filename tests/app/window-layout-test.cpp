// The window model: layout on resizing, the grids' bindings at start-up and the
// notices of the two pop-up boxes.

#include "TestSystem.h"

#include "platform/Recordset.h"

#include <QFile>
#include <QSignalSpy>
#include <QTest>

class WindowLayoutTest : public QObject {
    Q_OBJECT

private slots:
    void resizeLaysOutPanesGridsAndBoxes() {
        WorkFolder folder;
        TestSystem t(folder.path());
        QVERIFY(t->Form_Load());
        frmQuorlan& w = t->window;
        w.Width = 15000;
        w.Height = 9000;
        w.Form_Resize();
        QCOMPARE(w.SSTab1.Width, 14670);
        QCOMPARE(w.SSTab1.Height, 8400);
        for (const Control* c :
             std::initializer_list<const Control*>{&w.txbLogTelstra, &w.txbLogOutputs,
                                                   &w.txbLogErrors, &w.dgDelayed, &w.txbSatDecoder})
            QCOMPARE(c->Width, 14370);
        QCOMPARE(w.txbLogTelstra.Height, 6500);
        QCOMPARE(w.txbLogOutputs.Height, 5600);
        QCOMPARE(w.txbLogErrors.Height, 6400);
        QCOMPARE(w.dgDelayed.Height, 7600);
        QCOMPARE(w.txbSatDecoder.Height, 6900);
        QCOMPARE(w.frmeInfoBox.Width, 9900);
        QCOMPARE(w.frmeInfoBox.Left, 7500 - 4950);
        QCOMPARE(w.frmeInfoBox.Top, 4500 - w.frmeInfoBox.Height);
        QCOMPARE(w.frmeSystemError.Left, 7500 - 3342);
        QCOMPARE(w.frmeSystemError.Top, 4500 - 2838);

        // Narrower than 10000: nothing moves; back to 10000 or more: laid out again.
        w.Width = 9999;
        w.Height = 12000;
        w.Form_Resize();
        QCOMPARE(w.SSTab1.Height, 8400);
        QCOMPARE(w.Height, 12000);
        w.Width = 10000;
        w.Form_Resize();
        QCOMPARE(w.SSTab1.Width, 9670);
        QCOMPARE(w.SSTab1.Height, 11400);

        // Too low: raised to 8000 first, then laid out with that height.
        w.Height = 7000;
        w.Form_Resize();
        QCOMPARE(w.Height, 8000);
        QCOMPARE(w.SSTab1.Height, 7400);
        QCOMPARE(w.frmeSystemError.Top, 4000 - 2838);
    }

    void startUpBindsEveryGridInBlueAndPlacesTheWarningBox() {
        WorkFolder folder(true);
        TestSystem t(folder.path());
        QVERIFY(t->Form_Load());
        frmQuorlan& w = t->window;
        for (DataGrid* grid :
             {&w.dgTelstra, &w.dgOutputs, &w.dgStartup, &w.dgErrorCodes, &w.dgWatches}) {
            QVERIFY2(grid->DataSource && grid->DataSource->State() == platform::ObjectState::Open,
                     qPrintable(grid->Name));
            QCOMPARE(grid->ForeColor, colours::Blue);
            // Enabling the carriers at start-up leaves their table open for writing.
            QCOMPARE(grid->DataSource->LockType, grid == &w.dgTelstra ? 3 : 1);
        }
        QCOMPARE(w.dgTelstra.ColumnWidth.size(), 9);
        QCOMPARE(w.dgOutputs.ColumnWidth,
                 (QMap<int, int>{
                     {0, 800}, {1, 2000}, {2, 500}, {3, 500}, {4, 700}, {5, 2500}, {6, 1500}}));
        QVERIFY(w.dgErrorCodes.ColumnWidth.isEmpty());
        QCOMPARE(w.dgWatches.ColumnWidth.size(), 5);
        QVERIFY(!w.dgDelayed.DataSource); // shown only on the Delayed tab
        QCOMPARE(t->delayedDb.rsDelayed->State(), platform::ObjectState::Open);
        QCOMPARE(t->db.gOutputCount, 2);
        QCOMPARE(t->db.gTelstraCount, 1);
        QVERIFY(!w.frmeSystemError.Visible);
        QCOMPARE(w.frmeSystemError.Left, 1680);
        QCOMPARE(w.txbSystemError.Width, 6300);
        QCOMPARE(w.cmdClearWarning.Left, 5808);
    }

    void aTableThatDoesNotOpenLeavesOnlyItsGridUnbound() {
        WorkFolder folder;
        folder.exec(QStringLiteral("Ombrixsys.mdb"), QStringLiteral("DROP TABLE Outputs"));
        folder.exec(QStringLiteral("Ombrixsys.mdb"), QStringLiteral("DROP TABLE Telstra"));
        folder.exec(
            QStringLiteral("Ombrixsys.mdb"),
            QStringLiteral("CREATE TABLE Telstra (Description TEXT, Port TEXT, Active TEXT)"));
        folder.exec(QStringLiteral("Ombrixsys.mdb"), QStringLiteral("PRAGMA user_version = 1"));
        TestSystem t(folder.path());
        QVERIFY(t->Form_Load());
        frmQuorlan& w = t->window;
        QVERIFY(!w.dgOutputs.DataSource);
        QVERIFY(w.dgOutputs.ColumnWidth.isEmpty());
        QCOMPARE(t.warningNumbers(), QList<int>{304});
        QVERIFY(w.dgStartup.DataSource && w.dgErrorCodes.DataSource && w.dgTelstra.DataSource);
        QCOMPARE(w.dgTelstra.ColumnWidth, (QMap<int, int>{{0, 800}, {1, 2000}, {2, 500}}));
    }

    void tooManyRowsAreCutWithANotice() {
        WorkFolder folder;
        for (int i = 0; i < 51; ++i)
            folder.exec(QStringLiteral("Ombrixsys.mdb"),
                        QStringLiteral(
                            "INSERT INTO Outputs (Description, Port, Active) VALUES (?, ?, 'Y')"),
                        {QStringLiteral("Out %1").arg(i, 2, 10, QLatin1Char('0')),
                         QString::number(7000 + i)});
        for (const char* name : {"C", "A", "B"})
            folder.exec(
                QStringLiteral("Ombrixsys.mdb"),
                QStringLiteral(
                    "INSERT INTO Telstra (Description, Port, Active) VALUES (?, '5001', 'Y')"),
                {QLatin1String(name)});
        TestSystem t(folder.path());
        QVERIFY(t->Form_Load());
        QCOMPARE(t->db.gOutputCount, 50);
        QCOMPARE(t->db.gTelstraCount, 2);
        QVERIFY(t->window.frmeInfoBox.Visible);
        QFile log(folder.file(QStringLiteral("LOGS/Quorlan")));
        QVERIFY(log.open(QIODevice::ReadOnly));
        QCOMPARE(
            log.readAll().count(
                "\tOutput\tSystem: No of outputs in database is greater than MAX Allowed output "
                "sockets of [50]\r\n"),
            1);
        QVERIFY(t->window.txbLogTelstra.Text.contains(QStringLiteral(
            "System: No of Telstra sockets in database is greater than MAX Allowed of [2]. "
            "Only the maximum no of sockets will be operational.")));
        // The box shows the latest notice: enabling the carriers reopens their table last.
        QCOMPARE(
            t->window.txbInfo.Text,
            QStringLiteral(
                "System: No of Telstra sockets in database is greater than MAX Allowed of [2]. "
                "Only the maximum no of sockets will be operational."));
        t->window.cmdDoneInfo_Click();
        QVERIFY(!t->window.frmeInfoBox.Visible);
    }

    void delayedTabShowsTheListAndLeavingItClosesIt() {
        WorkFolder folder;
        for (int i = 0; i < 3; ++i)
            folder.exec(QStringLiteral("delayed.mdb"),
                        QStringLiteral("INSERT INTO Delayed VALUES (?, ?, 'Client A', ?)"),
                        {1000000 + i, QStringLiteral("2026-01-15T10:00:0%1.000").arg(i),
                         QByteArray("\x02pkt\x03")});
        TestSystem t(folder.path());
        QVERIFY(t->Form_Load());
        t->window.SSTab1_Click(4);
        QVERIFY(t->window.dgDelayed.DataSource);
        QCOMPARE(t->window.dgDelayed.DataSource->RecordCount(), 3L);
        QCOMPARE(t->window.dgDelayed.DataSource->Field(QStringLiteral("MessID")).toInt(), 1000002);
        QCOMPARE(t->window.dgDelayed.ColumnWidth.value(3), 7000);
        t->window.SSTab1_Click(0);
        QCOMPARE(t->delayedDb.rsDelayed->State(), platform::ObjectState::Closed);
        QVERIFY(!t->window.dgDelayed.DataSource ||
                t->window.dgDelayed.DataSource->State() == platform::ObjectState::Closed);
    }

    void menuCommandsActAtTheNextTick() {
        WorkFolder folder;
        TestSystem t(folder.path());
        QVERIFY(t->Form_Load());
        t.clock.advanceSecs(60);
        t->window.MenuClick(QStringLiteral("mnuForceBackup"));
        t->window.MenuClick(QStringLiteral("mnuCheckDelayedDbase"));
        QCOMPARE(t->logs.gNextBackUp, t.clock.now());
        QCOMPARE(t->delayedDb.gNextCompactCheck, t.clock.now());
        t->window.MenuClick(QStringLiteral("mnuMinimise"));
        QCOMPARE(t->window.WindowState, 1);
        QSignalSpy unload(&t->window, &frmQuorlan::unloadRequested);
        t->window.MenuClick(QStringLiteral("mnuExit"));
        QVERIFY(t->IsUnloaded());
    }

    // A view redraws on each notice: a page to 50 clients writes 51 lines, and
    // a notice per line would redraw the window 51 times for one page.
    void aBurstOfChangesMakesOneNoticeAndACommandShowsAtOnce() {
        WorkFolder folder;
        TestSystem t(folder.path());
        QVERIFY(t->Form_Load());
        QSignalSpy notices(&t->window, &frmQuorlan::changed);
        for (int i = 0; i < 1000; ++i) {
            t->logs.LogOutput(QByteArray("Out: Client A\tline ") + QByteArray::number(i));
            t->window.lbSATBufferCtr.Caption = QString::number(i);
            t->window.Changed();
        }
        QVERIFY(
            t->window.txbLogOutputs.Text.contains(QStringLiteral("  Out: Client A\tline 999\r\n")));
        QCOMPARE(notices.size(), 0);
        QTRY_COMPARE_WITH_TIMEOUT(notices.size(), 1, 1000);
        QTest::qWait(3 * frmQuorlan::kNotifyInterval);
        QCOMPARE(notices.size(), 1); // nothing changed since

        // An operator's command is shown without waiting for the next notice.
        t->logs.LogOutput(QByteArray("Out: Client A\tone more"));
        t->window.Click(QStringLiteral("cmdEnable"));
        QCOMPARE(notices.size(), 2);
        QTest::qWait(3 * frmQuorlan::kNotifyInterval);
        QCOMPARE(notices.size(), 2); // the line before it was in that notice
    }
};

QTEST_GUILESS_MAIN(WindowLayoutTest)
#include "window-layout-test.moc"
