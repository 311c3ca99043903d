#include "platform/LocalPath.h"

#include <QDir>

namespace platform {

QString LocalPath(const QString& base, const QString& windowsPath) {
    QString path = windowsPath;
    path.replace(QLatin1Char('\\'), QLatin1Char('/'));
    if (QDir::isAbsolutePath(path))
        return QDir::cleanPath(path);
    const QString folder = base.isEmpty() ? QDir::currentPath() : base;
    return QDir::cleanPath(QDir(folder).filePath(path));
}

} // namespace platform
