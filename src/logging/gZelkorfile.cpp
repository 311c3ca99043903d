#include "logging/gZelkorfile.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace gZelkorfile {

bool FileExists(const QString& path, int attributes) {
    if (path.isEmpty())
        return false;
    const QFileInfo info(path);
    if (!info.exists())
        return false;
    if (info.isDir())
        return (attributes & kDirectory) != 0;
    return true;
}

bool KillFile(const QString& path) {
    const QFileInfo info(path);
    if (!info.isFile())
        return false;
    return QFile::remove(path);
}

bool ZelkorCopy(const QString& source, const QString& target) {
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly))
        return false;
    // Written beside the target and renamed over it, so the target is never
    // left half copied.
    QSaveFile out(target);
    if (!out.open(QIODevice::WriteOnly))
        return false;
    while (!in.atEnd()) {
        const QByteArray chunk = in.read(1 << 16);
        if (chunk.isEmpty() && in.error() != QFile::NoError)
            return false;
        if (out.write(chunk) != chunk.size())
            return false;
    }
    return out.commit();
}

} // namespace gZelkorfile
