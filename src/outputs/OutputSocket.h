#pragma once

#include "outputs/ClientQueue.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>

// One output connection as loaded from its row of the Outputs table.
struct OutputSocket {
    enum StatusValue {
        Empty = 1,
        Valid = 2,
        Connected = 3,
        PeerClosed = 4,
        Listening = 5,
        UpdatePending = 6
    };

    bool Active = false;
    QString Port;
    QString Description;
    bool RawOutput = false;
    int Status = Empty;
    QString Match;
    QString AllowFrom; // who may connect; empty: anyone
    QByteArray RxBuffer;
    QDateTime StatusTime;
    bool SendReady = true;
    QByteArray TxPending;
    ClientQueue Queue; // what the client may not have received yet, packet by packet
};
