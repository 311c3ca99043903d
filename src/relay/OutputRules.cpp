#include "relay/OutputRules.h"

#include "app/System.h"
#include "config/Limits.h"
#include "platform/Error.h"
#include "platform/Joined.h"
#include "platform/YieldToWoken.h"

#include <array>

OutputRules::OutputRules(System& system) : sys_(system) {}

void OutputRules::RelayToOutputs(const QByteArray& packet) {
    emit relayed(packet);
    try {
        frmOutputSockets& outputs = sys_.outputSockets;
        outputs.ResetStreamActivityTimer();
        // Every client that can take the packet has it before the first of the
        // lines that tell of it is written; the lines keep their order.
        std::array<bool, kOutputSlots> taken{};
        bool sentAny = false;
        for (int i = 0; i < sys_.gOutputCount; ++i) {
            taken[i] = outputs.Entry(i).Active && outputs.SendAtOnce(i, packet);
            sentAny = sentAny || taken[i];
        }
        // A client on this machine reads its page now, not after the lines.
        if (sentAny)
            platform::YieldToWoken();
        const Logs::LineBatch lines(sys_.logs);
        for (int i = 0; i < sys_.gOutputCount; ++i)
            if (outputs.Entry(i).Active)
                sendAndTell(i, packet, taken[i]);
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
    sendAndTell(index, packet, false);
}

void OutputRules::sendAndTell(int index, const QByteArray& packet, bool sent) {
    const QString& description = sys_.outputSockets.Entry(index).Description;
    sys_.logs.LogOutput(platform::Joined({"Out: ", description.toUtf8(), "\t", packet}));
    if (!sent && !sys_.outputSockets.SendDataOutputs(index, packet))
        StoreForOutput(index, packet);
}

bool OutputRules::StoreForOutput(int index, const QByteArray& packet) {
    const QString description = sys_.outputSockets.Entry(index).Description;
    adoDelayed& store = sys_.delayedDb;
    if (!store.AddDelayed(packet, description, sys_.gMessID)) {
        // Not stored (warning 402 said why): say so with the packet itself,
        // rather than claim a stored record.
        sys_.logs.LogOutput(QByteArray("System: TCP failed ") + description.toUtf8() +
                            ". Could not store the packet, it is lost: " + packet);
        return false;
    }
    // The row is in the store: its identifier is used, whatever fails after.
    sys_.gMessID += 1;
    try {
        if (store.DelayedListOpen())
            sys_.display.SetDelayedColumns(store.rsDelayed->FieldCount());
    } catch (const platform::Error& error) {
        sys_.ShowWarning(ErrorCode::DelayedList, error.text(), 0);
    }
    sys_.db.SetStartUpKey(QStringLiteral("MessID"), QString::number(sys_.gMessID));
    sys_.logs.LogOutput(QByteArray("System: TCP failed ") + description.toUtf8() +
                        ". Add record to dbase. Delayed Ct " +
                        QByteArray::number(store.gDelayedCount));
    return true;
}
