#pragma once

#include <QByteArray>
#include <cstddef>
#include <span>

namespace platform {

// One send of a batch: the connection's descriptor and the bytes; `sent` is
// what the network stack took of them at once (0 for none).
struct BatchSend {
    int descriptor = -1;
    const QByteArray* data = nullptr;
    qint64 sent = 0;
};

// The most sends a batch takes: room for one to each of the most clients a
// relay has, and then some. A larger batch goes one send at a time.
inline constexpr std::size_t kMostSendsTogether = 64;

// Gives every send of the batch to the network stack in one call into the
// system, none of them waiting for room. A client on this machine woken by
// the first send then does not take the processor before the last is made.
// False, with nothing sent, where the system offers no such call.
bool SendTogether(std::span<BatchSend> sends);

} // namespace platform
