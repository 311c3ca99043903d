#pragma once

#include <QDateTime>
#include <QList>
#include <QString>
#include <optional>

// The log files as an operator finds them on the disk: the LOGS folder (the
// System log, RAW_DEC.log, DECODE.log) and its BACKUP folder, where each
// back-up moves them under a name that begins with its time,
// "2026-12-08-03-01-00_Quorlan". Plain values and file reads: any thread may
// use them.

namespace logfiles {

// Where the logs are, as the relay writes them now.
struct LogPlace {
    QString folder;        // the LOGS folder on the disk; "" while the logs are not open
    QString backupFolder;  // its BACKUP folder
    QString systemLogName; // the System log's file name (the LogName setting)
};

struct LogFile {
    QString name; // the file's name alone; unique across the two folders
    QString path; // where it is on the disk
    qint64 size = 0;
    QDateTime modified;
    // For a back-up, when it was made, as its name says (the relay's own
    // clock, as its lines' times are): none of its lines is later.
    QDateTime backedUp;
};

// Most files a listing holds: a year of daily back-ups of the three logs.
constexpr qsizetype kMaxListed = 1200;

// Every file of the two folders, newest change first (at most kMaxListed). A
// name in LOGS hides the same name in BACKUP.
QList<LogFile> ListLogFiles(const LogPlace& place);

// The file of the two folders called NAME, as ListLogFiles finds it. The
// name is looked for among the folders' files, never joined to a path.
std::optional<LogFile> FindLogFile(const LogPlace& place, const QString& name);

// The System log's files, newest lines first: today's file, then its
// back-ups, latest back-up first.
QList<LogFile> SystemLogFiles(const LogPlace& place);

} // namespace logfiles
