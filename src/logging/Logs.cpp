#include "logging/Logs.h"

#include "app/System.h"
#include "app/Version.h"
#include "config/SettingValues.h"
#include "platform/Joined.h"

#include <cstdio>
#include <utility>

namespace {

const QString kTitlePrefix = QStringLiteral("********************** Quorlan ");

// Enough for every line start-up can write before the logs open; a flood
// beyond it is counted, not kept.
constexpr qsizetype kEarlyLineLimit = 1000;

constexpr qint64 kSecondsPerHour = 3600;
// The back-up period and time of day when the settings give none that can be used.
constexpr int kDefaultBackUpPeriod = 24; // hours
const QString kDefaultBackUpTime = QStringLiteral("3:01:00 AM");

} // namespace

Logs::Logs(System& system)
    : gRawLog(system.clock, system.dateTimeText, system.workDir),
      gDecoderLog(system.clock, system.dateTimeText, system.workDir), sys_(system),
      gSystemLog(system.clock, system.dateTimeText, system.workDir) {
    watchWriting(gSystemLog);
    watchWriting(gRawLog);
    watchWriting(gDecoderLog);
}

// A full disk would otherwise stop a log without a word.
void Logs::watchWriting(LogClass& log) {
    log.LinesLost = [this, &log](const QString& reason) {
        writingNotice(log, QStringLiteral("System: Cannot write the log %1 (%2). Its lines are "
                                          "lost until it can.")
                               .arg(log.FileName(), reason));
    };
    log.WrittenAgain = [this, &log](qint64 lost) {
        const QString count =
            lost == 1 ? QStringLiteral("1 line was") : QStringLiteral("%1 lines were").arg(lost);
        writingNotice(log, QStringLiteral("System: The log %1 is written again. %2 lost.")
                               .arg(log.FileName(), count));
    };
}

// Never into the log that cannot be written: the System log's own failure goes
// to the pane alone, and its notice would only fail again. Once it works, the
// gap is noted in it like any other error line.
void Logs::writingNotice(LogClass& log, const QString& text) {
    if (&log == &gSystemLog && log.LosingLines())
        writePane(gErrorLogText, sys_.window.txbLogErrors, sys_.NowText().toUtf8(), text.toUtf8());
    else
        LogError(text);
    if (!sys_.window.HasView())
        std::fprintf(stderr, "%s\n", qPrintable(text));
}

QString Logs::logsFolder() {
    // "c:" was the default on the relay's first platform; here it is the working folder.
    return sys_.db.GetStartUpKey(QStringLiteral("LogsDIR"), QStringLiteral("."));
}

void Logs::connectLog(LogClass& log, const QString& fileName, const QString& user,
                      const QString& title) {
    log.DateStamp = false;
    log.TimeStamp = false;
    log.UserStamp = false;
    log.SetFileName(fileName);
    const QString folder = logsFolder();
    if (!log.Connect(folder, user)) {
        // A log that cannot be opened would drop its lines unseen: the operator
        // hears of it on the error pane and, without a window, on standard error.
        const QString text =
            QStringLiteral("System: Cannot open the log %1 in %2/LOGS. Its lines are not written.")
                .arg(log.FileName(), folder);
        pendingNotices_ << text;
        if (!sys_.window.HasView())
            std::fprintf(stderr, "%s\n", qPrintable(text));
    }
    log.AddLog(sys_.NowText() + QLatin1Char('\t') + kTitlePrefix + title + version::Text() +
               QStringLiteral(" has started."));
}

void Logs::InitLogs() {
    connectLog(gSystemLog,
               sys_.db.GetStartUpKey(QStringLiteral("LogName"), QStringLiteral("Quorlan")),
               QStringLiteral("CEN"), QStringLiteral("System LOG  "));
    systemLogOpened_ = true;
    connectLog(gRawLog, QStringLiteral("RAW_DEC.log"), QStringLiteral("RAW"),
               QStringLiteral("RAW LOG  "));
    connectLog(gDecoderLog, QStringLiteral("DECODE.log"), QStringLiteral("DEC"),
               QStringLiteral("DECODER LOG  "));

    const QString rawLogText =
        sys_.db.GetStartUpKey(QStringLiteral("RawLogEnabled"), QStringLiteral("False"));
    gRawLogEnabled = BooleanValue(rawLogText);
    sys_.window.chkEnableLogs.Value = gRawLogEnabled ? 1 : 0;
    sys_.window.Changed();
    // Setting the box raises its handler, which stores the value back as the
    // word True or False; a value stored as that word already needs no write.
    if (rawLogText != BooleanWord(gRawLogEnabled))
        sys_.window.chkEnableLogs_Click();

    LogError(QStringLiteral("System log intialised"));
    // With their own time: they tell when it happened, not when it was written.
    for (const QByteArray& line : std::as_const(earlyLines_))
        gSystemLog.AddLog(line);
    earlyLines_.clear();
    if (earlyLinesDropped_ > 0)
        LogError(QStringLiteral("System: %1 lines written before the System log was opened "
                                "were not kept.")
                     .arg(earlyLinesDropped_));
    earlyLinesDropped_ = 0;
    for (const QString& notice : std::as_const(pendingNotices_))
        LogError(notice);
    pendingNotices_.clear();
    LogInput(QStringLiteral("Telstra Log intialised"));
    LogOutput(QStringLiteral("Outputs Log intialised"));

    const QString periodText = sys_.db.GetStartUpKey(QStringLiteral("BackUpPeriod"),
                                                     QString::number(kDefaultBackUpPeriod));
    gBackUpPeriod = WholeNumber(periodText);
    if (gBackUpPeriod < 1) {
        // A period of no hours would back the logs up at every tick, forever.
        LogError(QStringLiteral("System: BackUpPeriod \"%1\" is not a number of hours above 0. "
                                "Backing up every %2 hours.")
                     .arg(periodText, QString::number(kDefaultBackUpPeriod)));
        gBackUpPeriod = kDefaultBackUpPeriod;
    }

    const QString lastText = sys_.db.GetStartUpKey(QStringLiteral("LastBackUp"), sys_.NowText());
    const auto last = sys_.dateTimeText.ParseDateTime(lastText);
    if (!last)
        LogError(QStringLiteral("System: LastBackUp \"%1\" is not a date and time. Counting the "
                                "last back up as now.")
                     .arg(lastText));
    gNextBackUp = last.value_or(sys_.Now()).addSecs(gBackUpPeriod * kSecondsPerHour);

    if (gNextBackUp > sys_.Now()) {
        const QDateTime candidate = backUpTimeToday();
        if (candidate < sys_.Now()) {
            gNextBackUp = candidate.addSecs(gBackUpPeriod * kSecondsPerHour);
            LogError(QStringLiteral("System: Next back up time is less than the current time. "
                                    "Setting back up to ") +
                     sys_.dateTimeText.DateTime(gNextBackUp));
        } else {
            gNextBackUp = candidate;
            LogError(QStringLiteral("System: Back Up time is set to ") +
                     sys_.dateTimeText.DateTime(gNextBackUp));
        }
    } else {
        LogError(QStringLiteral(
            "System: Last back up is greater than back up period. Application will back up now."));
    }
}

QDateTime Logs::backUpTimeToday() {
    const QString& fallback = kDefaultBackUpTime;
    const QString text = sys_.db.GetStartUpKey(QStringLiteral("BackUpTime"), fallback);
    std::optional<QTime> time = sys_.dateTimeText.ParseTime(text);
    if (!time) {
        // A mistyped time must not quietly move the back-up to midnight.
        if (!backUpTimeReported_)
            LogError(QStringLiteral("System: BackUpTime \"") + text +
                     QStringLiteral("\" is not a time of day. Backing up at ") + fallback +
                     QLatin1Char('.'));
        backUpTimeReported_ = true;
        time = sys_.dateTimeText.ParseTime(fallback);
    }
    return QDateTime(sys_.Now().date(), time.value_or(QTime()));
}

void Logs::CheckBackUp() {
    if (!(gNextBackUp < sys_.Now()))
        return;
    if (gSystemLog.Backup().isEmpty()) {
        LogError(QStringLiteral("System failed to back up log."));
    } else {
        sys_.db.SetStartUpKey(QStringLiteral("LastBackUp"), sys_.NowText());
        QDateTime candidate = backUpTimeToday();
        if (candidate < sys_.Now())
            candidate = candidate.addSecs(gBackUpPeriod * kSecondsPerHour);
        gNextBackUp = candidate;
        LogError(QStringLiteral("System: Next back up time is ") +
                 sys_.dateTimeText.DateTime(gNextBackUp));
    }
    if (gRawLog.Backup().isEmpty())
        LogError(QStringLiteral("System failed to back up raw log."));
    if (gDecoderLog.Backup().isEmpty())
        LogError(QStringLiteral("System failed to back up decode log."));
}

void Logs::WriteStopBanners() {
    const QString banner = sys_.NowText() + QLatin1Char('\t') + kTitlePrefix + version::Text() +
                           QStringLiteral(" has been stopped.");
    gSystemLog.AddLog(banner);
    gDecoderLog.AddLog(banner);
    gRawLog.AddLog(banner);
}

void Logs::writePane(QByteArray& held, Control& pane, const QByteArray& stamp,
                     const QByteArray& msg) {
    QByteArray line = platform::Joined({stamp, "  ", msg, "\r\n"});
    if (batchDepth_ == 0) {
        showLines(held, pane, {line});
        return;
    }
    for (PaneLines& waiting : batchPanes_) {
        if (waiting.pane == &pane) {
            waiting.lines << line;
            return;
        }
    }
    batchPanes_ << PaneLines{&held, &pane, {line}};
}

// The newest line goes on top of what the pane held after the line before
// it, which is cut to the limit like each line's text on its own.
void Logs::showLines(QByteArray& held, Control& pane, const QList<QByteArray>& lines) {
    QByteArray before;
    for (qsizetype i = lines.size() - 2; i >= 0 && before.size() < kPaneLimit; --i)
        before += lines[i];
    if (before.size() < kPaneLimit)
        before += held;
    before.truncate(kPaneLimit);
    const QByteArray text = lines.last() + before;
    pane.Text = QString::fromUtf8(text);
    pane.Bytes = text;
    held = text.left(kPaneLimit);
    sys_.window.Changed();
}

void Logs::flushBatch() {
    // Taken out first: what they write may start lines of its own. The lists
    // go back empty, keeping their room for the next batch.
    QList<PaneLines> panes;
    QList<QByteArray> lines;
    panes.swap(batchPanes_);
    lines.swap(batchSystemLines_);
    for (const PaneLines& waiting : std::as_const(panes))
        showLines(*waiting.held, *waiting.pane, waiting.lines);
    if (!lines.isEmpty())
        gSystemLog.AddLogs(lines);
    lines.clear();
    if (batchSystemLines_.isEmpty())
        batchSystemLines_.swap(lines);
}

void Logs::writeSystemLine(const char* source, const QByteArray& msg) {
    const QByteArray line = platform::Joined({sys_.NowText().toUtf8(), "\t", source, "\t", msg});
    if (systemLogOpened_ && batchDepth_ > 0) {
        batchSystemLines_ << line;
    } else if (systemLogOpened_) {
        gSystemLog.AddLog(line);
    } else if (earlyLines_.size() < kEarlyLineLimit) {
        earlyLines_ << line;
    } else {
        ++earlyLinesDropped_;
    }
}

void Logs::LogError(const QByteArray& msg) {
    writePane(gErrorLogText, sys_.window.txbLogErrors, sys_.NowText().toUtf8(), msg);
    writeSystemLine("Error", msg);
}

void Logs::LogInput(const QByteArray& msg) {
    writePane(gTelstraLogText, sys_.window.txbLogTelstra,
              sys_.dateTimeText.Time(sys_.Now().time()).toUtf8(), msg);
    writeSystemLine("Input", msg);
}

void Logs::LogOutput(const QByteArray& msg) {
    writePane(gOutputsLogText, sys_.window.txbLogOutputs,
              sys_.dateTimeText.Time(sys_.Now().time()).toUtf8(), msg);
    writeSystemLine("Output", msg);
}

void Logs::LogDecoder(const QByteArray& msg) {
    writePane(gDecoderLogText, sys_.window.txbSatDecoder, sys_.NowText().toUtf8(), msg);
    gDecoderLog.AddLog(sys_.NowText().toUtf8() + '\t' + msg);
}
