#include "relay/ArchiveSink.h"

#include "telstra/frmDecSockets.h"

namespace relay {

// The page comes from the carrier connection whose bytes the decoder took
// last, as the carriers' own page counts have it.
Taken ArchiveSink::Take(const QByteArray& packet, StoreBurst&) {
    inHand_ = 0;
    const int feed = telstra_.LastFeed();
    inHand_ =
        archive_.ArchivePage(packet, feed >= 0 ? telstra_.Entry(feed).Description : QString());
    return Taken::Delivered;
}

} // namespace relay
