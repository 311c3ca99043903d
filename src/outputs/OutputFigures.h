#pragma once

#include <QDateTime>
#include <QtGlobal>

// What monitoring reads of one output, counted as the output works: plain
// numbers on the relay's thread, a few increments a packet.
struct OutputFigures {
    qint64 sent = 0;   // live packets handed to the client's connection
    qint64 resent = 0; // stored packets whose send to the client was written
    QDateTime lastSend;
    // Client connections closed: the client stopped reading; a peer that
    // AllowFrom does not name was turned away; the connection ended
    // (the client closed it, or it failed).
    qint64 closedStoppedReading = 0;
    qint64 closedRefused = 0;
    qint64 closedDropped = 0;
    bool connected = false;
    QDateTime since; // when `connected` last changed

    void NoteConnected(bool now, const QDateTime& at) {
        if (now == connected && since.isValid())
            return;
        connected = now;
        since = at;
    }
};
