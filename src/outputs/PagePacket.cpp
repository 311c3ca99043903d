#include "outputs/PagePacket.h"

namespace {

constexpr char kSTX = '\x02';
constexpr char kCR = '\r';
constexpr QByteArrayView kRelayRate = "2000";

} // namespace

bool IsPagePacket(QByteArrayView packet) {
    if (packet.isEmpty() || packet.front() != kSTX)
        return false;
    const qsizetype rateEnd = packet.indexOf(kCR, 1);
    if (rateEnd < 0 || packet.indexOf(kCR, rateEnd + 1) < 0)
        return false;
    return packet.sliced(1, rateEnd - 1) != kRelayRate;
}
