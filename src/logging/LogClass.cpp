#include "logging/LogClass.h"

#include "logging/gZelkorfile.h"
#include "platform/Clock.h"
#include "platform/DateTimeText.h"
#include "platform/Joined.h"
#include "platform/LocalPath.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The header's print zones are 14 columns wide.
constexpr qsizetype kZoneWidth = 14;
constexpr int kMsecsPerSecond = 1000;
constexpr qsizetype kLineEndSize = 2;
constexpr qsizetype kStampsSize = 26; // date, time and user, when all are on

QString Zone(const QString& label, int zones) {
    return label.leftJustified(kZoneWidth * zones, QLatin1Char(' '));
}

} // namespace

LogClass::LogClass(const platform::Clock& clock, const platform::DateTimeText& texts,
                   const QString& workDir)
    : clock_(clock), texts_(texts), workDir_(workDir) {}

LogClass::~LogClass() {
    CloseLogFile();
}

QString LogClass::disk(const QString& path) const {
    return platform::LocalPath(workDir_, path);
}

void LogClass::SetFileName(const QString& name) {
    if (connected_)
        return;
    chosenName_ = name;
    nameChosen_ = !name.isEmpty();
}

void LogClass::SetEnabled(bool value) {
    enabled_ = true;
    if (!value) {
        AddLog(QByteArray("(#) Software Disabled Log Recording"));
        enabled_ = false;
    } else {
        AddLog(QByteArray("(#) Software Enabled Log Recording"));
    }
}

// Arguments by value: callers pass this object's own folder and user, which the
// checks below clear before they use them.
// NOLINTNEXTLINE(performance-unnecessary-value-param)
bool LogClass::Connect(QString fserv, QString ident) {
    if (!nameChosen_) {
        QString name = QStringLiteral("KVLG_~~~.log");
        const QString prefix = ident.left(3);
        name.replace(5, prefix.size(), prefix);
        fileName_ = name;
    } else {
        fileName_ = chosenName_;
    }
    diskPath_.clear();
    if (connected_) {
        errorCode_ = 0;
        return false;
    }
    bool checked = false;
    if (!fserv.isEmpty())
        checked = CheckDirectory(fserv);
    else if (!folderValid_)
        checked = CheckDirectory(QStringLiteral("."));
    if (checked) {
        SetUser(ident);
        if (OpenLogFile()) {
            enabled_ = true;
            connected_ = true;
            return true;
        }
    }
    errorCode_ = 1;
    return false;
}

bool LogClass::Disconnect() {
    CloseLogFile();
    enabled_ = false;
    connected_ = false;
    return true;
}

// By value: it clears serverFolder_ and logFolder_ before it reads `folder`,
// so passing either of them must stay safe.
// NOLINTNEXTLINE(performance-unnecessary-value-param)
bool LogClass::CheckDirectory(QString folder) {
    folderValid_ = false;
    serverFolder_.clear();
    logFolder_.clear();
    diskPath_.clear();
    if (!gZelkorfile::FileExists(disk(folder), gZelkorfile::kDirectory)) {
        errorCode_ = 1;
        return false;
    }
    serverFolder_ = folder;
    logFolder_ = folder + QStringLiteral("/LOGS");
    if (!gZelkorfile::FileExists(disk(logFolder_), gZelkorfile::kDirectory))
        QDir().mkpath(disk(logFolder_));
    if (!LogFileExists() && !CreateLogFile())
        return false;
    folderValid_ = true;
    return true;
}

bool LogClass::LogFileExists() const {
    return gZelkorfile::FileExists(disk(FileFullPath()), gZelkorfile::kNormal);
}

// The file is there once it is created, even when its header did not fit on
// the disk; it stays open for the lines that follow.
bool LogClass::CreateLogFile() {
    if (!openFile())
        return false;
    WriteHeader();
    return true;
}

bool LogClass::WriteHeader() {
    struct stat opened {};
    if (fd_ < 0 || ::fstat(fd_, &opened) != 0)
        return false;
    const QDateTime now = clock_.now();
    const QStringList lines = {
        Zone(QStringLiteral("File :"), 1) + fileName_,
        Zone(QStringLiteral("Version :"), 1) + Version(),
        Zone(QStringLiteral("Created :"), 1) + texts_.Date(now.date()) + QLatin1Char(' ') +
            texts_.Time(now.time()),
        Zone(QStringLiteral("Directory :"), 1) + logFolder_,
        QString(),
        Zone(QStringLiteral("Date/Time"), 2) + QStringLiteral("User    Logged Message"),
    };
    QByteArray header;
    for (const QString& line : lines)
        header += line.toUtf8() + "\r\n";
    return appendWhole(header, opened.st_size);
}

bool LogClass::OpenLogFile() {
    if (!LogFileExists())
        return false;
    return openFile();
}

const QByteArray& LogClass::diskPath() {
    if (pathWorkDir_ != workDir_ || diskPath_.isEmpty()) {
        pathWorkDir_ = workDir_;
        diskPath_ = QFile::encodeName(disk(FileFullPath()));
    }
    return diskPath_;
}

// Creates the file when it is missing, as an append-mode QFile would.
bool LogClass::openFile() {
    CloseLogFile();
    fd_ = ::open(diskPath().constData(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0666);
    struct stat opened {};
    if (fd_ >= 0 && ::fstat(fd_, &opened) == 0) {
        openDevice_ = opened.st_dev;
        openInode_ = opened.st_ino;
        return true;
    }
    writeErrno_ = errno;
    CloseLogFile();
    return false;
}

bool LogClass::CloseLogFile() {
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
    return true;
}

// The file stays open between lines. One stat of its path tells whether it is
// still the file held open (it may have been moved, removed or replaced since)
// and how long it is; a different file there is opened instead. False when no
// file is at the path, or it cannot be opened.
bool LogClass::holdFile(qint64& size) {
    struct stat atPath {};
    if (::stat(diskPath().constData(), &atPath) != 0 || S_ISDIR(atPath.st_mode)) {
        CloseLogFile();
        return false;
    }
    if (fd_ < 0 || atPath.st_dev != openDevice_ || atPath.st_ino != openInode_) {
        if (!openFile())
            return false;
    }
    size = atPath.st_size;
    return true;
}

// One write() system call: a full disk takes what fits of the bytes, so a
// short write is cut back to the size before it, and the next line that fits
// starts at the start of a line rather than in the middle of a word.
bool LogClass::appendWhole(const QByteArray& bytes, qint64 sizeBefore) {
    const ssize_t written = ::write(fd_, bytes.constData(), size_t(bytes.size()));
    if (written == bytes.size())
        return true;
    // A short write sets no errno; for a regular file it means the disk is full.
    writeErrno_ = written < 0 ? errno : ENOSPC;
    if (written > 0 && ::ftruncate(fd_, sizeBefore) != 0) {
        // Nothing more can be done: the part stays, and the next line follows it.
    }
    return false;
}

// Called last in AddLog: the owner's notice may write to another log, or to
// this one once it works again.
void LogClass::noteWritten(bool written) {
    if (!written) {
        ++lost_;
        ++lostTotal_;
        if (losing_)
            return;
        losing_ = true;
        if (LinesLost)
            LinesLost(QString::fromLocal8Bit(std::strerror(writeErrno_)));
    } else if (losing_) {
        const qint64 lost = lost_;
        losing_ = false;
        lost_ = 0;
        if (WrittenAgain)
            WrittenAgain(lost);
    }
}

void LogClass::SetUser(const QString& ident) {
    user_ = (ident.left(8) + QString(8, QLatin1Char(' '))).left(8);
}

// Lines come many to a second: the date and time texts are made once a second.
QByteArray LogClass::stamps() {
    if (!DateStamp && !TimeStamp && !UserStamp)
        return {};
    const QDateTime now = clock_.now();
    const int second = now.time().msecsSinceStartOfDay() / kMsecsPerSecond;
    if (now.date() != stampDate_ || second != stampSecond_) {
        stampDate_ = now.date();
        stampSecond_ = second;
        dateStamp_ = now.toString(QStringLiteral("dd/MM/yy ")).toLatin1();
        timeStamp_ = now.toString(QStringLiteral("HH:mm:ss ")).toLatin1();
    }
    QByteArray line;
    if (DateStamp)
        line += dateStamp_;
    if (TimeStamp)
        line += timeStamp_;
    if (UserStamp)
        line += user_.toUtf8();
    return line;
}

bool LogClass::AddLog(const QByteArray& message) {
    if (!enabled_)
        return true;
    qint64 size = 0;
    if (!holdFile(size)) {
        // The file was removed or moved away (rotation, a clean-up): start it
        // again with its header rather than lose every line until the next
        // back-up.
        if (!connected_)
            return false;
        if (LogFileExists()) {
            noteWritten(false);
            return false;
        }
        QDir().mkpath(disk(logFolder_));
        if (!CreateLogFile() || !holdFile(size)) {
            noteWritten(false);
            return false;
        }
    }
    const bool written = appendWhole(platform::Joined({stamps(), message, "\r\n"}), size);
    if (connected_)
        noteWritten(written);
    return true;
}

// When they do not fit whole (a full disk), they are cut back and written one
// by one, so that each line is whole or not there, as with AddLog.
bool LogClass::AddLogs(const QList<QByteArray>& messages) {
    if (!enabled_)
        return true;
    qint64 size = 0;
    if (messages.size() > 1 && holdFile(size)) {
        QByteArray lines;
        qsizetype total = 0;
        for (const QByteArray& message : messages)
            total += message.size() + kLineEndSize + kStampsSize;
        lines.reserve(total);
        for (const QByteArray& message : messages) {
            lines.append(stamps());
            lines.append(message);
            lines.append("\r\n");
        }
        if (appendWhole(lines, size)) {
            if (connected_)
                noteWritten(true);
            return true;
        }
    }
    bool all = true;
    for (const QByteArray& message : messages)
        all = AddLog(message) && all;
    return all;
}

QString LogClass::FSERVER() {
    if (folderValid_)
        return serverFolder_;
    errorCode_ = 1;
    return {};
}

int LogClass::Error() {
    const int code = errorCode_;
    errorCode_ = 0;
    return code;
}

qint32 LogClass::Sizeof() {
    if (!connected_ || !LogFileExists())
        return 0;
    QFile in(disk(FileFullPath()));
    if (!in.open(QIODevice::ReadOnly))
        return 0;
    qint32 lines = 0;
    while (!in.atEnd()) {
        in.readLine();
        ++lines;
    }
    return lines;
}

bool LogClass::CheckBackupDirectory(const QString& folder) {
    if (!folderValid_)
        return false;
    backupFolder_.clear();
    if (!gZelkorfile::FileExists(disk(folder), gZelkorfile::kDirectory))
        return false;
    backupFolder_ = folder + QStringLiteral("/BACKUP");
    if (!gZelkorfile::FileExists(disk(backupFolder_), gZelkorfile::kDirectory))
        QDir().mkpath(disk(backupFolder_));
    return true;
}

QString LogClass::backupTo(const QString& name, bool replace, const QString& continuation) {
    const QString target = disk(backupFolder_ + QLatin1Char('/') + name);
    if (gZelkorfile::FileExists(target, gZelkorfile::kNormal)) {
        if (!replace)
            return {};
        gZelkorfile::KillFile(target);
    }
    // Closed first: lines after the move must go to the new file, not follow
    // the old one into the back-up folder.
    CloseLogFile();
    if (!QFile::rename(disk(FileFullPath()), target))
        return {};
    const QString user = user_;
    Disconnect();
    if (!Connect(serverFolder_, user))
        return {};
    AddLog(continuation + name);
    return name;
}

QString LogClass::Backup() {
    if (!connected_)
        return {};
    AddLog(QByteArray("Backing up Log file") + QByteArray(50, '.'));
    if (!CheckBackupDirectory(logFolder_))
        return {};
    const QString name =
        clock_.now().toString(QStringLiteral("yyyy-MM-dd-HH-mm-ss")) + QLatin1Char('_') + fileName_;
    return backupTo(name, false, QStringLiteral("... Continuation from backed up log file = "));
}

QString LogClass::CycleBackup() {
    if (!connected_)
        return {};
    AddLog(QByteArray("Backing up Log file (by ") + user_.toUtf8() + QByteArray(") ..."));
    if (!CheckBackupDirectory(serverFolder_))
        return {};
    const QString day = clock_.now().toString(QStringLiteral("yy-MM-dd")).right(2);
    return backupTo(
        day + QLatin1Char('_') + fileName_, true,
        QStringLiteral("Cycle Backup: Continuation from recently backed up log file = "));
}
