#include "outputs/OutputState.h"

#include "outputs/frmOutputSockets.h"

QString OutputState(const frmOutputSockets& outputs, int i) {
    if (!outputs.Entry(i).Active)
        return QStringLiteral("Not active");
    const platform::SocketState socket = outputs.Socket(i).State();
    if (socket == platform::SocketState::Connected)
        return QStringLiteral("Connected");
    if (socket == platform::SocketState::Listening)
        return QStringLiteral("Listening for client");
    return QStringLiteral("Closed");
}
