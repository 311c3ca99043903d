#include "logging/LogClass.h"

#include "logging/gZelkorfile.h"
#include "platform/Clock.h"
#include "platform/DateTimeText.h"
#include "platform/LocalPath.h"

#include <QDir>

namespace {

// The header's print zones are 14 columns wide.
QString Zone(const QString& label, int zones) {
    return label.leftJustified(14 * zones, QLatin1Char(' '));
}

} // namespace

LogClass::LogClass(const platform::Clock& clock, const platform::DateTimeText& texts,
                   const QString& workDir)
    : clock_(clock), texts_(texts), workDir_(workDir) {}

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
bool LogClass::Connect(QString fserv, QString ident) {
    if (!nameChosen_) {
        QString name = QStringLiteral("KVLG_~~~.log");
        const QString prefix = ident.left(3);
        name.replace(5, prefix.size(), prefix);
        fileName_ = name;
    } else {
        fileName_ = chosenName_;
    }
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
        if (OpenLogFile() && CloseLogFile()) {
            enabled_ = true;
            connected_ = true;
            return true;
        }
    }
    errorCode_ = 1;
    return false;
}

bool LogClass::Disconnect() {
    file_.close();
    enabled_ = false;
    connected_ = false;
    return true;
}

bool LogClass::CheckDirectory(QString folder) {
    folderValid_ = false;
    serverFolder_.clear();
    logFolder_.clear();
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

bool LogClass::CreateLogFile() {
    QFile created(disk(FileFullPath()));
    const bool opened = created.open(QIODevice::Append);
    created.close();
    const bool header = opened && WriteHeader();
    return opened || header;
}

bool LogClass::WriteHeader() {
    if (!OpenLogFile())
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
    bool written = true;
    for (const QString& line : lines)
        written = file_.write(line.toUtf8() + "\r\n") >= 0 && written;
    CloseLogFile();
    return written;
}

bool LogClass::OpenLogFile() {
    if (!LogFileExists())
        return false;
    file_.close();
    file_.setFileName(disk(FileFullPath()));
    return file_.open(QIODevice::Append);
}

bool LogClass::CloseLogFile() {
    file_.close();
    return true;
}

void LogClass::SetUser(const QString& ident) {
    user_ = (ident.left(8) + QString(8, QLatin1Char(' '))).left(8);
}

QByteArray LogClass::stamps() const {
    const QDateTime now = clock_.now();
    QByteArray line;
    if (DateStamp)
        line += now.toString(QStringLiteral("dd/MM/yy ")).toLatin1();
    if (TimeStamp)
        line += now.toString(QStringLiteral("HH:mm:ss ")).toLatin1();
    if (UserStamp)
        line += user_.toUtf8();
    return line;
}

bool LogClass::AddLog(const QByteArray& message) {
    if (!enabled_)
        return true;
    if (!OpenLogFile()) {
        // The file was removed or moved away (rotation, a clean-up): start it
        // again with its header rather than lose every line until the next
        // back-up.
        if (!connected_ || LogFileExists())
            return false;
        QDir().mkpath(disk(logFolder_));
        if (!CreateLogFile() || !OpenLogFile())
            return false;
    }
    file_.write(stamps() + message + "\r\n");
    CloseLogFile();
    return true;
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

bool LogClass::CheckBackupDirectory(QString folder) {
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
