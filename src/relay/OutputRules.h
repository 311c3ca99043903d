#pragma once

#include "config/Limits.h"

#include <QByteArray>
#include <QObject>
#include <array>

class System;

// Relay dispatch: the one way out for every packet (decoded pages, frame
// notices, idle and dummy messages) to the active outputs.
class OutputRules : public QObject {
    Q_OBJECT
public:
    explicit OutputRules(System& system);

    void RelayToOutputs(const QByteArray& packet);
    // The same for output `index` alone (the packet is stored when its client
    // cannot take it).
    void SendToOutput(int index, const QByteArray& packet);
    void CheckDuplicatePorts();

signals:
    // Every packet handed to dispatch, before it goes to the outputs.
    void relayed(const QByteArray& packet);

private:
    // What dispatch does with the packet for each output.
    enum class Delivery { None, Taken, Try };
    using Deliveries = std::array<Delivery, kOutputSlots>;
    // Sends or stores the packet for every output to Try, and writes the
    // "Out: " line of each that is not None.
    void deliver(const QByteArray& packet, const Deliveries& deliveries);

    System& sys_;
};
