// The operator window rendered offscreen from a real start-up: caption, tabs,
// grids and panes as the operator sees them. Writes a PNG of each tab into the
// build folder (window-tab-N.png).

#include "WorkFolder.h"

#include "gui/MainWindow.h"
#include "gui/RecordsetTableModel.h"

#include <QApplication>
#include <QColor>
#include <QDir>
#include <QGroupBox>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTableView>
#include <QTest>

class WindowTest : public QObject {
    Q_OBJECT

    static QTableView* Grid(MainWindow& view, const char* name) {
        return qobject_cast<QTableView*>(view.widget(QLatin1String(name)));
    }

private slots:
    void showsTheRelayAsTheOperatorSeesIt() {
        WorkFolder folder(true);
        TestSystem t(folder.path());
        MainWindow view(t->window);
        t->window.messageBoxHandler = [&](const QString& text) { t.messageBoxes << text; };
        QVERIFY(t->Form_Load());
        QVERIFY(view.isVisible());
        QCOMPARE(view.windowTitle(), QStringLiteral("Ombrix  V2.0 (101)"));

        QStringList tabs;
        for (int i = 0; i < view.tabs()->count(); ++i)
            tabs << view.tabs()->tabText(i);
        QCOMPARE(tabs, (QStringList{QStringLiteral("Input"), QStringLiteral("Outputs"),
                                    QStringLiteral("System Logs"), QStringLiteral("Config"),
                                    QStringLiteral("Delayed"), QStringLiteral("Decoder")}));
        QCOMPARE(view.tabs()->currentIndex(), 5);

        QStringList menus;
        for (QAction* action : view.menuBar()->actions())
            menus << action->text();
        QCOMPARE(menus, (QStringList{QStringLiteral("File"), QStringLiteral("Minimise")}));

        // Grids filled from the database, in blue.
        const QColor blue(0, 0, 255);
        QTableView* startup = Grid(view, "dgStartup");
        QCOMPARE(startup->model()->rowCount(), 16);
        QCOMPARE(startup->model()->headerData(0, Qt::Horizontal).toString(),
                 QStringLiteral("Key_Description"));
        QCOMPARE(startup->model()->index(0, 0).data().toString(), QStringLiteral("ServerID"));
        QCOMPARE(startup->model()->index(0, 0).data(Qt::ForegroundRole).value<QColor>(), blue);
        QCOMPARE(startup->columnWidth(0), 100);
        QTableView* outputs = Grid(view, "dgOutputs");
        QCOMPARE(outputs->model()->rowCount(), 2);
        QCOMPARE(outputs->model()->index(1, 0).data().toString(), QStringLiteral("Client B"));
        QCOMPARE(outputs->model()->index(0, 0).data(Qt::ForegroundRole).value<QColor>(), blue);
        QCOMPARE(Grid(view, "dgTelstra")->model()->index(0, 1).data().toString(),
                 QStringLiteral("5001"));
        QCOMPARE(Grid(view, "dgErrorCodes")->model()->rowCount(), 34);
        QCOMPARE(
            Grid(view, "dgTelstra")->model()->flags(Grid(view, "dgTelstra")->model()->index(0, 0)) &
                Qt::ItemIsEditable,
            Qt::ItemFlags());

        // Log panes, newest line first.
        auto* errors = qobject_cast<QPlainTextEdit*>(view.widget(QStringLiteral("txbLogErrors")));
        QVERIFY(errors->toPlainText().startsWith(QStringLiteral("15 Jan 2026 10:00:00  System: ")));
        QVERIFY(errors->toPlainText().contains(QStringLiteral("System log intialised")));
        auto* outputsPane =
            qobject_cast<QPlainTextEdit*>(view.widget(QStringLiteral("txbLogOutputs")));
        QVERIFY(outputsPane->toPlainText().startsWith(
            QStringLiteral("10:00:00  System: Check for duplicate ports.\n")));
        QVERIFY(outputsPane->toPlainText().endsWith(
            QStringLiteral("10:00:00  Outputs Log intialised\n")));

        // One picture per tab for the record.
        for (int i = 0; i < view.tabs()->count(); ++i) {
            view.tabs()->setCurrentIndex(i);
            QCOMPARE(t->window.SSTab1.Value, i);
            QVERIFY(view.grab().save(QDir(QStringLiteral(QT_TESTCASE_BUILDDIR))
                                         .filePath(QStringLiteral("window-tab-%1.png").arg(i))));
        }
        QVERIFY(t.messageBoxes.isEmpty());
    }

    void editAndCommitOfTheStartUpGridThroughTheButton() {
        WorkFolder folder(true);
        TestSystem t(folder.path());
        MainWindow view(t->window);
        t->window.messageBoxHandler = [&](const QString& text) { t.messageBoxes << text; };
        QVERIFY(t->Form_Load());
        view.tabs()->setCurrentIndex(3);
        auto* button = qobject_cast<QPushButton*>(view.widget(QStringLiteral("cmdGeneralEdit")));
        QVERIFY(button->isEnabled());
        QTest::mouseClick(button, Qt::LeftButton);
        QCOMPARE(button->text(), QStringLiteral("Commit"));
        QTableView* grid = Grid(view, "dgStartup");
        QCOMPARE(grid->model()->index(0, 0).data(Qt::ForegroundRole).value<QColor>(),
                 QColor(0xC0, 0, 0));
        QVERIFY(grid->model()->flags(grid->model()->index(0, 1)) & Qt::ItemIsEditable);
        QVERIFY(grid->model()->setData(grid->model()->index(0, 1), QStringLiteral("Relay-North")));
        QTest::mouseClick(button, Qt::LeftButton);
        QCOMPARE(button->text(), QStringLiteral("Edit"));
        QCOMPARE(grid->model()->index(0, 0).data(Qt::ForegroundRole).value<QColor>(),
                 QColor(0, 0, 255));
        QCOMPARE(grid->model()->index(0, 1).data().toString(), QStringLiteral("Relay-North"));
        QCOMPARE(folder.setting(QStringLiteral("ServerID")).toString(),
                 QStringLiteral("Relay-North"));
        QVERIFY(t->window.txbLogErrors.Text.startsWith(
            QStringLiteral("15 Jan 2026 10:00:00  Event: StartUp database commited")));
        QVERIFY(t->window.txbLogErrors.Text.contains(
            QStringLiteral("Event: StartUp database opened for edit")));
    }

    void anOutputIsAddedAndAnotherDeletedInTheGrid() {
        WorkFolder folder(true);
        TestSystem t(folder.path());
        MainWindow view(t->window);
        t->window.messageBoxHandler = [&](const QString& text) { t.messageBoxes << text; };
        QVERIFY(t->Form_Load());
        view.tabs()->setCurrentIndex(1);
        auto* button = qobject_cast<QPushButton*>(view.widget(QStringLiteral("cmdEditOuputs")));
        QTableView* grid = Grid(view, "dgOutputs");
        QCOMPARE(grid->model()->rowCount(), 2);
        QTest::mouseClick(button, Qt::LeftButton);
        QCOMPARE(grid->model()->rowCount(), 3); // the empty row for a new output
        QVERIFY(grid->model()->setData(grid->model()->index(2, 0), QStringLiteral("Client C")));
        QVERIFY(grid->model()->setData(grid->model()->index(2, 1), QStringLiteral("6003")));
        QVERIFY(grid->model()->setData(grid->model()->index(2, 2), QStringLiteral("Y")));
        QCOMPARE(grid->model()->rowCount(), 4);
        grid->selectRow(0);
        QTest::keyClick(grid, Qt::Key_Delete);
        QTest::mouseClick(button, Qt::LeftButton);
        QCOMPARE(button->text(), QStringLiteral("Edit"));
        QCOMPARE(folder.rows(
                     QStringLiteral("Ombrixsys.mdb"),
                     QStringLiteral("SELECT Description, Port FROM Outputs ORDER BY Description")),
                 (QList<QVariantList>{{QStringLiteral("Client B"), QStringLiteral("6002")},
                                      {QStringLiteral("Client C"), QStringLiteral("6003")}}));
        QCOMPARE(grid->model()->rowCount(), 2); // read-only again: no empty row
        QCOMPARE(t->gOutputCount, 2);
    }

    void warningBoxShowsAndClears() {
        WorkFolder folder;
        TestSystem t(folder.path());
        MainWindow view(t->window);
        t->window.messageBoxHandler = [&](const QString& text) { t.messageBoxes << text; };
        QVERIFY(t->Form_Load());
        t->ShowWarning(ErrorCode::ConnectTelstraPort, QStringLiteral("Connection refused"), 1);
        auto* box = qobject_cast<QGroupBox*>(view.widget(QStringLiteral("frmeSystemError")));
        QVERIFY(box->isVisible());
        QCOMPARE(box->title(), QStringLiteral("System Error"));
        auto* text = qobject_cast<QPlainTextEdit*>(view.widget(QStringLiteral("txbSystemError")));
        QVERIFY(text->toPlainText().contains(
            QStringLiteral("Windows reports: \n\nConnection refused")));
        QVERIFY(view.grab().save(QDir(QStringLiteral(QT_TESTCASE_BUILDDIR))
                                     .filePath(QStringLiteral("window-warning.png"))));
        QTest::mouseClick(view.widget(QStringLiteral("cmdClearWarning")), Qt::LeftButton);
        QVERIFY(!box->isVisible());
        QVERIFY(!t->window.frmeSystemError.Visible);
    }

    void closingTheWindowShutsDown() {
        WorkFolder folder;
        TestSystem t(folder.path());
        MainWindow view(t->window);
        t->window.messageBoxHandler = [&](const QString& text) { t.messageBoxes << text; };
        QVERIFY(t->Form_Load());
        t->gMessID = 1000321;
        view.close();
        QVERIFY(t->IsUnloaded());
        QCOMPARE(folder.setting(QStringLiteral("MessID")).toString(), QStringLiteral("1000321"));
    }
};

QTEST_MAIN(WindowTest)
#include "window-test.moc"
