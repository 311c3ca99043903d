// The operator window rendered offscreen from a real start-up: caption, tabs,
// grids and panes as the operator sees them. Writes a PNG of each tab into the
// build folder (window-tab-N.png), and one of the Outputs tab with a client
// connected (window-outputs.png).

#include "TestPorts.h"
#include "TestSystem.h"

#include "app/ConnectionStates.h"
#include "gui/MainWindow.h"
#include "gui/RecordsetTableModel.h"

#include <QApplication>
#include <QColor>
#include <QDir>
#include <QGroupBox>
#include <QHeaderView>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTableView>
#include <QTest>

class WindowTest : public QObject {
    Q_OBJECT

    static QTableView* Grid(MainWindow& view, const char* name) {
        return qobject_cast<QTableView*>(view.widget(QLatin1String(name)));
    }

    static QString Header(QTableView* grid, int column) {
        return grid->model()->headerData(column, Qt::Horizontal).toString();
    }

    static int LastColumn(QTableView* grid) { return grid->model()->columnCount() - 1; }

    static QString Cell(QTableView* grid, int row, int column) {
        return grid->model()->index(row, column).data().toString();
    }

    // The model redraws the window as it does every second and on every change.
    static void Redraw(TestSystem& t) {
        for (int i = 0; i < 3; ++i)
            t->window.ChangedNow();
    }

    // A relay on a work folder (the demo's, unless told otherwise) with its
    // window, and the message boxes it raises collected for the test.
    struct Shown {
        WorkFolder folder;
        TestSystem t;
        MainWindow view;

        explicit Shown(bool demo = true) : folder(demo), t(folder.path()), view(t->window) {
            t->window.messageBoxHandler = [this](const QString& text) { t.messageBoxes << text; };
        }
    };

    // Two outputs on ports of this test, so that a client can connect to the first.
    struct TwoOutputs {
        WorkFolder folder{true};
        quint16 firstPort = TestPort();
        std::unique_ptr<TestSystem> t;
        std::unique_ptr<MainWindow> view;

        TwoOutputs() {
            folder.setOutputs({{QStringLiteral("Client A"), QString::number(firstPort)},
                               {QStringLiteral("Client B"), QString::number(TestPort())}});
            t = std::make_unique<TestSystem>(folder.path());
            view = std::make_unique<MainWindow>((*t)->window);
            (*t)->window.messageBoxHandler = [this](const QString& text) {
                t->messageBoxes << text;
            };
        }
        System& sys() { return *t->system; }
    };

private slots:
    void showsTheRelayAsTheOperatorSeesIt() {
        Shown shown;
        auto& [folder, t, view] = shown;
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
        QCOMPARE(startup->model()->rowCount(), 19);
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
        QCOMPARE(Grid(view, "dgErrorCodes")->model()->rowCount(), 36);
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
        Shown shown;
        auto& [folder, t, view] = shown;
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
        Shown shown;
        auto& [folder, t, view] = shown;
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
        QCOMPARE(t->db.gOutputCount, 2);
    }

    void warningBoxShowsAndClears() {
        Shown shown(false);
        auto& [folder, t, view] = shown;
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

    void aColumnTheOperatorResizesKeepsItsWidthThroughRedraws() {
        Shown shown;
        auto& [folder, t, view] = shown;
        QVERIFY(t->Form_Load());
        view.tabs()->setCurrentIndex(1);
        QTableView* outputs = Grid(view, "dgOutputs");
        QCOMPARE(outputs->columnWidth(1), 133); // the model's width comes first
        outputs->horizontalHeader()->resizeSection(1, 260);
        outputs->horizontalHeader()->resizeSection(0, 40);
        Redraw(t);
        QCOMPARE(outputs->columnWidth(1), 260);
        QCOMPARE(outputs->columnWidth(0), 40);

        // Bound again to a fresh recordset with the same fields, after an edit.
        auto* edit = qobject_cast<QPushButton*>(view.widget(QStringLiteral("cmdEditOuputs")));
        QTest::mouseClick(edit, Qt::LeftButton);
        QTest::mouseClick(edit, Qt::LeftButton);
        QCOMPARE(edit->text(), QStringLiteral("Edit"));
        Redraw(t);
        QCOMPARE(outputs->columnWidth(1), 260);
        QCOMPARE(outputs->columnWidth(0), 40);
    }

    void everyHeaderReadsWhole() {
        Shown shown;
        auto& [folder, t, view] = shown;
        QVERIFY(t->Form_Load());
        QVERIFY(t->delayedDb.AddDelayed("\x02"
                                        "Stored\r\x03",
                                        QStringLiteral("Client A"), t->delayedDb.gMessID++));
        view.tabs()->setCurrentIndex(4); // the Delayed grid is bound while its tab is shown
        QStringList headers;
        for (const char* name : {"dgTelstra", "dgOutputs", "dgStartup", "dgErrorCodes", "dgDelayed",
                                 "dgPublishers", "dgWatches"}) {
            QTableView* grid = Grid(view, name);
            QVERIFY2(grid->model()->columnCount() > 0, name);
            for (int column = 0; column < grid->model()->columnCount(); ++column) {
                const QString header = Header(grid, column);
                headers << header;
                QVERIFY2(grid->columnWidth(column) >=
                             grid->horizontalHeader()->fontMetrics().horizontalAdvance(header),
                         qPrintable(QLatin1String(name) + QLatin1Char(' ') + header));
            }
        }
        for (const char* header : {"Description", "Active", "RawOutput", "State"})
            QVERIFY2(headers.contains(QLatin1String(header)), header);
    }

    void gridsTakeTheWidthOfALargerWindow() {
        Shown shown;
        auto& [folder, t, view] = shown;
        QVERIFY(t->Form_Load());
        view.tabs()->setCurrentIndex(1);
        QTableView* outputs = Grid(view, "dgOutputs");
        QWidget* publishers = view.widget(QStringLiteral("dgPublishers"));
        const int width = outputs->width();
        const int publishersLeft = publishers->x();
        view.resize(view.width() + 300, view.height());
        QTRY_VERIFY(outputs->width() >= width + 280);
        QCOMPARE(publishers->x() - publishersLeft, outputs->width() - width);
        QCOMPARE(publishers->width(), Pixels(t->window.dgPublishers.Width));
        // The page keeps its left margin on the right (to a pixel: twips round down).
        const int rightMargin =
            view.tabs()->currentWidget()->width() - (publishers->x() + publishers->width());
        QVERIFY2(qAbs(rightMargin - outputs->x()) <= 1, qPrintable(QString::number(rightMargin)));
    }

    void theStateColumnTellsAConnectedClientFromAnAbsentOne() {
        TwoOutputs f;
        QVERIFY(f.sys().Form_Load());
        f.sys().outputSockets.UpdateOutputClients(); // the first heartbeat opens the ports
        LoopbackClient client(f.firstPort);
        QVERIFY(AcceptedOnOutput(f.sys(), client, 0));
        app::ShowConnectionStates(f.sys());
        Redraw(*f.t);

        QTableView* outputs = Grid(*f.view, "dgOutputs");
        const int state = LastColumn(outputs);
        QCOMPARE(Header(outputs, state), QStringLiteral("State"));
        QCOMPARE(Cell(outputs, 0, 0), QStringLiteral("Client A"));
        QCOMPARE(Cell(outputs, 0, state), QStringLiteral("Connected since 10:00:00"));
        QCOMPARE(Cell(outputs, 1, state), QStringLiteral("Listening for client since 10:00:00"));

        // The client leaves a minute later: its row says so from then.
        f.t->clock.advanceSecs(60);
        client.socket.disconnectFromHost();
        QTRY_VERIFY(f.sys().outputSockets.Socket(0).State() != platform::SocketState::Connected);
        app::ShowConnectionStates(f.sys());
        Redraw(*f.t);
        QVERIFY2(Cell(outputs, 0, state).endsWith(QStringLiteral(" since 10:01:00")),
                 qPrintable(Cell(outputs, 0, state)));
        QCOMPARE(Cell(outputs, 1, state), QStringLiteral("Listening for client since 10:00:00"));

        // The state is the view's, not a field: never edited, never written.
        auto* edit = qobject_cast<QPushButton*>(f.view->widget(QStringLiteral("cmdEditOuputs")));
        QTest::mouseClick(edit, Qt::LeftButton);
        QVERIFY(outputs->model()->flags(outputs->model()->index(0, 0)) & Qt::ItemIsEditable);
        QVERIFY(!(outputs->model()->flags(outputs->model()->index(0, state)) & Qt::ItemIsEditable));
        QVERIFY(!outputs->model()->setData(outputs->model()->index(0, state),
                                           QStringLiteral("Connected")));
        QTest::mouseClick(edit, Qt::LeftButton);
        QCOMPARE(f.folder.rows(QStringLiteral("Ombrixsys.mdb"),
                               QStringLiteral("SELECT Description FROM Outputs ORDER BY 1")),
                 (QList<QVariantList>{{QStringLiteral("Client A")}, {QStringLiteral("Client B")}}));

        // Other grids have no State column.
        QTableView* startup = Grid(*f.view, "dgStartup");
        QVERIFY(Header(startup, LastColumn(startup)) != QStringLiteral("State"));
        QCOMPARE(Header(Grid(*f.view, "dgTelstra"), LastColumn(Grid(*f.view, "dgTelstra"))),
                 QStringLiteral("State"));
    }

    void theInputTabIsMarkedWhileNoCarrierIsConnected() {
        Shown shown;
        auto& [folder, t, view] = shown;
        QVERIFY(t->Form_Load());
        app::ShowConnectionStates(*t.system);
        Redraw(t);
        QVERIFY(!t->window.CarrierConnected);
        QTabBar* bar = view.tabs()->tabBar();
        QCOMPARE(bar->tabText(0), QStringLiteral("Input"));
        QCOMPARE(bar->tabTextColor(0), QColor(0xC0, 0, 0));
        QVERIFY(!bar->tabIcon(0).isNull());
        QCOMPARE(bar->tabToolTip(0), QStringLiteral("No carrier connected"));
        QVERIFY(bar->tabIcon(1).isNull());

        t->window.CarrierConnected = true; // what the states show once a carrier calls in
        Redraw(t);
        QVERIFY(bar->tabIcon(0).isNull());
        QVERIFY(!bar->tabTextColor(0).isValid());
        QVERIFY(bar->tabToolTip(0).isEmpty());
    }

    void deleteAllAsksFirstAndDeletesOnlyOnYes() {
        Shown shown;
        auto& [folder, t, view] = shown;
        QVERIFY(t->Form_Load());
        for (int i = 0; i < 3; ++i)
            QVERIFY(t->delayedDb.AddDelayed("\x02"
                                            "Stored\r\x03",
                                            QStringLiteral("Client A"), t->delayedDb.gMessID++));
        QCOMPARE(folder.storedPackets(), 3);
        view.tabs()->setCurrentIndex(4);
        QStringList questions;
        bool answer = false;
        view.askOperator = [&](const QString& question) {
            questions << question;
            return answer;
        };
        auto* button = qobject_cast<QPushButton*>(view.widget(QStringLiteral("cmdDeleteDelayed")));
        QVERIFY(button->isEnabled());

        QTest::mouseClick(button, Qt::LeftButton);
        QCOMPARE(questions, QStringList{QStringLiteral(
                                "Delete all 3 stored packets? They will not be sent.")});
        QCOMPARE(folder.storedPackets(), 3);
        QCOMPARE(Grid(view, "dgDelayed")->model()->rowCount(), 3);

        answer = true;
        QTest::mouseClick(button, Qt::LeftButton);
        QCOMPARE(questions.size(), 2);
        QCOMPARE(folder.storedPackets(), 0);
        QCOMPARE(t->window.StoredPackets(), 0);
    }

    // A packet in the Outputs pane is one line with its control bytes named,
    // as the web console shows them; the log file and the model keep its bytes.
    void aPacketInTheOutputsPaneIsOneLine() {
        TwoOutputs f;
        QVERIFY(f.sys().Form_Load());
        f.sys().outputSockets.UpdateOutputClients();
        LoopbackClient client(f.firstPort);
        QVERIFY(AcceptedOnOutput(f.sys(), client, 0));
        f.view->tabs()->setCurrentIndex(1);
        QTest::mouseClick(f.view->widget(QStringLiteral("cmdSendDummy")), Qt::LeftButton);
        QVERIFY(QTest::qWaitFor([&] { return client.received.endsWith('\x03'); }, 3000));
        const QByteArray packet = client.received;
        QVERIFY(packet.startsWith("\x02"
                                  "2000\r1234568\r"));
        Redraw(*f.t);

        const QString shown = QString::fromLatin1(packet)
                                  .replace(QLatin1Char('\x02'), QStringLiteral("<STX>"))
                                  .replace(QLatin1Char('\r'), QStringLiteral("<CR>"))
                                  .replace(QLatin1Char('\x03'), QStringLiteral("<ETX>"));
        auto* pane = qobject_cast<QPlainTextEdit*>(f.view->widget(QStringLiteral("txbLogOutputs")));
        const QStringList lines = pane->toPlainText().split(QLatin1Char('\n'));
        QVERIFY2(lines.contains(QStringLiteral("10:00:00  Out: Client A\t") + shown),
                 qPrintable(pane->toPlainText()));
        QCOMPARE(pane->document()->blockCount(), lines.size());
        for (const QString& line : lines)
            QVERIFY2(line.isEmpty() || line.startsWith(QStringLiteral("10:00:00  ")),
                     qPrintable(line));
        // The bytes are unchanged where they are kept: the model the web
        // console reads, and the System log file.
        QVERIFY(f.sys().window.txbLogOutputs.Bytes.contains("Out: Client A\t" + packet + "\r\n"));
        QVERIFY(f.folder.systemLog().contains("\tOutput\tOut: Client A\t" + packet + "\r\n"));
    }

    // The warning box has a band of its own below the tabs: it covers none of
    // the log panes, which give up its height while it shows.
    void theWarningBoxCoversNoLogPane() {
        Shown shown(false);
        auto& [folder, t, view] = shown;
        QVERIFY(t->Form_Load());
        const auto place = [&](const char* name) {
            QWidget* w = view.widget(QLatin1String(name));
            return QRect(w->mapTo(&view, QPoint(0, 0)), w->size());
        };
        const QList<std::pair<int, const char*>> panes = {
            {0, "txbLogTelstra"}, {1, "txbLogOutputs"}, {2, "txbLogErrors"}, {5, "txbSatDecoder"}};
        QHash<QString, int> heights;
        for (const auto& [tab, name] : panes)
            heights.insert(QLatin1String(name), view.widget(QLatin1String(name))->height());

        t->ShowWarning(ErrorCode::ConnectTelstraPort, QStringLiteral("Connection refused"), 1);
        QWidget* box = view.widget(QStringLiteral("frmeSystemError"));
        QVERIFY(box->isVisible());
        for (const auto& [tab, name] : panes) {
            view.tabs()->setCurrentIndex(tab);
            Redraw(t);
            QVERIFY2(view.widget(QLatin1String(name))->isVisible(), name);
            QVERIFY2(!place(name).intersects(place("frmeSystemError")),
                     qPrintable(QStringLiteral("%1: %2,%3 %4x%5")
                                    .arg(QLatin1String(name))
                                    .arg(place(name).x())
                                    .arg(place(name).y())
                                    .arg(place(name).width())
                                    .arg(place(name).height())));
        }
        QVERIFY(view.rect().contains(place("frmeSystemError")));
        QVERIFY(QRect(QPoint(0, 0), box->size())
                    .contains(QRect(view.widget(QStringLiteral("txbSystemError"))->pos(),
                                    view.widget(QStringLiteral("txbSystemError"))->size())));
        QVERIFY(view.widget(QStringLiteral("cmdClearWarning"))->isVisible());
        QVERIFY(view.grab().save(QDir(QStringLiteral(QT_TESTCASE_BUILDDIR))
                                     .filePath(QStringLiteral("window-warning-band.png"))));

        // Cleared, the panes have their height back.
        QTest::mouseClick(view.widget(QStringLiteral("cmdClearWarning")), Qt::LeftButton);
        QVERIFY(!box->isVisible());
        for (const auto& [tab, name] : panes)
            QCOMPARE(view.widget(QLatin1String(name))->height(),
                     heights.value(QLatin1String(name)));
    }

    // The README's picture: the Outputs tab with a client connected, another
    // awaited, and the dummy message sent.
    void outputsTabWithAConnectedClient() {
        TwoOutputs f;
        QVERIFY(f.sys().Form_Load());
        f.sys().outputSockets.UpdateOutputClients();
        LoopbackClient client(f.firstPort);
        QVERIFY(AcceptedOnOutput(f.sys(), client, 0));
        f.view->tabs()->setCurrentIndex(1);
        // Wide enough for the outputs' state beside their fields.
        QTableView* outputs = Grid(*f.view, "dgOutputs");
        f.view->resize(1320, f.view->height());
        QTRY_VERIFY(outputs->width() > outputs->horizontalHeader()->length());
        QTest::mouseClick(f.view->widget(QStringLiteral("cmdSendDummy")), Qt::LeftButton);
        QVERIFY(QTest::qWaitFor([&] { return client.received.contains("Ombrix"); }, 3000));
        app::ShowConnectionStates(f.sys());
        Redraw(*f.t);
        QVERIFY(f.view->grab().save(QDir(QStringLiteral(QT_TESTCASE_BUILDDIR))
                                        .filePath(QStringLiteral("window-outputs.png"))));
    }

    void closingTheWindowShutsDown() {
        Shown shown(false);
        auto& [folder, t, view] = shown;
        QVERIFY(t->Form_Load());
        t->delayedDb.gMessID = 1000321;
        view.close();
        QVERIFY(t->IsUnloaded());
        QCOMPARE(folder.setting(QStringLiteral("MessID")).toString(), QStringLiteral("1000321"));
    }
};

QTEST_MAIN(WindowTest)
#include "window-test.moc"
