#pragma once

#include <QByteArray>
#include <QString>

// One stored packet as the resend reads it; Count is 0 when there was no row.
struct DelayedRecord {
    qint64 MessID = 0;
    QString Destination;
    QByteArray Packet;
    qint32 Count = 0;
    QString Created; // ISO 8601 text: orders the rows oldest first
};
