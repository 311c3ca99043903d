#include "logging/ReverseLines.h"

ReverseLines::ReverseLines(const QString& path) : file_(path) {
    if (!file_.open(QIODevice::ReadOnly))
        return;
    size_ = file_.size();
    position_ = size_;
    // A file that ends with a line end has no empty line after it.
    char last = 0;
    if (size_ > 0 && file_.seek(size_ - 1) && file_.getChar(&last) && last == '\n')
        --position_;
}

bool ReverseLines::readBlock() {
    const qint64 start = qMax<qint64>(0, position_ - kBlockBytes);
    if (!file_.seek(start))
        return false;
    QByteArray bytes = file_.read(position_ - start);
    if (bytes.size() != position_ - start)
        return false;
    position_ = start;
    block_ = bytes + block_;
    return true;
}

bool ReverseLines::Previous(QByteArray& line) {
    if (!file_.isOpen())
        return false;
    for (;;) {
        const qsizetype end = block_.lastIndexOf('\n');
        if (end >= 0 || position_ == 0) {
            // The line is what follows the line end (or the whole block at
            // the start of the file), then what an earlier block gave of it.
            if (end < 0 && block_.isEmpty() && head_.isEmpty() && !headCut_)
                return false;
            line = block_.mid(end + 1) + head_;
            block_.truncate(end >= 0 ? end : 0);
            head_.clear();
            headCut_ = false;
            if (line.size() > kMaxLineBytes)
                line.truncate(kMaxLineBytes);
            if (line.endsWith('\r'))
                line.chop(1);
            return true;
        }
        // No line end in the block: it all belongs to a line that began
        // earlier. Only its first bytes are kept, so memory stays bounded.
        head_ = block_ + head_;
        block_.clear();
        if (head_.size() > kMaxLineBytes) {
            head_.truncate(kMaxLineBytes);
            headCut_ = true;
        }
        if (!readBlock())
            return false;
    }
}
