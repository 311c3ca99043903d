#include "logging/ShownPacket.h"

#include <array>

namespace {

constexpr std::array<const char*, 32> kControlNames = {
    "NUL", "SOH", "STX", "ETX", "EOT", "ENQ", "ACK", "BEL", "BS",  "HT",  "LF",
    "VT",  "FF",  "CR",  "SO",  "SI",  "DLE", "DC1", "DC2", "DC3", "DC4", "NAK",
    "SYN", "ETB", "CAN", "EM",  "SUB", "ESC", "FS",  "GS",  "RS",  "US"};
constexpr char32_t kTab = 0x09;
constexpr char32_t kFirstText = 0x20;
constexpr char32_t kDelete = 0x7F;
constexpr char32_t kLastControl = 0x9F;
constexpr uchar kFirstMultiByte = 0x80;
constexpr uchar kContinuationMask = 0xC0;
constexpr uchar kContinuation = 0x80;
constexpr uchar kLeadBits = 0x7F;
constexpr int kBitsPerContinuation = 6;
constexpr int kHex = 16;

bool IsControl(char32_t code) {
    return (code < kFirstText && code != kTab) || (code >= kDelete && code <= kLastControl);
}

void Append(QString& shown, char32_t code) {
    if (!IsControl(code)) {
        shown += QChar::fromUcs4(code);
        return;
    }
    shown += QLatin1Char('<');
    if (code < kFirstText)
        shown += QLatin1String(kControlNames[code]);
    else
        shown += QLatin1Char('x') + QString::number(uint(code), kHex);
    shown += QLatin1Char('>');
}

// The bytes a lead byte begins (2 to 4), and the range its second byte may
// take in a well-formed sequence; 0 for a byte that begins none.
struct Lead {
    int length = 0;
    uchar low = 0;
    uchar high = 0;
};

Lead LeadOf(uchar byte) {
    if (byte >= 0xC2 && byte <= 0xDF)
        return {2, 0x80, 0xBF};
    if (byte == 0xE0)
        return {3, 0xA0, 0xBF};
    if (byte == 0xED)
        return {3, 0x80, 0x9F};
    if (byte >= 0xE1 && byte <= 0xEF)
        return {3, 0x80, 0xBF};
    if (byte == 0xF0)
        return {4, 0x90, 0xBF};
    if (byte >= 0xF1 && byte <= 0xF3)
        return {4, 0x80, 0xBF};
    if (byte == 0xF4)
        return {4, 0x80, 0x8F};
    return {};
}

// The length of the well-formed UTF-8 sequence at `at`, or 0.
qsizetype Utf8Length(const QByteArray& bytes, qsizetype at) {
    const Lead lead = LeadOf(uchar(bytes[at]));
    if (lead.length == 0 || at + lead.length > bytes.size())
        return 0;
    const auto second = uchar(bytes[at + 1]);
    if (second < lead.low || second > lead.high)
        return 0;
    for (qsizetype k = 2; k < lead.length; ++k)
        if ((uchar(bytes[at + k]) & kContinuationMask) != kContinuation)
            return 0;
    return lead.length;
}

// The code point of a well-formed sequence: the lead byte's low bits, then
// six bits from each continuation byte.
char32_t Utf8Code(const QByteArray& bytes, qsizetype at, qsizetype length) {
    char32_t code = uchar(bytes[at]) & (kLeadBits >> length);
    for (qsizetype k = 1; k < length; ++k)
        code = (code << kBitsPerContinuation) | (uchar(bytes[at + k]) & ~kContinuationMask);
    return code;
}

} // namespace

QString ShownPacket(const QByteArray& packet) {
    QString shown;
    shown.reserve(packet.size());
    for (qsizetype i = 0; i < packet.size();) {
        const auto byte = uchar(packet[i]);
        const qsizetype length = byte >= kFirstMultiByte ? Utf8Length(packet, i) : 0;
        if (length == 0) {
            Append(shown, byte);
            ++i;
            continue;
        }
        Append(shown, Utf8Code(packet, i, length));
        i += length;
    }
    return shown;
}
