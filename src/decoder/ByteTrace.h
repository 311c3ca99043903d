#pragma once

#include <QByteArray>
#include <array>

// The bytes read since the trace was last emptied, as "<" decimal value ">"
// texts. Only its last 20 characters are ever shown, so only the last bytes
// are kept: a long search costs neither time nor memory.
class ByteTrace {
public:
    void Append(int byte) {
        bytes_[size_t(count_ & (kKept - 1))] = static_cast<unsigned char>(byte);
        ++count_;
    }
    void Empty() { count_ = 0; }
    // The last `characters` characters of the trace text.
    QByteArray Text(int characters = 20) const {
        QByteArray text;
        const qint64 kept = count_ < kKept ? count_ : kKept;
        for (qint64 i = count_ - kept; i < count_; ++i)
            text += '<' + QByteArray::number(bytes_[size_t(i % kKept)]) + '>';
        return text.right(characters);
    }

private:
    static constexpr qint64 kKept = 8; // 20 characters hold at most 7 bytes ("<0>")
    static_assert((kKept & (kKept - 1)) == 0, "a byte's place is its count masked");
    std::array<unsigned char, kKept> bytes_{};
    qint64 count_ = 0;
};
