#pragma once

#include <QByteArray>
#include <QObject>

class System;

// Relay dispatch: the one way out for every packet (decoded pages, frame
// notices, idle and dummy messages) to the active outputs.
class OutputRules : public QObject {
    Q_OBJECT
public:
    explicit OutputRules(System& system);

    void RelayToOutputs(const QByteArray& packet);
    void SendToOutput(int index, const QByteArray& packet);
    // Stores the packet for output `index` under the next identifier and says
    // so in the Outputs log; false when it could not be stored.
    bool StoreForOutput(int index, const QByteArray& packet);
    void CheckDuplicatePorts();

signals:
    // Every packet handed to dispatch, before it goes to the outputs.
    void relayed(const QByteArray& packet);

private:
    // Writes the packet's "Out: " line, then sends it unless `sent` already.
    void sendAndTell(int index, const QByteArray& packet, bool sent);

    System& sys_;
};
