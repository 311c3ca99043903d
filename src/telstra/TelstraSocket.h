#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

// One carrier connection as loaded from its row of the Telstra table.
struct TelstraSocket {
    enum StatusValue {
        Empty = 1,
        Valid = 2,
        Connected = 3,
        Closed = 4,
        Listening = 5,
        UpdatePending = 6
    };

    bool Active = false;
    QString Port;
    QString Description;
    int Status = Empty;
    QString Match;
    QString PSAP;
    QString Agency;
    QString ServiceID;
    QString Paired;
    QString TServer;
    QDateTime StatusTime;
    bool SendReady = true;
    QByteArray TxPending;
    int CloseCount = 0;
};
