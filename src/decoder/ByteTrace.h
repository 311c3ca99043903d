#pragma once

#include <QByteArray>
#include <QtGlobal>

// The bytes read since the trace was last emptied, as "<" decimal value ">"
// texts. Only its last 20 characters are ever shown, so only the last bytes
// are kept: a long search costs neither time nor memory.
class ByteTrace {
public:
    // The bytes are shifted through one word: every codeword appends four and
    // the trace is copied after each, which bytes stored one by one would slow.
    void Append(int byte) {
        last_ = (last_ << 8) | quint64(static_cast<unsigned char>(byte));
        ++count_;
    }
    void Empty() { count_ = 0; }
    // The last `characters` characters of the trace text.
    QByteArray Text(int characters = 20) const {
        QByteArray text;
        const qint64 kept = count_ < kKept ? count_ : kKept;
        for (qint64 age = kept - 1; age >= 0; --age)
            text += '<' + QByteArray::number(int((last_ >> (8 * age)) & 0xFF)) + '>';
        return text.right(characters);
    }

private:
    static constexpr qint64 kKept = 8; // 20 characters hold at most 7 bytes ("<0>")
    quint64 last_ = 0;                 // the last bytes appended, the newest lowest
    qint64 count_ = 0;
};
