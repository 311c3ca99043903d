#include "relay/OutputsSink.h"

#include "config/adoQuorlan.h"
#include "decoder/MessagePacket.h"
#include "logging/Logs.h"
#include "platform/HeldSends.h"
#include "platform/Joined.h"
#include "platform/YieldToWoken.h"
#include "relay/ArchiveSink.h"
#include "relay/StoreBurst.h"

namespace relay {

Taken OutputsSink::Take(const QByteArray& packet, StoreBurst& stores) {
    outputs_.ResetStreamActivityTimer();
    count_ = db_.gOutputCount;
    pageID_ = archive_.InHand();
    // A frame notice waits for the page that follows it in the same read, so
    // that the client is woken once for both.
    const bool hold = decoder::IsFrameNotice(packet) && platform::HeldSendScope::Open();
    held_ = hold;
    const bool sentAny = sendAtOnce(packet, hold);
    // A client on this machine reads its page now, not after the lines.
    if (sentAny)
        platform::YieldToWoken();
    return tryTheRest(packet, stores);
}

// Every client that can take the packet has it before the first of the lines
// that tell of it is written; the lines keep their order. The clients' sends
// leave together, so that none woken by an early send takes the processor
// before the last is made. Whether a client was woken.
bool OutputsSink::sendAtOnce(const QByteArray& packet, bool hold) {
    const platform::HeldSendScope together;
    bool sentAny = false;
    routes_.Hold(packet);
    for (int i = 0; i < count_; ++i) {
        // An output the packet is not routed to neither gets nor stores it,
        // and its log tells nothing of it.
        const OutputSocket& output = outputs_.Entry(i);
        if (!output.Active || !routes_.Lets(output.Routed)) {
            deliveries_[i] = Delivery::None;
            continue;
        }
        outputs_.HoldSends(i);
        const bool taken = outputs_.SendAtOnce(i, packet, pageID_);
        deliveries_[i] = taken ? Delivery::Taken : Delivery::Try;
        // Taken behind an outstanding send, it waits: no one was woken, and
        // the pass that sends it gives the clients the processor.
        const bool waits = taken && outputs_.WaitsBehindSend(i);
        if (waits)
            platform::YieldScope::LeaveToCompletions();
        // A held notice woke no one either.
        sentAny = sentAny || (taken && !waits && !hold);
    }
    if (!hold)
        platform::HeldSendScope::ReleaseAll();
    return sentAny;
}

Taken OutputsSink::TakeFor(int index, const QByteArray& packet, StoreBurst& stores) {
    count_ = db_.gOutputCount;
    pageID_ = 0;
    held_ = false;
    deliveries_.fill(Delivery::None);
    deliveries_[index] = Delivery::Try;
    return tryTheRest(packet, stores);
}

// The outputs that did not take the packet at once are tried again; what a
// client cannot take (and what a stalled client held) goes into the burst,
// output after output.
Taken OutputsSink::tryTheRest(const QByteArray& packet, StoreBurst& stores) {
    Taken result = Taken::Delivered;
    for (int i = 0; i < count_; ++i) {
        if (deliveries_[i] != Delivery::Try)
            continue;
        outcomes_[i] = outputs_.TrySend(i, QueuedPacket{packet, 0, {}, {pageID_, 0}}, stores);
        if (!outcomes_[i].taken)
            places_[i] = stores.Add(i, packet, {pageID_, 0});
        if (!outcomes_[i].taken || !outcomes_[i].undelivered.isEmpty())
            result = Taken::Store;
    }
    return result;
}

const QByteArray& OutputsSink::outPrefix(int index) {
    const QString& description = outputs_.Entry(index).Description;
    if (prefix_[index].isEmpty() || prefixFor_[index] != description) {
        prefixFor_[index] = description;
        prefix_[index] = platform::Joined({"Out: ", description.toUtf8(), "\t"});
    }
    return prefix_[index];
}

// A held notice that every client took is told by its "Out: " lines alone.
// Those wait until the page that follows it in the same read is with the
// clients (the logs write them before any later line), instead of holding up
// the page.
void OutputsSink::Tell(const QByteArray& packet, const StoreBurst& stores) {
    if (held_ && onlyOutLines()) {
        std::bitset<kOutputSlots> told;
        for (int i = 0; i < count_; ++i)
            told[size_t(i)] = deliveries_[i] == Delivery::Taken;
        logs_.WriteLater([this, packet, told] { writeOutLines(packet, told); });
        return;
    }
    for (int i = 0; i < count_; ++i) {
        if (deliveries_[i] == Delivery::None)
            continue;
        logs_.LogOutput(platform::Joined({outPrefix(i), packet}));
        if (deliveries_[i] == Delivery::Taken)
            continue;
        outputs_.TellSend(i, outcomes_[i], stores);
        if (!outcomes_[i].taken)
            stores.Tell(places_[i]);
    }
}

bool OutputsSink::onlyOutLines() const {
    for (int i = 0; i < count_; ++i)
        if (deliveries_[i] == Delivery::Try)
            return false;
    return true;
}

void OutputsSink::writeOutLines(const QByteArray& packet, const std::bitset<kOutputSlots>& told) {
    for (int i = 0; i < kOutputSlots; ++i)
        if (told[size_t(i)])
            logs_.LogOutput(platform::Joined({outPrefix(i), packet}));
}

} // namespace relay
