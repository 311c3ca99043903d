#include "decoder/MessagePacket.h"

#include <array>
#include <cstring>

namespace decoder {

namespace {

char* Copy(char* to, const QByteArray& bytes) {
    if (!bytes.isEmpty())
        std::memcpy(to, bytes.constData(), size_t(bytes.size()));
    return to + bytes.size();
}

} // namespace

QByteArray MessagePacket(const QByteArray& rate, const QByteArray& frequency,
                         const QByteArray& function, const QByteArray& address,
                         const QByteArray& type, const QByteArray& text) {
    const std::array<const QByteArray*, 5> fields{&rate, &frequency, &function, &address, &type};
    qsizetype size = text.size() + 2;
    for (const QByteArray* field : fields)
        size += field->size() + 1;
    // One allocation, filled in place: a packet goes out for every page.
    QByteArray packet(size, Qt::Uninitialized);
    char* at = packet.data();
    *at++ = '\x02';
    for (const QByteArray* field : fields) {
        at = Copy(at, *field);
        *at++ = '\r';
    }
    at = Copy(at, text);
    *at = '\x03';
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

bool IsFrameNotice(const QByteArray& packet) {
    static const QByteArray f1 = F1StartNotice();
    static const QByteArray f2 = F2StartNotice();
    static const QByteArray eob = EndOfBatchNotice();
    return packet == f1 || packet == f2 || packet == eob;
}

} // namespace decoder
