#pragma once

#include "platform/SendQueue.h"

#include <QDateTime>
#include <QString>

// What a connection keeps of its row of a connection table (Outputs or
// Telstra), where it stands, and its one-deep send queue: the part that an
// output and a carrier connection share.
struct ConnectionEntry {
    // Status values of both kinds. 4 is each kind's own: an output's client
    // closed, a carrier connection closed.
    enum StatusValue { Empty = 1, Valid = 2, Connected = 3, Listening = 5, UpdatePending = 6 };

    bool Active = false;
    QString Port;
    QString Description;
    int Status = Empty;
    QString Match;
    QDateTime StatusTime;
    platform::SendQueue Sending;

    // An entry not in use, or no longer: empty, inactive, and with no send
    // outstanding.
    void Reset(const QDateTime& now) {
        Status = Empty;
        StatusTime = now;
        Sending.Release();
        Active = false;
    }
};
