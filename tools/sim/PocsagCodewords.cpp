#include "PocsagCodewords.h"

#include <bit>

namespace sim {

namespace {

// x^10 + x^9 + x^8 + x^6 + x^5 + x^3 + 1
constexpr quint32 kGenerator = 0x769;
constexpr int kSpaceCode = 12;

// Bits to pack into message codewords, 20 at a time.
class BitPacker {
public:
    void add(quint32 value, int bits) {
        for (int i = 0; i < bits; ++i)
            push((value >> i) & 1u);
    }
    int pending() const { return count_; }
    // Completes the last codeword with `fill` bits, each as add() sends them.
    QList<quint32> finish(quint32 fill, int fillBits) {
        while (count_ != 0)
            for (int i = 0; i < fillBits && count_ != 0; ++i)
                push((fill >> i) & 1u);
        return codewords_;
    }

private:
    void push(quint32 bit) {
        data_ = (data_ << 1) | bit;
        if (++count_ == 20) {
            codewords_.append(MessageCodeword(data_));
            data_ = 0;
            count_ = 0;
        }
    }
    quint32 data_ = 0;
    int count_ = 0;
    QList<quint32> codewords_;
};

} // namespace

quint32 WithCheckBits(quint32 codeword) {
    const quint32 information = codeword >> 11;
    quint32 remainder = information << 10;
    for (int bit = 30; bit >= 10; --bit)
        if (remainder & (1u << bit))
            remainder ^= kGenerator << (bit - 10);
    quint32 result = (information << 11) | (remainder << 1);
    return result | (std::popcount(result) & 1u);
}

bool HasValidCheckBits(quint32 codeword) {
    return WithCheckBits(codeword) == codeword;
}

quint32 AddressCodeword(quint32 ric, int function) {
    return WithCheckBits(((ric >> 3) & 0x3FFFFu) << 13 | (quint32(function) & 3u) << 11);
}

quint32 MessageCodeword(quint32 data20) {
    return WithCheckBits(0x80000000u | (data20 & 0xFFFFFu) << 11);
}

int NumericCode(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    switch (c) {
    case '*':
        return 10;
    case 'U':
        return 11;
    case ' ':
        return kSpaceCode;
    case '-':
        return 13;
    case ')':
        return 14;
    case '(':
        return 15;
    default:
        return -1;
    }
}

QList<quint32> NumericMessage(const QByteArray& digits) {
    BitPacker packer;
    for (const char c : digits) {
        const int code = NumericCode(c);
        packer.add(quint32(code < 0 ? kSpaceCode : code), 4);
    }
    return packer.finish(kSpaceCode, 4);
}

QList<quint32> AlphaMessage(const QByteArray& text) {
    BitPacker packer;
    for (const char c : text)
        packer.add(quint32(static_cast<unsigned char>(c) & 0x7Fu), 7);
    return packer.finish(0, 1);
}

} // namespace sim
