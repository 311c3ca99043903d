#include "config/FileModes.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace config {

namespace {

constexpr QFileDevice::Permissions kOthers =
    QFileDevice::ReadOther | QFileDevice::WriteOther | QFileDevice::ExeOther;

} // namespace

bool KeepFromOthers(const QString& path) {
    const QFileDevice::Permissions now = QFileInfo(path).permissions();
    if (!(now & kOthers))
        return true;
    return QFile::setPermissions(path, now & ~kOthers);
}

QStringList ReadableByOthers(const QString& folder, const QStringList& names) {
    QStringList readable;
    for (const QString& name : names) {
        const QFileInfo file(QDir(folder).filePath(name));
        if (file.exists() && (file.permissions() & QFileDevice::ReadOther))
            readable << name;
    }
    return readable;
}

} // namespace config
