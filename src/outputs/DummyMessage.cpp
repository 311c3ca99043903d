#include "outputs/DummyMessage.h"

QByteArray DummyMessage(const QString& timeText, const QString& incomingPktType,
                        const QString& serverID) {
    // The comparison is exact: "enhanced" is the normal layout.
    const QByteArray header = incomingPktType == QLatin1String("Enhanced")
                                  ? QByteArray("\x02"
                                               "2000\r2\rC\r1234568\rA\r")
                                  : QByteArray("\x02"
                                               "2000\r1234568\r");
    return header + timeText.toUtf8() + " Dummy Message: NO data on Relay Input " +
           serverID.toUtf8() + '\x03';
}
