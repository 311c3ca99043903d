#pragma once

#include "publish/Publishers.h"
#include "relay/PacketSink.h"

namespace relay {

// The MQTT brokers as one sink. A page reaches them by way of the store: the
// publishers gather the pages of a moment and store them, for every active
// broker, in one transaction under the store's identifiers; a broker's
// acknowledgement deletes its row.
class PublishersSink final : public PacketSink {
public:
    explicit PublishersSink(publish::Publishers& publishers) : publishers_(publishers) {}

    Taken Take(const QByteArray& packet, StoreBurst&) override {
        publishers_.PublishPage(packet);
        return Taken::Queued;
    }
    void Tell(const QByteArray&, const StoreBurst&) override {}

private:
    publish::Publishers& publishers_;
};

} // namespace relay
