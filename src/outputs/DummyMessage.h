#pragma once

#include <QByteArray>
#include <QString>

// The idle and dummy message: "2000" and "1234568" (the enhanced layout adds
// "2", "C" and "A"), then the time text, " Dummy Message: NO data on Relay
// Input " and the server's identifier, framed by STX and ETX.
QByteArray DummyMessage(const QString& timeText, const QString& incomingPktType,
                        const QString& serverID);
