// The StartUp settings as the rest of the system reads and writes them, checked
// against the rows in the real Ombrixsys.mdb of a temporary working folder.

#include "TestPorts.h"
#include "TestSystem.h"

#include "config/DatabaseFiles.h"
#include "platform/Recordset.h"

#include <QTest>

class SettingsTest : public QObject {
    Q_OBJECT

private slots:
    void readsValuesDefaultsAndNulls() {
        WorkFolder folder;
        folder.exec(QStringLiteral("Ombrixsys.mdb"),
                    QStringLiteral(
                        "INSERT INTO StartUp (Key_Description, Key_Data) VALUES ('Empty', NULL)"));
        TestSystem t(folder.path());
        QCOMPARE(t->db.OpenSysDatabase(), 1);
        QCOMPARE(t->db.GetStartUpKey(QStringLiteral("ServerID"), QStringLiteral("x")),
                 QStringLiteral("Ombrix"));
        QCOMPARE(t->db.GetStartUpKey(QStringLiteral("Empty"), QStringLiteral("default")),
                 QString());
        QCOMPARE(t->db.GetStartUpKey(QStringLiteral("NoSuchKey"), QStringLiteral("default")),
                 QStringLiteral("default"));
        // Keys are matched exactly: another case is another key.
        QCOMPARE(t->db.GetStartUpKey(QStringLiteral("serverid"), QStringLiteral("x")),
                 QStringLiteral("x"));
        QVERIFY(t.warnings.isEmpty());
    }

    void writesOnlyExistingKeys() {
        WorkFolder folder;
        TestSystem t(folder.path());
        t->db.OpenSysDatabase();
        QCOMPARE(t->db.SetStartUpKey(QStringLiteral("MessID"), QStringLiteral("1000042")),
                 QString());
        QCOMPARE(folder.setting(QStringLiteral("MessID")).toString(), QStringLiteral("1000042"));
        const int rowsBefore =
            folder.rows(QStringLiteral("Ombrixsys.mdb"), QStringLiteral("SELECT * FROM StartUp"))
                .size();
        QCOMPARE(t->db.SetStartUpKey(QStringLiteral("NoSuchKey"), QStringLiteral("v")),
                 QStringLiteral("BAD"));
        QCOMPARE(
            folder.rows(QStringLiteral("Ombrixsys.mdb"), QStringLiteral("SELECT * FROM StartUp"))
                .size(),
            rowsBefore);
        QVERIFY(!folder.setting(QStringLiteral("NoSuchKey")).isValid());
    }

    void keyWithApostropheReadsAndWrites() {
        WorkFolder folder;
        folder.exec(QStringLiteral("Ombrixsys.mdb"),
                    QStringLiteral("INSERT INTO StartUp (Key_Description, Key_Data) VALUES (?, ?)"),
                    {QStringLiteral("O'Brien's key"), QStringLiteral("old")});
        TestSystem t(folder.path());
        t->db.OpenSysDatabase();
        QCOMPARE(t->db.GetStartUpKey(QStringLiteral("O'Brien's key"), QStringLiteral("d")),
                 QStringLiteral("old"));
        QCOMPARE(t->db.SetStartUpKey(QStringLiteral("O'Brien's key"), QStringLiteral("it's new")),
                 QString());
        QCOMPARE(folder.setting(QStringLiteral("O'Brien's key")).toString(),
                 QStringLiteral("it's new"));
        QCOMPARE(t->db.GetStartUpKey(QStringLiteral("') OR ('1'='1"), QStringLiteral("d")),
                 QStringLiteral("d"));
        QVERIFY(t.warnings.isEmpty());
    }

    void closedConnectionReadsEmptyAndWritesNothing() {
        WorkFolder folder;
        TestSystem t(folder.path());
        QCOMPARE(t->db.GetStartUpKey(QStringLiteral("ServerID"), QStringLiteral("d")), QString());
        QCOMPARE(t->db.SetStartUpKey(QStringLiteral("ServerID"), QStringLiteral("X")), QString());
        t->db.OpenSysDatabase();
        QCOMPARE(t->db.CloseSysDatabase(), 0);
        QCOMPARE(t->db.CloseSysDatabase(), 0);
        QCOMPARE(t->db.SetStartUpKey(QStringLiteral("ServerID"), QStringLiteral("X")), QString());
        QCOMPARE(folder.setting(QStringLiteral("ServerID")).toString(), QStringLiteral("Ombrix"));
        QVERIFY(t.warnings.isEmpty());
    }

    void failuresReportTheirWarnings() {
        WorkFolder folder;
        TestSystem t(folder.path());
        t->db.OpenSysDatabase();
        folder.exec(QStringLiteral("Ombrixsys.mdb"),
                    QStringLiteral("ALTER TABLE StartUp RENAME TO Gone"));
        QCOMPARE(t->db.GetStartUpKey(QStringLiteral("ServerID"), QStringLiteral("d")), QString());
        QCOMPARE(t->db.SetStartUpKey(QStringLiteral("ServerID"), QStringLiteral("X")), QString());
        t->db.OpenStartUp(1);
        QCOMPARE(t.warningNumbers(), (QList<int>{309, 310, 302}));
        QVERIFY(t.warnings[0].text.contains(QStringLiteral("Startup"), Qt::CaseInsensitive));
        QCOMPARE(t.warnings[0].socket, 0);
    }

    void olderFileIsBroughtUpToDate() {
        WorkFolder folder;
        folder.exec(QStringLiteral("Ombrixsys.mdb"), QStringLiteral("DROP TABLE Outputs"));
        folder.exec(QStringLiteral("Ombrixsys.mdb"), QStringLiteral("PRAGMA user_version = 0"));
        TestSystem t(folder.path());
        QCOMPARE(t->db.OpenSysDatabase(), 1);
        QCOMPARE(folder.rows(QStringLiteral("Ombrixsys.mdb"), QStringLiteral("PRAGMA user_version"))
                     .first()
                     .first()
                     .toInt(),
                 config::CurrentSchemaVersion(config::DatabaseKind::System));
        QCOMPARE(folder
                     .rows(QStringLiteral("Ombrixsys.mdb"),
                           QStringLiteral("SELECT count(*) FROM Outputs"))
                     .first()
                     .first()
                     .toInt(),
                 0);
        QCOMPARE(t->db.GetStartUpKey(QStringLiteral("ServerID"), QStringLiteral("d")),
                 QStringLiteral("Ombrix"));
    }

    void aVersionOneFileGetsTheWarningTextOfSharedDescriptions() {
        const QString sql = QStringLiteral("SELECT Function, Description FROM ErrorCodes WHERE "
                                           "ErrorNumber = 603");
        WorkFolder folder;
        const auto defaults = folder.rows(QStringLiteral("Ombrixsys.mdb"), sql);
        QCOMPARE(defaults.size(), 1);
        folder.exec(QStringLiteral("Ombrixsys.mdb"),
                    QStringLiteral("DELETE FROM ErrorCodes WHERE ErrorNumber = 603"));
        folder.exec(QStringLiteral("Ombrixsys.mdb"), QStringLiteral("PRAGMA user_version = 1"));
        // A site that wrote its own text for the number keeps it.
        WorkFolder own;
        own.exec(
            QStringLiteral("Ombrixsys.mdb"),
            QStringLiteral("UPDATE ErrorCodes SET Description = 'ours' WHERE ErrorNumber = 603"));
        own.exec(QStringLiteral("Ombrixsys.mdb"), QStringLiteral("PRAGMA user_version = 1"));

        auto version = [](const WorkFolder& f, const char* file) {
            return f.rows(QLatin1String(file), QStringLiteral("PRAGMA user_version"))
                .first()
                .first()
                .toInt();
        };
        for (const WorkFolder* f : {&folder, &own}) {
            TestSystem t(f->path());
            QVERIFY(t->Form_Load());
            QCOMPARE(version(*f, "Ombrixsys.mdb"),
                     config::CurrentSchemaVersion(config::DatabaseKind::System));
            QCOMPARE(version(*f, "delayed.mdb"), 1);
        }
        QCOMPARE(folder.rows(QStringLiteral("Ombrixsys.mdb"), sql), defaults);
        QCOMPARE(own.rows(QStringLiteral("Ombrixsys.mdb"), sql).value(0).value(1).toString(),
                 QStringLiteral("ours"));
    }

    // A site's outputs survive the upgrade, and with an empty AllowFrom take
    // connections from anyone, as they did before.
    void aVersionTwoFileGetsTheAllowFromColumn() {
        WorkFolder folder;
        folder.exec(QStringLiteral("Ombrixsys.mdb"), QStringLiteral("DROP TABLE Outputs"));
        folder.exec(QStringLiteral("Ombrixsys.mdb"),
                    QStringLiteral("CREATE TABLE Outputs (Description TEXT, Port TEXT, Active "
                                   "TEXT, Match TEXT, RawOutput TEXT)"));
        const quint16 port = TestPort();
        folder.exec(QStringLiteral("Ombrixsys.mdb"),
                    QStringLiteral("INSERT INTO Outputs VALUES ('Client A', ?, 'Y', 'm', 'N')"),
                    {QString::number(port)});
        folder.setSetting(QStringLiteral("OutputsLocalIP"), QStringLiteral("127.0.0.1"));
        folder.exec(QStringLiteral("Ombrixsys.mdb"), QStringLiteral("PRAGMA user_version = 2"));
        TestSystem t(folder.path());
        QVERIFY(t->Form_Load());
        QCOMPARE(folder.rows(QStringLiteral("Ombrixsys.mdb"), QStringLiteral("PRAGMA user_version"))
                     .first()
                     .first()
                     .toInt(),
                 config::CurrentSchemaVersion(config::DatabaseKind::System));
        QCOMPARE(folder.rows(QStringLiteral("Ombrixsys.mdb"),
                             QStringLiteral("SELECT Description, Port, Match, "
                                            "coalesce(AllowFrom, 'null') FROM Outputs")),
                 (QList<QVariantList>{{QStringLiteral("Client A"), QString::number(port),
                                       QStringLiteral("m"), QStringLiteral("null")}}));
        t->outputSockets.UpdateOutputClients();
        LoopbackClient client(port);
        QVERIFY(AcceptedOnOutput(*t.system, client, 0));
        QVERIFY(t.warnings.isEmpty());
    }

    // A version-3 file, as a site has it before the web console: its own rows
    // stay, the console's and monitoring's settings join them once, after
    // them, and the file ends with the rows a new file has.
    void aVersionThreeFileGetsTheOperatorsTableAndTheConsoleSettings() {
        const QString all = QStringLiteral("SELECT * FROM StartUp ORDER BY rowid");
        const QString sorted = QStringLiteral("SELECT * FROM StartUp ORDER BY Key_Description");
        WorkFolder fresh;
        WorkFolder folder;
        folder.exec(QStringLiteral("Ombrixsys.mdb"), QStringLiteral("DROP TABLE Operators"));
        folder.exec(QStringLiteral("Ombrixsys.mdb"),
                    QStringLiteral("DELETE FROM StartUp WHERE Key_Description LIKE 'WebConsole%' "
                                   "OR Key_Description IN ('MonitorAddress', 'MonitorPort', "
                                   "'FeedSilenceSeconds')"));
        folder.exec(QStringLiteral("Ombrixsys.mdb"), QStringLiteral("DROP TABLE Watches"));
        folder.setSetting(QStringLiteral("ServerID"), QStringLiteral("Relay-North"));
        folder.exec(QStringLiteral("Ombrixsys.mdb"), QStringLiteral("PRAGMA user_version = 3"));
        const QList<QVariantList> before = folder.rows(QStringLiteral("Ombrixsys.mdb"), all);
        for (int opening = 0; opening < 2; ++opening) {
            TestSystem t(folder.path());
            QCOMPARE(t->db.OpenSysDatabase(), 1);
            // Set back again: the upgrade runs a second time without doubling a row.
            folder.exec(QStringLiteral("Ombrixsys.mdb"), QStringLiteral("PRAGMA user_version = 3"));
        }
        TestSystem t(folder.path());
        QCOMPARE(t->db.OpenSysDatabase(), 1);
        QCOMPARE(folder.rows(QStringLiteral("Ombrixsys.mdb"), QStringLiteral("PRAGMA user_version"))
                     .value(0)
                     .value(0)
                     .toInt(),
                 config::CurrentSchemaVersion(config::DatabaseKind::System));
        const QList<QVariantList> after = folder.rows(QStringLiteral("Ombrixsys.mdb"), all);
        QCOMPARE(after.mid(0, before.size()), before);
        QStringList added;
        for (const QVariantList& row : after.mid(before.size()))
            added << row.value(0).toString() + QLatin1Char('=') + row.value(1).toString();
        QCOMPARE(added,
                 (QStringList{QStringLiteral("WebConsoleAddress=127.0.0.1"),
                              QStringLiteral("WebConsolePort=8088"),
                              QStringLiteral("WebConsoleCertificate="),
                              QStringLiteral("WebConsoleKey="), QStringLiteral("WebConsoleHosts="),
                              QStringLiteral("MonitorAddress=127.0.0.1"),
                              QStringLiteral("MonitorPort=9188"),
                              QStringLiteral("FeedSilenceSeconds=120")}));
        folder.setSetting(QStringLiteral("ServerID"), QStringLiteral("Ombrix"));
        QCOMPARE(folder.rows(QStringLiteral("Ombrixsys.mdb"), sorted),
                 fresh.rows(QStringLiteral("Ombrixsys.mdb"), sorted));
        QCOMPARE(folder.rows(QStringLiteral("Ombrixsys.mdb"),
                             QStringLiteral("SELECT count(*) FROM Operators")),
                 (QList<QVariantList>{{0}}));
        QCOMPARE(folder.rows(QStringLiteral("Ombrixsys.mdb"),
                             QStringLiteral("SELECT count(*) FROM Watches")),
                 (QList<QVariantList>{{0}}));
        QCOMPARE(folder.rows(QStringLiteral("Ombrixsys.mdb"),
                             QStringLiteral("SELECT ErrorNumber, Function FROM ErrorCodes "
                                            "WHERE ErrorNumber IN (112, 113) ORDER BY 1")),
                 (QList<QVariantList>{{112, QStringLiteral("FeedSilence")},
                                      {113, QStringLiteral("WatchTestPages")}}));
    }

    void editAndCommitOfTheStartUpGrid() {
        WorkFolder folder;
        TestSystem t(folder.path());
        t->db.OpenSysDatabase();
        t->db.OpenStartUp(1);
        auto& grid = t->window.dgStartup;

        // Committing a read-only grid does nothing.
        const auto before = t->db.gRsStartUp;
        t->db.CommitStartUp();
        QCOMPARE(t->db.gRsStartUp, before);

        t->db.EditStartUp();
        QVERIFY(grid.DataSource);
        QCOMPARE(grid.DataSource->LockType, 3);
        QCOMPARE(grid.ForeColor, colours::DarkRed);
        QCOMPARE(grid.ColumnWidth.value(0), 1500);
        QCOMPARE(grid.ColumnWidth.value(2), 5000);

        auto rs = grid.DataSource;
        const int key = rs->FieldIndex(QStringLiteral("Key_Description"));
        const int data = rs->FieldIndex(QStringLiteral("Key_Data"));
        for (long row = 0; row < rs->RecordCount(); ++row)
            if (rs->Value(row, key).toString() == QLatin1String("ServerID"))
                rs->SetValue(row, data, QStringLiteral("Relay-7"));
        t->db.CommitStartUp();
        QCOMPARE(grid.ForeColor, colours::Blue);
        QCOMPARE(grid.DataSource->LockType, 1);
        QCOMPARE(folder.setting(QStringLiteral("ServerID")).toString(), QStringLiteral("Relay-7"));
    }
};

QTEST_GUILESS_MAIN(SettingsTest)
#include "settings-test.moc"
