// The application's logs as an operator finds them: the files under LOGS, the
// panes of the window, and the daily back-up, driven by the fake clock.

#include "FileText.h"
#include "TestSystem.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTest>

#include <functional>
#include <optional>

#include <unistd.h>

namespace {

const QDateTime kStart(QDate(2026, 1, 15), QTime(10, 0, 0));

// A 64 KiB tmpfs on a folder for as long as it lives: a disk that fills up.
// Only root may mount one.
class SmallDisk {
public:
    explicit SmallDisk(const QString& folder) : folder_(folder) {
        mounted_ =
            ::geteuid() == 0 &&
            QProcess::execute(QStringLiteral("mount"),
                              {QStringLiteral("-t"), QStringLiteral("tmpfs"), QStringLiteral("-o"),
                               QStringLiteral("size=64k"), QStringLiteral("tmpfs"), folder}) == 0;
    }
    ~SmallDisk() {
        if (mounted_)
            QProcess::execute(QStringLiteral("umount"), {folder_});
    }
    bool mounted() const { return mounted_; }

    // Takes every block still free.
    void fill() const {
        QFile filler(fillerPath());
        QVERIFY(filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
        const QByteArray block(4096, 'f');
        while (filler.write(block) == block.size()) {
        }
    }
    void makeRoom() const { QVERIFY(QFile::remove(fillerPath())); }

private:
    QString fillerPath() const { return folder_ + QStringLiteral("/filler"); }
    QString folder_;
    bool mounted_ = false;
};

} // namespace

class LogsTest : public QObject {
    Q_OBJECT

private slots:
    void startUpOpensTheThreeLogsWithBannersAndStopsThemAtShutdown() {
        WorkFolder folder;
        TestSystem t(folder.path());
        t.clock.set(kStart);
        QVERIFY(t->Form_Load());
        const QString logs = folder.file(QStringLiteral("LOGS/"));
        const auto system = FileLines(logs + QStringLiteral("Quorlan"));
        QCOMPARE(system.value(0), QByteArray("File :        Quorlan"));
        QCOMPARE(system.value(5), QByteArray("Date/Time                   User    Logged Message"));
        QCOMPARE(system.value(6), QByteArray("15 Jan 2026 10:00:00\t********************** Quorlan "
                                             "System LOG  V2.0 (101) has started."));
        QVERIFY(system.contains("15 Jan 2026 10:00:00\tError\tSystem log intialised"));
        QVERIFY(system.contains("15 Jan 2026 10:00:00\tInput\tTelstra Log intialised"));
        QVERIFY(system.contains("15 Jan 2026 10:00:00\tOutput\tOutputs Log intialised"));
        QCOMPARE(FileLines(logs + QStringLiteral("RAW_DEC.log")).value(6),
                 QByteArray("15 Jan 2026 10:00:00\t********************** Quorlan RAW LOG  V2.0 "
                            "(101) has started."));
        QCOMPARE(FileLines(logs + QStringLiteral("DECODE.log")).value(6),
                 QByteArray("15 Jan 2026 10:00:00\t********************** Quorlan DECODER LOG  "
                            "V2.0 (101) has started."));
        QCOMPARE(t->window.chkEnableLogs.Value, 0);
        QVERIFY(!t->logs.gRawLogEnabled);

        // Panes: newest first; input and output panes carry the time of day only.
        QVERIFY(t->window.txbLogErrors.Text.startsWith(
            QStringLiteral("15 Jan 2026 10:00:00  System: Last back up")));
        QVERIFY(t->window.txbLogErrors.Text.contains(
            QStringLiteral("15 Jan 2026 10:00:00  System log intialised\r\n")));
        QCOMPARE(t->window.txbLogTelstra.Text,
                 QStringLiteral("10:00:00  Telstra Log intialised\r\n"));
        QCOMPARE(t->window.txbLogOutputs.Text,
                 QStringLiteral("10:00:00  System: Check for duplicate ports.\r\n10:00:00  Outputs "
                                "Log intialised\r\n"));

        t.clock.advanceSecs(30);
        t->Form_Unload();
        const QByteArray stop =
            "15 Jan 2026 10:00:30\t********************** Quorlan V2.0 (101) has been stopped.";
        for (const char* name : {"Quorlan", "RAW_DEC.log", "DECODE.log"})
            QCOMPARE(FileLines(logs + QLatin1String(name)).last(), stop);
    }

    void rawLoggingFlagAndLogNameComeFromTheSettings() {
        WorkFolder folder;
        folder.setSetting(QStringLiteral("RawLogEnabled"), QStringLiteral("True"));
        folder.setSetting(QStringLiteral("LogName"), QString());
        TestSystem t(folder.path());
        QVERIFY(t->Form_Load());
        QVERIFY(t->logs.gRawLogEnabled);
        QCOMPARE(t->window.chkEnableLogs.Value, 1);
        QVERIFY(QFile::exists(folder.file(QStringLiteral("LOGS/KVLG_CEN.log"))));

        WorkFolder other;
        other.setSetting(QStringLiteral("RawLogEnabled"), QStringLiteral("maybe"));
        other.setSetting(QStringLiteral("LogsDIR"), other.file(QStringLiteral("elsewhere")));
        QDir().mkpath(other.file(QStringLiteral("elsewhere")));
        TestSystem u(other.path());
        QVERIFY(u->Form_Load());
        QVERIFY(!u->logs.gRawLogEnabled);
        QVERIFY(QFile::exists(other.file(QStringLiteral("elsewhere/LOGS/Quorlan"))));
    }

    void rawLoggingSettingIsStoredBackAsTrueOrFalse_data() {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<bool>("enabled");
        QTest::newRow("True") << QStringLiteral("True") << true;
        QTest::newRow("true") << QStringLiteral("true") << true;
        QTest::newRow("1") << QStringLiteral("1") << true;
        QTest::newRow("-1") << QStringLiteral("-1") << true;
        QTest::newRow("False") << QStringLiteral("False") << false;
        QTest::newRow("0") << QStringLiteral("0") << false;
        QTest::newRow("yes") << QStringLiteral("yes") << false;
        QTest::newRow("empty") << QString() << false;
    }
    void rawLoggingSettingIsStoredBackAsTrueOrFalse() {
        QFETCH(QString, stored);
        QFETCH(bool, enabled);
        WorkFolder folder;
        folder.setSetting(QStringLiteral("RawLogEnabled"), stored);
        TestSystem t(folder.path());
        QVERIFY(t->Form_Load());
        QCOMPARE(t->logs.gRawLogEnabled, enabled);
        QCOMPARE(t->window.chkEnableLogs.Value, enabled ? 1 : 0);
        QCOMPARE(folder.setting(QStringLiteral("RawLogEnabled")).toString(),
                 enabled ? QStringLiteral("True") : QStringLiteral("False"));
        QVERIFY(t.warnings.isEmpty());
    }

    // The daily schedule, BackUpPeriod 24 and BackUpTime 3:01:00 AM. A start at
    // 10:00 after a back-up yesterday at 03:01 finds today's 03:01 back-up missed
    // (31 hours ago): it backs up at the first tick and then schedules tomorrow
    // 03:01. After a later back-up yesterday it schedules tomorrow 03:01 at once.
    void scheduleAfterABackUpYesterday_data() {
        QTest::addColumn<QString>("lastBackUp");
        QTest::addColumn<QTime>("startAt");
        QTest::addColumn<QString>("line");
        QTest::addColumn<bool>("backsUpAtOnce");
        QTest::newRow("10:00 after 03:01")
            << QStringLiteral("14 Jan 2026 03:01:00") << QTime(10, 0)
            << QStringLiteral("System: Last back up is greater than back up period. Application "
                              "will back up now.")
            << true;
        QTest::newRow("10:00 after 12:00")
            << QStringLiteral("14 Jan 2026 12:00:00") << QTime(10, 0)
            << QStringLiteral("System: Next back up time is less than the current time. "
                              "Setting back up to 16 Jan 2026 03:01:00")
            << false;
        QTest::newRow("02:00 after 03:01")
            << QStringLiteral("14 Jan 2026 03:01:00") << QTime(2, 0)
            << QStringLiteral("System: Back Up time is set to 15 Jan 2026 03:01:00") << false;
    }
    void scheduleAfterABackUpYesterday() {
        QFETCH(QString, lastBackUp);
        QFETCH(QTime, startAt);
        QFETCH(QString, line);
        QFETCH(bool, backsUpAtOnce);
        WorkFolder folder;
        folder.setSetting(QStringLiteral("LastBackUp"), lastBackUp);
        TestSystem t(folder.path());
        t.clock.set(QDateTime(QDate(2026, 1, 15), startAt));
        QVERIFY(t->Form_Load());
        QVERIFY(FileLines(folder.file(QStringLiteral("LOGS/Quorlan")))
                    .contains("15 Jan 2026 " +
                              startAt.toString(QStringLiteral("HH:mm:ss")).toUtf8() + "\tError\t" +
                              line.toUtf8()));
        t.clock.advanceSecs(5);
        t->tmrSockets_Timer();
        QCOMPARE(QDir(folder.file(QStringLiteral("LOGS/BACKUP"))).exists(), backsUpAtOnce);
        if (backsUpAtOnce)
            QCOMPARE(t->logs.gNextBackUp, QDateTime(QDate(2026, 1, 16), QTime(3, 1)));
    }

    void overdueBackUpMovesAllThreeLogsAtTheFirstTick() {
        WorkFolder folder;
        folder.setSetting(QStringLiteral("LastBackUp"), QStringLiteral("13 Jan 2026 10:00:00"));
        TestSystem t(folder.path());
        t.clock.set(kStart);
        QVERIFY(t->Form_Load());
        QVERIFY(t->window.txbLogErrors.Text.startsWith(
            QStringLiteral("15 Jan 2026 10:00:00  System: Last back up is greater than back up "
                           "period. Application will back up now.")));
        t.clock.advanceSecs(5);
        t->tmrSockets_Timer();
        const QDir backup(folder.file(QStringLiteral("LOGS/BACKUP")));
        QCOMPARE(backup.entryList(QDir::Files, QDir::Name),
                 (QStringList{QStringLiteral("2026-01-15-10-00-05_DECODE.log"),
                              QStringLiteral("2026-01-15-10-00-05_Quorlan"),
                              QStringLiteral("2026-01-15-10-00-05_RAW_DEC.log")}));
        QCOMPARE(FileLines(folder.file(QStringLiteral("LOGS/RAW_DEC.log"))).value(6),
                 QByteArray(
                     "... Continuation from backed up log file = 2026-01-15-10-00-05_RAW_DEC.log"));
        const auto system = FileLines(folder.file(QStringLiteral("LOGS/Quorlan")));
        QCOMPARE(
            system.value(6),
            QByteArray("... Continuation from backed up log file = 2026-01-15-10-00-05_Quorlan"));
        QCOMPARE(
            system.value(7),
            QByteArray(
                "15 Jan 2026 10:00:05\tError\tSystem: Next back up time is 16 Jan 2026 03:01:00"));
        QCOMPARE(folder.setting(QStringLiteral("LastBackUp")).toString(),
                 QStringLiteral("15 Jan 2026 10:00:05"));
        QCOMPARE(
            *t->dateTimeText.ParseDateTime(folder.setting(QStringLiteral("LastBackUp")).toString()),
            kStart.addSecs(5));
        // The next tick has nothing to do.
        t.clock.advanceSecs(5);
        t->tmrSockets_Timer();
        QCOMPARE(backup.entryList(QDir::Files).size(), 3);
    }

    void aFailingBackUpIsReportedAtEveryTickUntilItWorks() {
        WorkFolder folder;
        folder.setSetting(QStringLiteral("LastBackUp"), QStringLiteral("1 Jan 2026 00:00:00"));
        TestSystem t(folder.path());
        t.clock.set(kStart);
        QVERIFY(t->Form_Load());
        QFile blocker(
            folder.file(QStringLiteral("LOGS/BACKUP"))); // a file where the folder should be
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        for (int tick = 0; tick < 2; ++tick) {
            t.clock.advanceSecs(5);
            t->tmrSockets_Timer();
        }
        const QString errors = t->window.txbLogErrors.Text;
        QCOMPARE(errors.count(QStringLiteral("System failed to back up log.")), 2);
        QCOMPARE(errors.count(QStringLiteral("System failed to back up raw log.")), 2);
        QCOMPARE(errors.count(QStringLiteral("System failed to back up decode log.")), 2);
        QCOMPARE(folder.setting(QStringLiteral("LastBackUp")).toString(),
                 QStringLiteral("1 Jan 2026 00:00:00"));
        QVERIFY(QFile::remove(blocker.fileName()));
        t.clock.advanceSecs(5);
        t->tmrSockets_Timer();
        QCOMPARE(QDir(folder.file(QStringLiteral("LOGS/BACKUP"))).entryList(QDir::Files).size(), 3);
        QCOMPARE(folder.setting(QStringLiteral("LastBackUp")).toString(),
                 QStringLiteral("15 Jan 2026 10:00:15"));
    }

    void withoutALastBackUpRowTheLastBackUpIsNow() {
        WorkFolder folder;
        folder.removeSetting(QStringLiteral("LastBackUp"));
        TestSystem t(folder.path());
        t.clock.set(kStart);
        QVERIFY(t->Form_Load());
        QCOMPARE(t->logs.gNextBackUp, QDateTime(QDate(2026, 1, 16), QTime(3, 1)));
        t->logs.gNextBackUp = t.clock.now(); // forced
        t.clock.advanceSecs(5);
        t->tmrSockets_Timer();
        QCOMPARE(QDir(folder.file(QStringLiteral("LOGS/BACKUP"))).entryList(QDir::Files).size(), 3);
        QVERIFY(!folder.setting(QStringLiteral("LastBackUp")).isValid()); // no row to write to
    }

    void unusableScheduleSettings() {
        WorkFolder folder;
        folder.setSetting(QStringLiteral("BackUpPeriod"), QStringLiteral("0"));
        folder.setSetting(QStringLiteral("BackUpTime"), QStringLiteral("soon"));
        folder.setSetting(QStringLiteral("LastBackUp"), QStringLiteral("yesterday"));
        TestSystem t(folder.path());
        t.clock.set(kStart);
        QVERIFY(t->Form_Load());
        QVERIFY(t->window.txbLogErrors.Text.contains(QStringLiteral("Backing up every 24 hours.")));
        // The last back-up counts as now; the unreadable time as the default, said once.
        QCOMPARE(t->logs.gNextBackUp, QDateTime(QDate(2026, 1, 16), QTime(3, 1)));
        t->logs.gNextBackUp = t.clock.now();
        t.clock.advanceSecs(5);
        t->tmrSockets_Timer();
        QCOMPARE(t->logs.gNextBackUp, QDateTime(QDate(2026, 1, 16), QTime(3, 1)));
        QCOMPARE(t->logs.gErrorLogText.count(
                     "System: BackUpTime \"soon\" is not a time of day. Backing up at 3:01:00 AM."),
                 1);
        QVERIFY(t->window.txbLogErrors.Text.contains(QStringLiteral("BackUpPeriod \"0\"")));
        QVERIFY(t->window.txbLogErrors.Text.contains(QStringLiteral("LastBackUp \"yesterday\"")));
    }

    void anUnusablePeriodIsQuotedAsTyped() {
        WorkFolder folder;
        folder.setSetting(QStringLiteral("BackUpPeriod"), QStringLiteral("%1"));
        TestSystem t(folder.path());
        t.clock.set(kStart);
        QVERIFY(t->Form_Load());
        QVERIFY(t->window.txbLogErrors.Text.contains(
            QStringLiteral("System: BackUpPeriod \"%1\" is not a number of hours above 0. "
                           "Backing up every 24 hours.")));
    }

    void panesHoldAtMost5000CharactersNewestFirst() {
        WorkFolder folder;
        TestSystem t(folder.path());
        t.clock.set(kStart);
        QVERIFY(t->Form_Load());
        for (int i = 0; i < 200; ++i)
            t->logs.LogOutput(QStringLiteral("line %1 ").arg(i, 3, 10, QLatin1Char('0')) +
                              QString(40, QLatin1Char('x')));
        QCOMPARE(t->logs.gOutputsLogText.size(), 5000);
        QVERIFY(t->window.txbLogOutputs.Text.startsWith(QStringLiteral("10:00:00  line 199 ")));
        QVERIFY(t->logs.gOutputsLogText.startsWith("10:00:00  line 199 "));
        QVERIFY(!t->logs.gOutputsLogText.contains("line 000"));
        // The file keeps every line.
        int fileLines = 0;
        for (const QByteArray& line : FileLines(folder.file(QStringLiteral("LOGS/Quorlan"))))
            fileLines += line.contains("\tOutput\tline ") ? 1 : 0;
        QCOMPARE(fileLines, 200);
        t->logs.LogDecoder(QStringLiteral("page"));
        QCOMPARE(FileLines(folder.file(QStringLiteral("LOGS/DECODE.log"))).last(),
                 QByteArray("15 Jan 2026 10:00:00\tpage"));
    }

    // Lines that do not fit are lost whole, never cut; the operator hears of it
    // once, and once more, with the count, when the log is written again.
    // A batch writes what the same lines would write one by one: the same
    // panes, cut at the same byte, and the same file.
    void linesInABatchEndAsTheyWouldLineByLine() {
        QList<QByteArray> lines;
        for (int i = 0; i < 120; ++i)
            lines << QByteArray::number(i) + " caf\xC3\xA9 \xFF" + QByteArray(i % 7 * 20, 'z');
        struct Seen {
            QString outputs, errors;
            QByteArray held;
            QList<QByteArray> file;
        };
        const auto run = [&](bool batched) {
            WorkFolder folder;
            TestSystem t(folder.path());
            t.clock.set(kStart);
            if (!t->Form_Load())
                return Seen{};
            std::optional<Logs::LineBatch> batch;
            if (batched)
                batch.emplace(t->logs);
            for (const QByteArray& line : lines) {
                t->logs.LogOutput(line);
                if (line.startsWith("5"))
                    t->logs.LogError(line);
            }
            batch.reset();
            return Seen{t->window.txbLogOutputs.Text, t->window.txbLogErrors.Text,
                        t->logs.gOutputsLogText,
                        FileLines(folder.file(QStringLiteral("LOGS/Quorlan")))};
        };
        const Seen single = run(false);
        const Seen batched = run(true);
        QVERIFY(single.held.size() == Logs::kPaneLimit);
        QCOMPARE(batched.outputs, single.outputs);
        QCOMPARE(batched.errors, single.errors);
        QCOMPARE(batched.held, single.held);
        QCOMPARE(batched.file, single.file);
        QVERIFY(single.file.contains("15 Jan 2026 10:00:00\tError\t" + lines[59]));
    }

    // Lines handed over to be written later land where they were handed over:
    // before the next line of the Input, Outputs or Errors pane or the System
    // log, or when the batch ends; a decoder line does not call them out.
    void linesWrittenLaterKeepTheirPlace() {
        struct Seen {
            QString outputs, input, errors;
            QList<QByteArray> file;
            int afterDecoderLine = 0, beforeBatchEnd = 0; // sets of lines written
        };
        const auto run = [&](bool later) {
            WorkFolder folder;
            TestSystem t(folder.path());
            t.clock.set(kStart);
            Seen seen;
            if (!t->Form_Load())
                return seen;
            Logs& logs = t->logs;
            int written = 0;
            const auto lines = [&](const QByteArray& name) {
                return [&logs, &written, name] {
                    ++written;
                    logs.LogOutput(name + " 1");
                    logs.LogOutput(name + " 2");
                };
            };
            const auto hand = [&](const std::function<void()>& write) {
                if (later)
                    logs.WriteLater(write);
                else
                    write();
            };
            {
                const Logs::LineBatch batch(logs);
                hand(lines("notice"));
                logs.LogDecoder(QStringLiteral("decoded"));
                seen.afterDecoderLine = written;
                logs.LogInput(QStringLiteral("in"));
                hand(lines("page"));
                logs.LogError(QStringLiteral("error"));
                hand(lines("last"));
                seen.beforeBatchEnd = written;
            }
            hand(lines("alone"));
            seen.outputs = t->window.txbLogOutputs.Text;
            seen.input = t->window.txbLogTelstra.Text;
            seen.errors = t->window.txbLogErrors.Text;
            seen.file = FileLines(folder.file(QStringLiteral("LOGS/Quorlan")));
            return seen;
        };
        const Seen direct = run(false);
        const Seen later = run(true);
        QCOMPARE(later.afterDecoderLine, 0);
        QCOMPARE(later.beforeBatchEnd, 2);
        QVERIFY(direct.outputs.startsWith("10:00:00  alone 2\r\n10:00:00  alone 1\r\n"));
        QCOMPARE(later.outputs, direct.outputs);
        QCOMPARE(later.input, direct.input);
        QCOMPARE(later.errors, direct.errors);
        QCOMPARE(later.file, direct.file);
        const qsizetype notice = later.file.indexOf("15 Jan 2026 10:00:00\tOutput\tnotice 1");
        QVERIFY(notice > 0);
        QCOMPARE(
            later.file.mid(notice, 9),
            (QList<QByteArray>{
                "15 Jan 2026 10:00:00\tOutput\tnotice 1", "15 Jan 2026 10:00:00\tOutput\tnotice 2",
                "15 Jan 2026 10:00:00\tInput\tin", "15 Jan 2026 10:00:00\tOutput\tpage 1",
                "15 Jan 2026 10:00:00\tOutput\tpage 2", "15 Jan 2026 10:00:00\tError\terror",
                "15 Jan 2026 10:00:00\tOutput\tlast 1", "15 Jan 2026 10:00:00\tOutput\tlast 2",
                "15 Jan 2026 10:00:00\tOutput\talone 1"}));
    }

    void aFullDiskLosesWholeLinesAndSaysSoOnceEachWay_data() {
        QTest::addColumn<bool>("batched");
        QTest::newRow("line by line") << false;
        QTest::newRow("in one batch") << true;
    }

    void aFullDiskLosesWholeLinesAndSaysSoOnceEachWay() {
        QFETCH(bool, batched);
        WorkFolder folder;
        const QString logs = folder.file(QStringLiteral("disk/LOGS"));
        QVERIFY(QDir().mkpath(logs));
        SmallDisk disk(logs);
        if (!disk.mounted())
            QSKIP("Needs root to mount a small tmpfs on the LOGS folder (CI runs as root).");
        folder.setSetting(QStringLiteral("LogsDIR"), folder.file(QStringLiteral("disk")));
        TestSystem t(folder.path());
        t.clock.set(kStart);
        QVERIFY(t->Form_Load());
        disk.fill();

        // More than is left in the System log's last block.
        const QString filler(180, QLatin1Char('x'));
        std::optional<Logs::LineBatch> batch;
        if (batched)
            batch.emplace(t->logs);
        for (int i = 0; i < 100; ++i)
            t->logs.LogOutput(QStringLiteral("line %1 ").arg(i, 3, 10, QLatin1Char('0')) + filler);
        batch.reset();
        const QString systemLog = logs + QStringLiteral("/Quorlan");
        const QByteArray bytes = ReadFile(systemLog);
        QVERIFY(bytes.endsWith("\r\n"));
        QCOMPARE(bytes.count("\r\n"), bytes.count('\n'));
        QList<QByteArray> written;
        for (const QByteArray& line : FileLines(systemLog))
            if (line.contains("\tOutput\tline "))
                written << line;
        QVERIFY(!written.isEmpty());
        QVERIFY(written.size() < 100);
        for (qsizetype i = 0; i < written.size(); ++i)
            QCOMPARE(written[i], QByteArray("15 Jan 2026 10:00:00\tOutput\tline " +
                                            QByteArray::number(i).rightJustified(3, '0') + ' ' +
                                            filler.toUtf8()));
        QCOMPARE(t->logs.gErrorLogText.count("15 Jan 2026 10:00:00  System: Cannot write the log "
                                             "Quorlan (No space left on device). Its lines are "
                                             "lost until it can.\r\n"),
                 1);

        disk.makeRoom();
        t.clock.advanceSecs(1);
        t->logs.LogOutput(QStringLiteral("after"));
        t->logs.LogOutput(QStringLiteral("after that"));
        const QByteArray again = "System: The log Quorlan is written again. " +
                                 QByteArray::number(100 - written.size()) + " lines were lost.";
        QCOMPARE(FileLines(systemLog).last(3),
                 (QList<QByteArray>{"15 Jan 2026 10:00:01\tOutput\tafter",
                                    "15 Jan 2026 10:00:01\tError\t" + again,
                                    "15 Jan 2026 10:00:01\tOutput\tafter that"}));
        QVERIFY(ReadFile(systemLog).endsWith("\r\n"));
        QCOMPARE(t->logs.gErrorLogText.count(again), 1);
    }

    void everyByteValueReachesTheSystemLog() {
        WorkFolder folder;
        TestSystem t(folder.path());
        QVERIFY(t->Form_Load());
        QByteArray all;
        for (int i = 0; i < 256; ++i)
            all.append(static_cast<char>(i));
        t->logs.LogOutput(QByteArray("Out: Client A\t") + all);
        QFile f(folder.file(QStringLiteral("LOGS/Quorlan")));
        QVERIFY(f.open(QIODevice::ReadOnly));
        QVERIFY(f.readAll().endsWith("\tOutput\tOut: Client A\t" + all + "\r\n"));
    }

    void warningsReachTheErrorLog() {
        WorkFolder folder;
        TestSystem t(folder.path());
        t.clock.set(kStart);
        QVERIFY(t->Form_Load());
        t->ShowWarning(ErrorCode::ConnectTelstraPort, QStringLiteral("Connection refused"), 1);
        QCOMPARE(FileLines(folder.file(QStringLiteral("LOGS/Quorlan"))).last(),
                 QByteArray("15 Jan 2026 10:00:00\tError\tError\tConnection refused"));
    }

    // A warning raised while start-up has no log open yet (the store, the
    // settings) is on the error pane at once and in the System log as soon as
    // it opens, with the time it happened.
    void warningsBeforeTheLogsOpenReachTheSystemLog() {
        WorkFolder folder;
        TestSystem t(folder.path());
        t.clock.set(kStart);
        t->ShowWarning(ErrorCode::DelayedList, QStringLiteral("disk image is malformed"), 0);
        QVERIFY(t->window.txbLogErrors.Text.contains(QStringLiteral("disk image is malformed")));
        t.clock.advanceSecs(3);
        QVERIFY(t->Form_Load());
        const QList<QByteArray> lines = FileLines(folder.file(QStringLiteral("LOGS/Quorlan")));
        const qsizetype opened =
            lines.indexOf(QByteArray("15 Jan 2026 10:00:03\tError\tSystem log intialised"));
        QVERIFY(opened > 0);
        QCOMPARE(lines.value(opened + 1),
                 QByteArray("15 Jan 2026 10:00:00\tError\tError\tdisk image is malformed"));
        QCOMPARE(
            lines.count(QByteArray("15 Jan 2026 10:00:00\tError\tError\tdisk image is malformed")),
            1);
    }
};

QTEST_GUILESS_MAIN(LogsTest)
#include "logs-test.moc"
