// The operator's commands as the window's buttons, box, menus and panes give
// them, checked by what they leave in the tables, the logs and on the wire.

#include "TestPorts.h"
#include "TestSystem.h"
#include "app/GridEditing.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTest>

namespace {

const QDateTime kStart(QDate(2026, 1, 15), QTime(10, 0, 0));

QList<QVariantList> Actives(const WorkFolder& folder) {
    return folder.rows(QStringLiteral("Ombrixsys.mdb"),
                       QStringLiteral("SELECT Active FROM Telstra ORDER BY Description"));
}

} // namespace

class OperatorCommandsTest : public QObject {
    Q_OBJECT

    struct Fixture {
        WorkFolder folder;
        std::unique_ptr<TestSystem> t;
        explicit Fixture(const QString& pktType = QStringLiteral("Normal")) {
            folder.setOutputs({{QStringLiteral("Client A"), QString::number(TestPort())}});
            folder.setSetting(QStringLiteral("LastBackUp"), QStringLiteral("15 Jan 2026 09:00:00"));
            folder.setSetting(QStringLiteral("IncomingPktType"), pktType);
            for (const char* name : {"Feed 1", "Feed 2"})
                folder.exec(
                    QStringLiteral("Ombrixsys.mdb"),
                    QStringLiteral(
                        "INSERT INTO Telstra (Description, Port, Active) VALUES (?, 'x', 'N')"),
                    {QLatin1String(name)});
            t = std::make_unique<TestSystem>(folder.path());
            t->clock.set(kStart);
            t->system->Form_Load();
        }
        frmQuorlan& w() { return t->system->window; }
    };

private slots:
    void twoForcedBackUpsBetweenTicksMakeOne() {
        Fixture f;
        f.t->clock.advanceSecs(2);
        f.w().MenuClick(QStringLiteral("mnuForceBackup"));
        f.t->clock.advanceSecs(1);
        f.w().MenuClick(QStringLiteral("mnuForceBackup"));
        f.t->clock.advanceSecs(2);
        (*f.t)->tmrSockets_Timer();
        f.t->clock.advanceSecs(5);
        (*f.t)->tmrSockets_Timer();
        QCOMPARE(QDir(f.folder.file(QStringLiteral("LOGS/BACKUP"))).entryList(QDir::Files).size(),
                 3);
        QCOMPARE((*f.t)->logs.gNextBackUp, QDateTime(QDate(2026, 1, 16), QTime(3, 1)));
    }

    void enableSwitchesEveryCarrierOffAndOn() {
        Fixture f;
        QCOMPARE(f.w().cmdEnable.Caption, QStringLiteral("Disable"));
        QCOMPARE(Actives(f.folder),
                 (QList<QVariantList>{{QStringLiteral("Y")}, {QStringLiteral("Y")}}));
        f.w().Click(QStringLiteral("cmdEnable"));
        QCOMPARE(f.w().cmdEnable.Caption, QStringLiteral("Enable Soc"));
        QCOMPARE(Actives(f.folder),
                 (QList<QVariantList>{{QStringLiteral("N")}, {QStringLiteral("N")}}));
        QVERIFY(!(*f.t)->decSockets.Entry(0).Active && !(*f.t)->decSockets.Entry(1).Active);
        f.w().Click(QStringLiteral("cmdEnable"));
        QCOMPARE(f.w().cmdEnable.Caption, QStringLiteral("Disable Soc"));
        QCOMPARE(Actives(f.folder),
                 (QList<QVariantList>{{QStringLiteral("Y")}, {QStringLiteral("Y")}}));
        QVERIFY((*f.t)->decSockets.Entry(0).Active && (*f.t)->decSockets.Entry(1).Active);
    }

    void theDummyMessage_data() {
        QTest::addColumn<QString>("pktType");
        QTest::addColumn<QByteArray>("packet");
        const QByteArray text = "10:00:00 Dummy Message: NO data on Relay Input Ombrix\x03";
        QTest::newRow("Normal") << QStringLiteral("Normal")
                                << QByteArray("\x02"
                                              "2000\r1234568\r") +
                                       text;
        QTest::newRow("enhanced") << QStringLiteral("enhanced")
                                  << QByteArray("\x02"
                                                "2000\r1234568\r") +
                                         text;
        QTest::newRow("Enhanced") << QStringLiteral("Enhanced")
                                  << QByteArray("\x02"
                                                "2000\r2\rC\r1234568\rA\r") +
                                         text;
    }
    void theDummyMessage() {
        QFETCH(QString, pktType);
        QFETCH(QByteArray, packet);
        Fixture f(pktType);
        QSignalSpy relayed(&(*f.t)->outputRules, &OutputRules::relayed);
        f.w().Click(QStringLiteral("cmdSendDummy"));
        QCOMPARE(relayed.size(), 1);
        QCOMPARE(relayed[0][0].toByteArray(), packet);
        // Client A is away: stored like any packet.
        QCOMPARE(
            f.folder
                .rows(QStringLiteral("delayed.mdb"), QStringLiteral("SELECT Packet FROM Delayed"))
                .value(0)
                .value(0)
                .toByteArray(),
            packet);
        f.w().Click(QStringLiteral("cmdDeleteDelayed"));
        QVERIFY(
            f.folder.rows(QStringLiteral("delayed.mdb"), QStringLiteral("SELECT * FROM Delayed"))
                .isEmpty());
    }

    void aFailedCommitKeepsCommit() {
        Fixture f;
        f.w().Click(QStringLiteral("cmdEditOuputs"));
        QCOMPARE(f.w().cmdEditOuputs.Caption, QStringLiteral("Commit"));
        QCOMPARE(f.w().dgOutputs.ForeColor, colours::DarkRed);
        QVERIFY(f.w().txbLogOutputs.Text.startsWith(
            QStringLiteral("10:00:00  Event: Outputs opened for EDIT")));
        (*f.t)->db.rsOutputs->MoveFirst();
        (*f.t)->db.rsOutputs->SetField(QStringLiteral("Port"), QStringLiteral("7100"));
        f.folder.exec(QStringLiteral("Ombrixsys.mdb"),
                      QStringLiteral("ALTER TABLE Outputs RENAME TO Elsewhere"));
        f.w().Click(QStringLiteral("cmdEditOuputs"));
        QCOMPARE(f.w().cmdEditOuputs.Caption, QStringLiteral("Commit"));
        QCOMPARE(f.t->warningNumbers().last(), 305);
        QVERIFY(!f.w().txbLogOutputs.Text.contains(QStringLiteral("Outputs database commited")));
        // Put right, the next click commits.
        f.folder.exec(QStringLiteral("Ombrixsys.mdb"),
                      QStringLiteral("ALTER TABLE Elsewhere RENAME TO Outputs"));
        f.w().Click(QStringLiteral("cmdEditOuputs"));
        QCOMPARE(f.w().cmdEditOuputs.Caption, QStringLiteral("Edit"));
        QVERIFY(f.w().txbLogOutputs.Text.startsWith(
            QStringLiteral("10:00:00  Event: Outputs database commited")));
        QCOMPARE(
            f.folder
                .rows(QStringLiteral("Ombrixsys.mdb"), QStringLiteral("SELECT Port FROM Outputs"))
                .value(0)
                .value(0)
                .toString(),
            QStringLiteral("7100"));

        f.w().Click(QStringLiteral("cmdOpenTelstra"));
        QCOMPARE(f.w().cmdOpenTelstra.Caption, QStringLiteral("Commit"));
        f.w().Click(QStringLiteral("cmdOpenTelstra"));
        QCOMPARE(f.w().cmdOpenTelstra.Caption, QStringLiteral("Edit"));
        QVERIFY(f.w().txbLogTelstra.Text.startsWith(
            QStringLiteral("10:00:00  Event: Telstra database commited")));
    }

    // A Port the relay could not listen on is refused before the row is
    // written: the reason is shown, the grid stays open to correct it.
    void aPortThatIsNoPortIsRefusedAtCommit_data() {
        QTest::addColumn<QString>("port");
        for (const char* port : {"abc", "0", "65536", " 6001", "6001 ", "+6001", "-1", "", "6.5"})
            QTest::newRow(port) << QString::fromLatin1(port);
    }
    void aPortThatIsNoPortIsRefusedAtCommit() {
        QFETCH(QString, port);
        Fixture f;
        const QVariant before =
            f.folder
                .rows(QStringLiteral("Ombrixsys.mdb"), QStringLiteral("SELECT Port FROM Outputs"))
                .value(0)
                .value(0);
        f.w().Click(QStringLiteral("cmdEditOuputs"));
        const int column = f.w().dgOutputs.DataSource->FieldIndex(QStringLiteral("Port"));
        grid_editing::SetCell(f.w().dgOutputs, 0, column, port);
        f.t->warnings.clear();
        f.w().Click(QStringLiteral("cmdEditOuputs"));

        QCOMPARE(f.w().cmdEditOuputs.Caption, QStringLiteral("Commit"));
        QVERIFY(grid_editing::Editable(f.w().dgOutputs));
        QCOMPARE(f.t->warningNumbers(), QList<int>{305});
        const QString reason = QStringLiteral("Outputs row 1 (\"Client A\"): port \"%1\" is not a "
                                              "whole number from 1 to 65535 (digits only, no "
                                              "blanks). Nothing was saved: correct it and commit "
                                              "again.")
                                   .arg(port);
        QCOMPARE(f.t->warnings[0].text, reason);
        QCOMPARE(f.w().Refusal, reason);
        QVERIFY(f.w().frmeSystemError.Visible);
        QVERIFY(!f.w().txbLogOutputs.Text.contains(QStringLiteral("Outputs database commited")));
        QCOMPARE(
            f.folder
                .rows(QStringLiteral("Ombrixsys.mdb"), QStringLiteral("SELECT Port FROM Outputs"))
                .value(0)
                .value(0),
            before);

        // Put right, the next click commits.
        grid_editing::SetCell(f.w().dgOutputs, 0, column, QStringLiteral("06001"));
        f.w().Click(QStringLiteral("cmdEditOuputs"));
        QCOMPARE(f.w().cmdEditOuputs.Caption, QStringLiteral("Edit"));
        QVERIFY(f.w().Refusal.isEmpty());
        QCOMPARE(
            f.folder
                .rows(QStringLiteral("Ombrixsys.mdb"), QStringLiteral("SELECT Port FROM Outputs"))
                .value(0)
                .value(0)
                .toString(),
            QStringLiteral("06001"));
    }

    void aTableThatDoesNotReopenFailsItsCommit() {
        Fixture f;
        struct Table {
            const char* button;
            const char* table;
            int openWarning;
            int commitWarning;
            Control& caption;
        };
        for (const Table& table :
             {Table{"cmdEditOuputs", "Outputs", 304, 305, f.w().cmdEditOuputs},
              Table{"cmdOpenTelstra", "Telstra", 303, 308, f.w().cmdOpenTelstra}}) {
            const QString name = QLatin1String(table.table);
            f.t->warnings.clear();
            f.w().Click(QLatin1String(table.button));
            QCOMPARE(table.caption.Caption, QStringLiteral("Commit"));
            // Nothing edited, so the save writes nothing; only the reopening fails.
            f.folder.exec(QStringLiteral("Ombrixsys.mdb"),
                          QStringLiteral("ALTER TABLE %1 RENAME TO Elsewhere").arg(name));
            f.w().Click(QLatin1String(table.button));
            QCOMPARE(table.caption.Caption, QStringLiteral("Commit"));
            QCOMPARE(f.t->warningNumbers(), (QList<int>{table.openWarning, table.commitWarning}));
            QCOMPARE(f.t->warnings[1].text,
                     QStringLiteral("Operation is not allowed when the object is closed."));
            QVERIFY(!f.w().txbLogOutputs.Text.contains(QStringLiteral("database commited")));
            QVERIFY(!f.w().txbLogTelstra.Text.contains(QStringLiteral("database commited")));
            f.folder.exec(QStringLiteral("Ombrixsys.mdb"),
                          QStringLiteral("ALTER TABLE Elsewhere RENAME TO %1").arg(name));
        }
    }

    void rawLoggingBoxWritesTheSetting() {
        Fixture f;
        QVERIFY(!(*f.t)->logs.gRawLogEnabled);
        f.w().CheckBoxClick(QStringLiteral("chkEnableLogs"), 1);
        QVERIFY((*f.t)->logs.gRawLogEnabled);
        QCOMPARE(f.folder.setting(QStringLiteral("RawLogEnabled")).toString(),
                 QStringLiteral("True"));
        // The raw test file opens only at start-up.
        QVERIFY(!QFileInfo::exists(f.folder.path() + QStringLiteral("/raw output.txt")));
        f.w().CheckBoxClick(QStringLiteral("chkEnableLogs"), 0);
        QCOMPARE(f.folder.setting(QStringLiteral("RawLogEnabled")).toString(),
                 QStringLiteral("False"));
    }

    void aDoubleClickedPaneShowsWhole() {
        Fixture f;
        f.w().DblClick(QStringLiteral("txbLogOutputs"));
        QVERIFY(f.w().frmeInfoBox.Visible);
        QCOMPARE(f.w().txbInfo.Text, f.w().txbLogOutputs.Text);
        f.w().Click(QStringLiteral("cmdDoneInfo"));
        QVERIFY(!f.w().frmeInfoBox.Visible);
        f.w().DblClick(QStringLiteral("txbLogErrors"));
        QCOMPARE(f.w().txbInfo.Text, f.w().txbLogErrors.Text);
    }
};

QTEST_GUILESS_MAIN(OperatorCommandsTest)
#include "operator-commands-test.moc"
