#pragma once

#include <QByteArray>
#include <QDate>
#include <QList>
#include <QString>

#include <sys/types.h>

#include <functional>

namespace platform {
class Clock;
class DateTimeText;
} // namespace platform

// One log file: created with a header, one line per AddLog, and backed up
// while the program runs. The file stays open between lines; other programs
// may still read, copy, move or remove it: the next line notices a file moved
// or removed and starts a new one with its header.
//
// A line goes to the file with one write: it is there whole or, when the disk
// is full, not at all. The owner hears once when lines start to be lost and
// once when a line is written again.
//
// Folders: base B, file N: B/LOGS/N; Backup copies in B/LOGS/BACKUP/stamp_N;
// CycleBackup copies in B/BACKUP/dd_N. Relative base folders are taken inside
// the working folder.
class LogClass {
public:
    LogClass(const platform::Clock& clock, const platform::DateTimeText& texts,
             const QString& workDir);
    ~LogClass();
    LogClass(const LogClass&) = delete;
    LogClass& operator=(const LogClass&) = delete;

    bool DateStamp = true;
    bool TimeStamp = true;
    bool UserStamp = true;

    QString Version() const { return QStringLiteral("1.02.02"); }
    QString FileName() const { return fileName_; }
    QString FileFullPath() const { return logFolder_ + QLatin1Char('/') + fileName_; }
    // The LOGS folder on the disk, "" until the log is connected to one.
    QString DiskFolder() const { return folderValid_ ? disk(logFolder_) : QString(); }
    void SetFileName(const QString& name);
    bool Enabled() const { return enabled_; }
    void SetEnabled(bool value);

    bool Connect(QString fserv, QString ident = QString());
    bool Disconnect();
    bool AddLog(const QByteArray& message);
    bool AddLog(const QString& message) { return AddLog(message.toUtf8()); }
    // The lines of several AddLog calls, in order, with one write.
    bool AddLogs(const QList<QByteArray>& messages);
    QString FSERVER();
    int Error();
    qint32 Sizeof();
    QString Backup();
    QString CycleBackup();

    // Called from AddLog when a line of the connected log could not be written
    // whole, with the system's reason; not again until a line is written.
    std::function<void(const QString& reason)> LinesLost;
    // Called from AddLog after the first line written whole since then, with
    // the number of lines lost meanwhile.
    std::function<void(qint64 lost)> WrittenAgain;
    bool LosingLines() const { return losing_; }
    // Lines lost since the log was made.
    qint64 LinesLostTotal() const { return lostTotal_; }

private:
    bool WriteHeader();
    bool CheckDirectory(QString folder);
    bool LogFileExists() const;
    bool CreateLogFile();
    bool OpenLogFile();
    bool CloseLogFile();
    void SetUser(const QString& ident);
    bool CheckBackupDirectory(const QString& folder);

    bool openFile();
    bool holdFile(qint64& size);
    const QByteArray& diskPath();
    bool appendWhole(const QByteArray& bytes, qint64 sizeBefore);
    void noteWritten(bool written);

    QString backupTo(const QString& name, bool replace, const QString& continuation);
    QString disk(const QString& path) const; // where a path of this log lies on disk
    QByteArray stamps();

    const platform::Clock& clock_;
    const platform::DateTimeText& texts_;
    const QString& workDir_; // the system's working folder, which start-up may change

    int errorCode_ = 0;
    QString serverFolder_;
    QString logFolder_;
    QString fileName_;
    QString backupFolder_;
    QString user_;
    bool connected_ = false;
    bool folderValid_ = false;
    int fd_ = -1;
    dev_t openDevice_ = 0; // the identity of the file fd_ holds
    ino_t openInode_ = 0;
    QByteArray diskPath_; // the file's path as the system takes it
    QString pathWorkDir_; // the working folder diskPath_ was made in
    int writeErrno_ = 0;  // why the last open or write failed
    bool losing_ = false;
    qint64 lost_ = 0;
    qint64 lostTotal_ = 0;
    bool enabled_ = false;
    bool nameChosen_ = false;
    QString chosenName_;
    QDate stampDate_; // the second the stamps below were made for
    int stampSecond_ = -1;
    QByteArray dateStamp_;
    QByteArray timeStamp_;
};
