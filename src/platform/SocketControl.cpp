#include "platform/SocketControl.h"

#include "platform/Error.h"
#include "platform/HeldSends.h"
#include "platform/YieldToWoken.h"

#include <QNetworkInterface>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <algorithm>
#include <utility>

#ifdef Q_OS_LINUX
#include <linux/sockios.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#endif

namespace platform {

SocketControl::SocketControl(QObject* parent) : QObject(parent) {}

SocketControl::~SocketControl() {
    // Destroying the control closes what it holds, without events.
    blockSignals(true);
    // Still listed when its connection dropped while it held sends.
    HeldSendScope::Forget(*this);
    for (QTcpSocket* socket : std::as_const(pending_))
        socket->abort();
    Close();
}

QString SocketControl::LocalIP() {
    for (const QHostAddress& address : QNetworkInterface::allAddresses())
        if (address.protocol() == QAbstractSocket::IPv4Protocol && !address.isLoopback())
            return address.toString();
    return QStringLiteral("127.0.0.1");
}

void SocketControl::wrongState() const {
    throw platform::Error(QStringLiteral(
        "Wrong protocol or connection state for the requested transaction or request"));
}

void SocketControl::Bind(int localPort, const QString& localIP) {
    if (state_ != SocketState::Closed)
        wrongState();
    if (localPort < 0 || localPort > 65535)
        throw platform::Error(
            QStringLiteral("Invalid argument: port %1 is outside 0 to 65535").arg(localPort));
    // Never every interface: what listens names the address it listens on.
    if (localIP.trimmed().isEmpty())
        throw platform::Error(QStringLiteral("Invalid argument: no address to listen on"));
    QHostAddress address;
    if (!address.setAddress(localIP))
        throw platform::Error(
            QStringLiteral("Invalid argument: %1 is not an address").arg(localIP));
    LocalPort = localPort;
    bindAddress_ = address;
}

void SocketControl::Listen() {
    if (state_ != SocketState::Closed)
        wrongState();
    if (LocalPort < 0 || LocalPort > 65535)
        throw platform::Error(
            QStringLiteral("Invalid argument: port %1 is outside 0 to 65535").arg(LocalPort));
    auto* server = new QTcpServer(this);
    if (!server->listen(bindAddress_, static_cast<quint16>(LocalPort))) {
        const QString text = server->errorString();
        delete server;
        throw platform::Error(text);
    }
    // The control hands out connections itself, one request at a time.
    server->setMaxPendingConnections(30);
    connect(server, &QTcpServer::newConnection, this, &SocketControl::onNewConnection);
    server_ = server;
    state_ = SocketState::Listening;
}

int SocketControl::ListeningPort() const {
    return server_ ? server_->serverPort() : 0;
}

void SocketControl::onNewConnection() {
    while (server_ && server_->hasPendingConnections()) {
        QTcpSocket* socket = server_->nextPendingConnection();
        socket->setParent(this);
        const qint32 id = nextRequestID_++;
        pending_.insert(id, socket);
        emit ConnectionRequest(id);
        // A request the handler did not accept is refused.
        if (QTcpSocket* refused = pending_.take(id)) {
            refused->abort();
            refused->deleteLater();
        }
    }
}

QString SocketControl::LocalAddress() const {
    return socket_ ? socket_->localAddress().toString() : QString();
}

QHostAddress SocketControl::RequestPeerAddress(qint32 requestID) const {
    const QTcpSocket* socket = pending_.value(requestID);
    if (!socket)
        return {};
    const QHostAddress address = socket->peerAddress();
    bool mapped = false;
    const quint32 ipv4 = address.toIPv4Address(&mapped);
    if (mapped && address.protocol() == QAbstractSocket::IPv6Protocol)
        return QHostAddress(ipv4);
    return address;
}

void SocketControl::Accept(qint32 requestID) {
    QTcpSocket* socket = pending_.take(requestID);
    if (!socket)
        throw platform::Error(
            QStringLiteral("Invalid argument: no connection request %1").arg(requestID));
    if (server_) {
        server_->close();
        server_->deleteLater();
        server_ = nullptr;
    }
    dropSocket();
    adopt(socket);
    state_ = SocketState::Connected;
}

void SocketControl::adopt(QTcpSocket* socket) {
    socket_ = socket;
    ++connection_;
    // Pages are small and each is wanted at once: no waiting to fill a segment.
    socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    socket->setReadBufferSize(readLimit_);
    received_.clear();
    bytesWritten_ = 0;
    socketBuffered_ = false;
    ahead_ = 0;
    connect(socket, &QTcpSocket::readyRead, this, &SocketControl::onReadyRead);
    connect(socket, &QTcpSocket::bytesWritten, this, &SocketControl::onBytesWritten);
    connect(socket, &QTcpSocket::disconnected, this, &SocketControl::onDisconnected);
    connect(socket, &QTcpSocket::errorOccurred, this, &SocketControl::onSocketError);
    // Bytes that came with the connection are announced like any others.
    if (socket->bytesAvailable() > 0)
        QMetaObject::invokeMethod(this, &SocketControl::onReadyRead, Qt::QueuedConnection);
}

void SocketControl::dropSocket() {
    if (!socket_)
        return;
    QTcpSocket* socket = socket_;
    socket_ = nullptr;
    ahead_ = 0;
    socketBuffered_ = false;
    holding_ = false;
    held_.clear();
    sentTogether_.reset();
    completeWhenReleased_ = false;
    socket->disconnect(this);
    socket->abort();
    socket->deleteLater();
}

void SocketControl::Connect() {
    if (state_ != SocketState::Closed)
        wrongState();
    // A port outside the range would wrap round to another, unrelated one.
    if (RemotePort < 1 || RemotePort > 65535)
        throw platform::Error(
            QStringLiteral("Invalid argument: port %1 is outside 1 to 65535").arg(RemotePort));
    auto* socket = new QTcpSocket(this);
    adopt(socket);
    connect(socket, &QTcpSocket::connected, this, [this] {
        state_ = SocketState::Connected;
        emit ConnectEvent();
    });
    state_ = SocketState::Connecting;
    socket->connectToHost(RemoteHost, static_cast<quint16>(RemotePort));
}

void SocketControl::SendData(const QByteArray& data) {
    if (state_ != SocketState::Connected || !socket_)
        wrongState();
    const qint64 wentAhead = std::min<qint64>(ahead_, data.size());
    ahead_ -= wentAhead;
    if (holding_) {
        held_ += data.mid(wentAhead);
        completeWhenReleased_ = true;
        return;
    }
    const qint64 sent = wentAhead + sendNow(wentAhead == 0 ? data : data.mid(wentAhead));
    if (sent == data.size()) {
        completeLater();
        return;
    }
    const qint64 rest = data.size() - sent;
    if (writeToSocket(data.constData() + sent, rest) != rest)
        throw platform::Error(socket_->errorString());
}

// What the stack does not take at once goes through the socket's buffer, in
// order behind it; a failure there the socket reports in its own way, and the
// SendData that hands the bytes over meets it.
bool SocketControl::SendAhead(const QByteArray& data) {
    if (state_ != SocketState::Connected || !socket_)
        return false;
    if (holding_) {
        held_ += data;
        ahead_ += data.size();
        return true;
    }
    const qint64 sent = sendNow(data);
    if (sent == 0)
        return false;
    ahead_ += data.size();
    if (sent < data.size())
        writeToSocket(data.constData() + sent, data.size() - sent);
    return true;
}

void SocketControl::HoldSends() {
    if (holding_ || !HeldSendScope::Open())
        return;
    holding_ = true;
    HeldSendScope::Holding(*this);
}

void SocketControl::ReleaseSends() {
    if (!holding_)
        return;
    if (sentTogether_) {
        const qint64 sent = *std::exchange(sentTogether_, std::nullopt);
        bytesWritten_ += sent;
        endHold(sent);
        return;
    }
    endHold(connected() ? sendNow(held_) : 0);
}

// The held bytes when they can go to the network stack now; the batch that
// sends them tells the control what went with sentTogether, before the
// release.
std::optional<BatchSend> SocketControl::heldToSend() const {
    if (!holding_ || !connected())
        return std::nullopt;
    const int descriptor = sendableDescriptor(held_);
    if (descriptor < 0)
        return std::nullopt;
    return BatchSend{descriptor, &held_, 0};
}

void SocketControl::sentTogether(qint64 sent) {
    sentTogether_ = sent;
}

void SocketControl::endHold(qint64 sentAtOnce) {
    holding_ = false;
    if (connected())
        sendHeld(sentAtOnce);
    held_.clear();
    completeWhenReleased_ = false;
}

bool SocketControl::connected() const {
    return socket_ && state_ == SocketState::Connected;
}

// As SendData would have sent it: what the stack does not take waits in the
// socket's buffer, whose emptying tells the send complete.
void SocketControl::sendHeld(qint64 sent) {
    if (sent == held_.size()) {
        if (completeWhenReleased_)
            completeLater();
        return;
    }
    writeToSocket(held_.constData() + sent, held_.size() - sent);
}

// A page goes to the network stack at once, not at the next turn of the event
// loop, so that its client does not wait while the relay writes the log lines
// that follow it. Only when nothing of an earlier send still waits in the
// socket's own buffer, which keeps the bytes in order. What the stack does not
// take now goes through the socket's buffer as before, and so does an error,
// which the socket then reports in its own way.
qint64 SocketControl::sendNow(const QByteArray& data) {
#ifdef Q_OS_LINUX
    const int descriptor = sendableDescriptor(data);
    if (descriptor < 0)
        return 0;
    const ssize_t sent = ::send(descriptor, data.constData(), static_cast<size_t>(data.size()),
                                MSG_DONTWAIT | MSG_NOSIGNAL);
    if (sent <= 0)
        return 0;
    bytesWritten_ += sent;
    return sent;
#else
    return 0;
#endif
}

// -1 when the data must go through the socket's buffer.
int SocketControl::sendableDescriptor(const QByteArray& data) const {
#ifdef Q_OS_LINUX
    if (data.isEmpty() || inSocketBuffer() > 0)
        return -1;
    return descriptor();
#else
    Q_UNUSED(data)
    return -1;
#endif
}

namespace {

// Sends that went out at once are told complete from the event loop, all of
// a turn's together: one wake-up of the loop for a page sent to 50 clients,
// rather than one for each. When nothing waits behind them, the pass is only
// bookkeeping (the trail, the stored rows, the lines), and it comes a moment
// later: clients on this machine that were woken by the sends read their page
// first, instead of waiting behind the relay on the processor it woke them on.
// A send that waits for a completion has the pass at once.
class LaterCompletions : public QObject {
public:
    LaterCompletions() {
        later_.setSingleShot(true);
        later_.setTimerType(Qt::PreciseTimer);
        later_.setInterval(kBookkeepingDelay);
        connect(&later_, &QTimer::timeout, this, &LaterCompletions::tell);
    }

    void add(SocketControl* socket, quint64 connection) {
        if (waiting_.isEmpty() && !later_.isActive())
            later_.start();
        waiting_.append({socket, connection});
    }

    void now() { tell(); }

    void hurry() {
        if (waiting_.isEmpty() || hurried_)
            return;
        hurried_ = true;
        QMetaObject::invokeMethod(this, &LaterCompletions::tell, Qt::QueuedConnection);
    }

private:
    struct Waiting {
        QPointer<SocketControl> socket; // a control may be gone by then
        quint64 connection;
    };
    void tell() {
        hurried_ = false;
        later_.stop();
        if (waiting_.isEmpty())
            return;
        QList<Waiting> waiting;
        waiting.swap(waiting_);
        emit SendCompletions().Starting();
        {
            // What waited goes to every client before any of them is given the processor.
            const YieldScope yields;
            for (const Waiting& sent : std::as_const(waiting))
                if (sent.socket)
                    sent.socket->CompleteSend(sent.connection);
        }
        emit SendCompletions().Done();
    }
    QList<Waiting> waiting_;
    QTimer later_;
    bool hurried_ = false;
};

LaterCompletions& Completions() {
    static LaterCompletions completions;
    return completions;
}

} // namespace

SendCompletionPass& SendCompletions() {
    static SendCompletionPass pass;
    return pass;
}

void SocketControl::completeLater() {
    Completions().add(this, connection_);
}

void SocketControl::CompleteSoon() {
    Completions().hurry();
}

void TellSendCompletionsNow() {
    Completions().now();
}

// Not for a connection that has gone meanwhile.
void SocketControl::CompleteSend(quint64 connection) {
    if (connection == connection_ && socket_)
        emit SendComplete();
}

void SocketControl::LimitReading(qint64 bytes) {
    readLimit_ = bytes;
    if (socket_)
        socket_->setReadBufferSize(bytes);
}

// The bytes sent ahead are the newest on the connection: the last of the
// socket's buffer, or, once written, the last the peer has to acknowledge.
qint64 SocketControl::aheadHeld() const {
    return std::min(ahead_, buffered());
}

// Held sends are the newest bytes of all, behind the socket's buffer.
qint64 SocketControl::buffered() const {
    return socket_ ? inSocketBuffer() + held_.size() : 0;
}

// Asked each time: a socket that fails closes its descriptor, whose number
// the system then gives to the next file or connection opened.
int SocketControl::descriptor() const {
    return socket_ ? static_cast<int>(socket_->socketDescriptor()) : -1;
}

qint64 SocketControl::inSocketBuffer() const {
    if (!socketBuffered_)
        return 0;
    const qint64 bytes = socket_->bytesToWrite();
    socketBuffered_ = bytes > 0;
    return bytes;
}

qint64 SocketControl::writeToSocket(const char* data, qint64 size) {
    socketBuffered_ = true;
    return socket_->write(data, size);
}

qint64 SocketControl::BytesToWrite() const {
    return buffered() - aheadHeld();
}

qint64 SocketControl::BytesWritten() const {
    return bytesWritten_ - (ahead_ - aheadHeld());
}

qint64 SocketControl::UnacknowledgedBytes() const {
#ifdef Q_OS_LINUX
    const int descriptor = this->descriptor();
    if (descriptor < 0)
        return 0;
    int queued = 0;
    if (::ioctl(descriptor, SIOCOUTQ, &queued) == 0)
        return std::max<qint64>(0, queued - (ahead_ - aheadHeld()));
#endif
    return 0;
}

void SocketControl::CloseDiscarding() {
#ifdef Q_OS_LINUX
    if (socket_ && socket_->socketDescriptor() >= 0) {
        // A zero linger makes the close a reset: bytes the peer has not taken
        // must not reach it after the relay has stored them for later.
        const linger reset{1, 0};
        ::setsockopt(static_cast<int>(socket_->socketDescriptor()), SOL_SOCKET, SO_LINGER, &reset,
                     sizeof reset);
    }
#endif
    Close();
}

QByteArray SocketControl::GetData() {
    QByteArray data;
    data.swap(received_);
    return data;
}

void SocketControl::Close() {
    // A connection request being handled survives the close, so that the
    // handler can close the listener and then accept it.
    if (server_) {
        server_->close();
        server_->deleteLater();
        server_ = nullptr;
    }
    dropSocket();
    received_.clear();
    state_ = SocketState::Closed;
}

void SocketControl::onReadyRead() {
    if (!socket_)
        return;
    // What has come, to the byte: readAll sets out room for 16 KiB at a time,
    // which had the allocator tidy its free lists before each carrier read.
    const QByteArray data = socket_->read(socket_->bytesAvailable());
    if (data.isEmpty())
        return;
    received_ += data;
    emit DataArrival(received_.size());
}

void SocketControl::onBytesWritten(qint64 bytes) {
    bytesWritten_ += bytes;
    if (socket_ && inSocketBuffer() == 0)
        emit SendComplete();
}

void SocketControl::onDisconnected() {
    if (state_ != SocketState::Connected)
        return;
    // Data the peer sent just before closing is delivered first.
    if (socket_ && socket_->bytesAvailable() > 0)
        onReadyRead();
    state_ = SocketState::Closing;
    emit CloseEvent();
}

void SocketControl::onSocketError() {
    if (!socket_)
        return;
    if (socket_->error() == QAbstractSocket::RemoteHostClosedError)
        return; // reported as the Close event
    const int number = 10000 + static_cast<int>(socket_->error());
    const QString text = socket_->errorString();
    state_ = SocketState::Error;
    emit ErrorEvent(number, text);
}

} // namespace platform
