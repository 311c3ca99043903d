#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

// A file's lines from the last to the first, read in blocks from its end, so
// that a search for the newest lines stops as soon as it has enough and never
// holds more than a block and a line. Only the bytes the file had when it
// was opened are read: a log that grows meanwhile is read as it was.
class ReverseLines {
public:
    static constexpr qint64 kBlockBytes = qint64(64) * 1024;
    // A longer line is given cut to its first kMaxLineBytes bytes.
    static constexpr qsizetype kMaxLineBytes = qsizetype(64) * 1024;

    explicit ReverseLines(const QString& path);

    bool IsOpen() const { return file_.isOpen(); }
    // The line before the last one given, without its line end (LF, CR LF);
    // false at the start of the file or on a read error.
    bool Previous(QByteArray& line);
    // The bytes read so far.
    qint64 BytesRead() const { return size_ - position_; }

private:
    bool readBlock();

    QFile file_;
    qint64 size_ = 0;
    qint64 position_ = 0; // the file is read from here back
    QByteArray block_;    // bytes read and not yet given as lines
    QByteArray head_;     // the part of a line that continues into the block after it
    bool headCut_ = false;
};
