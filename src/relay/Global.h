#pragma once

#include "outputs/ClientQueue.h"
#include "relay/DelayedRecord.h"

class adoDelayed;
class adoQuorlan;
class frmOutputSockets;
class Logs;

namespace history {
class PageTrail;
}
namespace publish {
class Publishers;
}

// The resend of stored packets, one step a second.
class Global {
public:
    Global(adoDelayed& store, frmOutputSockets& outputs, const publish::Publishers& publishers,
           adoQuorlan& db, Logs& logs, history::PageTrail& trail)
        : store_(store), outputs_(outputs), publishers_(publishers), db_(db), logs_(logs),
          trail_(trail) {}

    void ResendDelayed();
    // The send that carried a stored packet to output `index` has been
    // written: its row goes, and the log says so.
    void StoredPacketSent(int index, const QueuedPacket& packet);

private:
    DelayedRecord gDelayed;

    bool sendOldest();
    void pruneWithoutDestination();
    void pruneDestination(const QString& destination);
    bool namedInOutputsTable(const QString& destination);

    adoDelayed& store_;
    frmOutputSockets& outputs_;
    const publish::Publishers& publishers_;
    adoQuorlan& db_;
    Logs& logs_;
    history::PageTrail& trail_;
};
