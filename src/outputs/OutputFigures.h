#pragma once

#include <QDateTime>
#include <QtGlobal>

// What monitoring reads of one output, counted as the output works: plain
// numbers on the relay's thread, a few increments a packet.
struct OutputFigures {
    qint64 sent = 0;   // live packets handed to the client's connection
    qint64 resent = 0; // stored packets whose send to the client was written
    QDateTime lastSend;
    QDateTime lastPage; // the last page (not a frame notice or idle message) sent
    // Live packets handed to the client on sentDay, the relay's local date:
    // a send on a later day starts the count again.
    qint64 sentOnDay = 0;
    QDate sentDay;
    // Client connections closed: the client stopped reading; a peer that
    // AllowFrom does not name was turned away; the connection ended
    // (the client closed it, or it failed).
    qint64 closedStoppedReading = 0;
    qint64 closedRefused = 0;
    qint64 closedDropped = 0;
    bool connected = false;
    QDateTime since; // when `connected` last changed

    // A live packet handed to the client now.
    void CountSent(const QDateTime& now) {
        ++sent;
        if (now.date() != sentDay) {
            sentDay = now.date();
            sentOnDay = 0;
        }
        ++sentOnDay;
    }
    // Live packets sent on `today`: none once the day is over.
    qint64 SentOn(const QDate& today) const { return today == sentDay ? sentOnDay : 0; }

    void NoteConnected(bool now, const QDateTime& at) {
        if (now == connected && since.isValid())
            return;
        connected = now;
        since = at;
    }
};
