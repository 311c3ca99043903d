#include "web/ConsoleConnections.h"

#include "web/HttpReply.h"

#include <QTcpSocket>
#include <algorithm>

namespace web {

namespace {

// What a connection may hold unread: a request at its limits, twice over.
constexpr qint64 ReadBufferBytes(qint64 maxBody) {
    return 2 * (RequestFraming::kMaxHeaderBytes + maxBody);
}

HttpReply Refusal(RequestFraming::Fault fault) {
    using Fault = RequestFraming::Fault;
    switch (fault) {
    case Fault::HeadersTooLarge:
        return HttpReply::Error(Status::RequestHeaderFieldsTooLarge,
                                QStringLiteral("request headers too large"));
    case Fault::BodyTooLarge:
        return HttpReply::Error(Status::PayloadTooLarge, QStringLiteral("request too large"));
    case Fault::TooManyRequests:
        return HttpReply::Error(Status::TooManyRequests, QStringLiteral("too many requests"));
    default:
        return HttpReply::Error(Status::BadRequest, QStringLiteral("malformed request"));
    }
}

} // namespace

QString AddressKey(const QHostAddress& address) {
    bool v4 = false;
    const quint32 ipv4 = address.toIPv4Address(&v4);
    return v4 ? QHostAddress(ipv4).toString() : address.toString();
}

ConsoleConnections::ConsoleConnections(std::function<QDateTime()> now, qint64 maxBody,
                                       QObject* parent)
    : QObject(parent), now_(std::move(now)), maxBody_(maxBody), pacer_(now_) {}

ConsoleConnections::~ConsoleConnections() = default;

bool ConsoleConnections::Full(const QHostAddress& address) const {
    return guards_.size() >= kMaxConnections ||
           perAddress_.value(AddressKey(address)) >= kMaxPerAddress;
}

void ConsoleConnections::Watch(QTcpSocket* socket) {
    auto* guard = new ConnectionGuard(socket, *this, maxBody_);
    guards_.insert(guard);
    ++perAddress_[AddressKey(socket->peerAddress())];
}

void ConsoleConnections::forget(ConnectionGuard* guard, const QString& address) {
    guards_.remove(guard);
    if (--perAddress_[address] <= 0)
        perAddress_.remove(address);
}

void ConsoleConnections::Taken(QTcpSocket* socket) {
    if (ConnectionGuard* guard = ConnectionGuard::Of(socket))
        guard->Taken();
}

void ConsoleConnections::Answered(QTcpSocket* socket) {
    if (ConnectionGuard* guard = ConnectionGuard::Of(socket))
        guard->Answered(now_());
}

void ConsoleConnections::Upgraded(QTcpSocket* socket) {
    if (ConnectionGuard* guard = ConnectionGuard::Of(socket))
        guard->Upgraded();
}

void ConsoleConnections::Tick() {
    pacer_.Resume();
    const QDateTime now = now_();
    QList<QPointer<QTcpSocket>> expired;
    for (ConnectionGuard* guard : std::as_const(guards_))
        if (guard->Expired(now))
            expired << guard->Socket();
    for (const QPointer<QTcpSocket>& socket : expired) {
        if (!socket)
            continue;
        socket->abort();
        // A socket still in its TLS handshake is not the HTTP server's yet.
        socket->deleteLater();
    }
}

ConnectionGuard::ConnectionGuard(QTcpSocket* socket, ConsoleConnections& owner, qint64 maxBody)
    : QObject(socket), owner_(&owner), address_(AddressKey(socket->peerAddress())),
      framing_(maxBody), headersDue_(owner.now_().addSecs(ConsoleConnections::kHeaderTimeoutSecs)),
      lastByte_(owner.now_()) {
    socket->setReadBufferSize(ReadBufferBytes(maxBody));
    connect(socket, &QIODevice::readyRead, this, &ConnectionGuard::readyRead);
}

// Runs as the socket is destroyed, whoever destroys it.
ConnectionGuard::~ConnectionGuard() {
    if (owner_)
        owner_->forget(this, address_);
}

ConnectionGuard* ConnectionGuard::Of(QTcpSocket* socket) {
    return socket ? socket->findChild<ConnectionGuard*>(QString(), Qt::FindDirectChildrenOnly)
                  : nullptr;
}

QTcpSocket* ConnectionGuard::Socket() const {
    return static_cast<QTcpSocket*>(parent());
}

void ConnectionGuard::readyRead() {
    QTcpSocket* socket = Socket();
    const qint64 available = socket->bytesAvailable();
    const qint64 streamEnd = serverRead_ + available;
    // The server gives back the bytes after a request it took, and announces
    // them again: only what lies past the bytes already seen is new.
    const qint64 fresh = std::clamp<qint64>(streamEnd - framing_.Seen(), 0, available);
    serverRead_ = streamEnd;
    if (fresh == 0)
        return;
    lastByte_ = owner_ ? owner_->now_() : lastByte_;
    const qint64 requestsBefore = framing_.RequestsRead();
    const QByteArray bytes = socket->peek(available);
    const RequestFraming::Fault fault = framing_.Read(QByteArrayView(bytes).last(fresh));
    if (fault != RequestFraming::Fault::None) {
        refuse(fault);
        return;
    }
    if (!framing_.InHeaders() || framing_.RequestsRead() != requestsBefore)
        headersDue_ = {};
}

void ConnectionGuard::Taken() {
    const qint64 end = framing_.TakeRequest();
    if (end >= 0)
        serverRead_ = end;
}

void ConnectionGuard::Answered(const QDateTime& now) {
    lastByte_ = now;
    if (framing_.InHeaders())
        headersDue_ = now.addSecs(ConsoleConnections::kHeaderTimeoutSecs);
}

bool ConnectionGuard::Expired(const QDateTime& now) const {
    if (upgraded_)
        return false;
    if (headersDue_.isValid() && now >= headersDue_)
        return true;
    return lastByte_.secsTo(now) >= ConsoleConnections::kIdleTimeoutSecs;
}

// Nobody reads on: the server's slot, after this one, is not called for
// these bytes, nor for any that follow. What is buffered is dropped, the
// refusal sent, and the connection closed once it is out.
void ConnectionGuard::refuse(RequestFraming::Fault fault) {
    QTcpSocket* socket = Socket();
    disconnect(socket, &QIODevice::readyRead, nullptr, nullptr);
    if (socket->isTransactionStarted())
        socket->commitTransaction();
    socket->skip(socket->bytesAvailable());
    socket->write(ClosingBytes(Refusal(fault)));
    socket->disconnectFromHost();
    // A peer that reads nothing cannot keep it open while it closes.
    if (owner_)
        headersDue_ = owner_->now_().addSecs(ConsoleConnections::kHeaderTimeoutSecs);
}

} // namespace web
