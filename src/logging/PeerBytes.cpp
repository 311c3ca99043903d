#include "logging/PeerBytes.h"

QByteArray EscapedPeerBytes(const QByteArray& bytes) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    QByteArray shown;
    shown.reserve(bytes.size());
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if ((byte < 0x20 && byte != '\t') || byte == 0x7F) {
            shown += '<';
            shown += kHex[byte >> 4];
            shown += kHex[byte & 0x0F];
            shown += '>';
        } else {
            shown += c;
        }
    }
    return shown;
}
