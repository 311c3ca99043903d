#pragma once

#include "outputs/ClientQueue.h"
#include "relay/DelayedRecord.h"

class System;

// The resend of stored packets, one step a second.
class Global {
public:
    explicit Global(System& system);

    void ResendDelayed();
    // The send that carried a stored packet to output `index` has been
    // written: its row goes, and the log says so.
    void StoredPacketSent(int index, const QueuedPacket& packet);

private:
    DelayedRecord gDelayed;

    bool sendOldest();
    void pruneWithoutDestination();
    bool namedInOutputsTable(const QString& destination);

    System& sys_;
};
