// The web console as a browser and a script meet it: real HTTP and WebSocket
// connections on loopback to a relay on a work folder, checked by the answers,
// the System log, the database and the bytes an output client receives.

#include "HttpAnswer.h"
#include "LogLines.h"
#include "ProcessMemory.h"
#include "TestPorts.h"
#include "TestSystem.h"
#include "app/GridEditing.h"
#include "config/Operators.h"
#include "web/ConnectionBudget.h"
#include "web/ConsoleConnections.h"
#include "web/LoginChecks.h"
#include "web/RelayConsoleHost.h"
#include "web/WebConsole.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkRequest>
#include <QProcess>
#include <QSignalSpy>
#include <QSslSocket>
#include <QTcpServer>
#include <QTest>
#include <QWebSocket>

namespace {

const QDateTime kStart(QDate(2026, 1, 15), QTime(10, 0, 0));
const QString kName = QStringLiteral("operator");
const QString kPassword = QStringLiteral("correct horse");
constexpr int kWaitMs = 5000;

using Answer = HttpAnswer;

bool ReadAnswer(const QByteArray& received, Answer& answer) {
    return ReadHttpAnswer(received, answer);
}

// A connection to the console, written by hand so that a test can send any
// Host, Origin or cookie a browser or an attacker might, from any loopback
// address, and leave it open while others are answered.
struct Connection {
    QSslSocket socket;
    QByteArray received;

    explicit Connection(quint16 port, bool tls = false, const QHostAddress& from = QHostAddress()) {
        if (!from.isNull())
            socket.bind(from);
        if (tls) {
            // The test's own certificate, made a moment ago: nobody vouches for it.
            socket.setPeerVerifyMode(QSslSocket::VerifyNone);
            socket.connectToHostEncrypted(QStringLiteral("127.0.0.1"), port);
        } else {
            socket.connectToHost(QHostAddress::LocalHost, port);
        }
    }
    void send(quint16 port, const QByteArray& method, const QByteArray& path,
              const QByteArray& body = {}, QList<QByteArray> headers = {}) {
        bool hasHost = false;
        for (const QByteArray& h : headers)
            hasHost = hasHost || h.toLower().startsWith("host:");
        if (!hasHost)
            headers << "Host: 127.0.0.1:" + QByteArray::number(port);
        QByteArray request = method + ' ' + path + " HTTP/1.1\r\n";
        for (const QByteArray& h : headers)
            request += h + "\r\n";
        request += "Content-Length: " + QByteArray::number(body.size()) + "\r\n\r\n" + body;
        socket.write(request);
    }
    bool closed() const { return socket.state() == QAbstractSocket::UnconnectedState; }
    // The next answer, once it is whole; status 0 while it is not (or never, when closed).
    Answer poll() {
        received += socket.readAll();
        Answer answer;
        if (ReadAnswer(received, answer))
            received.remove(0, answer.head.size() + 4 + answer.body.size());
        return answer;
    }
    Answer next() {
        Answer answer;
        // A refused connection or a timeout leaves the status at 0.
        (void)QTest::qWaitFor(
            [&] {
                answer = poll();
                return answer.status != 0 || closed();
            },
            kWaitMs);
        return answer;
    }
};

// One HTTP/1.1 exchange on a fresh connection.
Answer Exchange(quint16 port, const QByteArray& method, const QByteArray& path,
                const QByteArray& body = {}, QList<QByteArray> headers = {}, bool tls = false,
                const QHostAddress& from = QHostAddress()) {
    Connection connection(port, tls, from);
    connection.send(port, method, path, body, std::move(headers));
    return connection.next();
}

// The live overview travels on the same socket; the window's model never
// carries an "overview" key.
bool IsOverview(const QString& message) {
    return QJsonDocument::fromJson(message.toUtf8()).object().contains(QStringLiteral("overview"));
}

QByteArray LoginForm(const QString& name, const QString& password) {
    return "name=" + QUrl::toPercentEncoding(name) +
           "&password=" + QUrl::toPercentEncoding(password);
}

} // namespace

class WebConsoleTest : public QObject {
    Q_OBJECT

    struct Fixture {
        WorkFolder folder;
        quint16 outputPort = TestPort();
        quint16 consolePort = TestPort();
        std::unique_ptr<TestSystem> t;
        std::unique_ptr<web::RelayConsoleHost> host;
        std::unique_ptr<web::WebConsole> console;

        // With a carrier's port, the Telstra table gets a row that dials it.
        explicit Fixture(quint16 carrierPort = 0) {
            folder.setOutputs({{QStringLiteral("Client A"), QString::number(outputPort)}});
            if (carrierPort != 0)
                folder.exec(QStringLiteral("Ombrixsys.mdb"),
                            QStringLiteral("INSERT INTO Telstra (Description, Port, Active) "
                                           "VALUES ('Carrier', ?, 'Y')"),
                            {QString::number(carrierPort)});
            folder.setSetting(QStringLiteral("WebConsolePort"), QString::number(consolePort));
            t = std::make_unique<TestSystem>(folder.path());
            t->clock.set(kStart);
            t->system->Form_Load();
            t->system->outputSockets.UpdateOutputClients(); // the first heartbeat opens the ports
            config::SetOperatorPassword(t->system->db.gSysConnection, kName, kPassword,
                                        QStringLiteral("15 Jan 2026 10:00:00"));
            host = std::make_unique<web::RelayConsoleHost>(
                t->system->window, t->system->events, t->system->clock, t->system->logs,
                t->system->db, t->system->workDir, t->system->alarms, t->system->delayedDb);
            host->ShowOverview([this] { return t->system->monitor.OverviewJson(); });
            console = std::make_unique<web::WebConsole>(*host, host->Settings());
            const QString failure = console->Start();
            if (!failure.isEmpty())
                qFatal("console not started: %s", qPrintable(failure));
        }
        System& sys() { return *t->system; }

        Answer get(const QByteArray& path, QList<QByteArray> headers = {}) {
            return Exchange(consolePort, "GET", path, {}, std::move(headers));
        }
        Answer post(const QByteArray& path, const QByteArray& body,
                    QList<QByteArray> headers = {}) {
            return Exchange(consolePort, "POST", path, body, std::move(headers));
        }
        Answer login(const QString& name = kName, const QString& password = kPassword) {
            return post("/login", LoginForm(name, password),
                        {"Content-Type: application/x-www-form-urlencoded"});
        }
        Answer loginFrom(const QByteArray& address, const QString& name, const QString& password) {
            return Exchange(consolePort, "POST", "/login", LoginForm(name, password),
                            {"Content-Type: application/x-www-form-urlencoded"}, false,
                            QHostAddress(QString::fromLatin1(address)));
        }
        // A connection from ADDRESS with a login sent and not yet answered.
        std::unique_ptr<Connection> startLogin(const QByteArray& address, const QString& password) {
            auto connection = std::make_unique<Connection>(
                consolePort, false, QHostAddress(QString::fromLatin1(address)));
            connection->send(consolePort, "POST", "/login", LoginForm(kName, password),
                             {"Content-Type: application/x-www-form-urlencoded"});
            return connection;
        }
        // The Cookie header of a fresh session.
        QByteArray session() {
            const QByteArray cookie = login().header("Set-Cookie");
            return "Cookie: " + cookie.left(cookie.indexOf(';'));
        }
        Answer command(const QByteArray& cookie, const QJsonObject& json) {
            return post("/api/command", QJsonDocument(json).toJson(QJsonDocument::Compact),
                        {cookie, "Content-Type: application/json"});
        }
    };

private slots:
    void loginOpensASessionAndAWrongPasswordDoesNot() {
        Fixture f;
        const Answer before = f.get("/");
        QCOMPARE(before.status, 200);
        QVERIFY(before.body.contains("action=\"/login\""));

        const Answer wrong = f.login(kName, QStringLiteral("wrong"));
        QCOMPARE(wrong.status, 401);
        QVERIFY(wrong.header("Set-Cookie").isEmpty());
        QVERIFY(wrong.body.contains("Wrong name or password"));
        QCOMPARE(f.login(QStringLiteral("nobody"), kPassword).status, 401);

        const Answer right = f.login();
        QCOMPARE(right.status, 303);
        QCOMPARE(right.header("Location"), QByteArray("/"));
        const QByteArray cookie = right.header("Set-Cookie");
        QVERIFY(cookie.startsWith("ombrix_session="));
        // 32 random bytes in base64: far more than 128 bits.
        QVERIFY(cookie.indexOf(';') - int(strlen("ombrix_session=")) >= 43);
        for (const char* attribute : {"HttpOnly", "SameSite=Strict", "Path=/"})
            QVERIFY2(cookie.contains(attribute), attribute);
        QVERIFY(!cookie.contains("Secure"));

        const QByteArray session = "Cookie: " + cookie.left(cookie.indexOf(';'));
        const Answer console = f.get("/", {session});
        QVERIFY(console.body.contains("console.js"));
        QCOMPARE(f.get("/api/window", {session}).status, 200);
        QVERIFY(f.folder.systemLog().contains("System: Web console operator@127.0.0.1: login"));
        QVERIFY(f.folder.systemLog().contains("System: Web console login failed from 127.0.0.1"));
        QVERIFY(!f.folder.systemLog().contains(kPassword.toUtf8()));

        const Answer out = f.post("/logout", {}, {session});
        QCOMPARE(out.status, 303);
        QVERIFY(out.header("Set-Cookie").contains("Max-Age=0"));
        QCOMPARE(f.get("/api/window", {session}).status, 401);
    }

    void fiveFailuresTurnAnAddressAwayForTenMinutes() {
        Fixture f;
        for (int i = 0; i < 5; ++i)
            QCOMPARE(f.login(kName, QStringLiteral("guess %1").arg(i)).status, 401);
        const Answer banned = f.login();
        QCOMPARE(banned.status, 403);
        QVERIFY(banned.header("Set-Cookie").isEmpty());
        f.t->clock.advanceSecs(9 * 60 + 59);
        QCOMPARE(f.login().status, 403);
        f.t->clock.advanceSecs(2);
        QCOMPARE(f.login().status, 303);
    }

    void failuresSpreadOverMoreThanTenMinutesDoNotBan() {
        Fixture f;
        for (int i = 0; i < 4; ++i)
            QCOMPARE(f.login(kName, QStringLiteral("guess")).status, 401);
        f.t->clock.advanceSecs(10 * 60 + 1);
        QCOMPARE(f.login(kName, QStringLiteral("guess")).status, 401);
        QCOMPARE(f.login().status, 303);
    }

    void aSessionEndsAfterTwelveHoursIdle() {
        Fixture f;
        const QByteArray session = f.session();
        f.t->clock.advanceSecs(11 * 3600);
        QCOMPARE(f.get("/api/window", {session}).status, 200);
        f.t->clock.advanceSecs(11 * 3600); // idle counts from the last use
        QCOMPARE(f.get("/api/window", {session}).status, 200);
        f.t->clock.advanceSecs(12 * 3600);
        QCOMPARE(f.get("/api/window", {session}).status, 401);
    }

    void withoutASessionTheApiAnswers401() {
        Fixture f;
        QCOMPARE(f.get("/api/window").status, 401);
        QCOMPARE(f.get("/api/window", {"Cookie: ombrix_session=forged"}).status, 401);
        QCOMPARE(
            f.command("Cookie: x=y", {{QStringLiteral("click"), QStringLiteral("cmdSendDummy")}})
                .status,
            401);
        QCOMPARE(f.get("/ws").status, 401);
    }

    void foreignOriginsAndHostsAre403() {
        Fixture f;
        const QByteArray session = f.session();
        const QJsonObject dummy{{QStringLiteral("click"), QStringLiteral("cmdSendDummy")}};
        const QByteArray body = QJsonDocument(dummy).toJson(QJsonDocument::Compact);
        QCOMPARE(f.post("/api/command", body, {session, "Origin: http://evil.example"}).status,
                 403);
        QCOMPARE(
            f.post("/login", LoginForm(kName, kPassword), {"Origin: http://evil.example"}).status,
            403);
        const QByteArray own = "Origin: http://127.0.0.1:" + QByteArray::number(f.consolePort);
        QCOMPARE(f.post("/api/command", body, {session, own}).status, 200);

        // A name of another site pointed at this address (DNS rebinding).
        QCOMPARE(f.get("/api/window", {session, "Host: evil.example:8088"}).status, 403);
        QCOMPARE(f.get("/", {"Host: evil.example"}).status, 403);
        QCOMPARE(f.get("/api/window", {session, "Host: localhost:8088"}).status, 200);
        f.folder.setSetting(QStringLiteral("WebConsoleHosts"),
                            QStringLiteral("relay.site.example"));
        web::WebConsoleSettings settings = f.host->Settings();
        settings.port = TestPort();
        web::WebConsole proxied(*f.host, settings);
        QCOMPARE(proxied.Start(), QString());
        QCOMPARE(Exchange(settings.port, "GET", "/", {}, {"Host: relay.site.example"}).status, 200);
        QCOMPARE(Exchange(settings.port, "GET", "/", {}, {"Host: other.site.example"}).status, 403);
        // Behind a proxy that speaks HTTPS, the page's origin is https://.
        const Answer proxiedLogin =
            Exchange(settings.port, "POST", "/login", LoginForm(kName, kPassword),
                     {"Host: relay.site.example", "Origin: https://relay.site.example"});
        QCOMPARE(proxiedLogin.status, 303);
        QCOMPARE(Exchange(settings.port, "POST", "/login", LoginForm(kName, kPassword),
                          {"Host: relay.site.example", "Origin: https://evil.example"})
                     .status,
                 403);
        QCOMPARE(Exchange(settings.port, "POST", "/login", LoginForm(kName, kPassword),
                          {"Host: relay.site.example", "Origin: null"})
                     .status,
                 403);
    }

    void withACertificateTheConsoleSpeaksHttpsOnly() {
        Fixture f;
        const QString cert = f.folder.file(QStringLiteral("console.pem"));
        const QString key = f.folder.file(QStringLiteral("console.key"));
        QProcess openssl;
        openssl.start(QStringLiteral("openssl"),
                      {QStringLiteral("req"), QStringLiteral("-x509"), QStringLiteral("-newkey"),
                       QStringLiteral("rsa:2048"), QStringLiteral("-nodes"),
                       QStringLiteral("-days"), QStringLiteral("1"), QStringLiteral("-subj"),
                       QStringLiteral("/CN=127.0.0.1"), QStringLiteral("-keyout"), key,
                       QStringLiteral("-out"), cert});
        QVERIFY(openssl.waitForFinished(30000));
        QCOMPARE(openssl.exitCode(), 0);
        // Named relative to the working folder, as the table holds them.
        f.folder.setSetting(QStringLiteral("WebConsoleCertificate"), QStringLiteral("console.pem"));
        f.folder.setSetting(QStringLiteral("WebConsoleKey"), QStringLiteral("console.key"));
        web::WebConsoleSettings settings = f.host->Settings();
        settings.port = TestPort();
        web::WebConsole secure(*f.host, settings);
        QCOMPARE(secure.Start(), QString());
        QVERIFY(secure.Url().startsWith(QStringLiteral("https://127.0.0.1:")));

        QCOMPARE(Exchange(settings.port, "GET", "/", {}, {}, true).status, 200);
        const Answer login =
            Exchange(settings.port, "POST", "/login", LoginForm(kName, kPassword), {}, true);
        QCOMPARE(login.status, 303);
        QVERIFY(login.header("Set-Cookie").contains("; Secure"));
        QCOMPARE(Exchange(settings.port, "GET", "/").status, 0); // no plain HTTP

        f.folder.setSetting(QStringLiteral("WebConsoleKey"), QStringLiteral("missing.key"));
        web::WebConsoleSettings broken = f.host->Settings();
        broken.port = TestPort();
        web::WebConsole unstarted(*f.host, broken);
        QVERIFY(unstarted.Start().contains(QStringLiteral("missing.key")));
    }

    void everyAnswerCarriesTheSecurityHeaders() {
        Fixture f;
        const QByteArray session = f.session();
        const QList<Answer> answers = {
            f.get("/"),           f.get("/console.js"),
            f.get("/api/window"), f.get("/api/window", {session}),
            f.get("/nowhere"),    f.login(kName, QStringLiteral("wrong"))};
        for (const Answer& a : answers) {
            QCOMPARE(a.header("X-Frame-Options"), QByteArray("DENY"));
            QCOMPARE(a.header("Content-Security-Policy"), QByteArray("default-src 'self'"));
            QCOMPARE(a.header("X-Content-Type-Options"), QByteArray("nosniff"));
        }
        QCOMPARE(answers[3].header("Cache-Control"), QByteArray("no-store"));
        QCOMPARE(answers[4].status, 404);
    }

    // The page is several scripts; each is served by its name, and a name
    // that is not a script or style sheet of the page is not found.
    void thePageScriptsAreServedAndNothingElse() {
        Fixture f;
        const Answer overview = f.get("/overview.js");
        QCOMPARE(overview.status, 200);
        QCOMPARE(overview.header("Content-Type"), QByteArray("text/javascript; charset=utf-8"));
        QVERIFY(overview.body.contains("export function renderOverview"));
        QVERIFY(f.get("/console.js").body.contains("import "));
        QCOMPARE(f.get("/alarm-notices.js").status, 200);
        for (const QByteArray& path :
             {QByteArray("/login.html"), QByteArray("/missing.js"), QByteArray("/Console.js"),
              QByteArray("/web/console.js"), QByteArray("/console.js.map"), QByteArray("/.js")})
            QCOMPARE(f.get(path).status, 404);
    }

    void theWindowAsJson() {
        Fixture f;
        const QJsonObject window = f.get("/api/window", {f.session()}).json();
        QCOMPARE(window.value(QStringLiteral("tab")).toInt(), f.sys().window.SSTab1.Value);
        QCOMPARE(window.value(QStringLiteral("caption")).toString(), f.sys().window.Caption);
        QCOMPARE(window.value(QStringLiteral("tabs")).toArray().size(), 6);
        const QJsonObject controls = window.value(QStringLiteral("controls")).toObject();
        QCOMPARE(controls.size(), f.sys().window.Controls().size());
        const QJsonObject outputs = controls.value(QStringLiteral("dgOutputs")).toObject();
        QCOMPARE(outputs.value(QStringLiteral("kind")).toString(), QStringLiteral("grid"));
        QCOMPARE(outputs.value(QStringLiteral("tab")).toInt(), 1);
        QVERIFY(!outputs.value(QStringLiteral("editable")).toBool());
        QVERIFY(
            outputs.value(QStringLiteral("columns")).toArray().contains(QStringLiteral("Port")));
        QCOMPARE(outputs.value(QStringLiteral("rows")).toArray().size(), 1);
        const QJsonObject dummy = controls.value(QStringLiteral("cmdSendDummy")).toObject();
        QCOMPARE(dummy.value(QStringLiteral("caption")).toString(),
                 QStringLiteral("Dummy Message"));
        QVERIFY(dummy.value(QStringLiteral("enabled")).toBool());
        QCOMPARE(controls.value(QStringLiteral("chkEnableLogs"))
                     .toObject()
                     .value(QStringLiteral("kind")),
                 QJsonValue(QStringLiteral("checkbox")));
        QVERIFY(
            window.value(QStringLiteral("warning")).toObject().contains(QStringLiteral("visible")));
    }

    // A broker's password is set from the console but never sent back to any
    // browser: the cell says whether one is set, and only a new text changes it.
    void aBrokersPasswordNeverLeavesTheRelay() {
        Fixture f;
        const QByteArray session = f.session();
        const QString secret = QStringLiteral("s3cret-broker-pw");
        const auto cmd = [&](const QJsonObject& json) { return f.command(session, json).status; };
        const auto storedPassword = [&] {
            return f.folder
                .rows(QStringLiteral("Ombrixsys.mdb"),
                      QStringLiteral("SELECT Password FROM Publishers"))
                .value(0)
                .value(0)
                .toString();
        };
        const auto shownRow = [&](const Answer& window) {
            return window.json()
                .value(QStringLiteral("controls"))
                .toObject()
                .value(QStringLiteral("dgPublishers"))
                .toObject()
                .value(QStringLiteral("rows"))
                .toArray()
                .at(0)
                .toArray()
                .toVariantList();
        };
        const auto click = [&] {
            return cmd({{QStringLiteral("click"), QStringLiteral("cmdEditPublishers")}});
        };
        QCOMPARE(click(), 200);
        QCOMPARE(cmd({{QStringLiteral("grid"), QStringLiteral("dgPublishers")},
                      {QStringLiteral("addRow"),
                       QJsonObject{{QStringLiteral("Description"), QStringLiteral("Broker")},
                                   {QStringLiteral("Host"), QStringLiteral("127.0.0.1")},
                                   {QStringLiteral("Topic"), QStringLiteral("pages")},
                                   {QStringLiteral("Active"), QStringLiteral("N")},
                                   {QStringLiteral("Password"), secret}}}}),
                 200);
        const Answer editing = f.get("/api/window", {session});
        QVERIFY(!editing.body.contains(secret.toUtf8()));
        QVERIFY(shownRow(editing).contains(QStringLiteral("(set)")));
        QCOMPARE(click(), 200); // Commit
        QCOMPARE(storedPassword(), secret);
        const Answer committed = f.get("/api/window", {session});
        QVERIFY(!committed.body.contains(secret.toUtf8()));
        QVERIFY(shownRow(committed).contains(QStringLiteral("(set)")));
        QVERIFY(!f.sys().window.txbLogOutputs.Text.contains(secret));
        QVERIFY(!f.folder.systemLog().contains(secret.toUtf8()));

        // Writing back what the cell shows keeps the password; a new text replaces it.
        const int column = int(editing.json()
                                   .value(QStringLiteral("controls"))
                                   .toObject()
                                   .value(QStringLiteral("dgPublishers"))
                                   .toObject()
                                   .value(QStringLiteral("columns"))
                                   .toArray()
                                   .toVariantList()
                                   .indexOf(QStringLiteral("Password")));
        const auto setPassword = [&](const QString& value) {
            QCOMPARE(click(), 200);
            QCOMPARE(cmd({{QStringLiteral("grid"), QStringLiteral("dgPublishers")},
                          {QStringLiteral("row"), 0},
                          {QStringLiteral("column"), column},
                          {QStringLiteral("value"), value}}),
                     200);
            QCOMPARE(click(), 200);
        };
        setPassword(QStringLiteral("(set)"));
        QCOMPARE(storedPassword(), secret);
        setPassword(QStringLiteral("another-pw"));
        QCOMPARE(storedPassword(), QStringLiteral("another-pw"));
        setPassword(QString());
        QVERIFY(storedPassword().isEmpty());
        QVERIFY(shownRow(f.get("/api/window", {session})).contains(QStringLiteral("(empty)")));
    }

    // Every byte a peer sent reaches the browser as the code point of its
    // value: nothing a client sends is lost or turned into something else.
    void peerBytesArriveAsCodePoints() {
        Fixture f;
        LoopbackClient client(f.outputPort);
        QVERIFY(AcceptedOnOutput(f.sys(), client, 0));
        QByteArray every;
        for (int b = 0; b < 256; ++b)
            every += char(b);
        client.socket.write(every);
        QVERIFY(QTest::qWaitFor(
            [&] { return f.sys().window.txbLogOutputs.Bytes.contains(char(0xFF)); }, kWaitMs));
        const QByteArray session = f.session();
        const QJsonObject window = f.get("/api/window", {session}).json();
        const QString pane = window.value(QStringLiteral("controls"))
                                 .toObject()
                                 .value(QStringLiteral("txbLogOutputs"))
                                 .toObject()
                                 .value(QStringLiteral("text"))
                                 .toString();
        QCOMPARE(pane, QString::fromLatin1(f.sys().window.txbLogOutputs.Bytes));
        QString high;
        for (int b = 0x80; b < 256; ++b)
            high += QChar(b);
        QVERIFY(pane.contains(high));

        // A stored packet, every byte value, in the Delayed grid of the
        // window, once the window shows that tab.
        QVERIFY(f.sys().delayedDb.AddDelayed(every, QStringLiteral("Away"),
                                             f.sys().delayedDb.gMessID++));
        f.sys().window.SSTab1_Click(frmQuorlan::kDelayedTab);
        const QJsonArray rows = f.get("/api/window", {session})
                                    .json()
                                    .value(QStringLiteral("controls"))
                                    .toObject()
                                    .value(QStringLiteral("dgDelayed"))
                                    .toObject()
                                    .value(QStringLiteral("rows"))
                                    .toArray();
        bool found = false;
        for (const QJsonValue& row : rows)
            for (const QJsonValue& cell : row.toArray())
                found = found || cell.toString() == QString::fromLatin1(every);
        QVERIFY(found);
    }

    // "Test this route" judges a page by the routes as the grids hold them now,
    // an edit not yet committed too, and says why a route that does not parse
    // would get nothing.
    void theRouteTestNamesTheOutputsThatWouldGetAPage() {
        Fixture f;
        f.folder.exec(QStringLiteral("Ombrixsys.mdb"),
                      QStringLiteral("INSERT INTO Publishers (Description, Host, Topic, Active, "
                                     "Route) VALUES ('Fire broker', '127.0.0.1', 'fire', 'N', "
                                     "'fn:C')"));
        f.sys().LoadPublishers();
        f.sys().display.LoadAllGrids();
        const QByteArray session = f.session();
        const auto test = [&](const QByteArray& query) {
            const Answer answer = f.get("/api/routes/test?" + query, {session});
            return std::pair{answer.status, QJsonDocument::fromJson(answer.body).object()};
        };
        const auto verdict = [](const QJsonObject& answer, const char* list) {
            const QJsonObject row = answer[QLatin1String(list)].toArray().first().toObject();
            return QStringLiteral("%1 %2 %3")
                .arg(row[u"description"].toString(), row[u"routed"].toBool() ? "yes" : "no",
                     row[u"problem"].toString());
        };
        auto [status, answer] = test("address=1234567&function=C&text=Fire%20at%20the%20mill");
        QCOMPARE(status, 200);
        QCOMPARE(verdict(answer, "outputs"), QStringLiteral("Client A yes "));
        QCOMPARE(verdict(answer, "publishers"), QStringLiteral("Fire broker yes "));
        std::tie(status, answer) = test("address=1234567&function=a&text=x");
        QCOMPARE(verdict(answer, "publishers"), QStringLiteral("Fire broker no "));

        // Being edited, the grid's route is the one tested.
        frmQuorlan& w = f.sys().window;
        w.Click(QStringLiteral("cmdEditOuputs"));
        const int route = w.dgOutputs.DataSource->FieldIndex(QStringLiteral("Route"));
        grid_editing::SetCell(w.dgOutputs, 0, route, QStringLiteral("1200000-1299999 !text:test"));
        std::tie(status, answer) = test("address=1250000&text=TEST%20page");
        QCOMPARE(verdict(answer, "outputs"), QStringLiteral("Client A no "));
        std::tie(status, answer) = test("address=1250000&text=Real%20page");
        QCOMPARE(verdict(answer, "outputs"), QStringLiteral("Client A yes "));
        grid_editing::SetCell(w.dgOutputs, 0, route, QStringLiteral("fn:Q"));
        std::tie(status, answer) = test("address=1250000");
        QCOMPARE(verdict(answer, "outputs"),
                 QStringLiteral("Client A no \"fn:Q\": function letters are A, B, C and D"));

        // What is no page is refused, and only a session may ask.
        QCOMPARE(test("address=12x").first, 400);
        QCOMPARE(test("address=1&function=E").first, 400);
        QCOMPARE(test("address=1&text=%E2%82%AC").first, 400);
        QCOMPARE(test("address=1&text=" + QByteArray(1001, 'a')).first, 400);
        QCOMPARE(f.get("/api/routes/test?address=1").status, 401);
    }

    // The Aliases table goes out as CSV and comes back in, all rows or none;
    // names with commas, quotes and accents survive the round trip.
    void theAliasesTableIsExportedAndImportedAsCsv() {
        Fixture f;
        const QString db = QStringLiteral("Ombrixsys.mdb");
        f.folder.exec(db, QStringLiteral("INSERT INTO Aliases (Address, Function, Name, Agency) "
                                         "VALUES ('1300000', 'C', 'Crew \"12\", Zürich', "
                                         "'Fire'), ('1200005', '', 'Unit 5', '')"));
        const QByteArray session = f.session();
        const Answer exported = f.get("/api/aliases.csv", {session});
        QCOMPARE(exported.status, 200);
        QVERIFY(exported.header("Content-Type").startsWith("text/csv"));
        const QByteArray csv = "Address,Function,Name,Agency\r\n"
                               "1300000,C,\"Crew \"\"12\"\", Z\xc3\xbcrich\",Fire\r\n"
                               "1200005,,Unit 5,\r\n";
        QCOMPARE(exported.body, csv);

        const auto import = [&](const QByteArray& body) {
            return f.post("/api/aliases.csv", body, {session, "Content-Type: text/csv"});
        };
        const auto rows = [&] {
            QStringList all;
            for (const QVariantList& row : f.folder.rows(
                     db, QStringLiteral("SELECT Address, Function, Name, Agency FROM Aliases "
                                        "ORDER BY Address")))
                all << row[0].toString() + '|' + row[1].toString() + '|' + row[2].toString() + '|' +
                           row[3].toString();
            return all;
        };
        // A row that cannot be used refuses the whole file.
        const Answer refused = import("Name,Address\n Station 9,99x\n");
        QCOMPARE(refused.status, 400);
        QCOMPARE(QJsonDocument::fromJson(refused.body)[u"error"].toString(),
                 QStringLiteral("Row 1: the Address \"99x\" is not up to 9 digits. Nothing was "
                                "imported."));
        QCOMPARE(import("Address,Colour\n1,red\n").status, 400);
        QCOMPARE(import("Address,Name\n1,\"open\n").status, 400);
        QCOMPARE(rows().size(), 2);

        // The file's columns in its own order; the routes follow its names.
        f.folder.exec(db, QStringLiteral("UPDATE Outputs SET Route = 'alias:\"Station 9\"'"));
        f.sys().outputSockets.LoadOutputClients();
        QCOMPARE(import("Name,Address,Agency\r\nStation 9,1400000,Fire\r\n").status, 200);
        QCOMPARE(rows(), QStringList{QStringLiteral("1400000||Station 9|Fire")});
        QVERIFY(f.sys().outputSockets.Entry(0).Routed.Routes(
            routing::RoutedPage(routing::PageFacts{"1200", "1", "A", "1400000", "A", "x"})));
        QVERIFY(f.folder.systemLog().contains(
            "System: Web console operator@127.0.0.1: imported the Aliases table"));
        QVERIFY(f.folder.systemLog().contains(
            "System: Web console operator@127.0.0.1: refused an import of the Aliases table (Row "
            "1: the Address \"99x\" is not up to 9 digits. Nothing was imported.)"));
    }

    // The overview's count of active alarms is the alarm book's.
    void theOverviewCountsTheActiveAlarms() {
        Fixture f;
        const QByteArray session = f.session();
        const auto activeAlarms = [&] {
            return QJsonDocument::fromJson(f.get("/api/overview", {session}).body)
                .object()
                .value(QStringLiteral("alarms"))
                .toInt(-1);
        };
        QCOMPARE(activeAlarms(), 0);
        f.sys().ShowWarning(ErrorCode::FeedSilence, QStringLiteral("quiet"), 1);
        f.sys().ShowWarning(ErrorCode::SystemTimer, QStringLiteral("the timer failed"), 0);
        QCOMPARE(activeAlarms(), 2);
        const QJsonArray active =
            QJsonDocument::fromJson(f.get("/api/alarms", {session}).body).array();
        const QByteArray ack =
            "/api/alarms/" +
            QByteArray::number(active[0].toObject().value(QStringLiteral("id")).toInteger()) +
            "/ack";
        QCOMPARE(f.post(ack, {}, {session}).status, 200);
        QCOMPARE(activeAlarms(), 1);
    }

    // The alarm list and its acknowledge, as the page and a script use them.
    void alarmsAreListedAndAcknowledgedInTheOperatorsName() {
        Fixture f;
        for (int seconds : {65, 130}) { // the away client's heartbeat fails twice: one alarm
            f.t->clock.set(kStart.addSecs(seconds));
            f.sys().outputSockets.UpdateOutputClients();
            f.sys().outputSockets.UpdateOutputClients();
        }
        f.t->clock.set(kStart.addSecs(140));
        f.sys().ShowWarning(ErrorCode::FeedSilence, QStringLiteral("quiet"), 1);
        const QByteArray session = f.session();
        QCOMPARE(f.get("/api/alarms").status, 401);
        const auto list = [&](const QByteArray& path) {
            const Answer answer = f.get(path, {session});
            return answer.status == 200 ? QJsonDocument::fromJson(answer.body).array()
                                        : QJsonArray();
        };

        const QJsonArray active = list("/api/alarms");
        QCOMPARE(active.size(), 2);
        QCOMPARE(active[0].toObject().value(QStringLiteral("code")).toInt(), 112);
        const QJsonObject heartbeat = active[1].toObject();
        QCOMPARE(heartbeat.keys(),
                 (QStringList{"acknowledgedAt", "acknowledgedBy", "clearedAt", "code", "count",
                              "entry", "firstSeen", "id", "lastSeen", "text"}));
        QCOMPARE(heartbeat.value(QStringLiteral("code")).toInt(), 108);
        QCOMPARE(heartbeat.value(QStringLiteral("entry")).toInt(), 0);
        QCOMPARE(heartbeat.value(QStringLiteral("count")).toInt(), 2);
        QVERIFY(heartbeat.value(QStringLiteral("text"))
                    .toString()
                    .contains(QStringLiteral("Client A has heartbeat failure.")));
        QCOMPARE(QDateTime::fromString(heartbeat.value(QStringLiteral("firstSeen")).toString(),
                                       Qt::ISODateWithMs),
                 kStart.addSecs(65));
        QCOMPARE(QDateTime::fromString(heartbeat.value(QStringLiteral("lastSeen")).toString(),
                                       Qt::ISODateWithMs),
                 kStart.addSecs(130));
        for (const char* absent : {"acknowledgedBy", "acknowledgedAt", "clearedAt"})
            QVERIFY(heartbeat.value(QLatin1String(absent)).isNull());
        QCOMPARE(f.get("/api/alarms?state=some", {session}).status, 400);

        const QByteArray ack =
            "/api/alarms/" + QByteArray::number(heartbeat.value(QStringLiteral("id")).toInteger()) +
            "/ack";
        const Answer done = f.post(ack, {}, {session});
        QCOMPARE(done.status, 200);
        QCOMPARE(done.json().value(QStringLiteral("ok")).toBool(), true);
        QCOMPARE(f.post(ack, {}, {session}).status, 409);
        QCOMPARE(f.post("/api/alarms/999999/ack", {}, {session}).status, 404);
        QCOMPARE(f.post("/api/alarms/x1/ack", {}, {session}).status, 404);
        QCOMPARE(LogLines(f.folder.systemLog(), "Error")
                     .count("System: Alarm 108 0 acknowledged by operator"),
                 1);

        QCOMPARE(list("/api/alarms?state=active").size(), 1);
        const QJsonArray all = list("/api/alarms?state=all");
        QCOMPARE(all.size(), 2);
        QCOMPARE(all[1].toObject().value(QStringLiteral("acknowledgedBy")).toString(), kName);
        QCOMPARE(QDateTime::fromString(
                     all[1].toObject().value(QStringLiteral("acknowledgedAt")).toString(),
                     Qt::ISODateWithMs),
                 kStart.addSecs(140));
    }

    void commandsRunTheWindowsHandlers() {
        Fixture f;
        LoopbackClient client(f.outputPort);
        QVERIFY(AcceptedOnOutput(f.sys(), client, 0));
        const QByteArray session = f.session();

        QCOMPARE(
            f.command(session, {{QStringLiteral("click"), QStringLiteral("cmdSendDummy")}}).status,
            200);
        QVERIFY(QTest::qWaitFor([&] { return client.received.contains("Ombrix"); }, kWaitMs));
        QVERIFY(f.folder.systemLog().contains(
            "System: Web console operator@127.0.0.1: {\"click\":\"cmdSendDummy\"}"));

        QCOMPARE(f.command(session, {{QStringLiteral("check"), QStringLiteral("chkEnableLogs")},
                                     {QStringLiteral("value"), 1}})
                     .status,
                 200);
        QCOMPARE(f.folder.setting(QStringLiteral("RawLogEnabled")).toString(),
                 QStringLiteral("True"));
        QCOMPARE(f.command(session, {{QStringLiteral("dblclick"), QStringLiteral("txbLogOutputs")}})
                     .status,
                 200);
        QVERIFY(f.sys().window.frmeInfoBox.Visible);
        QCOMPARE(
            f.command(session, {{QStringLiteral("click"), QStringLiteral("cmdDoneInfo")}}).status,
            200);
        QVERIFY(!f.sys().window.frmeInfoBox.Visible);
        const QDateTime next = f.sys().logs.gNextBackUp;
        QCOMPARE(
            f.command(session, {{QStringLiteral("menu"), QStringLiteral("mnuForceBackup")}}).status,
            200);
        QVERIFY(f.sys().logs.gNextBackUp != next);
    }

    void anOutputsEditReachesTheTableAndThePort() {
        Fixture f;
        LoopbackClient first(f.outputPort);
        QVERIFY(AcceptedOnOutput(f.sys(), first, 0));
        const QByteArray session = f.session();
        const auto cmd = [&](const QJsonObject& json) { return f.command(session, json); };
        const quint16 newPort = TestPort();
        QCOMPARE(cmd({{QStringLiteral("grid"), QStringLiteral("dgOutputs")},
                      {QStringLiteral("row"), 0},
                      {QStringLiteral("column"), 1},
                      {QStringLiteral("value"), QStringLiteral("x")}})
                     .status,
                 400); // not open for editing
        QCOMPARE(cmd({{QStringLiteral("click"), QStringLiteral("cmdEditOuputs")}}).status, 200);
        const QJsonArray columns = f.get("/api/window", {session})
                                       .json()
                                       .value(QStringLiteral("controls"))
                                       .toObject()
                                       .value(QStringLiteral("dgOutputs"))
                                       .toObject()
                                       .value(QStringLiteral("columns"))
                                       .toArray();
        const int port = int(columns.toVariantList().indexOf(QStringLiteral("Port")));
        QVERIFY(port >= 0);
        QCOMPARE(cmd({{QStringLiteral("grid"), QStringLiteral("dgOutputs")},
                      {QStringLiteral("row"), 0},
                      {QStringLiteral("column"), port},
                      {QStringLiteral("value"), QString::number(newPort)}})
                     .status,
                 200);
        QCOMPARE(cmd({{QStringLiteral("grid"), QStringLiteral("dgOutputs")},
                      {QStringLiteral("addRow"),
                       QJsonObject{{QStringLiteral("Description"), QStringLiteral("Client B")},
                                   {QStringLiteral("Port"), QString::number(TestPort())},
                                   {QStringLiteral("Active"), QStringLiteral("N")}}}})
                     .status,
                 200);
        QCOMPARE(cmd({{QStringLiteral("grid"), QStringLiteral("dgOutputs")},
                      {QStringLiteral("addRow"), QJsonObject{{QStringLiteral("Nonsense"), 1}}}})
                     .status,
                 400);
        QCOMPARE(cmd({{QStringLiteral("click"), QStringLiteral("cmdEditOuputs")}}).status, 200);
        QCOMPARE(
            f.folder
                .rows(QStringLiteral("Ombrixsys.mdb"),
                      QStringLiteral("SELECT Description, Port FROM Outputs ORDER BY Description"))
                .size(),
            2);
        QCOMPARE(
            f.folder
                .rows(QStringLiteral("Ombrixsys.mdb"),
                      QStringLiteral("SELECT Port FROM Outputs WHERE Description = 'Client A'"))
                .value(0)
                .value(0)
                .toString(),
            QString::number(newPort));
        // The connected output moved to its new port.
        QTRY_COMPARE(first.socket.state(), QAbstractSocket::UnconnectedState);
        f.sys().outputSockets.UpdateOutputClients();
        LoopbackClient client(newPort);
        QVERIFY(AcceptedOnOutput(f.sys(), client, 0));

        // Deleting the new row.
        QCOMPARE(cmd({{QStringLiteral("click"), QStringLiteral("cmdEditOuputs")}}).status, 200);
        QCOMPARE(cmd({{QStringLiteral("grid"), QStringLiteral("dgOutputs")},
                      {QStringLiteral("deleteRow"), 1}})
                     .status,
                 200);
        QCOMPARE(cmd({{QStringLiteral("grid"), QStringLiteral("dgOutputs")},
                      {QStringLiteral("deleteRow"), 7}})
                     .status,
                 400);
        QCOMPARE(cmd({{QStringLiteral("click"), QStringLiteral("cmdEditOuputs")}}).status, 200);
        QCOMPARE(
            f.folder.rows(QStringLiteral("Ombrixsys.mdb"), QStringLiteral("SELECT * FROM Outputs"))
                .size(),
            1);
    }

    // A Port the relay could not listen on is refused at the commit, with
    // the reason, before the row is written; the grid stays open for editing.
    void aPortThatIsNoPortIsRefusedAtCommit() {
        Fixture f;
        const QByteArray session = f.session();
        const auto cmd = [&](const QJsonObject& json) { return f.command(session, json); };
        const auto setPort = [&](const QString& value) {
            return cmd({{QStringLiteral("grid"), QStringLiteral("dgOutputs")},
                        {QStringLiteral("row"), 0},
                        {QStringLiteral("column"),
                         f.sys().window.dgOutputs.DataSource->FieldIndex(QStringLiteral("Port"))},
                        {QStringLiteral("value"), value}})
                .status;
        };
        const auto storedPort = [&] {
            return f.folder
                .rows(QStringLiteral("Ombrixsys.mdb"), QStringLiteral("SELECT Port FROM Outputs"))
                .value(0)
                .value(0)
                .toString();
        };
        QCOMPARE(cmd({{QStringLiteral("click"), QStringLiteral("cmdEditOuputs")}}).status, 200);
        QCOMPARE(setPort(QStringLiteral("abc")), 200);
        const Answer refused = cmd({{QStringLiteral("click"), QStringLiteral("cmdEditOuputs")}});
        QCOMPARE(refused.status, 400);
        QCOMPARE(refused.json().value(QStringLiteral("error")).toString(),
                 QStringLiteral("Outputs row 1 (\"Client A\"): port \"abc\" is not a whole number "
                                "from 1 to 65535 (digits only, no blanks). Nothing was saved: "
                                "correct it and commit again."));
        QCOMPARE(f.sys().window.cmdEditOuputs.Caption, QStringLiteral("Commit"));
        QCOMPARE(storedPort(), QString::number(f.outputPort));
        QVERIFY(!f.folder.systemLog().contains("Outputs database commited"));

        const quint16 newPort = TestPort();
        QCOMPARE(setPort(QString::number(newPort)), 200);
        QCOMPARE(cmd({{QStringLiteral("click"), QStringLiteral("cmdEditOuputs")}}).status, 200);
        QCOMPARE(f.sys().window.cmdEditOuputs.Caption, QStringLiteral("Edit"));
        QCOMPARE(storedPort(), QString::number(newPort));
    }

    // The console's API and the window's buttons give the same commands: the
    // same edit, refusal and commit leave the same rows, captions and log lines.
    void aCommandFromTheConsoleOrTheWindowLeavesTheSameState() {
        struct Outcome {
            QString refusal, captionAfterRefusal, captionAfterCommit;
            QList<QVariantList> rows;
            QByteArray outputsLog, errorsLog;
        };
        const auto outcome = [](Fixture& f, const std::function<QString(const QString&)>& click) {
            Outcome o;
            const auto description = [&](const QString& value) {
                const auto& rs = f.sys().window.dgOutputs.DataSource;
                grid_editing::SetCell(f.sys().window.dgOutputs, 0,
                                      rs->FieldIndex(QStringLiteral("Description")), value);
            };
            const auto port = [&](const QString& value) {
                const auto& rs = f.sys().window.dgOutputs.DataSource;
                grid_editing::SetCell(f.sys().window.dgOutputs, 0,
                                      rs->FieldIndex(QStringLiteral("Port")), value);
            };
            click(QStringLiteral("cmdEditOuputs"));
            description(QStringLiteral("Client Z"));
            port(QStringLiteral("x1"));
            o.refusal = click(QStringLiteral("cmdEditOuputs"));
            o.captionAfterRefusal = f.sys().window.cmdEditOuputs.Caption;
            port(QString::number(f.outputPort));
            click(QStringLiteral("cmdEditOuputs"));
            o.captionAfterCommit = f.sys().window.cmdEditOuputs.Caption;
            click(QStringLiteral("cmdGeneralEdit"));
            click(QStringLiteral("cmdGeneralEdit"));
            o.rows = f.folder.rows(QStringLiteral("Ombrixsys.mdb"),
                                   QStringLiteral("SELECT Description, Active FROM Outputs"));
            o.outputsLog = f.sys().window.txbLogOutputs.Bytes;
            o.errorsLog = f.sys().window.txbLogErrors.Bytes;
            return o;
        };
        Fixture byWindow;
        const Outcome window = outcome(byWindow, [&](const QString& button) {
            byWindow.sys().window.Click(button);
            return byWindow.sys().window.Refusal;
        });
        Fixture byConsole;
        const QByteArray session = byConsole.session();
        const Outcome console = outcome(byConsole, [&](const QString& button) {
            return byConsole.command(session, {{QStringLiteral("click"), button}})
                .json()
                .value(QStringLiteral("error"))
                .toString();
        });
        QCOMPARE(window.refusal, QStringLiteral("Outputs row 1 (\"Client Z\"): port \"x1\" is not "
                                                "a whole number from 1 to 65535 (digits only, no "
                                                "blanks). Nothing was saved: correct it and commit "
                                                "again."));
        QCOMPARE(console.refusal, window.refusal);
        QCOMPARE(window.captionAfterRefusal, QStringLiteral("Commit"));
        QCOMPARE(console.captionAfterRefusal, window.captionAfterRefusal);
        QCOMPARE(window.captionAfterCommit, QStringLiteral("Edit"));
        QCOMPARE(console.captionAfterCommit, window.captionAfterCommit);
        QCOMPARE(window.rows,
                 (QList<QVariantList>{{QStringLiteral("Client Z"), QStringLiteral("Y")}}));
        QCOMPARE(console.rows, window.rows);
        QVERIFY(window.outputsLog.startsWith("10:00:00  Event: Outputs database commited"));
        QVERIFY(window.errorsLog.contains("Event: StartUp database commited"));
        // Each relay has its own ports, and the console logs its session
        // besides: the commands' own lines are the same.
        for (const QByteArray& line : window.outputsLog.split('\n'))
            if (line.contains("Event:"))
                QVERIFY2(console.outputsLog.contains(line), line.constData());
        for (const QByteArray& line : window.errorsLog.split('\n'))
            if (line.contains("Event:"))
                QVERIFY2(console.errorsLog.contains(line), line.constData());

        // The check boxes: raw logging is written to the StartUp table alike.
        byWindow.sys().window.CheckBoxClick(QStringLiteral("chkEnableLogs"), 1);
        QCOMPARE(byConsole
                     .command(session, {{QStringLiteral("check"), QStringLiteral("chkEnableLogs")},
                                        {QStringLiteral("value"), 1}})
                     .status,
                 200);
        const auto rawLog = [](Fixture& f) {
            return f.folder.rows(
                QStringLiteral("Ombrixsys.mdb"),
                QStringLiteral("SELECT Key_Data FROM StartUp WHERE Key_Description "
                               "= 'RawLogEnabled'"));
        };
        QCOMPARE(rawLog(byWindow), (QList<QVariantList>{{QStringLiteral("True")}}));
        QCOMPARE(rawLog(byConsole), rawLog(byWindow));
        QCOMPARE(byConsole.sys().window.chkEnableLogs.Value, 1);
        QVERIFY(byConsole.sys().logs.gRawLogEnabled);
    }

    // Whether a table is being edited is the commands' state: the buttons'
    // captions follow it, whoever gave the command, and a caption changed by
    // hand does not change what the button does next.
    void theCaptionsFollowTheEditingState() {
        Fixture f;
        config::Commands& commands = f.sys().commands;
        const QByteArray session = f.session();
        frmQuorlan& w = f.sys().window;
        struct Table {
            config::EditedTable table;
            const char* button;
            const DataGrid& grid;
        };
        for (const Table& table :
             {Table{config::EditedTable::Outputs, "cmdEditOuputs", w.dgOutputs},
              Table{config::EditedTable::Telstra, "cmdOpenTelstra", w.dgTelstra},
              Table{config::EditedTable::Publishers, "cmdEditPublishers", w.dgPublishers},
              Table{config::EditedTable::Watches, "cmdEditWatches", w.dgWatches},
              Table{config::EditedTable::StartUp, "cmdGeneralEdit", w.dgStartup}}) {
            const QString button = QLatin1String(table.button);
            Control& caption = w.EditButton(table.table);
            QCOMPARE(caption.Name, button);
            QVERIFY(!commands.Editing(table.table));
            commands.Edit(table.table);
            QVERIFY(commands.Editing(table.table));
            QCOMPARE(caption.Caption, QStringLiteral("Commit"));
            QCOMPARE(f.command(session, {{QStringLiteral("click"), button}}).status, 200);
            QVERIFY(!commands.Editing(table.table));
            QCOMPARE(caption.Caption, QStringLiteral("Edit"));
            const QJsonObject controls =
                f.get("/api/window", {session}).json().value(QStringLiteral("controls")).toObject();
            QCOMPARE(controls.value(button).toObject().value(QStringLiteral("caption")).toString(),
                     QStringLiteral("Edit"));

            // A caption written by hand: the button still opens the table.
            caption.Caption = QStringLiteral("Commit");
            w.Click(button);
            QVERIFY(commands.Editing(table.table));
            QCOMPARE(caption.Caption, QStringLiteral("Commit"));
            QVERIFY(grid_editing::Editable(table.grid));
            QVERIFY(f.sys().window.Refusal.isEmpty());
            QCOMPARE(commands.Commit(table.table), QString());
            QCOMPARE(caption.Caption, QStringLiteral("Edit"));
        }
    }

    // What the operator sees of a carrier drop: the row's state and since
    // when, and the window's mark that no carrier is connected.
    void aCarrierDropShowsInTheRowState() {
        QTcpServer carrier;
        QVERIFY(carrier.listen(QHostAddress::LocalHost, TestPort()));
        QTcpSocket* peer = nullptr;
        connect(&carrier, &QTcpServer::newConnection, &carrier,
                [&] { peer = carrier.nextPendingConnection(); });
        Fixture f(carrier.serverPort());
        const QByteArray session = f.session();
        const auto carrierRow = [&] {
            const QJsonObject window = f.get("/api/window", {session}).json();
            const QJsonObject grid = window.value(QStringLiteral("controls"))
                                         .toObject()
                                         .value(QStringLiteral("dgTelstra"))
                                         .toObject();
            QJsonObject row = grid.value(QStringLiteral("rowStates")).toArray().first().toObject();
            row.insert(QStringLiteral("carrierConnected"),
                       window.value(QStringLiteral("carrierConnected")));
            return row;
        };
        const auto second = [&] {
            f.t->clock.advanceSecs(1);
            f.sys().tmrSystem_Timer();
        };
        f.t->clock.advanceSecs(5);
        f.sys().decSockets.UpdateTelstraClients();
        QTRY_VERIFY(peer != nullptr);
        QTRY_COMPARE(f.sys().decSockets.Socket(0).State(), platform::SocketState::Connected);
        second();
        const QJsonObject up = carrierRow();
        QCOMPARE(up.value(QStringLiteral("state")).toString(), QStringLiteral("Connected"));
        QVERIFY(up.value(QStringLiteral("carrierConnected")).toBool());
        QCOMPARE(
            up.value(QStringLiteral("stateSince")).toString(),
            f.sys().Now().toOffsetFromUtc(f.sys().Now().offsetFromUtc()).toString(Qt::ISODate));

        second(); // a second later nothing changed, nor did the time it began
        QCOMPARE(carrierRow(), up);

        peer->disconnectFromHost();
        QTRY_COMPARE(f.sys().decSockets.Socket(0).State(), platform::SocketState::Listening);
        second();
        const QJsonObject down = carrierRow();
        QCOMPARE(down.value(QStringLiteral("state")).toString(),
                 QStringLiteral("Waiting for carrier call-in"));
        QVERIFY(!down.value(QStringLiteral("carrierConnected")).toBool());
        QVERIFY(down.value(QStringLiteral("stateSince")).toString() >
                up.value(QStringLiteral("stateSince")).toString());
    }

    void deleteAllNeedsConfirmation() {
        Fixture f;
        for (int i = 0; i < 3; ++i)
            QVERIFY(f.sys().delayedDb.AddDelayed("\x02stored\x03", QStringLiteral("Away"),
                                                 f.sys().delayedDb.gMessID++));
        const QByteArray session = f.session();
        const Answer refused =
            f.command(session, {{QStringLiteral("click"), QStringLiteral("cmdDeleteDelayed")}});
        QCOMPARE(refused.status, 400);
        QVERIFY(refused.json()
                    .value(QStringLiteral("error"))
                    .toString()
                    .contains(QStringLiteral("all 3 stored packets")));
        QCOMPARE(f.folder.storedPackets(), 3);
        QVERIFY(f.folder.systemLog().contains(
            "System: Web console operator@127.0.0.1: refused {\"click\":\"cmdDeleteDelayed\"} "
            "(cmdDeleteDelayed deletes all 3 stored packets: send \"confirm\": true to do it)"));
        QCOMPARE(f.command(session, {{QStringLiteral("click"), QStringLiteral("cmdDeleteDelayed")},
                                     {QStringLiteral("confirm"), false}})
                     .status,
                 400);
        QCOMPARE(f.folder.storedPackets(), 3);
        QCOMPARE(f.command(session, {{QStringLiteral("click"), QStringLiteral("cmdDeleteDelayed")},
                                     {QStringLiteral("confirm"), true}})
                     .status,
                 200);
        QCOMPARE(f.folder.storedPackets(), 0);
    }

    void badCommandsAreRefusedWithAReason() {
        Fixture f;
        const QByteArray session = f.session();
        const auto refused = [&](const QJsonObject& json, int status) {
            const Answer a = f.command(session, json);
            return a.status == status &&
                   !a.json().value(QStringLiteral("error")).toString().isEmpty();
        };
        QVERIFY(refused({{QStringLiteral("click"), QStringLiteral("cmdNoSuch")}}, 400));
        QVERIFY(refused({{QStringLiteral("click"), QStringLiteral("mnuExit")}}, 400));
        QVERIFY(refused({{QStringLiteral("menu"), QStringLiteral("mnuNoSuch")}}, 400));
        QVERIFY(refused({{QStringLiteral("check"), QStringLiteral("chkEnableLogs")},
                         {QStringLiteral("value"), 2}},
                        400));
        QVERIFY(refused({{QStringLiteral("dblclick"), QStringLiteral("dgOutputs")}}, 400));
        QVERIFY(refused({{QStringLiteral("tab"), 6}}, 400));
        QVERIFY(refused({{QStringLiteral("grid"), QStringLiteral("dgNoSuch")},
                         {QStringLiteral("deleteRow"), 0}},
                        400));
        QVERIFY(refused({{QStringLiteral("frobnicate"), 1}}, 400));
        const Answer notJson =
            f.post("/api/command", "{not json", {session, "Content-Type: application/json"});
        QCOMPARE(notJson.status, 400);

        // A remote click must not stop or hide a round-the-clock relay.
        QSignalSpy unload(&f.sys().window, &frmQuorlan::unloadRequested);
        const Answer exit =
            f.command(session, {{QStringLiteral("menu"), QStringLiteral("mnuExit")}});
        QCOMPARE(exit.status, 409);
        QCOMPARE(exit.json().value(QStringLiteral("error")).toString(),
                 QStringLiteral("stop the service with systemctl"));
        QCOMPARE(
            f.command(session, {{QStringLiteral("menu"), QStringLiteral("mnuMinimise")}}).status,
            409);
        QCOMPARE(unload.count(), 0);
        QCOMPARE(f.sys().window.WindowState, 0);
        // Refusals are logged as the commands that ran are, with the reason.
        const QByteArray log = f.folder.systemLog();
        QVERIFY(log.contains("System: Web console operator@127.0.0.1: refused "
                             "{\"menu\":\"mnuExit\"} (stop the service with systemctl)"));
        QVERIFY(log.contains("System: Web console operator@127.0.0.1: refused "
                             "{\"menu\":\"mnuMinimise\"} (stop the service with systemctl)"));
        QVERIFY(log.contains("System: Web console operator@127.0.0.1: refused "
                             "{\"click\":\"cmdNoSuch\"} (no button named cmdNoSuch)"));
        QVERIFY(log.contains("System: Web console operator@127.0.0.1: refused a command "
                             "(the command is not a JSON object)"));
        QCOMPARE(f.post("/api/command", QByteArray(web::WebConsole::kMaxBody + 1, ' '), {session})
                     .status,
                 413);
    }

    void theWebSocketSendsTheWindowAndItsChanges() {
        Fixture f;
        const QByteArray cookie = f.session().mid(int(strlen("Cookie: ")));
        const QString origin = QStringLiteral("http://127.0.0.1:%1").arg(f.consolePort);
        const QUrl url(QStringLiteral("ws://127.0.0.1:%1/ws").arg(f.consolePort));

        QWebSocket socket(origin);
        QStringList messages;
        connect(&socket, &QWebSocket::textMessageReceived, &socket, [&](const QString& m) {
            if (!IsOverview(m))
                messages << m;
        });
        QNetworkRequest request(url);
        request.setRawHeader("Cookie", cookie);
        socket.open(request);
        QVERIFY(QTest::qWaitFor([&] { return !messages.isEmpty(); }, kWaitMs));
        QVERIFY(QJsonDocument::fromJson(messages.first().toUtf8())
                    .object()
                    .value(QStringLiteral("controls"))
                    .toObject()
                    .contains(QStringLiteral("txbLogOutputs")));

        // A burst of changes comes as a few copies, the last one up to date.
        for (int i = 0; i < 200; ++i)
            f.sys().logs.LogOutput(QStringLiteral("line %1").arg(i));
        QVERIFY(QTest::qWaitFor(
            [&] {
                return messages.size() > 1 && messages.last().contains(QStringLiteral("line 199"));
            },
            kWaitMs));
        QVERIFY(messages.size() <= 4);

        // A warning of the core reaches the console as the window shows it.
        f.sys().ShowWarning(ErrorCode::SystemTimer, QStringLiteral("the timer failed"), 0);
        QVERIFY(QTest::qWaitFor(
            [&] {
                return QJsonDocument::fromJson(messages.last().toUtf8())
                    .object()
                    .value(QStringLiteral("warning"))
                    .toObject()
                    .value(QStringLiteral("text"))
                    .toString()
                    .contains(QStringLiteral("the timer failed"));
            },
            kWaitMs));

        // A foreign page and a caller without a session never get the model.
        QWebSocket foreign(QStringLiteral("http://evil.example"));
        QNetworkRequest foreignRequest(url);
        foreignRequest.setRawHeader("Cookie", cookie);
        QSignalSpy foreignError(&foreign,
                                QOverload<QAbstractSocket::SocketError>::of(&QWebSocket::error));
        QSignalSpy foreignMessages(&foreign, &QWebSocket::textMessageReceived);
        foreign.open(foreignRequest);
        QVERIFY(QTest::qWaitFor([&] { return foreignError.count() > 0; }, kWaitMs));
        QCOMPARE(foreignMessages.count(), 0);

        QWebSocket anonymous(origin);
        QSignalSpy anonymousError(&anonymous,
                                  QOverload<QAbstractSocket::SocketError>::of(&QWebSocket::error));
        anonymous.open(url);
        QVERIFY(QTest::qWaitFor([&] { return anonymousError.count() > 0; }, kWaitMs));

        // The raw answers to the upgrades: 403 and 401.
        const QList<QByteArray> upgrade = {
            "Upgrade: websocket", "Connection: Upgrade",
            "Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==", "Sec-WebSocket-Version: 13"};
        QCOMPARE(f.get("/ws", upgrade + QList<QByteArray>{"Cookie: " + cookie,
                                                          "Origin: http://evil.example"})
                     .status,
                 403);
        QCOMPARE(f.get("/ws", upgrade).status, 401);

        // Logging out closes the session's socket.
        QSignalSpy closed(&socket, &QWebSocket::disconnected);
        f.post("/logout", {}, {"Cookie: " + cookie});
        QVERIFY(QTest::qWaitFor([&] { return closed.count() > 0; }, kWaitMs));
    }
    // A login's password check takes a fifth of a second: it runs beside the
    // relay's loop, which answers pages (and relays pages) meanwhile.
    void aLoginFloodDoesNotHoldThePages() {
        Fixture f;
        std::vector<std::unique_ptr<Connection>> logins;
        for (int i = 0; i < web::LoginChecks::kMaxInFlight; ++i)
            logins.push_back(f.startLogin("127.0.0." + QByteArray::number(2 + i), "wrong"));
        QTest::qWait(50); // the logins are read and their checks begun
        Connection page(f.consolePort);
        page.send(f.consolePort, "GET", "/");
        QCOMPARE(page.next().status, 200);
        int answered = 0;
        for (auto& login : logins)
            answered += login->poll().status != 0 ? 1 : 0;
        QCOMPARE(answered, 0);
        for (auto& login : logins)
            QCOMPARE(login->next().status, 401);
        QCOMPARE(f.folder.systemLog().count("System: Web console login failed from 127.0.0."),
                 web::LoginChecks::kMaxInFlight);
    }

    void loginsBeyondTheChecksInFlightAre429AtOnce() {
        Fixture f;
        std::vector<std::unique_ptr<Connection>> logins;
        const int extra = 2;
        for (int i = 0; i < web::LoginChecks::kMaxInFlight + extra; ++i)
            logins.push_back(f.startLogin("127.0.0." + QByteArray::number(2 + i), "wrong"));
        QMap<int, int> statuses;
        for (auto& login : logins) {
            const Answer answer = login->next();
            ++statuses[answer.status];
            if (answer.status == 429) {
                QVERIFY(answer.body.contains("Too many logins at once"));
                QCOMPARE(answer.header("Connection"), QByteArray("close"));
                QTRY_VERIFY(login->closed());
            }
        }
        QCOMPARE(statuses.value(429), extra);
        QCOMPARE(statuses.value(401), web::LoginChecks::kMaxInFlight);
        // A refused login is not a failed one: it was not checked.
        QCOMPARE(f.folder.systemLog().count("System: Web console login failed"),
                 web::LoginChecks::kMaxInFlight);
        QCOMPARE(f.login().status, 303);
    }

    // Guesses at one account from many addresses (or through one proxy's).
    void fiveFailuresTurnANameAwayFromEveryAddress() {
        Fixture f;
        const QString second = QStringLiteral("second");
        config::SetOperatorPassword(f.sys().db.gSysConnection, second, kPassword,
                                    QStringLiteral("15 Jan 2026 10:00:00"));
        for (int i = 0; i < 5; ++i)
            QCOMPARE(f.loginFrom("127.0.0." + QByteArray::number(2 + i), kName, "guess").status,
                     401);
        const Answer banned = f.loginFrom("127.0.0.9", kName, kPassword);
        QCOMPARE(banned.status, 403);
        QVERIFY(banned.body.contains("Too many failed logins for this name"));
        QCOMPARE(f.loginFrom("127.0.0.9", second, kPassword).status, 303);
        f.t->clock.advanceSecs(10 * 60 + 1);
        QCOMPARE(f.loginFrom("127.0.0.9", kName, kPassword).status, 303);
    }

    // Pipelined requests are answered in their order, a login's too (a
    // refused login ends its connection: see aRefusedLoginEndsItsConnection).
    void answersFollowTheOrderOfTheRequests() {
        Fixture f;
        Connection c(f.consolePort);
        c.send(f.consolePort, "POST", "/login", LoginForm(kName, kPassword),
               {"Content-Type: application/x-www-form-urlencoded"});
        c.send(f.consolePort, "GET", "/console.css");
        c.send(f.consolePort, "POST", "/login", LoginForm(kName, kPassword),
               {"Content-Type: application/x-www-form-urlencoded"});
        c.send(f.consolePort, "GET", "/console.js");
        QCOMPARE(c.next().status, 303);
        QCOMPARE(c.next().header("Content-Type"), QByteArray("text/css; charset=utf-8"));
        QCOMPARE(c.next().status, 303);
        QCOMPARE(c.next().header("Content-Type"), QByteArray("text/javascript; charset=utf-8"));
    }

    void aConnectionMustSendItsHeadersWithinTenSeconds() {
        Fixture f;
        Connection silent(f.consolePort);
        Connection slow(f.consolePort);
        slow.socket.write("GET / HTTP/1.1\r\nHo");
        QTRY_COMPARE(f.console->ConnectionCount(), 2);
        QTest::qWait(50); // the partial request is read
        f.t->clock.advanceSecs(9);
        f.console->Tick();
        QTest::qWait(50);
        QVERIFY(!silent.closed());
        QVERIFY(!slow.closed());
        slow.socket.write("st: 127.0.0.1\r\n\r\n");
        QCOMPARE(slow.next().status, 200);
        f.t->clock.advanceSecs(2);
        f.console->Tick();
        QTRY_VERIFY(silent.closed());
        // The next request's headers are due ten seconds after the answer.
        f.t->clock.advanceSecs(7);
        f.console->Tick();
        QTest::qWait(50);
        QVERIFY(!slow.closed());
        f.t->clock.advanceSecs(2);
        f.console->Tick();
        QTRY_VERIFY(slow.closed());
    }

    void aBodyThatStopsComingIsClosedAfterThirtySeconds() {
        Fixture f;
        Connection c(f.consolePort);
        c.socket.write("POST /login HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Length: 100\r\n\r\n"
                       "name=operator&");
        QTRY_COMPARE(f.console->ConnectionCount(), 1);
        QTest::qWait(50);
        f.t->clock.advanceSecs(29);
        f.console->Tick();
        QTest::qWait(50);
        QVERIFY(!c.closed());
        f.t->clock.advanceSecs(1);
        f.console->Tick();
        QTRY_VERIFY(c.closed());
        QTRY_COMPARE(f.console->ConnectionCount(), 0);
    }

    void aWebSocketIsNotTimedOut() {
        Fixture f;
        const QByteArray cookie = f.session().mid(int(strlen("Cookie: ")));
        QWebSocket socket(QStringLiteral("http://127.0.0.1:%1").arg(f.consolePort));
        QStringList messages;
        connect(&socket, &QWebSocket::textMessageReceived, &socket, [&](const QString& m) {
            if (!IsOverview(m))
                messages << m;
        });
        QNetworkRequest request(QUrl(QStringLiteral("ws://127.0.0.1:%1/ws").arg(f.consolePort)));
        request.setRawHeader("Cookie", cookie);
        socket.open(request);
        QVERIFY(QTest::qWaitFor([&] { return !messages.isEmpty(); }, kWaitMs));
        f.t->clock.advanceSecs(3600);
        f.console->Tick();
        f.sys().logs.LogOutput(QStringLiteral("an hour later"));
        QVERIFY(QTest::qWaitFor(
            [&] { return messages.last().contains(QStringLiteral("an hour later")); }, kWaitMs));
        QCOMPARE(socket.state(), QAbstractSocket::ConnectedState);
        QCOMPARE(f.console->ConnectionCount(), 1); // it counts against the caps
    }

    void connectionsPastTheCapsAreClosedAtOnce() {
        using Caps = web::ConsoleConnections;
        Fixture f;
        std::vector<std::unique_ptr<Connection>> open;
        const auto connect = [&](const QByteArray& address) {
            // The budget of new connections refills for each one.
            f.t->clock.advanceMs(1000 / web::ConnectionBudget::kPerSecond);
            f.console->Tick();
            open.push_back(std::make_unique<Connection>(
                f.consolePort, false, QHostAddress(QString::fromLatin1(address))));
            open.back()->send(f.consolePort, "GET", "/");
            return open.back()->next().status;
        };
        for (int i = 0; i < Caps::kMaxPerAddress; ++i)
            QCOMPARE(connect("127.0.0.2"), 200);
        QCOMPARE(connect("127.0.0.2"), 0);
        QVERIFY(open.back()->closed());
        QCOMPARE(connect("127.0.0.3"), 200);
        for (int i = 0; f.console->ConnectionCount() < Caps::kMaxConnections; ++i)
            QCOMPARE(connect("127.0.1." + QByteArray::number(i / Caps::kMaxPerAddress)), 200);
        QCOMPARE(connect("127.0.2.1"), 0);
        // A connection that ends makes room.
        open.front().reset();
        QTRY_COMPARE(f.console->ConnectionCount(), Caps::kMaxConnections - 1);
        QCOMPARE(connect("127.0.2.1"), 200);
    }

    // A guesser, or a browser, that was turned away comes back on a new
    // connection, and so through the budget of new connections.
    void aRefusedLoginEndsItsConnection() {
        Fixture f;
        for (int i = 0; i < 5; ++i) {
            auto wrong = f.startLogin("127.0.0.2", QStringLiteral("wrong"));
            const Answer answer = wrong->next();
            QCOMPARE(answer.status, 401);
            QCOMPARE(answer.header("Connection"), QByteArray("close"));
            QTRY_VERIFY(wrong->closed());
        }
        auto banned = f.startLogin("127.0.0.2", kPassword);
        const Answer answer = banned->next();
        QCOMPARE(answer.status, 403);
        QCOMPARE(answer.header("Connection"), QByteArray("close"));
        QTRY_VERIFY(banned->closed());
        // A login that succeeds keeps its connection.
        f.t->clock.advanceSecs(10 * 60 + 1); // the ban is over
        auto right = f.startLogin("127.0.0.3", kPassword);
        QCOMPARE(right->next().status, 303);
        right->send(f.consolePort, "GET", "/console.css");
        QCOMPARE(right->next().status, 200);
    }

    // Past the budget, new connections wait unserved (in the kernel's
    // backlog, neither answered nor closed) until the clock has moved and
    // the console lets them in.
    void newConnectionsPastTheBudgetWaitForTheClock() {
        using Budget = web::ConnectionBudget;
        Fixture f;
        std::vector<std::unique_ptr<Connection>> served;
        for (int i = 0; i < Budget::kBurst - 1; ++i) {
            served.push_back(std::make_unique<Connection>(
                f.consolePort, false, QHostAddress(QStringLiteral("127.0.0.%1").arg(2 + i))));
            served.back()->send(f.consolePort, "GET", "/");
            QCOMPARE(served.back()->next().status, 200);
        }
        // Three at once, for the one connection left in the budget: all three
        // are in the backlog when the console next accepts.
        std::vector<std::unique_ptr<Connection>> late;
        for (int i = 0; i < 3; ++i) {
            late.push_back(std::make_unique<Connection>(f.consolePort));
            late.back()->send(f.consolePort, "GET", "/");
        }
        QTest::qWait(300);
        QList<int> statuses;
        for (auto& connection : late) {
            statuses << connection->poll().status;
            QVERIFY(!connection->closed());
        }
        QCOMPARE(statuses.count(200), 1);
        QCOMPARE(statuses.count(0), 2);
        QCOMPARE(f.console->ConnectionCount(), Budget::kBurst);
        f.t->clock.advanceMs(2 * 1000 / Budget::kPerSecond);
        f.console->Tick();
        for (std::size_t i = 0; i < late.size(); ++i)
            if (statuses[qsizetype(i)] == 0)
                QCOMPARE(late[i]->next().status, 200);
        QCOMPARE(f.console->ConnectionCount(), Budget::kBurst + 2);
    }

    void aBodyOverTheLimitIsRefusedBeforeItIsSent() {
        Fixture f;
        Connection c(f.consolePort);
        c.socket.write("POST /login HTTP/1.1\r\nHost: 127.0.0.1\r\n"
                       "Content-Length: 1000000000\r\n\r\n");
        const Answer answer = c.next();
        QCOMPARE(answer.status, 413);
        QCOMPARE(answer.header("Connection"), QByteArray("close"));
        QCOMPARE(answer.header("X-Frame-Options"), QByteArray("DENY"));
        QTRY_VERIFY(c.closed());
    }

    void anEndlessChunkedBodyIsCutAtTheLimit() {
        Fixture f;
        // A body in chunks within the limit is read as any other.
        Connection chunked(f.consolePort);
        const QByteArray form = LoginForm(kName, kPassword);
        chunked.socket.write("POST /login HTTP/1.1\r\nHost: 127.0.0.1\r\n"
                             "Transfer-Encoding: chunked\r\n\r\n" +
                             QByteArray::number(form.size() - 4, 16) + ";x=y\r\n" +
                             form.chopped(4) + "\r\n4\r\n" + form.right(4) + "\r\n0\r\n\r\n");
        QCOMPARE(chunked.next().status, 303);

        const qint64 before = ResidentKiB();
        Connection c(f.consolePort);
        c.socket.write("POST /login HTTP/1.1\r\nHost: 127.0.0.1\r\n"
                       "Transfer-Encoding: chunked\r\n\r\n");
        const QByteArray chunk = "1000\r\n" + QByteArray(0x1000, 'x') + "\r\n";
        constexpr qint64 kSentMax = qint64(32) * 1024 * 1024;
        qint64 sent = 0;
        while (sent < kSentMax && !c.closed() && c.received.isEmpty()) {
            if (c.socket.bytesToWrite() < 0x10000) {
                c.socket.write(chunk);
                sent += chunk.size();
            }
            QTest::qWait(0);
            c.received += c.socket.readAll();
        }
        QVERIFY2(sent < 4 * web::WebConsole::kMaxBody, qPrintable(QString::number(sent)));
        QCOMPARE(c.next().status, 413);
        QVERIFY(GrewLessThan(before, 8 * 1024));
        QTRY_VERIFY(c.closed());
    }

    void oversizedHeadersAre431() {
        Fixture f;
        const Answer answer = f.get("/", {"X-Filler: " + QByteArray(20 * 1024, 'a')});
        QCOMPARE(answer.status, 431);
        QCOMPARE(f.get("/", {"X-Filler: " + QByteArray(8 * 1024, 'a')}).status, 200);
    }
};

QTEST_GUILESS_MAIN(WebConsoleTest)
#include "web-console-test.moc"
