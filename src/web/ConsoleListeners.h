#pragma once

#include <QSslServer>
#include <QTcpServer>

namespace web {

class ConsoleConnections;

// The console's listening sockets. Each new connection is first held to the
// budget of new connections (which pauses the listener when it is spent) and
// the caps (one over a cap is closed at once, before anything is read) and
// then watched, before Qt's HTTP server takes it and connects to it.
class ConsoleListener : public QTcpServer {
    Q_OBJECT
public:
    ConsoleListener(ConsoleConnections& connections, QObject* parent);

protected:
    void incomingConnection(qintptr descriptor) override;

private:
    ConsoleConnections& connections_;
};

// The same over TLS: a connection is watched from the start of its handshake.
class ConsoleSslListener : public QSslServer {
    Q_OBJECT
public:
    ConsoleSslListener(ConsoleConnections& connections, QObject* parent);

protected:
    void incomingConnection(qintptr descriptor) override;

private:
    ConsoleConnections& connections_;
};

} // namespace web
