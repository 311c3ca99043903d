#pragma once

// A small tmpfs on a folder for as long as it lives: a disk that fills up.
// Only root may mount one.

#include <QByteArray>
#include <QFile>
#include <QProcess>
#include <QString>
#include <unistd.h>

class SmallDisk {
public:
    SmallDisk(const QString& folder, const QString& size) : folder_(folder) {
        mounted_ = ::geteuid() == 0 &&
                   QProcess::execute(QStringLiteral("mount"),
                                     {QStringLiteral("-t"), QStringLiteral("tmpfs"),
                                      QStringLiteral("-o"), QStringLiteral("size=") + size,
                                      QStringLiteral("tmpfs"), folder}) == 0;
    }
    ~SmallDisk() {
        if (mounted_)
            QProcess::execute(QStringLiteral("umount"), {QStringLiteral("-l"), folder_});
    }
    SmallDisk(const SmallDisk&) = delete;
    SmallDisk& operator=(const SmallDisk&) = delete;
    bool mounted() const { return mounted_; }

    // Takes every block still free; false when the filler could not be made.
    bool fill() const {
        QFile filler(fillerPath());
        if (!filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
            return false;
        const QByteArray block(4096, 'f');
        while (filler.write(block) == block.size()) {
        }
        return true;
    }
    bool makeRoom() const { return QFile::remove(fillerPath()); }

private:
    QString fillerPath() const { return folder_ + QStringLiteral("/filler"); }
    QString folder_;
    bool mounted_ = false;
};
