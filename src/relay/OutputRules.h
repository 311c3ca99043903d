#pragma once

#include "outputs/OutputsRelay.h"
#include "relay/ArchiveSink.h"
#include "relay/OutputsSink.h"
#include "relay/PacketSink.h"
#include "relay/PublishersSink.h"
#include "relay/RelayFigures.h"

#include <QByteArray>
#include <QObject>
#include <vector>

class adoDelayed;
class adoQuorlan;
class ErrorCodes;
class frmDecSockets;
class frmOutputSockets;
class Global;
class Logs;

namespace publish {
class Publishers;
}

// Relay dispatch: the one way out for every packet (decoded pages, frame
// notices, idle and dummy messages). Each packet goes to the sinks in the
// order of the list; what a sink could not deliver is stored, for all of them
// together, in one transaction, before any sink tells of the packet.
class OutputRules : public QObject, public OutputsRelay {
    Q_OBJECT
public:
    OutputRules(frmOutputSockets& outputs, publish::Publishers& publishers,
                const frmDecSockets& telstra, adoDelayed& store, Global& resend, adoQuorlan& db,
                Logs& logs, ErrorCodes& warnings, history::HistoryArchive& history);

    // The dispatch of a packet to every sink.
    void RelayToOutputs(const QByteArray& packet) override;
    // The same for output `index` alone (the packet is stored when its client
    // cannot take it).
    void SendToOutput(int index, const QByteArray& packet);
    void CheckDuplicatePorts();
    // What dispatch counted, for monitoring.
    const relay::RelayFigures& Figures() const { return figures_; }

    // What the outputs ask of the relay.
    void StoredPacketSent(int index, const QueuedPacket& packet) override;
    void InStoreBurst(const std::function<void(Undelivered&)>& attempt,
                      const std::function<void(const Undelivered&)>& tell) override;

signals:
    // Every packet handed to dispatch, before it goes to the sinks.
    void relayed(const QByteArray& packet);

private:
    StoreBurst newBurst();

    frmOutputSockets& outputs_;
    const frmDecSockets& telstra_;
    adoDelayed& store_;
    Global& resend_;
    adoQuorlan& db_;
    Logs& logs_;
    ErrorCodes& warnings_;
    history::HistoryArchive& history_;

    relay::ArchiveSink archiveSink_;
    relay::OutputsSink outputsSink_;
    relay::PublishersSink publishersSink_;
    // The sinks in the order a packet reaches them.
    std::vector<relay::PacketSink*> sinks_;
    relay::RelayFigures figures_;
};
