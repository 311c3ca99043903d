#include "web/ModelFeed.h"

#include "app/WindowEvents.h"
#include "app/frmQuorlan.h"
#include "web/WindowJson.h"

#include <QJsonDocument>
#include <QWebSocket>

namespace web {

namespace {

// The page sends nothing over the socket; anything it does send is small.
constexpr qint64 kMaxIncomingMessage = 1024;

} // namespace

ModelFeed::ModelFeed(frmQuorlan& window, app::WindowEvents& events,
                     std::function<bool(const QString&)> alive, OverviewSource overview)
    : window_(window), events_(events), alive_(std::move(alive)), overview_(std::move(overview)) {
    throttle_.setSingleShot(true);
    throttle_.setInterval(kInterval);
    connect(&throttle_, &QTimer::timeout, this, [this] {
        if (std::exchange(pending_, false))
            sendAll();
    });
    overviewCheck_.setInterval(kOverviewCheckMs);
    connect(&overviewCheck_, &QTimer::timeout, this, &ModelFeed::SendOverview);
}

ModelFeed::~ModelFeed() {
    watch(false);
    for (Client& client : sockets_)
        client.socket->disconnect(this);
}

void ModelFeed::Add(std::unique_ptr<QWebSocket> socket, const QString& token) {
    QWebSocket* raw = socket.get();
    raw->setMaxAllowedIncomingMessageSize(kMaxIncomingMessage);
    raw->setMaxAllowedIncomingFrameSize(kMaxIncomingMessage);
    connect(raw, &QWebSocket::disconnected, this, [this, raw] { drop(raw); });
    sockets_.push_back({std::move(socket), token, overviewMessage()});
    watch(true);
    raw->sendTextMessage(
        QString::fromUtf8(QJsonDocument(WindowJson(window_)).toJson(QJsonDocument::Compact)));
    raw->sendTextMessage(sockets_.back().overviewSent);
}

QString ModelFeed::overviewMessage() const {
    const QJsonObject message{{QStringLiteral("overview"), overview_.overview()}};
    return QString::fromUtf8(QJsonDocument(message).toJson(QJsonDocument::Compact));
}

void ModelFeed::SendOverview() {
    if (sockets_.empty())
        return;
    const QDateTime now = overview_.now();
    // A clock set back does not hold the overview back.
    if (overviewBuilt_.isValid() && overviewBuilt_ <= now &&
        overviewBuilt_.msecsTo(now) < kOverviewIntervalMs)
        return;
    overviewBuilt_ = now;
    const QString message = overviewMessage();
    for (Client& client : sockets_) {
        if (client.overviewSent == message || !alive_(client.token) ||
            client.socket->bytesToWrite() >= kMaxQueuedBytes)
            continue;
        client.socket->sendTextMessage(message);
        client.overviewSent = message;
    }
}

void ModelFeed::CloseSession(const QString& token) {
    // Closing may drop the socket from the list at once: close after the walk.
    std::vector<QWebSocket*> ended;
    for (Client& client : sockets_)
        if (client.token == token)
            ended.push_back(client.socket.get());
    for (QWebSocket* socket : ended)
        socket->close(QWebSocketProtocol::CloseCodePolicyViolated, QStringLiteral("logged out"));
}

void ModelFeed::watch(bool on) {
    if (on && !watching_) {
        watching_ =
            connect(&events_, &app::WindowEvents::modelChanged, this, &ModelFeed::modelChanged);
        overviewCheck_.start();
    } else if (!on && watching_) {
        disconnect(std::exchange(watching_, {}));
        overviewCheck_.stop();
    }
}

void ModelFeed::modelChanged() {
    if (throttle_.isActive()) {
        pending_ = true;
        return;
    }
    sendAll();
    throttle_.start();
}

void ModelFeed::sendAll() {
    const QString json =
        QString::fromUtf8(QJsonDocument(WindowJson(window_)).toJson(QJsonDocument::Compact));
    std::vector<QWebSocket*> ended;
    for (Client& client : sockets_) {
        if (!alive_(client.token)) {
            ended.push_back(client.socket.get());
            continue;
        }
        if (client.socket->bytesToWrite() < kMaxQueuedBytes)
            client.socket->sendTextMessage(json);
    }
    for (QWebSocket* socket : ended)
        socket->close(QWebSocketProtocol::CloseCodePolicyViolated, QStringLiteral("session ended"));
}

void ModelFeed::drop(QWebSocket* socket) {
    for (auto it = sockets_.begin(); it != sockets_.end(); ++it) {
        if (it->socket.get() != socket)
            continue;
        // Deleted once its own signal has returned.
        it->socket.release()->deleteLater();
        sockets_.erase(it);
        break;
    }
    if (sockets_.empty())
        watch(false);
}

} // namespace web
