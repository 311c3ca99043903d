#include "decoder/DecodePOCSAGSAT.h"

#include "decoder/AppendBytes.h"

#include <array>

namespace {

// The 20 data bits of a message codeword (bits 30..11), first received bit highest.
int DataBits(const Codeword& cw) {
    return ((cw[4] & 0x7F) << 13) | (cw[3] << 5) | (cw[2] >> 3);
}

// Bits carried into a codeword at each phase of the cycle.
int CarriedBits(int phase) {
    return phase == 0 ? 0 : 7 - phase;
}

// Each 7-bit value with its bits in the opposite order.
constexpr std::array<quint8, 128> kReversed7 = [] {
    std::array<quint8, 128> table{};
    for (int value = 0; value < 128; ++value)
        for (int bit = 0; bit < 7; ++bit)
            if (value & (1 << bit))
                table[size_t(value)] |= quint8(1 << (6 - bit));
    return table;
}();

constexpr int kCyclePhases = 7;

// The bit helpers have internal linkage so that the loops over every codeword
// inline them: the library is built position independent, where calls to its
// member functions are not inlined.

int ReverseBits7(int v) {
    return v >= 0 && v <= 127 ? kReversed7[size_t(v)] : 0;
}

// The POCSAG numeric code with its four bits reversed, as they arrive.
char NumericChar(int n) {
    static constexpr char kChars[] = "084 2*6)195-3U7(";
    return kChars[n & 15];
}

} // namespace

void DecodePOCSAGSAT::StripNumericMsgPOCSAG(const Codeword& cw, QByteArray& numericText) const {
    const int bits = DataBits(cw);
    // Five digits a codeword, appended together: one append a codeword, not five.
    std::array<char, 5> digits{};
    for (size_t i = 0; i < digits.size(); ++i)
        digits[i] = NumericChar(bits >> (16 - 4 * int(i)));
    decoder::AppendBytes(numericText, digits.data(), qsizetype(digits.size()));
}

void DecodePOCSAGSAT::StripMsgPOCSAG(const Codeword& cw, QByteArray& alphaText) {
    const int carried = CarriedBits(AlphaPhase);
    // After phase 0 the carry is kept as a plain value; after later phases it
    // waits at the top of a 7-bit value.
    int carryValue = 0;
    if (carried > 0)
        carryValue = AlphaPhase == 1 ? AlphaCarry : AlphaCarry >> (7 - carried);
    // At most 6 + 20 bits: an int holds them.
    const int stream = (carryValue << 20) | DataBits(cw);
    const int total = carried + 20;
    const int characters = total / 7;
    // At most three characters a codeword, appended together, but after any
    // that come before a bit indicator.
    std::array<char, 3> completed{};
    qsizetype count = 0;
    for (int i = 1; i <= characters; ++i) {
        const int code = ReverseBits7((stream >> (total - 7 * i)) & 0x7F);
        if (code >= 16) {
            completed[size_t(count++)] = char(code);
            continue;
        }
        decoder::AppendBytes(alphaText, completed.data(), count);
        count = 0;
        alphaText.append(BitIndicator);
    }
    decoder::AppendBytes(alphaText, completed.data(), count);
    const int left = total - 7 * characters;
    const int leftValue = stream & ((1 << left) - 1);
    if (left == 0)
        AlphaCarry = 0;
    else
        AlphaCarry = AlphaPhase == 0 ? leftValue : leftValue << (7 - left);
    AlphaPhase = AlphaPhase + 1 == kCyclePhases ? 0 : AlphaPhase + 1;
}

QByteArray DecodePOCSAGSAT::ConvertFunction(const Codeword& cw) const {
    // Literals: a page's function letter costs no allocation.
    static const std::array<QByteArray, 4> kLetters{QByteArrayLiteral("A"), QByteArrayLiteral("B"),
                                                    QByteArrayLiteral("C"), QByteArrayLiteral("D")};
    return kLetters[size_t((cw[2] & 0x18) >> 3)];
}

qint32 DecodePOCSAGSAT::ConvertAddress(int pos, const Codeword& cw) {
    const qint32 base = (cw[2] & 0xE0) / 4 + cw[3] * 64 + cw[4] * 16384;
    const qint32 frame = pos >= 1 && pos <= 16 ? (pos - 1) / 2 : 0;
    restartAssembly();
    return base + frame;
}

bool DecodePOCSAGSAT::TestIdle(const Codeword& cw) {
    if (cw[4] != 0x7A || cw[3] != 0x89 || cw[2] != 0xC1)
        return false;
    restartAssembly();
    return true;
}
