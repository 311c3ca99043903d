// The logs as a module of their own: built on the system database, a clock
// and a recording events receiver, they tell the operator everything through
// the events: no relay and no window is built.

#include "FileText.h"
#include "WorkFolder.h"

#include "config/CoreEvents.h"
#include "config/adoQuorlan.h"
#include "logging/Logs.h"
#include "platform/Clock.h"
#include "platform/DateTimeText.h"
#include "platform/Version.h"

#include <QFile>
#include <QTest>

namespace {

const QDateTime kStart(QDate(2026, 1, 15), QTime(10, 0, 0));

// What the logs tell the operator, in order.
struct RecordingEvents final : CoreEvents {
    QList<QPair<LogPane, QByteArray>> panes;
    QStringList notices;
    QList<bool> rawLogging;
    int changes = 0;

    void PaneChanged(LogPane pane, const QByteArray& text) override { panes.append({pane, text}); }
    void Notice(const QString& text) override { notices << text; }
    void WarningShown(int, const QString&, const QString&, int) override {}
    void InfoShown(const QString&) override {}
    void TableShown(ShownTable, const std::shared_ptr<platform::Recordset>&, TableMode) override {}
    void StatusChanged(StatusText, const QString&) override {}
    void DelayedCountShown(const QString&) override {}
    void RawLoggingShown(bool on) override { rawLogging << on; }
    void Changed() override { ++changes; }

    QByteArray lastPane(LogPane pane) const {
        for (auto it = panes.crbegin(); it != panes.crend(); ++it)
            if (it->first == pane)
                return it->second;
        return {};
    }
};

// Logs of their own over an open system database: no relay, no window.
struct LogsOnTheirOwn {
    explicit LogsOnTheirOwn(const WorkFolder& folder) : workDir(folder.path()) {
        QCOMPARE(db.OpenSysDatabase(), 1);
    }
    QString workDir;
    platform::FakeClock clock{kStart};
    platform::DateTimeText texts{QLocale::c()};
    RecordingEvents events;
    adoQuorlan db{workDir, events, [](LogPane, const QString&) {}};
    Logs logs{platform::Time(clock, texts), workDir, db, events, version::Text()};
};

} // namespace

class LogsEventsTest : public QObject {
    Q_OBJECT

private slots:
    void panesGoOutAsEventsAndTheWindowIsNotTouched() {
        WorkFolder folder;
        LogsOnTheirOwn own(folder);
        own.logs.InitLogs();
        own.logs.LogInput(QByteArrayLiteral("from the carrier"));
        QCOMPARE(own.events.lastPane(LogPane::Telstra),
                 QByteArray("10:00:00  from the carrier\r\n10:00:00  Telstra Log intialised\r\n"));
        QCOMPARE(own.events.lastPane(LogPane::Outputs),
                 QByteArray("10:00:00  Outputs Log intialised\r\n"));
        QVERIFY(own.events.lastPane(LogPane::Errors)
                    .startsWith("15 Jan 2026 10:00:00  System: Last back up"));
        QVERIFY(own.events.notices.isEmpty());
        QVERIFY(ReadFile(folder.file(QStringLiteral("LOGS/Quorlan")))
                    .contains("15 Jan 2026 10:00:00\tInput\tfrom the carrier"));
    }

    void aBatchTellsEachPaneOnce() {
        WorkFolder folder;
        LogsOnTheirOwn own(folder);
        own.logs.InitLogs();
        own.events.panes.clear();
        {
            Logs::LineBatch batch(own.logs);
            own.logs.LogOutput(QByteArrayLiteral("one"));
            own.logs.LogOutput(QByteArrayLiteral("two"));
            QVERIFY(own.events.panes.isEmpty());
        }
        QCOMPARE(own.events.panes.size(), 1);
        QVERIFY(own.events.panes.first().second.startsWith("10:00:00  two\r\n10:00:00  one\r\n"));
    }

    // A carrier read of thousands of pages must not hold all their lines in
    // memory: past the limit the batch writes what it holds, in order.
    void aLongBatchWritesItsLinesInParts() {
        WorkFolder folder;
        LogsOnTheirOwn own(folder);
        own.logs.InitLogs();
        own.events.panes.clear();
        const QString log = folder.file(QStringLiteral("LOGS/Quorlan"));
        const int messages = Logs::kBatchLineLimit; // two lines each: pane and file
        {
            Logs::LineBatch batch(own.logs);
            for (int i = 0; i < messages; ++i)
                own.logs.LogOutput(QByteArray("line ") + QByteArray::number(i));
            QVERIFY(ReadFile(log).contains("\tOutput\tline 0\r\n"));
            QVERIFY(!ReadFile(log).contains(QByteArray("\tOutput\tline ") +
                                            QByteArray::number(messages - 1)));
            QVERIFY(!own.events.panes.isEmpty());
        }
        const QByteArray written = ReadFile(log);
        qsizetype at = 0;
        for (int i = 0; i < messages; ++i) {
            at =
                written.indexOf(QByteArray("\tOutput\tline ") + QByteArray::number(i) + "\r\n", at);
            QVERIFY2(at >= 0, qPrintable(QStringLiteral("line %1 missing or out of order").arg(i)));
        }
        QVERIFY(own.events.lastPane(LogPane::Outputs)
                    .startsWith(QByteArray("10:00:00  line ") + QByteArray::number(messages - 1)));
    }

    // Without a window the operator has only the notices to hear it by.
    void aLogThatCannotBeOpenedIsANotice() {
        WorkFolder folder;
        QFile blocker(folder.file(QStringLiteral("LOGS")));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        LogsOnTheirOwn own(folder);
        own.logs.InitLogs();
        QCOMPARE(own.events.notices,
                 QStringList({QStringLiteral("System: Cannot open the log Quorlan in ./LOGS. Its "
                                             "lines are not written."),
                              QStringLiteral("System: Cannot open the log RAW_DEC.log in ./LOGS. "
                                             "Its lines are not written."),
                              QStringLiteral("System: Cannot open the log DECODE.log in ./LOGS. "
                                             "Its lines are not written.")}));
        QVERIFY(own.events.lastPane(LogPane::Errors)
                    .contains("15 Jan 2026 10:00:00  System: Cannot open the log Quorlan in "
                              "./LOGS. Its lines are not written.\r\n"));
    }

    void theRawLoggingSwitchIsShownAndItsSettingStoredAsAWord() {
        WorkFolder folder;
        folder.setSetting(QStringLiteral("RawLogEnabled"), QStringLiteral("-1"));
        LogsOnTheirOwn own(folder);
        own.logs.InitLogs();
        QCOMPARE(own.events.rawLogging, QList<bool>{true});
        QVERIFY(own.logs.gRawLogEnabled);
        QCOMPARE(folder.setting(QStringLiteral("RawLogEnabled")).toString(),
                 QStringLiteral("True"));
    }

    void theDecoderTraceTopsTheDecoderPane() {
        WorkFolder folder;
        LogsOnTheirOwn own(folder);
        own.logs.InitLogs();
        own.logs.LogDecoder(QByteArrayLiteral("a page"));
        own.logs.ShowDecoderTrace(QByteArrayLiteral("<29>"));
        QCOMPARE(own.events.lastPane(LogPane::Decoder),
                 QByteArray("15 Jan 2026 10:00:00  <29>\r\n15 Jan 2026 10:00:00  a page\r\n"));
    }
};

QTEST_GUILESS_MAIN(LogsEventsTest)
#include "logs-events-test.moc"
