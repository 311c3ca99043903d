#include "logging/StoredPacketText.h"

namespace {

constexpr unsigned char kStx = 0x02;
constexpr unsigned char kEtx = 0x03;
constexpr unsigned char kCr = 0x0D;
constexpr unsigned char kFirstPrintable = 0x20;
constexpr unsigned char kDelete = 0x7F;
// The longest a byte becomes ("<STX>"): the room to reserve.
constexpr qsizetype kMaxShownBytes = 5;

void AppendHex(QByteArray& shown, unsigned char byte) {
    static constexpr char kHex[] = "0123456789abcdef";
    shown += '<';
    shown += kHex[byte >> 4];
    shown += kHex[byte & 0x0F];
    shown += '>';
}

} // namespace

QByteArray StoredPacketText(const QByteArray& packet) {
    QByteArray shown;
    shown.reserve(packet.size() * kMaxShownBytes);
    for (const char c : packet) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte == kStx)
            shown += "<STX>";
        else if (byte == kEtx)
            shown += "<ETX>";
        else if (byte == kCr)
            shown += "<CR>";
        else if (byte < kFirstPrintable || byte >= kDelete)
            AppendHex(shown, byte);
        else
            shown += c;
    }
    return shown;
}
