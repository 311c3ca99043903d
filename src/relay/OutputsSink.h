#pragma once

#include "config/Limits.h"
#include "outputs/frmOutputSockets.h"
#include "relay/PacketRoutes.h"
#include "relay/PacketSink.h"

#include <array>
#include <bitset>

class adoQuorlan;
class Logs;

namespace relay {

class ArchiveSink;

// The TCP outputs as one sink: every active output's client whose route lets
// the packet through is sent it, the ones that can take it at once first, and each output gets its
// "Out: " line in the order of the outputs. One sink for all the clients, so
// that a packet costs no call, copy or allocation per client beyond the send.
class OutputsSink final : public PacketSink {
public:
    // `archive` comes first in the dispatch and names the page in hand.
    OutputsSink(frmOutputSockets& outputs, const adoQuorlan& db, Logs& logs,
                const ArchiveSink& archive)
        : outputs_(outputs), db_(db), logs_(logs), archive_(archive) {}

    Taken Take(const QByteArray& packet, StoreBurst& stores) override;
    void Tell(const QByteArray& packet, const StoreBurst& stores) override;
    // Take for output `index` alone.
    Taken TakeFor(int index, const QByteArray& packet, StoreBurst& stores);

private:
    // What became of the packet in hand at each output.
    enum class Delivery : quint8 { None, Taken, Try };

    bool sendAtOnce(const QByteArray& packet, bool hold);
    Taken tryTheRest(const QByteArray& packet, StoreBurst& stores);
    const QByteArray& outPrefix(int index);
    bool onlyOutLines() const;
    void writeOutLines(const QByteArray& packet, const std::bitset<kOutputSlots>& told);

    frmOutputSockets& outputs_;
    const adoQuorlan& db_;
    Logs& logs_;
    const ArchiveSink& archive_;
    int count_ = 0;       // outputs of the packet in hand
    qint64 pageID_ = 0;   // its identifier in the history (0: none)
    bool held_ = false;   // it waits in the clients' sockets for what follows it
    PacketRoutes routes_; // whether each output's route lets it through
    std::array<Delivery, kOutputSlots> deliveries_{};
    std::array<SendOutcome, kOutputSlots> outcomes_;
    std::array<int, kOutputSlots> places_{};
    // "Out: <description>\t" of each output, made again when it is renamed.
    std::array<QString, kOutputSlots> prefixFor_;
    std::array<QByteArray, kOutputSlots> prefix_;
};

} // namespace relay
