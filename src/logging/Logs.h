#pragma once

#include "config/CoreEvents.h"
#include "config/HealthCheck.h"
#include "logging/LogClass.h"
#include "logging/LogFiles.h"
#include "platform/MetricsText.h"
#include "platform/Time.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <functional>

class adoQuorlan;

// The application's three log files (System, raw input, decoder), the four log
// writers with their panes, and the back-up schedule.
//
// Messages are byte texts: what a peer sent goes into the files unchanged. The
// system's own texts are written as UTF-8. The panes' texts go to the
// operator as events; the settings (folder, names, back-up schedule, raw
// logging) are read from and written to the StartUp table.
class Logs final : public platform::MetricsSource, public health::CheckSource {
public:
    // `workDir` is the system's working folder, which start-up may change;
    // `versionText` goes into the banners.
    Logs(platform::Time time, const QString& workDir, adoQuorlan& db, CoreEvents& events,
         QString versionText);

    LogClass gRawLog; // the carrier feed writes the raw bytes into it
    LogClass gDecoderLog;
    bool gRawLogEnabled = false; // raw input goes to the raw log

    // The panes' text as the window holds it.
    QByteArray gErrorLogText;
    QByteArray gOutputsLogText;
    QByteArray gDecoderLogText;

    QDateTime gNextBackUp; // the window's back-up command moves it to now

    void InitLogs();
    void CheckBackUp();
    void WriteStopBanners();

    // ombrix_log_lines_lost_total{log}, and the check "logs": degraded while
    // a log loses its lines.
    void WriteMetrics(platform::MetricsText& text) const override;
    void AppendChecks(QList<health::Check>& checks) const override;

    // Where the log files and their back-ups are now, for a reader of them.
    logfiles::LogPlace Place() const;
    // How the lines write the date and time.
    const platform::DateTimeText& Texts() const { return time_.texts(); }

    // Lines that can wait while a batch lives, for work more urgent than
    // spelling them out: `write` writes them, in their place, before any later
    // line of the Input, Outputs and Errors panes or of the System log, and at
    // the latest when the last batch ends. Outside a batch it writes them now.
    void WriteLater(std::function<void()> write);

    void LogError(const QByteArray& msg);
    void LogInput(const QByteArray& msg);
    void LogOutput(const QByteArray& msg);
    void LogDecoder(const QByteArray& msg);
    void LogError(const QString& msg) { LogError(msg.toUtf8()); }
    void LogInput(const QString& msg) { LogInput(msg.toUtf8()); }
    void LogOutput(const QString& msg) { LogOutput(msg.toUtf8()); }
    void LogDecoder(const QString& msg) { LogDecoder(msg.toUtf8()); }

    // A line of the decoder's trace, on top of the decoder pane, which keeps
    // the trace longer than a pane keeps log lines.
    void ShowDecoderTrace(const QByteArray& text);

    // Most text a pane holds; older text is cut off.
    static constexpr int kPaneLimit = 5000;
    // Most lines a batch holds back: a carrier read of thousands of pages
    // writes its lines in parts instead of holding them all in memory.
    static constexpr int kBatchLineLimit = 2000;
    // Most characters the decoder pane keeps after a trace line.
    static constexpr int kTraceLimit = 10000;

    // While a batch lives, the lines for the panes and the System log wait,
    // in order, and go out when the last batch ends: one write of the file and
    // one new text for each pane, the same as line by line. A packet's
    // dispatch to its outputs writes its lines in one.
    class LineBatch {
    public:
        explicit LineBatch(Logs& logs) : logs_(logs) { ++logs_.batchDepth_; }
        ~LineBatch() {
            // Lines waiting to be written join the batch while it still lives.
            if (logs_.batchDepth_ == 1)
                logs_.writeWaitingLines();
            if (--logs_.batchDepth_ == 0)
                logs_.flushBatch();
        }
        LineBatch(const LineBatch&) = delete;
        LineBatch& operator=(const LineBatch&) = delete;

    private:
        Logs& logs_;
    };

private:
    void watchWriting(LogClass& log);
    void writingNotice(LogClass& log, const QString& text);
    void connectLog(LogClass& log, const QString& fileName, const QString& user,
                    const QString& title);
    void writePane(QByteArray& held, LogPane pane, const QByteArray& stamp, const QByteArray& msg);
    void showLines(QByteArray& held, LogPane pane, const QList<QByteArray>& lines);
    void readRawLogSetting();
    void flushBatch();
    void writeWaitingLines();
    QByteArray nowStamp();  // the date and time, as a line starts with it
    QByteArray timeStamp(); // the time of day alone
    void holdBack();
    void writeSystemLine(const char* source, const QByteArray& msg);
    QDateTime backUpTimeToday();
    QString logsFolder();
    void noteWriting();

    platform::Time time_;
    adoQuorlan& db_;
    CoreEvents& events_;
    QString versionText_;
    LogClass gSystemLog;
    QByteArray gTelstraLogText;
    int gBackUpPeriod = 0;       // hours; read at start-up
    QStringList pendingNotices_; // told once the error pane exists
    bool backUpTimeReported_ = false;
    // System log lines written before the System log was opened (a warning or
    // a repair of the delayed store during start-up), kept for it.
    QList<QByteArray> earlyLines_;
    qsizetype earlyLinesDropped_ = 0;
    bool systemLogOpened_ = false;
    bool losing_ = false;    // a log loses its lines
    QDateTime writingSince_; // when that last changed

    struct PaneLines {
        QByteArray* held;
        LogPane pane;
        QList<QByteArray> lines; // oldest first
    };
    int batchDepth_ = 0;
    int batchLines_ = 0; // lines the batch holds, panes and System log together
    QList<PaneLines> batchPanes_;
    QList<QByteArray> batchSystemLines_;
    std::function<void()> waitingLines_; // of WriteLater

    struct KeptStamp {
        QString text;
        QByteArray bytes;
        QByteArray Bytes(const QString& stamp);
    };
    KeptStamp nowStamp_, timeStamp_;
};
