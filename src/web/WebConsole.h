#pragma once

#include "history/OperatorAudit.h"
#include "platform/MetricsText.h"
#include "web/HttpReply.h"
#include "web/LoginChecks.h"
#include "web/RequestChecks.h"
#include "web/Sessions.h"
#include "web/WebConsoleHost.h"

#include <QPointer>
#include <QTimer>
#include <QtHttpServer/QAbstractHttpServer>
#include <QtHttpServer/QHttpServerResponder>
#include <list>
#include <memory>
#include <optional>

class QSslConfiguration;

namespace web {

class ConsoleConnections;
class HistoryApi;
class ModelFeed;
class RecordsApi;

// The web console: a second view of the window model for operators of the
// headless service, over HTTP(S) and a WebSocket, on the relay's own event
// loop. Commands run the same handlers as the window's controls.
class WebConsole : public QAbstractHttpServer, public platform::MetricsSource {
    Q_OBJECT
public:
    static constexpr qint64 kMaxBody = qint64(64) * 1024;
    static constexpr int kTickMs = 1000;
    static inline const QString kCookie = QStringLiteral("ombrix_session");

    WebConsole(WebConsoleHost& host, WebConsoleSettings settings, QObject* parent = nullptr);
    ~WebConsole() override;

    // Listens on the configured address and port: "" or why it cannot.
    QString Start();
    // Where a browser finds it, once started.
    QString Url() const;
    bool Secure() const { return !settings_.certificate.isEmpty() && !settings_.key.isEmpty(); }
    // Closes the connections whose time is up, and sends the live overview
    // if it changed: every second, and in tests after the clock was moved.
    void Tick();
    // Connections open now, WebSockets included.
    int ConnectionCount() const;
    // ombrix_web_logins_failed_total: logins refused for a wrong name or password.
    void WriteMetrics(platform::MetricsText& text) const override;

protected:
    bool handleRequest(const QHttpServerRequest& request, QTcpSocket* socket) override;
    void missingHandler(const QHttpServerRequest& request, QTcpSocket* socket) override;

private:
    struct Caller {
        QString address;
        QString token;
        QString name;                                             // "" without a live session
        config::OperatorRole role = config::OperatorRole::Viewer; // the session's
    };

    // A login's answer waits for its password check (a log search's for the
    // search), and the answers to requests that came after it on its
    // connection wait for it; the caller may be gone by then.
    struct PendingReply {
        QPointer<QTcpSocket> socket;
        QHttpServerResponder responder;
        quint64 later = 0;
        std::optional<HttpReply> reply;
    };

    HttpReply answer(const QHttpServerRequest& request, const Caller& caller);
    HttpReply apiAnswer(const QHttpServerRequest& request, const Caller& caller);
    void respond(QHttpServerResponder& responder, QTcpSocket* socket, const HttpReply& reply);
    HttpReply page(const Caller& caller) const;
    HttpReply login(const QHttpServerRequest& request, const Caller& caller);
    void loginChecked(quint64 id, const QString& name, const QString& address, bool matches);
    void answerLater(quint64 id, const HttpReply& reply);
    bool waitsForALogin(const QTcpSocket* socket) const;
    void sendWaitingReplies();
    HttpReply logout(const Caller& caller);
    HttpReply command(const QHttpServerRequest& request, const Caller& caller);
    std::optional<HttpReply> routesAnswer(const QHttpServerRequest& request, const Caller& caller);
    HttpReply importAliases(const QHttpServerRequest& request, const Caller& caller);
    HttpReply acknowledge(const QString& path, const Caller& caller);
    // Who did what: the console's logins, logouts and commands.
    history::OperatorAudit& audit();
    HttpReply session(const Caller& caller) const;
    // A WebSocket upgrade goes ahead only for a live session from this
    // console's own page; anything else is answered with its refusal.
    bool takeUpgrade(const QHttpServerRequest& request, const Caller& caller, QTcpSocket* socket);
    HttpReply upgradeRefusal(const Headers& headers, const QString& path,
                             const QString& name) const;
    void acceptWebSockets();
    QString startSsl(QSslConfiguration& tls);

    WebConsoleHost& host_;
    WebConsoleSettings settings_;
    Sessions sessions_;
    LoginGuard guard_;
    ConsoleConnections* connections_; // a child; its guards may outlive it

    std::unique_ptr<ModelFeed> feed_;
    QHash<QTcpSocket*, HttpReply> refusals_; // upgrades refused, to be answered
    LoginChecks checks_;
    std::list<PendingReply> pending_; // in the order the requests came
    quint64 lastLater_ = 0;           // the number of the last answer given later
    std::unique_ptr<RecordsApi> records_;
    std::unique_ptr<HistoryApi> history_;
    qint64 loginsFailed_ = 0;
    QTimer tick_;
    quint16 port_ = 0;
};

} // namespace web
