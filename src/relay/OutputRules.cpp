#include "relay/OutputRules.h"

#include "app/System.h"
#include "config/Limits.h"
#include "platform/Error.h"
#include "platform/Joined.h"
#include "platform/YieldToWoken.h"
#include "relay/StoreBurst.h"

OutputRules::OutputRules(System& system) : sys_(system) {}

void OutputRules::RelayToOutputs(const QByteArray& packet) {
    emit relayed(packet);
    try {
        frmOutputSockets& outputs = sys_.outputSockets;
        outputs.ResetStreamActivityTimer();
        // Every client that can take the packet has it before the first of the
        // lines that tell of it is written; the lines keep their order.
        Deliveries deliveries{};
        bool sentAny = false;
        for (int i = 0; i < sys_.db.gOutputCount; ++i) {
            if (!outputs.Entry(i).Active)
                continue;
            const bool taken = outputs.SendAtOnce(i, packet);
            deliveries[i] = taken ? Delivery::Taken : Delivery::Try;
            sentAny = sentAny || taken;
        }
        // A client on this machine reads its page now, not after the lines.
        if (sentAny)
            platform::YieldToWoken();
        deliver(packet, deliveries);
    } catch (const std::exception& error) {
        const auto* platformError = dynamic_cast<const platform::Error*>(&error);
        sys_.ShowWarning(
            ErrorCode::ListenOnPort,
            platformError ? platformError->text() : QString::fromLocal8Bit(error.what()), 0);
    }
    // After the TCP outputs, whatever became of them: the brokers get every page.
    sys_.publishers.PublishPage(packet);
}

void OutputRules::SendToOutput(int index, const QByteArray& packet) {
    Deliveries deliveries{};
    deliveries[index] = Delivery::Try;
    deliver(packet, deliveries);
}

// The outputs that did not take the packet at once are tried again, and what
// they cannot take is stored, all in one transaction, before the first line
// that tells of it; the lines keep the order of one output after another.
void OutputRules::deliver(const QByteArray& packet, const Deliveries& deliveries) {
    frmOutputSockets& outputs = sys_.outputSockets;
    StoreBurst stores(sys_);
    std::array<SendOutcome, kOutputSlots> outcomes;
    std::array<int, kOutputSlots> places{};
    for (int i = 0; i < sys_.db.gOutputCount; ++i) {
        if (deliveries[i] != Delivery::Try)
            continue;
        outcomes[i] = outputs.TrySend(i, QueuedPacket{packet, 0, {}}, stores);
        if (!outcomes[i].taken)
            places[i] = stores.Add(i, packet);
    }
    stores.Commit();
    const Logs::LineBatch lines(sys_.logs);
    for (int i = 0; i < sys_.db.gOutputCount; ++i) {
        if (deliveries[i] == Delivery::None)
            continue;
        const QString& description = outputs.Entry(i).Description;
        sys_.logs.LogOutput(platform::Joined({"Out: ", description.toUtf8(), "\t", packet}));
        if (deliveries[i] == Delivery::Taken)
            continue;
        outputs.TellSend(i, outcomes[i], stores);
        if (!outcomes[i].taken)
            stores.Tell(places[i]);
    }
}
