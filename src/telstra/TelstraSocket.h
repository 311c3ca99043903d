#pragma once

#include "config/ConnectionEntry.h"

#include <QString>

// One carrier connection as loaded from its row of the Telstra table.
struct TelstraSocket : ConnectionEntry {
    enum : int { Closed = 4 }; // the connection to the carrier is gone

    QString PSAP;
    QString Agency;
    QString ServiceID;
    QString Paired;
    QString TServer;
    int CloseCount = 0; // closes refused while a send was outstanding
};
