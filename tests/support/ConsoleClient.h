#pragma once

// The web console of a relay under test and an operator logged in to it, over
// real loopback HTTP: the window as a browser reads it (GET /api/window) and
// the commands it sends (POST /api/command). Link ombrix_web.

#include "HttpAnswer.h"
#include "app/System.h"
#include "config/Operators.h"
#include "web/RelayConsoleHost.h"
#include "web/WebConsole.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QTcpSocket>
#include <QTest>
#include <functional>
#include <memory>

class ConsoleClient {
public:
    // Starts the console of SYSTEM on 127.0.0.1:PORT with an account of its own.
    ConsoleClient(System& system, quint16 port) : port_(port) {
        config::SetOperatorPassword(system.db.gSysConnection, kName, kPassword,
                                    QStringLiteral("15 Jan 2026 10:00:00"));
        host_ = std::make_unique<web::RelayConsoleHost>(system.window, system.events, system.clock,
                                                        system.logs, system.db, system.workDir,
                                                        system.alarms, system.delayedDb);
        host_->ShowOverview([&system] { return system.monitor.OverviewJson(); });
        web::WebConsoleSettings settings = host_->Settings();
        settings.address = QStringLiteral("127.0.0.1");
        settings.port = port;
        console_ = std::make_unique<web::WebConsole>(*host_, settings);
        const QString failure = console_->Start();
        if (!failure.isEmpty())
            qFatal("console not started: %s", qPrintable(failure));
    }

    // Logs in once; false when the console refused.
    bool login() { return login(kName, kPassword); }
    // Logs in to an account the test made; the requests that follow are its session's.
    bool login(const QString& name, const QString& password) {
        const Answer answer = exchange("POST", "/login",
                                       "name=" + QUrl::toPercentEncoding(name) +
                                           "&password=" + QUrl::toPercentEncoding(password),
                                       {"Content-Type: application/x-www-form-urlencoded"});
        const QByteArray cookie = answer.header("Set-Cookie");
        cookie_ = "Cookie: " + cookie.left(cookie.indexOf(';'));
        return answer.status == 303 || answer.status == 200;
    }
    quint16 Port() const { return port_; }
    // The console's tick, as its timer runs it.
    void Tick() { console_->Tick(); }
    // Runs before each request. The console takes a budget of new
    // connections a second by the relay's clock, and each request here is a
    // new connection: a test on the fake clock that sends many moves the
    // clock on here.
    std::function<void()> beforeRequest;
    // The session's Cookie header, to come back to it after another login.
    QByteArray session() const { return cookie_; }
    void useSession(const QByteArray& cookie) { cookie_ = cookie; }

    // Any request of the session, its answer as it came.
    HttpAnswer get(const QByteArray& path) { return exchange("GET", path, {}, {cookie_}); }
    HttpAnswer post(const QByteArray& path, const QByteArray& body) {
        return exchange("POST", path, body, {cookie_, "Content-Type: application/json"});
    }

    QJsonObject window() { return exchange("GET", "/api/window", {}, {cookie_}).json(); }
    QJsonObject overview() { return exchange("GET", "/api/overview", {}, {cookie_}).json(); }
    // The body of GET PATH, as the console sent it.
    QByteArray body(const QByteArray& path) { return exchange("GET", path, {}, {cookie_}).body; }
    // The session's cookie as a browser sends it back ("name=value").
    QByteArray cookie() const { return cookie_.mid(int(qstrlen("Cookie: "))); }
    quint16 port() const { return port_; }
    web::WebConsole& console() { return *console_; }
    // A control of the window by name, as the console sends it.
    QJsonObject control(const QString& name) {
        return window().value(QStringLiteral("controls")).toObject().value(name).toObject();
    }
    // The answer's status and the refusal it gives, if any.
    int command(const QJsonObject& json, QString* error = nullptr) {
        const Answer answer =
            post("/api/command", QJsonDocument(json).toJson(QJsonDocument::Compact));
        if (error)
            *error = answer.json().value(QStringLiteral("error")).toString();
        return answer.status;
    }

private:
    using Answer = HttpAnswer;

    // One exchange on a fresh connection; the relay's loop runs meanwhile.
    Answer exchange(const QByteArray& method, const QByteArray& path, const QByteArray& body,
                    const QList<QByteArray>& headers) {
        if (beforeRequest)
            beforeRequest();
        QTcpSocket socket;
        socket.connectToHost(QHostAddress::LocalHost, port_);
        QByteArray request = method + ' ' + path +
                             " HTTP/1.1\r\nHost: 127.0.0.1:" + QByteArray::number(port_) + "\r\n";
        for (const QByteArray& h : headers)
            request += h + "\r\n";
        socket.write(request + "Content-Length: " + QByteArray::number(body.size()) + "\r\n\r\n" +
                     body);
        QByteArray received;
        Answer answer;
        (void)QTest::qWaitFor(
            [&] {
                received += socket.readAll();
                return ReadHttpAnswer(received, answer);
            },
            kWaitMs);
        return answer;
    }

public:
    inline static const QString kName = QStringLiteral("operator");
    inline static const QString kPassword = QStringLiteral("correct horse");

private:
    static constexpr int kWaitMs = 10000;
    quint16 port_;
    QByteArray cookie_;
    std::unique_ptr<web::RelayConsoleHost> host_;
    std::unique_ptr<web::WebConsole> console_;
};
