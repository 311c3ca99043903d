#pragma once

#include "web/HttpReply.h"
#include "web/RequestChecks.h"
#include "web/Sessions.h"
#include "web/WebConsoleHost.h"

#include <QtHttpServer/QAbstractHttpServer>
#include <memory>

namespace web {

class ModelFeed;

// The web console: a second view of the window model for operators of the
// headless service, over HTTP(S) and a WebSocket, on the relay's own event
// loop. Commands run the same handlers as the window's controls.
class WebConsole : public QAbstractHttpServer {
    Q_OBJECT
public:
    static constexpr qint64 kMaxBody = qint64(64) * 1024;
    static inline const QString kCookie = QStringLiteral("ombrix_session");

    WebConsole(WebConsoleHost& host, WebConsoleSettings settings, QObject* parent = nullptr);
    ~WebConsole() override;

    // Listens on the configured address and port: "" or why it cannot.
    QString Start();
    // Where a browser finds it, once started.
    QString Url() const;
    bool Secure() const { return !settings_.certificate.isEmpty() && !settings_.key.isEmpty(); }

protected:
    bool handleRequest(const QHttpServerRequest& request, QTcpSocket* socket) override;
    void missingHandler(const QHttpServerRequest& request, QTcpSocket* socket) override;

private:
    struct Caller {
        QString address;
        QString token;
        QString name; // "" without a live session
    };

    HttpReply answer(const QHttpServerRequest& request, const Caller& caller);
    HttpReply page(const Caller& caller) const;
    HttpReply login(const QHttpServerRequest& request, const Caller& caller);
    HttpReply logout(const Caller& caller);
    HttpReply command(const QHttpServerRequest& request, const Caller& caller);
    // A WebSocket upgrade goes ahead only for a live session from this
    // console's own page; anything else is answered with its refusal.
    bool takeUpgrade(const QHttpServerRequest& request, const Caller& caller, QTcpSocket* socket);
    HttpReply upgradeRefusal(const Headers& headers, const QString& path,
                             const QString& name) const;
    void acceptWebSockets();
    QString startSsl();

    WebConsoleHost& host_;
    WebConsoleSettings settings_;
    Sessions sessions_;
    LoginGuard guard_;
    std::unique_ptr<ModelFeed> feed_;
    QHash<QTcpSocket*, HttpReply> refusals_; // upgrades refused, to be answered
    quint16 port_ = 0;
};

} // namespace web
