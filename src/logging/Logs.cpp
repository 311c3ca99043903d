#include "logging/Logs.h"

#include "config/SettingValues.h"
#include "config/adoQuorlan.h"
#include "platform/Joined.h"

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

Logs::Logs(platform::Time time, const QString& workDir, adoQuorlan& db, CoreEvents& events,
           QString versionText)
    : gRawLog(time.clock(), time.texts(), workDir),
      gDecoderLog(time.clock(), time.texts(), workDir), time_(time), db_(db), events_(events),
      versionText_(std::move(versionText)), gSystemLog(time.clock(), time.texts(), workDir) {
    watchWriting(gSystemLog);
    watchWriting(gRawLog);
    watchWriting(gDecoderLog);
}

// A full disk would otherwise stop a log without a word.
void Logs::watchWriting(LogClass& log) {
    log.LinesLost = [this, &log](const QString& reason) {
        noteWriting();
        writingNotice(log, QStringLiteral("System: Cannot write the log %1 (%2). Its lines are "
                                          "lost until it can.")
                               .arg(log.FileName(), reason));
    };
    log.WrittenAgain = [this, &log](qint64 lost) {
        noteWriting();
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
        writePane(gErrorLogText, LogPane::Errors, nowStamp(), text.toUtf8());
    else
        LogError(text);
    events_.Notice(text);
}

QString Logs::logsFolder() {
    // "c:" was the default on the relay's first platform; here it is the working folder.
    return db_.GetStartUpKey(QStringLiteral("LogsDIR"), QStringLiteral("."));
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
        events_.Notice(text);
    }
    log.AddLog(time_.NowText() + QLatin1Char('\t') + kTitlePrefix + title + versionText_ +
               QStringLiteral(" has started."));
}

void Logs::InitLogs() {
    writingSince_ = time_.Now();
    connectLog(gSystemLog, db_.GetStartUpKey(QStringLiteral("LogName"), QStringLiteral("Quorlan")),
               QStringLiteral("CEN"), QStringLiteral("System LOG  "));
    systemLogOpened_ = true;
    connectLog(gRawLog, QStringLiteral("RAW_DEC.log"), QStringLiteral("RAW"),
               QStringLiteral("RAW LOG  "));
    connectLog(gDecoderLog, QStringLiteral("DECODE.log"), QStringLiteral("DEC"),
               QStringLiteral("DECODER LOG  "));

    readRawLogSetting();

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

    const QString periodText =
        db_.GetStartUpKey(QStringLiteral("BackUpPeriod"), QString::number(kDefaultBackUpPeriod));
    gBackUpPeriod = WholeNumber(periodText);
    if (gBackUpPeriod < 1) {
        // A period of no hours would back the logs up at every tick, forever.
        LogError(QStringLiteral("System: BackUpPeriod \"%1\" is not a number of hours above 0. "
                                "Backing up every %2 hours.")
                     .arg(periodText, QString::number(kDefaultBackUpPeriod)));
        gBackUpPeriod = kDefaultBackUpPeriod;
    }

    const QString lastText = db_.GetStartUpKey(QStringLiteral("LastBackUp"), time_.NowText());
    const auto last = time_.texts().ParseDateTime(lastText);
    if (!last)
        LogError(QStringLiteral("System: LastBackUp \"%1\" is not a date and time. Counting the "
                                "last back up as now.")
                     .arg(lastText));
    gNextBackUp = last.value_or(time_.Now()).addSecs(gBackUpPeriod * kSecondsPerHour);

    if (gNextBackUp > time_.Now()) {
        const QDateTime candidate = backUpTimeToday();
        if (candidate < time_.Now()) {
            gNextBackUp = candidate.addSecs(gBackUpPeriod * kSecondsPerHour);
            LogError(QStringLiteral("System: Next back up time is less than the current time. "
                                    "Setting back up to ") +
                     time_.texts().DateTime(gNextBackUp));
        } else {
            gNextBackUp = candidate;
            LogError(QStringLiteral("System: Back Up time is set to ") +
                     time_.texts().DateTime(gNextBackUp));
        }
    } else {
        LogError(QStringLiteral(
            "System: Last back up is greater than back up period. Application will back up now."));
    }
}

// The box shows the setting, which is stored back as the word True or False,
// as the box's own handler stores it; a value stored as that word already
// needs no write.
void Logs::readRawLogSetting() {
    const QString rawLogText =
        db_.GetStartUpKey(QStringLiteral("RawLogEnabled"), QStringLiteral("False"));
    gRawLogEnabled = BooleanValue(rawLogText);
    events_.RawLoggingShown(gRawLogEnabled);
    if (rawLogText != BooleanWord(gRawLogEnabled))
        db_.SetStartUpKey(QStringLiteral("RawLogEnabled"), BooleanWord(gRawLogEnabled));
}

QDateTime Logs::backUpTimeToday() {
    const QString& fallback = kDefaultBackUpTime;
    const QString text = db_.GetStartUpKey(QStringLiteral("BackUpTime"), fallback);
    std::optional<QTime> time = time_.texts().ParseTime(text);
    if (!time) {
        // A mistyped time must not quietly move the back-up to midnight.
        if (!backUpTimeReported_)
            LogError(QStringLiteral("System: BackUpTime \"") + text +
                     QStringLiteral("\" is not a time of day. Backing up at ") + fallback +
                     QLatin1Char('.'));
        backUpTimeReported_ = true;
        time = time_.texts().ParseTime(fallback);
    }
    return QDateTime(time_.Now().date(), time.value_or(QTime()));
}

void Logs::CheckBackUp() {
    if (!(gNextBackUp < time_.Now()))
        return;
    if (gSystemLog.Backup().isEmpty()) {
        LogError(QStringLiteral("System failed to back up log."));
    } else {
        db_.SetStartUpKey(QStringLiteral("LastBackUp"), time_.NowText());
        QDateTime candidate = backUpTimeToday();
        if (candidate < time_.Now())
            candidate = candidate.addSecs(gBackUpPeriod * kSecondsPerHour);
        gNextBackUp = candidate;
        LogError(QStringLiteral("System: Next back up time is ") +
                 time_.texts().DateTime(gNextBackUp));
    }
    if (gRawLog.Backup().isEmpty())
        LogError(QStringLiteral("System failed to back up raw log."));
    if (gDecoderLog.Backup().isEmpty())
        LogError(QStringLiteral("System failed to back up decode log."));
}

void Logs::WriteStopBanners() {
    const QString banner = time_.NowText() + QLatin1Char('\t') + kTitlePrefix + versionText_ +
                           QStringLiteral(" has been stopped.");
    gSystemLog.AddLog(banner);
    gDecoderLog.AddLog(banner);
    gRawLog.AddLog(banner);
}

void Logs::writePane(QByteArray& held, LogPane pane, const QByteArray& stamp,
                     const QByteArray& msg) {
    QByteArray line = platform::Joined({stamp, "  ", msg, "\r\n"});
    if (batchDepth_ == 0) {
        showLines(held, pane, {line});
        return;
    }
    holdBack();
    for (PaneLines& waiting : batchPanes_) {
        if (waiting.pane == pane) {
            waiting.lines << line;
            return;
        }
    }
    batchPanes_ << PaneLines{&held, pane, {line}};
}

// A full batch goes out now, in order; the batch goes on holding what follows.
void Logs::holdBack() {
    if (++batchLines_ > kBatchLineLimit)
        flushBatch();
}

// The newest line goes on top of what the pane held after the line before
// it, which is cut to the limit like each line's text on its own.
void Logs::showLines(QByteArray& held, LogPane pane, const QList<QByteArray>& lines) {
    QByteArray before;
    for (qsizetype i = lines.size() - 2; i >= 0 && before.size() < kPaneLimit; --i)
        before += lines[i];
    if (before.size() < kPaneLimit)
        before += held;
    before.truncate(kPaneLimit);
    const QByteArray text = lines.last() + before;
    events_.PaneChanged(pane, text);
    held = text.left(kPaneLimit);
}

// A burst of lines has one time stamp: its bytes are made once.
QByteArray Logs::KeptStamp::Bytes(const QString& stamp) {
    if (bytes.isEmpty() || stamp != text) {
        text = stamp;
        bytes = stamp.toUtf8();
    }
    return bytes;
}

QByteArray Logs::nowStamp() {
    return nowStamp_.Bytes(time_.NowText());
}

QByteArray Logs::timeStamp() {
    return timeStamp_.Bytes(time_.TimeText());
}

void Logs::WriteLater(std::function<void()> write) {
    writeWaitingLines();
    if (batchDepth_ == 0) {
        write();
        return;
    }
    waitingLines_ = std::move(write);
}

// Taken out first: the lines it writes come back here.
void Logs::writeWaitingLines() {
    if (!waitingLines_)
        return;
    const std::function<void()> write = std::exchange(waitingLines_, nullptr);
    write();
}

void Logs::flushBatch() {
    writeWaitingLines(); // a full batch mid-way
    // Taken out first: what they write may start lines of its own. The lists
    // go back empty, keeping their room for the next batch.
    QList<PaneLines> panes;
    QList<QByteArray> lines;
    batchLines_ = 0;
    panes.swap(batchPanes_);
    lines.swap(batchSystemLines_);
    for (const PaneLines& waiting : std::as_const(panes))
        showLines(*waiting.held, waiting.pane, waiting.lines);
    if (!lines.isEmpty())
        gSystemLog.AddLogs(lines);
    lines.clear();
    if (batchSystemLines_.isEmpty())
        batchSystemLines_.swap(lines);
}

void Logs::writeSystemLine(const char* source, const QByteArray& msg) {
    const QByteArray line = platform::Joined({nowStamp(), "\t", source, "\t", msg});
    if (systemLogOpened_ && batchDepth_ > 0) {
        holdBack();
        batchSystemLines_ << line;
    } else if (systemLogOpened_) {
        gSystemLog.AddLog(line);
    } else if (earlyLines_.size() < kEarlyLineLimit) {
        earlyLines_ << line;
    } else {
        ++earlyLinesDropped_;
    }
}

logfiles::LogPlace Logs::Place() const {
    const QString folder = gSystemLog.DiskFolder();
    return {folder, folder.isEmpty() ? QString() : folder + QStringLiteral("/BACKUP"),
            gSystemLog.FileName()};
}

void Logs::LogError(const QByteArray& msg) {
    writeWaitingLines();
    writePane(gErrorLogText, LogPane::Errors, nowStamp(), msg);
    writeSystemLine("Error", msg);
}

void Logs::LogInput(const QByteArray& msg) {
    writeWaitingLines();
    writePane(gTelstraLogText, LogPane::Telstra, timeStamp(), msg);
    writeSystemLine("Input", msg);
}

void Logs::LogOutput(const QByteArray& msg) {
    writeWaitingLines();
    writePane(gOutputsLogText, LogPane::Outputs, timeStamp(), msg);
    writeSystemLine("Output", msg);
}

void Logs::LogDecoder(const QByteArray& msg) {
    writePane(gDecoderLogText, LogPane::Decoder, nowStamp(), msg);
    gDecoderLog.AddLog(nowStamp() + '\t' + msg);
}

void Logs::ShowDecoderTrace(const QByteArray& text) {
    gDecoderLogText.prepend(nowStamp() + "  " + text + "\r\n");
    events_.PaneChanged(LogPane::Decoder, gDecoderLogText);
    gDecoderLogText.truncate(kTraceLimit);
}
