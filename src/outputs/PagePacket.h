#pragma once

#include <QByteArrayView>

// Whether a packet is a page, as a client tells it apart from the relay's own
// packets (frame notices and the idle message carry the rate "2000"): STX,
// a rate other than "2000" and a frequency, each ended by CR.
bool IsPagePacket(QByteArrayView packet);
