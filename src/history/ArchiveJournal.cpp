#include "history/ArchiveJournal.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QtEndian>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace history {

namespace {

// A record: its length and a checksum of it, then the page. A record cut
// short (the disk full, the power gone) fails its checksum and ends the file.
constexpr quint16 kRecordMark = 0x4F4A;
constexpr qsizetype kHeaderBytes = 8;
// No page comes near this; a length above it is a broken record.
constexpr quint32 kLongestRecord = 16 * 1024 * 1024;
constexpr mode_t kFileMode = 0640;

template <typename T> void Put(QByteArray& out, T value) {
    const T little = qToLittleEndian(value);
    out.append(reinterpret_cast<const char*>(&little), sizeof little);
}

void PutBytes(QByteArray& out, const QByteArray& bytes) {
    Put<quint32>(out, static_cast<quint32>(bytes.size()));
    out.append(bytes);
}

// Reads a record's page from `data`; false when it does not add up.
class Reader {
public:
    explicit Reader(QByteArrayView data) : data_(data) {}
    template <typename T> bool Get(T& value) {
        if (at_ + qsizetype(sizeof(T)) > data_.size())
            return false;
        value = qFromLittleEndian<T>(data_.data() + at_);
        at_ += sizeof(T);
        return true;
    }
    bool GetBytes(QByteArray& bytes) {
        quint32 size = 0;
        if (!Get(size) || at_ + qsizetype(size) > data_.size())
            return false;
        bytes = data_.sliced(at_, size).toByteArray();
        at_ += size;
        return true;
    }
    bool AtEnd() const { return at_ == data_.size(); }

private:
    QByteArrayView data_;
    qsizetype at_ = 0;
};

bool ReadPage(QByteArrayView payload, PageRecord& page) {
    Reader in(payload);
    QByteArray carrier;
    if (!in.Get(page.id) || !in.Get(page.time.ms) || !in.Get(page.time.offsetMinutes) ||
        !in.GetBytes(carrier) || !in.GetBytes(page.packet) || !in.AtEnd())
        return false;
    page.carrier = QString::fromUtf8(carrier);
    return true;
}

void ReadFile(const QString& path, std::vector<PageRecord>& pages) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return;
    const QByteArray data = file.readAll();
    for (qsizetype at = 0; at + kHeaderBytes <= data.size();) {
        const auto length = qFromLittleEndian<quint32>(data.constData() + at);
        const auto checksum = qFromLittleEndian<quint16>(data.constData() + at + 4);
        const auto mark = qFromLittleEndian<quint16>(data.constData() + at + 6);
        if (mark != kRecordMark || length > kLongestRecord ||
            at + kHeaderBytes + qsizetype(length) > data.size())
            return;
        const QByteArrayView payload(data.constData() + at + kHeaderBytes, length);
        PageRecord page;
        if (qChecksum(payload) != checksum || !ReadPage(payload, page))
            return;
        pages.push_back(std::move(page));
        at += kHeaderBytes + length;
    }
}

} // namespace

ArchiveJournal::~ArchiveJournal() {
    close();
}

QString ArchiveJournal::fileOf(qint64 generation) const {
    return archive_ + QStringLiteral("-pending-") + QString::number(generation);
}

std::vector<PageRecord> ArchiveJournal::Read() {
    const QFileInfo archive(archive_);
    static const QRegularExpression pending(QStringLiteral("-pending-([0-9]{1,18})$"));
    const QString prefix = archive.fileName() + QStringLiteral("-pending-");
    for (const QString& name :
         archive.dir().entryList({prefix + QLatin1Char('*')}, QDir::Files, QDir::Name)) {
        const QRegularExpressionMatch match = pending.match(name);
        if (match.hasMatch() && name.size() == prefix.size() + match.capturedLength(1))
            files_.insert(match.captured(1).toLongLong());
    }
    std::vector<PageRecord> pages;
    for (const qint64 generation : files_)
        ReadFile(fileOf(generation), pages);
    if (!files_.empty())
        generation_ = *files_.rbegin() + 1;
    return pages;
}

bool ArchiveJournal::open() {
    if (fd_ >= 0)
        return true;
    const QByteArray path = QFile::encodeName(fileOf(generation_));
    fd_ = ::open(path.constData(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, kFileMode);
    if (fd_ < 0) {
        failure_ = QStringLiteral("Cannot write %1: %2")
                       .arg(fileOf(generation_), QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    files_.insert(generation_);
    size_ = ::lseek(fd_, 0, SEEK_END);
    return true;
}

void ArchiveJournal::close() {
    if (fd_ < 0)
        return;
    ::close(fd_);
    fd_ = -1;
    // A file made ready that got no page is not left for the next start.
    if (size_ == 0 && QFile::remove(fileOf(generation_)))
        files_.erase(generation_);
    size_ = 0;
}

void ArchiveJournal::Prepare() {
    (void)open();
}

bool ArchiveJournal::Append(const PageRecord& page) {
    if (!open())
        return false;
    record_.resize(kHeaderBytes);
    Put<qint64>(record_, page.id);
    Put<qint64>(record_, page.time.ms);
    Put<qint16>(record_, page.time.offsetMinutes);
    PutBytes(record_, page.carrier.toUtf8());
    PutBytes(record_, page.packet);
    const QByteArrayView payload(record_.constData() + kHeaderBytes, record_.size() - kHeaderBytes);
    qToLittleEndian<quint32>(static_cast<quint32>(payload.size()), record_.data());
    qToLittleEndian<quint16>(qChecksum(payload), record_.data() + 4);
    qToLittleEndian<quint16>(kRecordMark, record_.data() + 6);
    qsizetype written = 0;
    while (written < record_.size()) {
        const ssize_t n = ::write(fd_, record_.constData() + written, record_.size() - written);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            failure_ = QStringLiteral("Cannot write %1: %2")
                           .arg(fileOf(generation_),
                                QString::fromLocal8Bit(std::strerror(n < 0 ? errno : ENOSPC)));
            // A part of a record would hide the records after it.
            if (::ftruncate(fd_, size_) != 0) {
                close();
                ++generation_;
            }
            return false;
        }
        written += n;
    }
    size_ += record_.size();
    return true;
}

qint64 ArchiveJournal::Seal() {
    if (fd_ < 0 || size_ == 0)
        return 0;
    close();
    return generation_++;
}

void ArchiveJournal::Remove(qint64 generation) {
    while (!files_.empty() && *files_.begin() <= generation) {
        const qint64 oldest = *files_.begin();
        if (oldest == generation_ && fd_ >= 0)
            break; // still being written
        QFile::remove(fileOf(oldest));
        files_.erase(files_.begin());
    }
}

} // namespace history
