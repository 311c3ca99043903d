#include "decoder/MessagePacket.h"

namespace decoder {

QByteArray MessagePacket(const QByteArray& rate, const QByteArray& frequency,
                         const QByteArray& function, const QByteArray& address,
                         const QByteArray& type, const QByteArray& text) {
    QByteArray packet;
    packet.reserve(rate.size() + frequency.size() + function.size() + address.size() + type.size() +
                   text.size() + 7);
    packet.append('\x02');
    for (const QByteArray* field : {&rate, &frequency, &function, &address, &type})
        packet.append(*field).append('\r');
    packet.append(text).append('\x03');
    return packet;
}

// Notices carry a rate and address no pager uses, so clients can tell them from pages.
QByteArray F1StartNotice() {
    return MessagePacket("2000", "1", "1", "1234566", "A", "F1 SOT");
}

QByteArray F2StartNotice() {
    return MessagePacket("2000", "2", "1", "1234566", "A", "F2 SOT");
}

QByteArray EndOfBatchNotice() {
    return MessagePacket("2000", "0", "0", "1234566", "A", "EOB");
}

} // namespace decoder
