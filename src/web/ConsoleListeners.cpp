#include "web/ConsoleListeners.h"

#include "web/ConsoleConnections.h"

#include <QHostAddress>
#include <QTcpSocket>
#include <sys/socket.h>
#include <unistd.h>

namespace web {

namespace {

QHostAddress PeerAddress(qintptr descriptor) {
    sockaddr_storage address{};
    socklen_t size = sizeof(address);
    if (getpeername(int(descriptor), reinterpret_cast<sockaddr*>(&address), &size) != 0)
        return {};
    return QHostAddress(reinterpret_cast<const sockaddr*>(&address));
}

// Closes a connection over the budget or a cap before any object is made for it.
bool Refused(ConsoleConnections& connections, QTcpServer* listener, qintptr descriptor) {
    if (connections.Accepted(listener) && !connections.Full(PeerAddress(descriptor)))
        return false;
    ::close(int(descriptor));
    return true;
}

} // namespace

ConsoleListener::ConsoleListener(ConsoleConnections& connections, QObject* parent)
    : QTcpServer(parent), connections_(connections) {}

void ConsoleListener::incomingConnection(qintptr descriptor) {
    if (Refused(connections_, this, descriptor))
        return;
    auto* socket = new QTcpSocket(this);
    if (!socket->setSocketDescriptor(descriptor)) {
        delete socket;
        ::close(int(descriptor));
        return;
    }
    connections_.Watch(socket);
    addPendingConnection(socket);
}

ConsoleSslListener::ConsoleSslListener(ConsoleConnections& connections, QObject* parent)
    : QSslServer(parent), connections_(connections) {
    connect(this, &QSslServer::startedEncryptionHandshake, this,
            [this](QSslSocket* socket) { connections_.Watch(socket); });
}

void ConsoleSslListener::incomingConnection(qintptr descriptor) {
    if (!Refused(connections_, this, descriptor))
        QSslServer::incomingConnection(descriptor);
}

} // namespace web
