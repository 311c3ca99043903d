#pragma once

#include "history/HistoryArchive.h"
#include "relay/PacketSink.h"

class frmDecSockets;

namespace relay {

// The history archive as the first sink of dispatch: a page gets its
// identifier here, and its place in the archive's journal, before any client
// has it. The sinks after it carry the identifier with their copies of the
// page, so that what becomes of each copy joins the page's trail.
class ArchiveSink final : public PacketSink {
public:
    ArchiveSink(history::HistoryArchive& archive, const frmDecSockets& telstra)
        : archive_(archive), telstra_(telstra) {}

    Taken Take(const QByteArray& packet, StoreBurst& stores) override;
    void Tell(const QByteArray&, const StoreBurst&) override {}
    // The identifier of the packet in hand: 0 when it is not a page, or the
    // archive did not take it.
    qint64 InHand() const { return inHand_; }

private:
    history::HistoryArchive& archive_;
    const frmDecSockets& telstra_;
    qint64 inHand_ = 0;
};

} // namespace relay
