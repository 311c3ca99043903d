// Who may do what in the web console, and whose view a tab is: an operator's
// and a viewer's sessions against a relay on a work folder, over real
// loopback HTTP and WebSocket connections, checked by the answers, the
// System log, the databases and the bytes an output client receives.

#include "ConsoleClient.h"
#include "TestPorts.h"
#include "TestSystem.h"

#include <QJsonArray>
#include <QNetworkRequest>
#include <QTest>
#include <QWebSocket>

namespace {

const QDateTime kStart(QDate(2026, 1, 15), QTime(10, 0, 0));
const QString kViewer = QStringLiteral("wall board");
const QString kViewerPassword = QStringLiteral("on the wall");
const QByteArray kReadOnly = R"({"error":"read-only account"})";
constexpr int kWaitMs = 5000;

QByteArray Body(const QJsonObject& json) {
    return QJsonDocument(json).toJson(QJsonDocument::Compact);
}

// Every command the console's page can post: each button and check box of
// the window with a handler, each menu item, each log pane's double click,
// each grid's three edits, a tab, and the POSTs beside /api/command.
struct Post {
    QByteArray path;
    QByteArray body;
};

void AddMenus(const QVector<frmQuorlan::MenuItem>& menus, QList<Post>& posts) {
    for (const frmQuorlan::MenuItem& menu : menus) {
        if (menu.Items.isEmpty())
            posts << Post{"/api/command", Body({{QStringLiteral("menu"), menu.Name}})};
        AddMenus(menu.Items, posts);
    }
}

QList<Post> EveryCommand(frmQuorlan& window) {
    QList<Post> posts;
    for (Control* c : window.Controls()) {
        if (!window.HasClickHandler(c->Name))
            continue;
        if (c->kind == Control::Kind::Button)
            posts << Post{"/api/command", Body({{QStringLiteral("click"), c->Name},
                                                {QStringLiteral("confirm"), true}})};
        else if (c->kind == Control::Kind::CheckBox)
            posts << Post{"/api/command",
                          Body({{QStringLiteral("check"), c->Name}, {QStringLiteral("value"), 1}})};
        else if (c->kind == Control::Kind::TextBox && c->MultiLine)
            posts << Post{"/api/command", Body({{QStringLiteral("dblclick"), c->Name}})};
    }
    AddMenus(window.Menus, posts);
    for (DataGrid* grid : window.Grids()) {
        const QString name = grid->Name;
        posts << Post{"/api/command", Body({{QStringLiteral("grid"), name},
                                            {QStringLiteral("row"), 0},
                                            {QStringLiteral("column"), 0},
                                            {QStringLiteral("value"), QStringLiteral("x")}})};
        posts << Post{"/api/command",
                      Body({{QStringLiteral("grid"), name},
                            {QStringLiteral("addRow"),
                             QJsonObject{{QStringLiteral("Description"), QStringLiteral("y")}}}})};
        posts << Post{"/api/command",
                      Body({{QStringLiteral("grid"), name}, {QStringLiteral("deleteRow"), 0}})};
    }
    posts << Post{"/api/command", Body({{QStringLiteral("tab"), 2}})};
    posts << Post{"/api/command", "{not json"};
    posts << Post{"/api/alarms/1/ack", {}};
    posts << Post{"/api/anything/else", {}};
    return posts;
}

} // namespace

class ConsoleRolesTest : public QObject {
    Q_OBJECT

    struct Fixture {
        WorkFolder folder;
        quint16 outputPort = TestPort();
        std::unique_ptr<TestSystem> t;
        std::unique_ptr<ConsoleClient> console;

        Fixture() {
            folder.setOutputs({{QStringLiteral("Client A"), QString::number(outputPort)}});
            t = std::make_unique<TestSystem>(folder.path());
            t->clock.set(kStart);
            t->system->Form_Load();
            t->system->outputSockets.UpdateOutputClients();
            console = std::make_unique<ConsoleClient>(sys(), TestPort());
            console->beforeRequest = [this] {
                t->clock.advanceSecs(1);
                console->Tick();
            };
            config::SetOperatorPassword(sys().db.gSysConnection, kViewer, kViewerPassword,
                                        QStringLiteral("now"), config::OperatorRole::Viewer);
        }
        System& sys() { return *t->system; }

        // Logs both in; their sessions' cookies.
        QByteArray viewer() {
            if (!console->login(kViewer, kViewerPassword))
                qFatal("the viewer's login was refused");
            return console->session();
        }
        QByteArray operatorSession() {
            if (!console->login())
                qFatal("the operator's login was refused");
            return console->session();
        }
        HttpAnswer post(const QByteArray& session, const Post& p) {
            console->useSession(session);
            return console->post(p.path, p.body);
        }

        // All that a command could change: every table of both databases,
        // the System log and the window as the console shows it.
        struct State {
            QList<QList<QVariantList>> tables;
            QByteArray systemLog;
            QJsonObject window;
            bool operator==(const State&) const = default;
        };
        State state(const QByteArray& session) {
            State s;
            for (const QString& file :
                 {QStringLiteral("Ombrixsys.mdb"), QStringLiteral("delayed.mdb")})
                for (const QVariantList& table :
                     folder.rows(file, QStringLiteral("SELECT name FROM sqlite_master WHERE type = "
                                                      "'table' ORDER BY name")))
                    s.tables << folder.rows(
                        file,
                        QStringLiteral("SELECT * FROM \"%1\"").arg(table.value(0).toString()));
            s.systemLog = folder.systemLog();
            console->useSession(session);
            s.window = console->window();
            return s;
        }
    };

private slots:
    // A viewer's session is refused every command, whatever its kind, and
    // nothing changes: no row, no log line, no packet, nothing in the
    // window. An operator's session is refused none of them for its role.
    void aViewerChangesNothingAndAnOperatorStillCan() {
        Fixture f;
        for (int i = 0; i < 3; ++i)
            QVERIFY(f.sys().delayedDb.AddDelayed("\x02stored\x03", QStringLiteral("Away"),
                                                 f.sys().delayedDb.gMessID++));
        LoopbackClient client(f.outputPort);
        QVERIFY(AcceptedOnOutput(f.sys(), client, 0));
        const QByteArray viewer = f.viewer();
        const QByteArray operatorSession = f.operatorSession();
        const QList<Post> posts = EveryCommand(f.sys().window);
        QVERIFY(posts.size() > 30);

        for (const Post& p : posts) {
            const QByteArray what = p.path + ' ' + p.body;
            const auto before = f.state(viewer);
            const HttpAnswer refused = f.post(viewer, p);
            QVERIFY2(refused.status == 403, what.constData());
            QCOMPARE(refused.body, kReadOnly);
            QVERIFY2(f.state(viewer) == before, what.constData());

            const HttpAnswer done = f.post(operatorSession, p);
            QVERIFY2(
                done.status != 403 && done.status != 0,
                qPrintable(QString::number(done.status) + QLatin1Char(' ') + what + done.body));
        }
        // The operator's commands did run: its one dummy message reached the
        // client (and the viewer's none), and the store was emptied.
        QTRY_VERIFY(client.received.contains("Dummy Message"));
        QTest::qWait(100);
        QCOMPARE(client.received.count("Dummy Message"), 1);
        QCOMPARE(f.folder.storedPackets(), 0);
    }

    // The page learns who is logged in and whether commands are theirs to give.
    void theSessionSaysWhoAndInWhichRole() {
        Fixture f;
        QCOMPARE(f.console->get("/api/session").status, 401);
        f.viewer();
        const HttpAnswer viewer = f.console->get("/api/session");
        QCOMPARE(viewer.status, 200);
        QCOMPARE(viewer.json(), (QJsonObject{{QStringLiteral("name"), kViewer},
                                             {QStringLiteral("role"), QStringLiteral("viewer")}}));
        f.operatorSession();
        QCOMPARE(f.console->get("/api/session").json(),
                 (QJsonObject{{QStringLiteral("name"), ConsoleClient::kName},
                              {QStringLiteral("role"), QStringLiteral("operator")}}));
    }

    // A role is read at login: a session keeps the role it began with.
    void aRoleChangeCountsFromTheNextLogin() {
        Fixture f;
        const Post dummy{"/api/command", Body({{QStringLiteral("click"), "cmdSendDummy"}})};
        const QByteArray viewer = f.viewer();
        const QByteArray operatorSession = f.operatorSession();
        config::SetOperatorPassword(f.sys().db.gSysConnection, kViewer, kViewerPassword,
                                    QStringLiteral("now"), config::OperatorRole::Operator);
        config::SetOperatorPassword(f.sys().db.gSysConnection, ConsoleClient::kName,
                                    ConsoleClient::kPassword, QStringLiteral("now"),
                                    config::OperatorRole::Viewer);
        QCOMPARE(f.post(viewer, dummy).status, 403);
        QCOMPARE(f.post(operatorSession, dummy).status, 200);

        const QByteArray promoted = f.viewer();
        QCOMPARE(f.post(promoted, dummy).status, 200);
        const QByteArray demoted = f.operatorSession();
        QCOMPARE(f.post(demoted, dummy).status, 403);
    }

    // Everything a browser reads stays open to a viewer: the page, the
    // window, the store, the logs, the live WebSocket; and it may log out.
    void aViewerReadsEverything() {
        Fixture f;
        const QByteArray viewer = f.viewer();
        for (const QByteArray path :
             {"/", "/console.js", "/api/window", "/api/session", "/api/delayed", "/api/logs/files",
              "/api/logs/search?text=login", "/api/logs/file?name=Quorlan"}) {
            const HttpAnswer answer = f.console->get(path);
            QVERIFY2(answer.status == 200, path.constData());
        }
        QVERIFY(f.console->get("/").body.contains("console.js"));

        QWebSocket socket(QStringLiteral("http://127.0.0.1:%1").arg(f.console->Port()));
        QStringList messages;
        connect(&socket, &QWebSocket::textMessageReceived, &socket,
                [&](const QString& m) { messages << m; });
        QNetworkRequest request(
            QUrl(QStringLiteral("ws://127.0.0.1:%1/ws").arg(f.console->Port())));
        request.setRawHeader("Cookie", viewer.mid(int(strlen("Cookie: "))));
        socket.open(request);
        QVERIFY(QTest::qWaitFor([&] { return !messages.isEmpty(); }, kWaitMs));

        f.console->useSession(viewer);
        QCOMPARE(f.console->post("/logout", {}).status, 303);
        QCOMPARE(f.console->get("/api/window").status, 401);
    }

    // A tab is each browser's own: the console refuses it as a command, the
    // window keeps its tab and its Delayed list, and the System log gets no
    // line for it (it used to get an Error line for every click).
    void aTabChosenInABrowserMovesNothing() {
        Fixture f;
        for (int i = 0; i < 60; ++i)
            QVERIFY(f.sys().delayedDb.AddDelayed("\x02stored\x03", QStringLiteral("Away"),
                                                 f.sys().delayedDb.gMessID++));
        const QByteArray session = f.operatorSession();
        const int tab = f.sys().window.SSTab1.Value;
        const QString warning = f.sys().window.txbSystemError.Text;
        for (const QJsonValue& asked :
             {QJsonValue(frmQuorlan::kDelayedTab), QJsonValue(0), QJsonValue(9), QJsonValue("x")}) {
            const auto before = f.state(session);
            const HttpAnswer refused =
                f.post(session, Post{"/api/command", Body({{QStringLiteral("tab"), asked}})});
            QCOMPARE(refused.status, 400);
            QCOMPARE(refused.json(),
                     (QJsonObject{{QStringLiteral("error"),
                                   QStringLiteral("each browser chooses its own tab")}}));
            QCOMPARE(f.sys().window.SSTab1.Value, tab);
            QCOMPARE(f.sys().window.txbSystemError.Text, warning);
            QVERIFY(f.state(session) == before);
        }
        QVERIFY(!f.folder.systemLog().contains("\"tab\""));
    }
};

QTEST_MAIN(ConsoleRolesTest)
#include "console-roles-test.moc"
