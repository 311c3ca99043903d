#include "web/WebConsole.h"

#include "app/frmQuorlan.h"
#include "web/AlarmsApi.h"
#include "web/AliasesApi.h"
#include "web/ConsoleAudit.h"
#include "web/ConsoleConnections.h"
#include "web/ConsoleListeners.h"
#include "web/FileStream.h"
#include "web/HistoryApi.h"
#include "web/HttpReply.h"
#include "web/ModelFeed.h"
#include "web/RecordsApi.h"
#include "web/RequestChecks.h"
#include "web/RouteTestApi.h"
#include "web/WebCommands.h"
#include "web/WindowJson.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkRequest>
#include <QRegularExpression>
#include <QSet>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QSslKey>
#include <QTcpSocket>
#include <QUrlQuery>
#include <QWebSocket>
#include <QtHttpServer/QHttpServerRequest>
#include <algorithm>
#include <optional>

namespace web {

namespace {

using Method = QHttpServerRequest::Method;

const QByteArray kErrorMarker = QByteArrayLiteral("<!--error-->");

QByteArray Resource(const QString& name) {
    QFile file(QStringLiteral(":/web/") + name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

HttpReply Asset(const QString& name, const QByteArray& type) {
    HttpReply reply;
    reply.contentType = type;
    reply.body = Resource(name);
    return reply;
}

// The page's scripts and style sheets, each a file of the console's
// resources named in lower case: "/overview.js" is ":/web/overview.js".
// Nothing else (login.html, a path with a folder) is served this way.
std::optional<HttpReply> PageAsset(const QString& path) {
    static const QRegularExpression kPageAsset(QStringLiteral("^/([a-z][a-z-]*)\\.(js|css)$"));
    const QRegularExpressionMatch match = kPageAsset.match(path);
    if (!match.hasMatch())
        return std::nullopt;
    const QString name = path.mid(1);
    if (!QFile::exists(QStringLiteral(":/web/") + name))
        return std::nullopt;
    return Asset(name, match.captured(2) == QLatin1String("js")
                           ? QByteArrayLiteral("text/javascript; charset=utf-8")
                           : QByteArrayLiteral("text/css; charset=utf-8"));
}

// The login page, with a reason shown when there is one. The reasons are
// the console's own texts, never anything a browser sent.
HttpReply LoginPage(Status status, const char* reason = nullptr) {
    QByteArray html = Resource(QStringLiteral("login.html"));
    if (reason)
        html.replace(kErrorMarker, QByteArrayLiteral("<p id=\"loginError\">") + reason +
                                       QByteArrayLiteral("</p>"));
    return HttpReply::Html(status, html);
}

// A login turned away ends its connection: whoever tries again, a browser or
// a guesser, must come back through the console's budget of new connections.
HttpReply RefusedLogin(Status status, const char* reason) {
    HttpReply reply = LoginPage(status, reason);
    reply.close = true;
    return reply;
}

QString FormField(const QByteArray& body, const QString& name) {
    QByteArray form = body;
    form.replace('+', ' ');
    return QUrlQuery(QString::fromUtf8(form)).queryItemValue(name, QUrl::FullyDecoded);
}

// A reason may quote what the browser sent (a control's name): control
// characters are blanked so that it cannot begin a log line of its own.
QString OneLine(QString text) {
    for (QChar& ch : text)
        if (ch.category() == QChar::Other_Control)
            ch = QLatin1Char(' ');
    return text;
}

bool IsUpgrade(const QHttpServerRequest& request) {
    return HeaderValue(request.headers(), "upgrade").compare("websocket", Qt::CaseInsensitive) == 0;
}

} // namespace

WebConsole::WebConsole(WebConsoleHost& host, WebConsoleSettings settings, QObject* parent)
    : QAbstractHttpServer(parent), host_(host), settings_(std::move(settings)),
      connections_(new ConsoleConnections([this] { return host_.Now(); }, kMaxBody, this)),
      feed_(std::make_unique<ModelFeed>(
          host.Window(), host.Events(),
          [this](const QString& token) { return !sessions_.Alive(token, host_.Now()).isEmpty(); },
          ModelFeed::OverviewSource{[this] { return host_.Overview(); },
                                    [this] { return host_.Now(); }})) {
    records_ = std::make_unique<RecordsApi>(
        host, [this] { return ++lastLater_; },
        [this](quint64 id, const HttpReply& reply) { answerLater(id, reply); });
    history_ = std::make_unique<HistoryApi>(
        [this] { return host_.HistoryFile(); }, [this] { return ++lastLater_; },
        [this](quint64 id, const HttpReply& reply) { answerLater(id, reply); });
    connect(this, &QAbstractHttpServer::newWebSocketConnection, this,
            &WebConsole::acceptWebSockets);
    tick_.setInterval(kTickMs);
    connect(&tick_, &QTimer::timeout, this, &WebConsole::Tick);
}

WebConsole::~WebConsole() = default;

QString WebConsole::Start() {
    const QHostAddress address(settings_.address);
    if (address.isNull())
        return QStringLiteral("WebConsoleAddress %1 is not an IP address").arg(settings_.address);
    // The console's own listener, so that it sees each connection before
    // Qt's server does.
    QTcpServer* listener = nullptr;
    if (Secure()) {
        QSslConfiguration tls;
        QString failure = startSsl(tls);
        if (!failure.isEmpty())
            return failure;
        auto* secure = new ConsoleSslListener(*connections_, this);
        secure->setSslConfiguration(tls);
        listener = secure;
    } else {
        listener = new ConsoleListener(*connections_, this);
    }
    if (!listener->listen(address, settings_.port)) {
        delete listener;
        return QStringLiteral("cannot listen on %1:%2").arg(settings_.address).arg(settings_.port);
    }
    port_ = listener->serverPort();
    bind(listener);
    tick_.start();
    return {};
}

void WebConsole::Tick() {
    connections_->Tick();
    feed_->SendOverview();
}

int WebConsole::ConnectionCount() const {
    return connections_->Count();
}

QString WebConsole::startSsl(QSslConfiguration& tls) {
    const QList<QSslCertificate> chain = QSslCertificate::fromPath(settings_.certificate);
    if (chain.isEmpty())
        return QStringLiteral("no certificate in %1").arg(settings_.certificate);
    QFile keyFile(settings_.key);
    if (!keyFile.open(QIODevice::ReadOnly))
        return QStringLiteral("cannot read the key %1").arg(settings_.key);
    const QByteArray pem = keyFile.readAll();
    QSslKey key(pem, QSsl::Rsa);
    if (key.isNull())
        key = QSslKey(pem, QSsl::Ec);
    if (key.isNull())
        return QStringLiteral("no private key in %1").arg(settings_.key);
    tls.setLocalCertificate(chain.first());
    tls.setPrivateKey(key);
    tls.setProtocol(QSsl::TlsV1_2OrLater);
    return {};
}

QString WebConsole::Url() const {
    const QHostAddress address(settings_.address);
    const QString host = address.protocol() == QAbstractSocket::IPv6Protocol
                             ? QStringLiteral("[%1]").arg(settings_.address)
                             : settings_.address;
    return QStringLiteral("%1://%2:%3/")
        .arg(Secure() ? QStringLiteral("https") : QStringLiteral("http"), host)
        .arg(port_);
}

bool WebConsole::handleRequest(const QHttpServerRequest& request, QTcpSocket* socket) {
    // Requests that came after a closing answer are not answered.
    if (socket->state() != QAbstractSocket::ConnectedState || FileStream::Sending(socket))
        return true;
    Caller caller;
    caller.address = request.remoteAddress().toString();
    caller.token = CookieValue(request.headers(), kCookie);
    caller.name = sessions_.Use(caller.token, host_.Now());
    caller.role = sessions_.Role(caller.token);
    connections_->Taken(socket);
    if (IsUpgrade(request))
        return takeUpgrade(request, caller, socket);
    const HttpReply reply = answer(request, caller);
    QHttpServerResponder responder = makeResponder(request, socket);
    if (reply.later != 0 || waitsForALogin(socket)) {
        std::optional<HttpReply> ready;
        if (reply.later == 0)
            ready = reply;
        pending_.push_back({socket, std::move(responder), reply.later, std::move(ready)});
        return true;
    }
    respond(responder, socket, reply);
    return true;
}

void WebConsole::respond(QHttpServerResponder& responder, QTcpSocket* socket,
                         const HttpReply& reply) {
    Send(responder, reply);
    connections_->Answered(socket);
    if (!reply.file.isEmpty()) {
        // Each piece the browser takes counts as an answer: a download goes
        // on while the browser reads, and one that stops reading times out.
        FileStream::Start(socket, reply.file, reply.fileBytes,
                          [this, socket] { connections_->Answered(socket); });
        return;
    }
    if (reply.close)
        socket->disconnectFromHost();
}

void WebConsole::missingHandler(const QHttpServerRequest& request, QTcpSocket* socket) {
    QHttpServerResponder responder = makeResponder(request, socket);
    Send(responder, refusals_.contains(socket)
                        ? refusals_.take(socket)
                        : HttpReply::Error(Status::NotFound, QStringLiteral("not found")));
    connections_->Answered(socket);
}

HttpReply WebConsole::answer(const QHttpServerRequest& request, const Caller& caller) {
    if (!HostAllowed(HeaderValue(request.headers(), "host"), settings_.address, settings_.hosts))
        return HttpReply::Error(Status::Forbidden, QStringLiteral("unknown host name"));
    const bool post = request.method() == Method::Post;
    if (post && !OriginAllowed(request.headers()))
        return HttpReply::Error(Status::Forbidden, QStringLiteral("foreign origin"));
    if (request.body().size() > kMaxBody)
        return HttpReply::Error(Status::PayloadTooLarge, QStringLiteral("request too large"));
    const QString path = request.url().path();
    const bool get = request.method() == Method::Get;
    if (path == QLatin1String("/") && get)
        return page(caller);
    if (get)
        if (std::optional<HttpReply> asset = PageAsset(path))
            return *asset;
    if (path == QLatin1String("/login") && post)
        return login(request, caller);
    if (path == QLatin1String("/logout") && post)
        return logout(caller);
    if (path.startsWith(QLatin1String("/api/")) || path == QLatin1String("/ws"))
        return apiAnswer(request, caller);
    return HttpReply::Error(Status::NotFound, QStringLiteral("not found"));
}

// What a logged-in session may ask.
HttpReply WebConsole::apiAnswer(const QHttpServerRequest& request, const Caller& caller) {
    if (caller.name.isEmpty())
        return HttpReply::Error(Status::Unauthorized, QStringLiteral("log in first"));
    const QString path = request.url().path();
    const bool get = request.method() == Method::Get;
    const bool post = request.method() == Method::Post;
    // One check for every command, those to come too: a viewer's account
    // reads and never acts. Its refusal writes nothing, not even a log line.
    if (post && caller.role != config::OperatorRole::Operator &&
        path.startsWith(QLatin1String("/api/")))
        return HttpReply::Error(Status::Forbidden, QStringLiteral("read-only account"));
    if (path == QLatin1String("/api/window") && get)
        return HttpReply::Json(
            Status::Ok, QJsonDocument(WindowJson(host_.Window())).toJson(QJsonDocument::Compact));
    if (path == QLatin1String("/api/command") && post)
        return command(request, caller);
    if (path == QLatin1String("/api/alarms") && get)
        return ListAlarms(host_.Alarms(), request.url());
    if (post && IsAlarmAcknowledge(path))
        return acknowledge(path, caller);
    if (path == QLatin1String("/api/overview") && get)
        return HttpReply::Json(Status::Ok,
                               QJsonDocument(host_.Overview()).toJson(QJsonDocument::Compact));
    if (path == QLatin1String("/api/session") && get)
        return session(caller);
    if (std::optional<HttpReply> reply = routesAnswer(request, caller))
        return *reply;
    if (get) {
        if (std::optional<HttpReply> reply = records_->Get(request.url()))
            return *reply;
        if (std::optional<HttpReply> reply = history_->Get(request.url()))
            return *reply;
    }
    return HttpReply::Error(Status::NotFound, QStringLiteral("not found"));
}

HttpReply WebConsole::page(const Caller& caller) const {
    if (caller.name.isEmpty())
        return LoginPage(Status::Ok);
    return Asset(QStringLiteral("console.html"), "text/html; charset=utf-8");
}

// The password check runs on LoginChecks' threads; the relay's thread only
// looks the name up and answers when the check is done.
HttpReply WebConsole::login(const QHttpServerRequest& request, const Caller& caller) {
    const QString name = FormField(request.body(), QStringLiteral("name"));
    const QString password = FormField(request.body(), QStringLiteral("password"));
    switch (guard_.Banned(caller.address, name, host_.Now())) {
    case LoginGuard::Ban::Address:
        return RefusedLogin(Status::Forbidden,
                            "Too many failed logins from your address; try again later");
    case LoginGuard::Ban::Name:
        return RefusedLogin(Status::Forbidden,
                            "Too many failed logins for this name; try again later");
    case LoginGuard::Ban::None:
        break;
    }
    if (checks_.InFlight() >= LoginChecks::kMaxInFlight)
        return RefusedLogin(Status::TooManyRequests, "Too many logins at once; try again shortly");
    const quint64 id = ++lastLater_;
    checks_.Start(host_.OperatorHash(name), password,
                  [this, id, name, address = caller.address](bool matches) {
                      loginChecked(id, name, address, matches);
                  });
    return HttpReply::Later(id);
}

void WebConsole::loginChecked(quint64 id, const QString& name, const QString& address,
                              bool matches) {
    const QDateTime now = host_.Now();
    if (!matches) {
        ++loginsFailed_;
        const QList<LoginGuard::Ban> bansBegun = guard_.Failed(address, name, now);
        host_.LogSystem(QStringLiteral("System: Web console login failed from %1").arg(address));
        AuditFailedLogin(audit(), name, host_.IsOperator(name), address, bansBegun);
        answerLater(id, RefusedLogin(Status::Unauthorized, "Wrong name or password"));
        return;
    }
    guard_.Succeeded(address, name);
    const config::OperatorRole role = host_.RoleOf(name);
    const QString token = sessions_.Open(name, role, now);
    host_.LogSystem(QStringLiteral("System: Web console %1@%2: login").arg(name, address));
    AuditLogin(audit(), name, address, role);
    HttpReply reply = HttpReply::SeeOther("/");
    QByteArray cookie = kCookie.toLatin1() + '=' + token.toLatin1() +
                        QByteArrayLiteral("; HttpOnly; SameSite=Strict; Path=/");
    if (Secure())
        cookie += QByteArrayLiteral("; Secure");
    reply.headers << qMakePair(QByteArrayLiteral("Set-Cookie"), cookie);
    answerLater(id, reply);
}

void WebConsole::answerLater(quint64 id, const HttpReply& reply) {
    for (PendingReply& pending : pending_)
        if (pending.later == id)
            pending.reply = reply;
    sendWaitingReplies();
}

bool WebConsole::waitsForALogin(const QTcpSocket* socket) const {
    return std::any_of(pending_.begin(), pending_.end(),
                       [&](const PendingReply& pending) { return pending.socket == socket; });
}

// Answers go out in the order of their requests on each connection. Qt's
// server deletes the socket of a caller that hung up; its responders only
// point at it, and are dropped unused.
void WebConsole::sendWaitingReplies() {
    QSet<const QTcpSocket*> blocked; // connections with an earlier answer not ready
    for (auto it = pending_.begin(); it != pending_.end();) {
        QTcpSocket* socket = it->socket;
        if (socket && (blocked.contains(socket) || !it->reply)) {
            blocked.insert(socket);
            ++it;
            continue;
        }
        if (socket && socket->state() == QAbstractSocket::ConnectedState)
            respond(it->responder, socket, *it->reply);
        it = pending_.erase(it);
    }
}

HttpReply WebConsole::logout(const Caller& caller) {
    if (!caller.name.isEmpty()) {
        sessions_.Close(caller.token);
        feed_->CloseSession(caller.token);
        host_.LogSystem(
            QStringLiteral("System: Web console %1@%2: logout").arg(caller.name, caller.address));
        AuditLogout(audit(), caller.name, caller.address);
    }
    HttpReply reply = HttpReply::SeeOther("/");
    reply.headers << qMakePair(
        QByteArrayLiteral("Set-Cookie"),
        kCookie.toLatin1() + QByteArrayLiteral("=; Max-Age=0; HttpOnly; SameSite=Strict; Path=/"));
    return reply;
}

// Who the page is logged in as, so that it offers a viewer no commands:
// {"name": "operator", "role": "operator" or "viewer"}.
HttpReply WebConsole::session(const Caller& caller) const {
    const QJsonObject json{{QStringLiteral("name"), caller.name},
                           {QStringLiteral("role"), config::RoleWord(caller.role)}};
    return HttpReply::Json(Status::Ok, QJsonDocument(json).toJson(QJsonDocument::Compact));
}

// The commands the command interface carries are audited there, with this
// caller as the one who acts; what the console does on its own (a grid's
// cell, a pane shown, a refusal before any command ran) is audited here, as
// the System log tells it.
HttpReply WebConsole::command(const QHttpServerRequest& request, const Caller& caller) {
    const history::OperatorAudit::Acting acting(audit(), caller.name, caller.address);
    const CommandResult result = RunCommand(host_.Window(), request.body());
    if (!result.logged)
        return HttpReply::Error(static_cast<Status>(result.status), result.error);
    if (result.status != int(Status::Ok)) {
        // A refusal is logged like a command that ran, so the log shows
        // every remote attempt to act on the relay and why it was turned away.
        const QString what =
            result.description.isEmpty() ? QStringLiteral("a command") : result.description;
        const QString refused = QStringLiteral("refused %1 (%2)").arg(what, OneLine(result.error));
        host_.LogSystem(QStringLiteral("System: Web console %1@%2: %3")
                            .arg(caller.name, caller.address, refused));
        if (!acting.Recorded())
            audit().Command(refused);
        return HttpReply::Error(static_cast<Status>(result.status), result.error);
    }
    host_.LogSystem(QStringLiteral("System: Web console %1@%2: %3")
                        .arg(caller.name, caller.address, result.description));
    if (!acting.Recorded())
        audit().Command(result.description);
    return HttpReply::Json(Status::Ok, QByteArrayLiteral("{\"ok\":true}"));
}

// The route test and the Aliases table's CSV.
std::optional<HttpReply> WebConsole::routesAnswer(const QHttpServerRequest& request,
                                                  const Caller& caller) {
    const QString path = request.url().path();
    const bool get = request.method() == Method::Get;
    if (path == QLatin1String("/api/routes/test") && get)
        return TestRoute(host_, request.url());
    if (path != QLatin1String("/api/aliases.csv"))
        return std::nullopt;
    if (get)
        return ExportAliases(host_);
    if (request.method() == Method::Post)
        return importAliases(request, caller);
    return std::nullopt;
}

// Logged and audited like a command, with its outcome.
HttpReply WebConsole::importAliases(const QHttpServerRequest& request, const Caller& caller) {
    const history::OperatorAudit::Acting acting(audit(), caller.name, caller.address);
    QString refusal;
    HttpReply reply = ImportAliases(host_.Window().Commands(), request.body(), &refusal);
    const QString what =
        refusal.isEmpty()
            ? QStringLiteral("imported the Aliases table")
            : QStringLiteral("refused an import of the Aliases table (%1)").arg(OneLine(refusal));
    host_.LogSystem(
        QStringLiteral("System: Web console %1@%2: %3").arg(caller.name, caller.address, what));
    if (!acting.Recorded())
        audit().Command(what);
    return reply;
}

HttpReply WebConsole::acknowledge(const QString& path, const Caller& caller) {
    HttpReply reply = AcknowledgeAlarm(host_.Alarms(), path, caller.name);
    if (reply.status == Status::Ok)
        audit().Record(
            {caller.name, caller.address, QStringLiteral("command"),
             QStringLiteral("acknowledge alarm ") + path.section(QLatin1Char('/'), 3, 3)});
    return reply;
}

history::OperatorAudit& WebConsole::audit() {
    return host_.Window().Audit();
}

// Qt's server upgrades a request its handler took, and passes one it did not
// take to missingHandler: a refused upgrade is answered there.
bool WebConsole::takeUpgrade(const QHttpServerRequest& request, const Caller& caller,
                             QTcpSocket* socket) {
    HttpReply refusal = upgradeRefusal(request.headers(), request.url().path(), caller.name);
    // A connection that still owes a login's answer cannot become a WebSocket.
    if (refusal.status == Status::Ok && waitsForALogin(socket))
        refusal = HttpReply::Error(Status::BadRequest, QStringLiteral("login still running"));
    if (refusal.status == Status::Ok) {
        connections_->Upgraded(socket);
        return true;
    }
    refusals_.insert(socket, refusal);
    connect(socket, &QObject::destroyed, this, [this, socket] { refusals_.remove(socket); });
    return false;
}

HttpReply WebConsole::upgradeRefusal(const Headers& headers, const QString& path,
                                     const QString& name) const {
    if (!HostAllowed(HeaderValue(headers, "host"), settings_.address, settings_.hosts))
        return HttpReply::Error(Status::Forbidden, QStringLiteral("unknown host name"));
    if (!OriginAllowed(headers))
        return HttpReply::Error(Status::Forbidden, QStringLiteral("foreign origin"));
    if (path != QLatin1String("/ws"))
        return HttpReply::Error(Status::NotFound, QStringLiteral("not found"));
    if (name.isEmpty())
        return HttpReply::Error(Status::Unauthorized, QStringLiteral("log in first"));
    return {};
}

void WebConsole::acceptWebSockets() {
    while (hasPendingWebSocketConnections()) {
        std::unique_ptr<QWebSocket> socket = nextPendingWebSocketConnection();
        // The socket keeps the upgrade's headers: its session is the cookie's.
        const QNetworkRequest& upgrade = socket->request();
        Headers headers;
        for (const QByteArray& name : upgrade.rawHeaderList())
            headers << qMakePair(name, upgrade.rawHeader(name));
        const QString token = CookieValue(headers, kCookie);
        const QString name = sessions_.Alive(token, host_.Now());
        if (upgradeRefusal(headers, socket->requestUrl().path(), name).status != Status::Ok) {
            socket->close(QWebSocketProtocol::CloseCodePolicyViolated, QStringLiteral("refused"));
            continue;
        }
        feed_->Add(std::move(socket), token);
    }
}

void WebConsole::WriteMetrics(platform::MetricsText& text) const {
    text.Family("ombrix_web_logins_failed_total", platform::MetricsText::Type::Counter,
                "Web console logins refused for a wrong name or password");
    text.Sample(static_cast<double>(loginsFailed_));
}

} // namespace web
