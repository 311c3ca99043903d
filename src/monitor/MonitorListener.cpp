#include "monitor/MonitorListener.h"

#include "monitor/RequestHead.h"
#include "platform/Clock.h"
#include "platform/HostNames.h"
#include "platform/MetricsText.h"

#include <QHostAddress>
#include <QTcpSocket>

#include <sys/socket.h>

namespace monitor {

MonitorListener::MonitorListener(const platform::Clock& clock, Pages pages, QObject* parent)
    : QObject(parent), clock_(clock), pages_(std::move(pages)) {
    connect(&server_, &QTcpServer::newConnection, this, &MonitorListener::accept);
    tick_.setInterval(kTickMs);
    connect(&tick_, &QTimer::timeout, this, &MonitorListener::Tick);
}

MonitorListener::~MonitorListener() {
    const QList<QTcpSocket*> open = connections_.keys();
    connections_.clear();
    for (QTcpSocket* socket : open) {
        socket->disconnect(this);
        socket->abort();
        delete socket;
    }
}

QString MonitorListener::Start(const MonitorSettings& settings) {
    settings_ = settings;
    const QHostAddress address(settings.address);
    // Never every interface by mistake: an address that does not read as one
    // is refused, not taken for "any".
    if (address.isNull())
        return QStringLiteral("MonitorAddress \"%1\" is not an address").arg(settings.address);
    if (!server_.listen(address, settings.port))
        return QStringLiteral("%1:%2: %3")
            .arg(settings.address)
            .arg(settings.port)
            .arg(server_.errorString());
    tick_.start();
    return {};
}

void MonitorListener::accept() {
    while (QTcpSocket* socket = server_.nextPendingConnection()) {
        if (connections_.size() >= kMaxConnections) {
            socket->abort();
            socket->deleteLater();
            continue;
        }
        connections_.insert(socket, Connection{{}, clock_.now(), false});
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { read(socket); });
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] { drop(socket); });
        if (socket->bytesAvailable() > 0)
            read(socket);
    }
}

void MonitorListener::read(QTcpSocket* socket) {
    auto it = connections_.find(socket);
    if (it == connections_.end() || it->answered) {
        socket->readAll(); // what follows an answer is not read
        return;
    }
    // Never more than a head's worth, however much the peer sends.
    it->received += socket->read(kMaxHeadBytes + 4 - it->received.size());
    RequestHead head;
    if (ReadHead(it->received, head) == HeadRead::More)
        return;
    finish(socket, answer(it->received, *socket));
}

Answer MonitorListener::answer(const QByteArray& received, const QTcpSocket& socket) const {
    RequestHead head;
    switch (ReadHead(received, head)) {
    case HeadRead::TooLarge:
        return Refusal(431, "request too large");
    case HeadRead::Malformed:
        return Refusal(400, "malformed request");
    default:
        break;
    }
    if (head.method != "GET") {
        Answer refused = Refusal(405, "GET only");
        refused.allow = "GET";
        return refused;
    }
    // The same check as the console's, against the address the scraper
    // reached: a foreign page cannot come in through a DNS name of its own.
    if (!platform::HostAllowed(head.host, socket.localAddress().toString(), settings_.hosts))
        return Refusal(403, "unknown host name");
    if (head.hasBody)
        return Refusal(413, "a GET has no body");
    if (head.path == "/metrics")
        return Answer{200, platform::MetricsText::kContentType, pages_.metrics(), {}};
    if (head.path == "/healthz")
        return pages_.health();
    return Refusal(404, "not found");
}

void MonitorListener::finish(QTcpSocket* socket, const Answer& answer) {
    auto it = connections_.find(socket);
    if (it == connections_.end())
        return;
    it->answered = true;
    it->received.clear();
    // Once the answer is written, the relay's side is shut and the peer's
    // bytes are read and dropped until it closes: a close with bytes unread
    // would reset the connection, and the peer could lose the answer.
    connect(socket, &QTcpSocket::bytesWritten, this, [socket] {
        if (socket->bytesToWrite() == 0)
            ::shutdown(static_cast<int>(socket->socketDescriptor()), SHUT_WR);
    });
    socket->write(AnswerBytes(answer));
}

void MonitorListener::drop(QTcpSocket* socket) {
    if (connections_.remove(socket) == 0)
        return;
    socket->disconnect(this);
    socket->deleteLater();
}

void MonitorListener::Tick() {
    const QDateTime now = clock_.now();
    QList<QTcpSocket*> late;
    for (auto it = connections_.cbegin(); it != connections_.cend(); ++it)
        if (it->opened.addSecs(kConnectionSeconds) <= now)
            late << it.key();
    for (QTcpSocket* socket : late) {
        const bool answered = connections_.value(socket).answered;
        if (!answered) {
            socket->write(AnswerBytes(Refusal(408, "request timeout")));
            socket->flush();
        }
        connections_.remove(socket);
        socket->disconnect(this);
        // A peer that does not take its answer is not waited for.
        if (answered)
            socket->abort();
        else
            socket->disconnectFromHost();
        socket->deleteLater();
    }
}

} // namespace monitor
