#pragma once

#include "publish/Publishers.h"
#include "relay/ArchiveSink.h"
#include "relay/PacketSink.h"

namespace relay {

// The MQTT brokers as one sink. A page reaches them by way of the store: the
// publishers gather the pages of a moment and store them, for every active
// broker, in one transaction under the store's identifiers; a broker's
// acknowledgement deletes its row.
class PublishersSink final : public PacketSink {
public:
    PublishersSink(publish::Publishers& publishers, const ArchiveSink& archive)
        : publishers_(publishers), archive_(archive) {}

    Taken Take(const QByteArray& packet, StoreBurst&) override {
        publishers_.PublishPage(packet, archive_.InHand());
        return Taken::Queued;
    }
    void Tell(const QByteArray&, const StoreBurst&) override {}

private:
    publish::Publishers& publishers_;
    const ArchiveSink& archive_;
};

} // namespace relay
