// LogClass on real files in a temporary folder: headers, lines, back-ups and
// what is left on disk when things go wrong.

#include "FileText.h"

#include "logging/LogClass.h"
#include "logging/gZelkorfile.h"
#include "platform/Clock.h"
#include "platform/DateTimeText.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class LogClassTest : public QObject {
    Q_OBJECT
    QTemporaryDir dir;
    QString work;
    platform::FakeClock clock{QDateTime(QDate(2026, 3, 7), QTime(9, 5, 4))};
    platform::DateTimeText texts{QLocale::c()};

    QString at(const QString& relative) const { return dir.filePath(relative); }

private slots:
    void init() {
        work = dir.path();
        QDir(work).removeRecursively();
        QDir().mkpath(work);
        clock.set(QDateTime(QDate(2026, 3, 7), QTime(9, 5, 4)));
    }

    void createdFileStartsWithTheHeaderAndLinesCarryStamps() {
        LogClass log(clock, texts, work);
        QVERIFY(log.Connect(QString(), QStringLiteral("CENTRAL-OFFICE")));
        QCOMPARE(log.FileName(), QStringLiteral("KVLG_CEN.log"));
        QCOMPARE(log.FileFullPath(), QStringLiteral("./LOGS/KVLG_CEN.log"));
        QVERIFY(log.AddLog(QStringLiteral("first message")));
        const auto lines = FileLines(at(QStringLiteral("LOGS/KVLG_CEN.log")));
        QCOMPARE(lines.size(), 7);
        QCOMPARE(lines[0], QByteArray("File :        KVLG_CEN.log"));
        QCOMPARE(lines[1], QByteArray("Version :     1.02.02"));
        QCOMPARE(lines[2], QByteArray("Created :     7 Mar 2026 09:05:04"));
        QCOMPARE(lines[3], QByteArray("Directory :   ./LOGS"));
        QCOMPARE(lines[4], QByteArray());
        QCOMPARE(lines[5], QByteArray("Date/Time                   User    Logged Message"));
        QCOMPARE(lines[6], QByteArray("07/03/26 09:05:04 CENTRAL-first message"));
        QVERIFY(ReadFile(at(QStringLiteral("LOGS/KVLG_CEN.log"))).endsWith("message\r\n"));
        QCOMPARE(log.Sizeof(), 7);
        QCOMPARE(log.FSERVER(), QStringLiteral("."));
    }

    void stampsAndUserField() {
        LogClass log(clock, texts, work);
        log.SetFileName(QStringLiteral("stamps.log"));
        QVERIFY(log.Connect(work, QStringLiteral("AB")));
        log.AddLog(QStringLiteral("all"));
        log.DateStamp = false;
        log.AddLog(QStringLiteral("no date"));
        log.TimeStamp = false;
        log.AddLog(QStringLiteral("user only"));
        log.UserStamp = false;
        log.AddLog(QStringLiteral("message alone"));
        const auto lines = FileLines(at(QStringLiteral("LOGS/stamps.log")));
        QCOMPARE(lines.mid(6),
                 (QList<QByteArray>{"07/03/26 09:05:04 AB      all", "09:05:04 AB      no date",
                                    "AB      user only", "message alone"}));
    }

    void everyByteValueReachesTheFileUnchanged() {
        LogClass log(clock, texts, work);
        log.SetFileName(QStringLiteral("raw.log"));
        log.DateStamp = log.TimeStamp = log.UserStamp = false;
        QVERIFY(log.Connect(work, QStringLiteral("RAW")));
        QByteArray all;
        for (int i = 0; i < 256; ++i)
            all.append(static_cast<char>(i));
        log.AddLog(all);
        QVERIFY(ReadFile(at(QStringLiteral("LOGS/raw.log"))).endsWith(all + "\r\n"));
    }

    void existingFileIsAppendedWithoutANewHeader() {
        QDir().mkpath(at(QStringLiteral("LOGS")));
        QFile f(at(QStringLiteral("LOGS/old.log")));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("earlier line\r\n");
        f.close();
        LogClass log(clock, texts, work);
        log.SetFileName(QStringLiteral("old.log"));
        log.UserStamp = log.DateStamp = log.TimeStamp = false;
        QVERIFY(log.Connect(work, QStringLiteral("X")));
        log.AddLog(QStringLiteral("later line"));
        QCOMPARE(ReadFile(at(QStringLiteral("LOGS/old.log"))),
                 QByteArray("earlier line\r\nlater line\r\n"));
    }

    void connectFailuresAndTheErrorCode() {
        LogClass missing(clock, texts, work);
        QVERIFY(!missing.Connect(at(QStringLiteral("no/such/folder")), QStringLiteral("CEN")));
        QCOMPARE(missing.Error(), 1);
        QCOMPARE(missing.Error(), 0);
        QVERIFY(
            missing.AddLog(QStringLiteral("dropped"))); // not enabled: nothing written, no failure
        QCOMPARE(missing.FSERVER(), QString());
        QCOMPARE(missing.Error(), 1);

        LogClass log(clock, texts, work);
        QVERIFY(log.Connect(work, QStringLiteral("CEN")));
        QVERIFY(!log.Connect(work, QStringLiteral("CEN")));
        QCOMPARE(log.Error(), 0);
        // The name cannot change while connected.
        log.SetFileName(QStringLiteral("other.log"));
        QCOMPARE(log.FileName(), QStringLiteral("KVLG_CEN.log"));
    }

    void defaultNameFromAShortUserAndAnEmptyChosenName() {
        LogClass shortUser(clock, texts, work);
        QVERIFY(shortUser.Connect(work, QStringLiteral("AB")));
        QCOMPARE(shortUser.FileName(), QStringLiteral("KVLG_AB~.log"));
        LogClass emptyName(clock, texts, work);
        emptyName.SetFileName(QString());
        QVERIFY(emptyName.Connect(work, QStringLiteral("DECODER")));
        QCOMPARE(emptyName.FileName(), QStringLiteral("KVLG_DEC.log"));
    }

    void enabledWritesBothRecords() {
        LogClass log(clock, texts, work);
        log.SetFileName(QStringLiteral("e.log"));
        log.DateStamp = log.TimeStamp = log.UserStamp = false;
        QVERIFY(log.Connect(work, QStringLiteral("X")));
        log.SetEnabled(false);
        log.AddLog(QStringLiteral("hidden"));
        log.SetEnabled(false);
        log.SetEnabled(true);
        log.AddLog(QStringLiteral("shown"));
        QCOMPARE(FileLines(at(QStringLiteral("LOGS/e.log"))).mid(6),
                 (QList<QByteArray>{"(#) Software Disabled Log Recording",
                                    "(#) Software Disabled Log Recording",
                                    "(#) Software Enabled Log Recording", "shown"}));
    }

    void backupMovesTheFileAndStartsANewOne() {
        LogClass log(clock, texts, work);
        log.SetFileName(QStringLiteral("Quorlan"));
        log.DateStamp = log.TimeStamp = log.UserStamp = false;
        QVERIFY(log.Connect(work, QStringLiteral("CEN")));
        log.AddLog(QStringLiteral("before"));
        const QString name = log.Backup();
        QCOMPARE(name, QStringLiteral("2026-03-07-09-05-04_Quorlan"));
        const auto old = FileLines(at(QStringLiteral("LOGS/BACKUP/2026-03-07-09-05-04_Quorlan")));
        QCOMPARE(old.last(), QByteArray("Backing up Log file") + QByteArray(50, '.'));
        QCOMPARE(old[6], QByteArray("before"));
        const auto fresh = FileLines(at(QStringLiteral("LOGS/Quorlan")));
        QCOMPARE(fresh.size(), 7);
        QCOMPARE(
            fresh[6],
            QByteArray("... Continuation from backed up log file = 2026-03-07-09-05-04_Quorlan"));
        // A second back-up within the same second finds its name taken.
        QCOMPARE(log.Backup(), QString());
        log.AddLog(QStringLiteral("still logging"));
        QCOMPARE(FileLines(at(QStringLiteral("LOGS/Quorlan"))).last(), QByteArray("still logging"));
    }

    void cycleBackupKeepsOneCopyPerDayOfMonth() {
        LogClass log(clock, texts, work);
        log.SetFileName(QStringLiteral("cyc.log"));
        log.DateStamp = log.TimeStamp = log.UserStamp = false;
        QVERIFY(log.Connect(work, QStringLiteral("RAW")));
        log.AddLog(QStringLiteral("morning"));
        QCOMPARE(log.CycleBackup(), QStringLiteral("07_cyc.log"));
        log.AddLog(QStringLiteral("evening"));
        clock.advanceSecs(8 * 3600);
        QCOMPARE(log.CycleBackup(), QStringLiteral("07_cyc.log"));
        auto copy = FileLines(at(QStringLiteral("BACKUP/07_cyc.log")));
        QVERIFY(copy.contains("evening"));
        QVERIFY(!copy.contains("morning"));
        QCOMPARE(copy.last(), QByteArray("Backing up Log file (by RAW     ) ..."));
        QCOMPARE(
            FileLines(at(QStringLiteral("LOGS/cyc.log"))).value(6),
            QByteArray("Cycle Backup: Continuation from recently backed up log file = 07_cyc.log"));
        log.AddLog(QStringLiteral("next month"));
        clock.set(QDateTime(QDate(2026, 4, 7), QTime(1, 0, 0)));
        QCOMPARE(log.CycleBackup(), QStringLiteral("07_cyc.log"));
        QVERIFY(FileLines(at(QStringLiteral("BACKUP/07_cyc.log"))).contains("next month"));
        QCOMPARE(QDir(at(QStringLiteral("BACKUP"))).entryList(QDir::Files).size(), 1);
    }

    void removedFileIsCreatedAgainWithItsHeader() {
        LogClass log(clock, texts, work);
        log.SetFileName(QStringLiteral("rot.log"));
        log.DateStamp = log.TimeStamp = log.UserStamp = false;
        QVERIFY(log.Connect(work, QStringLiteral("CEN")));
        log.AddLog(QStringLiteral("one"));
        QVERIFY(
            QFile::rename(at(QStringLiteral("LOGS/rot.log")), at(QStringLiteral("rotated.log"))));
        QVERIFY(log.AddLog(QStringLiteral("two")));
        auto lines = FileLines(at(QStringLiteral("LOGS/rot.log")));
        QCOMPARE(lines.size(), 7);
        QCOMPARE(lines[0], QByteArray("File :        rot.log"));
        QCOMPARE(lines[6], QByteArray("two"));
        QVERIFY(QDir(at(QStringLiteral("LOGS"))).removeRecursively());
        QVERIFY(log.AddLog(QStringLiteral("three")));
        QCOMPARE(FileLines(at(QStringLiteral("LOGS/rot.log"))).value(6), QByteArray("three"));
        // A disconnected log does not bring its file back.
        log.Disconnect();
        QVERIFY(QFile::remove(at(QStringLiteral("LOGS/rot.log"))));
        QVERIFY(log.AddLog(QStringLiteral("four")));
        QVERIFY(!QFile::exists(at(QStringLiteral("LOGS/rot.log"))));
    }

    // The file stays open between lines: one moved away must not take the
    // lines that follow into its new place, and one put at the path gets them.
    void aFileMovedRemovedOrReplacedWhileHeldOpen() {
        LogClass log(clock, texts, work);
        log.SetFileName(QStringLiteral("held.log"));
        log.DateStamp = log.TimeStamp = log.UserStamp = false;
        QVERIFY(log.Connect(work, QStringLiteral("CEN")));
        const QString path = at(QStringLiteral("LOGS/held.log"));
        log.AddLog(QStringLiteral("one"));
        QVERIFY(QFile::rename(path, at(QStringLiteral("moved.log"))));
        log.AddLog(QStringLiteral("two"));
        QCOMPARE(FileLines(at(QStringLiteral("moved.log"))).last(), QByteArray("one"));
        auto lines = FileLines(path);
        QCOMPARE(lines.size(), 7);
        QCOMPARE(lines[0], QByteArray("File :        held.log"));
        QCOMPARE(lines[6], QByteArray("two"));

        QVERIFY(QFile::remove(path));
        log.AddLog(QStringLiteral("three"));
        lines = FileLines(path);
        QCOMPARE(lines.size(), 7);
        QCOMPARE(lines[0], QByteArray("File :        held.log"));
        QCOMPARE(lines[6], QByteArray("three"));

        QFile restored(at(QStringLiteral("restored.log")));
        QVERIFY(restored.open(QIODevice::WriteOnly));
        restored.write("restored\r\n");
        restored.close();
        QVERIFY(QFile::remove(path));
        QVERIFY(QFile::rename(restored.fileName(), path));
        log.AddLog(QStringLiteral("four"));
        QCOMPARE(FileLines(path), (QList<QByteArray>{"restored", "four"}));
    }

    // Every line is in the back-ups or the current file, once, whole, and in
    // the order written.
    void backUpsBetweenLinesLoseNoLineAndSplitNone() {
        LogClass log(clock, texts, work);
        log.SetFileName(QStringLiteral("busy.log"));
        log.DateStamp = log.TimeStamp = log.UserStamp = false;
        QVERIFY(log.Connect(work, QStringLiteral("CEN")));
        constexpr int kLines = 1000;
        for (int i = 0; i < kLines; ++i) {
            log.AddLog(QByteArray("line ") + QByteArray::number(i));
            if (i % 100 == 99) {
                clock.advanceSecs(1);
                QVERIFY(!log.Backup().isEmpty());
            }
        }
        QStringList files;
        const QDir backups(at(QStringLiteral("LOGS/BACKUP")));
        for (const QString& name : backups.entryList(QDir::Files, QDir::Name))
            files << backups.filePath(name);
        QCOMPARE(files.size(), kLines / 100);
        files << at(QStringLiteral("LOGS/busy.log"));
        QList<QByteArray> written;
        for (const QString& file : std::as_const(files)) {
            QVERIFY(ReadFile(file).endsWith("\r\n"));
            for (const QByteArray& line : FileLines(file))
                if (line.startsWith("line "))
                    written << line;
        }
        QCOMPARE(written.size(), kLines);
        for (int i = 0; i < kLines; ++i)
            QCOMPARE(written[i], QByteArray("line ") + QByteArray::number(i));
    }

    void fileRoutinesReportFailureAsFalse() {
        QVERIFY(!gZelkorfile::FileExists(at(QStringLiteral("none")), 0));
        QVERIFY(gZelkorfile::FileExists(work, 16));
        QVERIFY(!gZelkorfile::FileExists(work, 0));
        QVERIFY(!gZelkorfile::KillFile(at(QStringLiteral("none"))));
        QVERIFY(!gZelkorfile::ZelkorCopy(at(QStringLiteral("none")), at(QStringLiteral("target"))));
        QFile src(at(QStringLiteral("src")));
        QVERIFY(src.open(QIODevice::WriteOnly));
        src.write("payload");
        src.close();
        QFile old(at(QStringLiteral("target")));
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("a much longer previous content");
        old.close();
        QVERIFY(gZelkorfile::ZelkorCopy(at(QStringLiteral("src")), at(QStringLiteral("target"))));
        QCOMPARE(ReadFile(at(QStringLiteral("target"))), QByteArray("payload"));
        QVERIFY(!gZelkorfile::ZelkorCopy(at(QStringLiteral("src")),
                                         at(QStringLiteral("no/dir/target"))));
        QVERIFY(gZelkorfile::KillFile(at(QStringLiteral("target"))));
        QVERIFY(!QFile::exists(at(QStringLiteral("target"))));
    }
};

QTEST_GUILESS_MAIN(LogClassTest)
#include "log-class-test.moc"
