#include "relay/OutputRules.h"

#include "config/ErrorCodes.h"
#include "logging/Logs.h"
#include "platform/Error.h"
#include "relay/Global.h"
#include "relay/StoreBurst.h"
#include "telstra/frmDecSockets.h"

#include <QVarLengthArray>

namespace {

// Sinks a dispatch keeps its answers for without allocating.
constexpr qsizetype kFewSinks = 8;

QString ErrorText(const std::exception& error) {
    const auto* platformError = dynamic_cast<const platform::Error*>(&error);
    return platformError ? platformError->text() : QString::fromLocal8Bit(error.what());
}

} // namespace

OutputRules::OutputRules(frmOutputSockets& outputs, publish::Publishers& publishers,
                         const frmDecSockets& telstra, adoDelayed& store, Global& resend,
                         adoQuorlan& db, Logs& logs, ErrorCodes& warnings,
                         history::HistoryArchive& history)
    : outputs_(outputs), telstra_(telstra), store_(store), resend_(resend), db_(db), logs_(logs),
      warnings_(warnings), history_(history), archiveSink_(history, telstra),
      outputsSink_(outputs, db, logs, archiveSink_), publishersSink_(publishers, archiveSink_) {
    // The archive first, which numbers the page the others carry; then the
    // TCP clients; the brokers get every page after them.
    sinks_ = {&archiveSink_, &outputsSink_, &publishersSink_};
}

StoreBurst OutputRules::newBurst() {
    return StoreBurst(store_, outputs_, logs_, history_);
}

// A sink that fails is reported and tells nothing of the packet; the sinks
// after it have it all the same.
void OutputRules::RelayToOutputs(const QByteArray& packet) {
    emit relayed(packet);
    StoreBurst stores = newBurst();
    QVarLengthArray<bool, kFewSinks> took(static_cast<qsizetype>(sinks_.size()));
    bool toStore = false;
    for (size_t k = 0; k < sinks_.size(); ++k) {
        try {
            toStore = sinks_[k]->Take(packet, stores) == relay::Taken::Store || toStore;
            took[qsizetype(k)] = true;
        } catch (const std::exception& error) {
            took[qsizetype(k)] = false;
            warnings_.ShowWarning(ErrorCode::ListenOnPort, ErrorText(error), 0);
        }
    }
    if (const auto& arrival = telstra_.BytesArrived())
        figures_.Dispatched(*arrival, relay::RelayFigures::Clock::now());
    figures_.Count(packet);
    if (toStore)
        stores.Commit();
    const Logs::LineBatch lines(logs_);
    for (size_t k = 0; k < sinks_.size(); ++k) {
        if (!took[qsizetype(k)])
            continue;
        try {
            sinks_[k]->Tell(packet, stores);
        } catch (const std::exception& error) {
            warnings_.ShowWarning(ErrorCode::ListenOnPort, ErrorText(error), 0);
        }
    }
}

void OutputRules::SendToOutput(int index, const QByteArray& packet) {
    StoreBurst stores = newBurst();
    outputsSink_.TakeFor(index, packet, stores);
    stores.Commit();
    const Logs::LineBatch lines(logs_);
    outputsSink_.Tell(packet, stores);
}

void OutputRules::StoredPacketSent(int index, const QueuedPacket& packet) {
    resend_.StoredPacketSent(index, packet);
}

void OutputRules::InStoreBurst(const std::function<void(Undelivered&)>& attempt,
                               const std::function<void(const Undelivered&)>& tell) {
    StoreBurst stores = newBurst();
    try {
        attempt(stores);
    } catch (const platform::Error&) {
        stores.Commit();
        tell(stores);
        throw;
    }
    stores.Commit();
    // A line per stored packet: written to the file in one go.
    const Logs::LineBatch lines(logs_);
    tell(stores);
}
