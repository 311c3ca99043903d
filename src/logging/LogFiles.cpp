#include "logging/LogFiles.h"

#include <QDir>
#include <QFileInfo>
#include <QSet>
#include <algorithm>

namespace logfiles {

namespace {

LogFile Entry(const QFileInfo& info) {
    return {info.fileName(), info.filePath(), info.size(), info.lastModified(), {}};
}

QFileInfoList FilesIn(const QString& folder) {
    if (folder.isEmpty())
        return {};
    // A link could lead out of the folders: only the files themselves are logs.
    return QDir(folder).entryInfoList(QDir::Files | QDir::NoSymLinks, QDir::Name | QDir::Reversed);
}

const QString kStampFormat = QStringLiteral("yyyy-MM-dd-HH-mm-ss");

// When a back-up of LOGNAME called FILENAME was made: its name is that
// moment, "_", then the log's own name. Invalid for any other file.
QDateTime BackedUpAt(const QString& fileName, const QString& logName) {
    const qsizetype stampSize = kStampFormat.size();
    if (fileName.size() != stampSize + 1 + logName.size() || !fileName.endsWith(logName) ||
        fileName[stampSize] != QLatin1Char('_'))
        return {};
    return QDateTime::fromString(fileName.left(stampSize), kStampFormat);
}

} // namespace

QList<LogFile> ListLogFiles(const LogPlace& place) {
    QList<LogFile> files;
    QSet<QString> names;
    for (const QString& folder : {place.folder, place.backupFolder}) {
        for (const QFileInfo& info : FilesIn(folder)) {
            if (names.contains(info.fileName()))
                continue;
            names.insert(info.fileName());
            files << Entry(info);
        }
    }
    std::sort(files.begin(), files.end(), [](const LogFile& a, const LogFile& b) {
        return a.modified != b.modified ? a.modified > b.modified : a.name < b.name;
    });
    if (files.size() > kMaxListed)
        files.resize(kMaxListed);
    return files;
}

std::optional<LogFile> FindLogFile(const LogPlace& place, const QString& name) {
    for (const QString& folder : {place.folder, place.backupFolder})
        for (const QFileInfo& info : FilesIn(folder))
            if (info.fileName() == name)
                return Entry(info);
    return std::nullopt;
}

QList<LogFile> SystemLogFiles(const LogPlace& place) {
    QList<LogFile> files;
    if (place.folder.isEmpty() || place.systemLogName.isEmpty())
        return files;
    const QFileInfo today(QDir(place.folder).filePath(place.systemLogName));
    if (today.isFile())
        files << Entry(today);
    // Newest name first: the names begin with the back-up's time.
    for (const QFileInfo& info : FilesIn(place.backupFolder)) {
        LogFile file = Entry(info);
        file.backedUp = BackedUpAt(file.name, place.systemLogName);
        if (file.backedUp.isValid())
            files << file;
    }
    return files;
}

} // namespace logfiles
