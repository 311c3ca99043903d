// `ombrix init`: the three database files of a new working folder and their rows.

#include "config/DatabaseFiles.h"
#include "platform/SocketControl.h"

#include "WorkFolder.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class WorkFolderTest : public QObject {
    Q_OBJECT

private slots:
    void createsTheThreeFilesWithDefaultRows() {
        WorkFolder folder;
        for (const char* name : {"Ombrixsys.mdb", "delayed.mdb", "empty_delayed.mdb"})
            QVERIFY(QFile::exists(folder.file(QLatin1String(name))));
        const QMap<QString, QString> expected = {{"ServerID", "Ombrix"},
                                                 {"MessID", "1000000"},
                                                 {"IncomingPktType", "Normal"},
                                                 {"LogName", "Quorlan"},
                                                 {"LogsDIR", "."},
                                                 {"RawLogEnabled", "False"},
                                                 {"BackUpPeriod", "24"},
                                                 {"LastBackUp", "14 Jan 2026 03:01:00"},
                                                 {"BackUpTime", "3:01:00 AM"}};
        for (auto it = expected.begin(); it != expected.end(); ++it)
            QCOMPARE(folder.setting(it.key()).toString(), it.value());
        // The addresses the relay would take without their rows, written out to be edited.
        QCOMPARE(folder.setting(QStringLiteral("OutputsLocalIP")).toString(),
                 platform::SocketControl::LocalIP());
        QCOMPARE(folder.setting(QStringLiteral("TelstraLocalIP")).toString(),
                 platform::SocketControl::LocalIP());
        QCOMPARE(
            folder.rows(QStringLiteral("Ombrixsys.mdb"), QStringLiteral("SELECT * FROM Telstra"))
                .size(),
            0);
        QCOMPARE(folder.rows(QStringLiteral("delayed.mdb"), QStringLiteral("SELECT * FROM Delayed"))
                     .size(),
                 0);
        QCOMPARE(
            folder.rows(QStringLiteral("empty_delayed.mdb"), QStringLiteral("PRAGMA journal_mode"))
                .first()
                .first()
                .toString(),
            QStringLiteral("wal"));
    }

    // The console's and monitoring's settings come after the others in the
    // Config grid, and no account exists until `ombrix init` or `ombrix passwd`
    // makes one.
    void aNewFileHasTheConsoleSettingsAndNoAccount() {
        WorkFolder folder;
        const auto rows =
            folder.rows(QStringLiteral("Ombrixsys.mdb"),
                        QStringLiteral("SELECT Key_Description, Key_Data, Key_Comment FROM "
                                       "StartUp ORDER BY rowid"));
        QCOMPARE(rows.size(), 19);
        QStringList console;
        for (const QVariantList& row : rows.mid(11)) {
            console << row[0].toString() + QLatin1Char('=') + row[1].toString();
            QVERIFY(!row[2].toString().isEmpty());
        }
        QCOMPARE(console,
                 (QStringList{QStringLiteral("WebConsoleAddress=127.0.0.1"),
                              QStringLiteral("WebConsolePort=8088"),
                              QStringLiteral("WebConsoleCertificate="),
                              QStringLiteral("WebConsoleKey="), QStringLiteral("WebConsoleHosts="),
                              QStringLiteral("MonitorAddress=127.0.0.1"),
                              QStringLiteral("MonitorPort=9188"),
                              QStringLiteral("FeedSilenceSeconds=120")}));
        QCOMPARE(folder.rows(QStringLiteral("Ombrixsys.mdb"),
                             QStringLiteral("SELECT count(*) FROM Operators")),
                 (QList<QVariantList>{{0}}));
    }

    void everyWarningSiteHasItsText() {
        WorkFolder folder;
        const QList<int> sites = {100, 101, 102, 103, 104, 108, 109, 112, 113, 200, 201, 202,
                                  203, 205, 300, 301, 302, 303, 304, 305, 306, 307, 308, 309,
                                  310, 400, 401, 402, 403, 404, 600, 601, 602, 603, 900, 902};
        const auto rows = folder.rows(
            QStringLiteral("Ombrixsys.mdb"),
            QStringLiteral(
                "SELECT ErrorNumber, Function, Description FROM ErrorCodes ORDER BY ErrorNumber"));
        QList<int> numbers;
        for (const auto& row : rows) {
            numbers << row[0].toInt();
            QVERIFY(!row[1].toString().isEmpty());
            QVERIFY(!row[2].toString().isEmpty());
        }
        QCOMPARE(numbers, sites);
    }

    void demoAddsLoopbackCarrierAndClients() {
        WorkFolder folder(true);
        // Set to loopback, not added a second time.
        QCOMPARE(folder.rows(QStringLiteral("Ombrixsys.mdb"),
                             QStringLiteral("SELECT count(*) FROM StartUp WHERE Key_Description "
                                            "IN ('TelstraLocalIP', 'OutputsLocalIP')")),
                 (QList<QVariantList>{{2}}));
        QCOMPARE(folder.setting(QStringLiteral("TelstraLocalIP")).toString(),
                 QStringLiteral("127.0.0.1"));
        QCOMPARE(folder.setting(QStringLiteral("OutputsLocalIP")).toString(),
                 QStringLiteral("127.0.0.1"));
        QCOMPARE(folder.rows(QStringLiteral("Ombrixsys.mdb"),
                             QStringLiteral("SELECT Description, Port, Active FROM Telstra")),
                 (QList<QVariantList>{{QStringLiteral("Demo carrier"), QStringLiteral("5001"),
                                       QStringLiteral("Y")}}));
        QCOMPARE(folder.rows(QStringLiteral("Ombrixsys.mdb"),
                             QStringLiteral("SELECT Description, Port, Active, RawOutput, "
                                            "AllowFrom FROM Outputs ORDER BY Description")),
                 (QList<QVariantList>{
                     {QStringLiteral("Client A"), QStringLiteral("6001"), QStringLiteral("Y"),
                      QStringLiteral("N"), QStringLiteral("127.0.0.1")},
                     {QStringLiteral("Client B"), QStringLiteral("6002"), QStringLiteral("Y"),
                      QStringLiteral("N"), QStringLiteral("127.0.0.1")}}));
    }

    void neverOverwritesAnExistingFile() {
        QTemporaryDir dir;
        QFile keep(dir.filePath(QStringLiteral("delayed.mdb")));
        QVERIFY(keep.open(QIODevice::WriteOnly));
        keep.write("operator's data");
        keep.close();
        const QString failure = config::CreateWorkFolder(dir.path(), false, QStringLiteral("now"));
        QVERIFY(failure.contains(QStringLiteral("delayed.mdb")));
        QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("Ombrixsys.mdb"))));
        QVERIFY(keep.open(QIODevice::ReadOnly));
        QCOMPARE(keep.readAll(), QByteArray("operator's data"));
    }
};

QTEST_GUILESS_MAIN(WorkFolderTest)
#include "work-folder-test.moc"
