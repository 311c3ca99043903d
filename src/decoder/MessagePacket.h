#pragma once

#include <QByteArray>

namespace decoder {

// The six-field packet every page and frame notice travels in: STX, rate,
// frequency, function, address, type (each followed by CR), text, ETX.
QByteArray MessagePacket(const QByteArray& rate, const QByteArray& frequency,
                         const QByteArray& function, const QByteArray& address,
                         const QByteArray& type, const QByteArray& text);

// Frame notices: start of transmission on either frequency, end of batch.
QByteArray F1StartNotice();
QByteArray F2StartNotice();
QByteArray EndOfBatchNotice();
// Whether PACKET is one of the frame notices.
bool IsFrameNotice(const QByteArray& packet);

} // namespace decoder
