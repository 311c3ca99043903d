#pragma once

#include "config/ConnectionEntry.h"
#include "outputs/ClientQueue.h"
#include "routing/Route.h"

#include <QString>

// One output connection as loaded from its row of the Outputs table.
struct OutputSocket : ConnectionEntry {
    enum : int { PeerClosed = 4 }; // the client is gone; the port listens again

    bool RawOutput = false;
    QString AllowFrom;     // who may connect; empty: anyone
    QString Route;         // which pages the client gets, as written; empty: every page
    routing::Route Routed; // Route as the dispatch reads it
    ClientQueue Queue;     // what the client may not have received yet, packet by packet

    void Reset(const QDateTime& now) {
        ConnectionEntry::Reset(now);
        RawOutput = false;
    }
};
