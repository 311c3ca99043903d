#pragma once

#include "web/AcceptPacer.h"
#include "web/RequestFraming.h"

#include <QDateTime>
#include <QHash>
#include <QHostAddress>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <functional>

class QTcpServer;
class QTcpSocket;

namespace web {

class ConnectionGuard;

// The console's connections, each watched from its first byte: a cap on
// their number (in all and per address) so that the console never takes
// the descriptors the carrier, the outputs and the databases need; a header
// timeout and an idle timeout, so that a connection that sends nothing, or
// a byte now and then, is closed; and the limits on a request's headers and
// body, applied while it arrives.
//
// Qt's HTTP server reads a whole request (holding it in the socket) before
// its handler sees it. Each connection therefore carries a guard, a child of
// its socket, that sees the bytes first: it is connected to the socket's
// readyRead before the server is, peeks at what is new, follows the framing,
// and on a fault answers and closes the connection before the server reads on.
class ConsoleConnections : public QObject {
    Q_OBJECT
public:
    static constexpr int kMaxConnections = 256;
    static constexpr int kMaxPerAddress = 16;
    // The request line and headers are due this long after the connection
    // opened or the previous answer was sent.
    static constexpr qint64 kHeaderTimeoutSecs = 10;
    // No byte for this long between requests or within a body closes it.
    static constexpr qint64 kIdleTimeoutSecs = 30;

    ConsoleConnections(std::function<QDateTime()> now, qint64 maxBody, QObject* parent = nullptr);
    ~ConsoleConnections() override;

    // LISTENER accepted a connection: false when the console's budget of new
    // connections did not cover it (see AcceptPacer).
    bool Accepted(QTcpServer* listener) { return pacer_.Accepted(listener); }
    // Whether a new connection from ADDRESS would pass a cap: it is then
    // closed at once, before anything is read.
    bool Full(const QHostAddress& address) const;
    // Watches a new connection, before the server takes it.
    void Watch(QTcpSocket* socket);
    // The server took the next request of SOCKET, answered one, or handed
    // the connection to a WebSocket (which no timeout closes).
    void Taken(QTcpSocket* socket);
    void Answered(QTcpSocket* socket);
    void Upgraded(QTcpSocket* socket);
    // Closes the connections whose time is up, and lets a listener paused
    // for the budget accept again. Called every second, and by tests after
    // moving the clock.
    void Tick();
    int Count() const { return int(guards_.size()); }

private:
    friend class ConnectionGuard;
    void forget(ConnectionGuard* guard, const QString& address);

    std::function<QDateTime()> now_;
    qint64 maxBody_;
    QSet<ConnectionGuard*> guards_;
    QHash<QString, int> perAddress_;
    AcceptPacer pacer_;
};

// One connection's watch; it lives and dies with its socket.
class ConnectionGuard : public QObject {
    Q_OBJECT
public:
    ConnectionGuard(QTcpSocket* socket, ConsoleConnections& owner, qint64 maxBody);
    ~ConnectionGuard() override;

    static ConnectionGuard* Of(QTcpSocket* socket);
    void Taken();
    void Answered(const QDateTime& now);
    void Upgraded() { upgraded_ = true; }
    bool Expired(const QDateTime& now) const;
    QTcpSocket* Socket() const;

private:
    void readyRead();
    void refuse(RequestFraming::Fault fault);

    QPointer<ConsoleConnections> owner_;
    QString address_;
    RequestFraming framing_;
    // How far the server has read the stream: its slot reads all there is
    // after this one, except that it gives back what follows a request it
    // took whole.
    qint64 serverRead_ = 0;
    QDateTime headersDue_; // invalid once the headers are in
    QDateTime lastByte_;
    bool upgraded_ = false;
};

// The key a connection counts under: its address, an IPv4 peer of an IPv6
// listener as IPv4.
QString AddressKey(const QHostAddress& address);

} // namespace web
