// The relay under a service manager (systemd's notify protocol): the test
// plays the manager, with a datagram socket of its own, and reads what the
// relay tells it: ready, how it stands, alive, stopping.

#include "TestPorts.h"
#include "TestSystem.h"

#include "app/ServiceStatus.h"
#include "platform/ServiceNotifier.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <cstddef>
#include <cstring>
#include <optional>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

// The manager's end: a datagram socket at a path, or at an abstract name.
class ManagerSocket {
public:
    ManagerSocket() : ManagerSocket(QByteArray()) {}
    explicit ManagerSocket(const QByteArray& abstractName) {
        fd_ = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        socklen_t length = 0;
        if (abstractName.isEmpty()) {
            name_ = dir_.filePath(QStringLiteral("notify")).toLocal8Bit();
            qstrncpy(address.sun_path, name_.constData(), sizeof(address.sun_path));
            length = sizeof(address);
        } else {
            name_ = '@' + abstractName;
            std::memcpy(address.sun_path + 1, abstractName.constData(),
                        static_cast<size_t>(abstractName.size()));
            length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 +
                                            static_cast<size_t>(abstractName.size()));
        }
        if (::bind(fd_, reinterpret_cast<const sockaddr*>(&address), length) != 0) {
            ::close(fd_);
            fd_ = -1;
        }
    }
    ~ManagerSocket() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    bool ok() const { return fd_ >= 0; }
    // As NOTIFY_SOCKET names it.
    QByteArray name() const { return name_; }

    // The next datagram within `ms`, or nothing. The relay in this process
    // sends at once: 0 tells that nothing was sent.
    std::optional<QByteArray> next(int ms) {
        pollfd p{fd_, POLLIN, 0};
        if (::poll(&p, 1, ms) != 1)
            return std::nullopt;
        char buffer[4096];
        const ssize_t n = ::recv(fd_, buffer, sizeof(buffer), 0);
        if (n < 0)
            return std::nullopt;
        return QByteArray(buffer, n);
    }
    // Waits up to `ms` for a line that starts with `start`, and returns it;
    // the lines of a datagram after it are kept for the next call, and every
    // line read is kept in `read`.
    std::optional<QByteArray> lineStarting(const QByteArray& start, int ms) {
        QElapsedTimer waited;
        waited.start();
        while (true) {
            while (!pending_.isEmpty()) {
                const QByteArray line = pending_.takeFirst();
                read << line;
                if (line.startsWith(start))
                    return line;
            }
            const std::optional<QByteArray> datagram =
                waited.elapsed() < ms ? next(int(ms - waited.elapsed())) : std::nullopt;
            if (!datagram)
                return std::nullopt;
            pending_ = datagram->split('\n');
        }
    }
    QList<QByteArray> read;

private:
    QTemporaryDir dir_;
    QByteArray name_;
    QList<QByteArray> pending_;
    int fd_ = -1;
};

QProcessEnvironment HeadlessUnder(const ManagerSocket& manager) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("DISPLAY"));
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    env.remove(QStringLiteral("QT_QPA_PLATFORM"));
    env.insert(QStringLiteral("NOTIFY_SOCKET"), QString::fromLocal8Bit(manager.name()));
    env.insert(QStringLiteral("WATCHDOG_USEC"), QStringLiteral("2000000"));
    return env;
}

// A folder whose carrier is not there, with one output no client connects to,
// and nothing else that listens or dials.
void MakeQuiet(const WorkFolder& folder) {
    folder.setOutputs({{QStringLiteral("Client A"), QString::number(TestPort())}});
    folder.exec(QStringLiteral("Ombrixsys.mdb"), QStringLiteral("UPDATE Telstra SET Port = ?"),
                {QString::number(TestPort())});
    folder.exec(QStringLiteral("Ombrixsys.mdb"), QStringLiteral("DELETE FROM Publishers"));
    folder.setSetting(QStringLiteral("WebConsolePort"), QStringLiteral("0"));
    folder.setSetting(QStringLiteral("MonitorPort"), QStringLiteral("0"));
    folder.setSetting(QStringLiteral("LastBackUp"), QStringLiteral("15 Jan 2026 09:00:00"));
}

const QByteArray kQuietStatus = "STATUS=carrier not connected, 0/1 clients, 0 stored";

} // namespace

class ServiceManagerTest : public QObject {
    Q_OBJECT

private slots:
    // The relay's process as systemd runs it with Type=notify and a watchdog
    // of 2 s: pings every second from its event loop, none while it is stopped.
    void theRelayTellsTheManagerItIsReadyAliveAndStopping() {
        ManagerSocket manager;
        QVERIFY(manager.ok());
        WorkFolder folder(true);
        MakeQuiet(folder);
        QProcess relay;
        relay.setProcessEnvironment(HeadlessUnder(manager));
        relay.start(QStringLiteral(OMBRIX_BINARY),
                    {QStringLiteral("--headless"), QStringLiteral("--workdir"), folder.path()});
        QVERIFY(relay.waitForStarted());
        const auto pid = static_cast<pid_t>(relay.processId());

        QVERIFY2(manager.lineStarting("READY=1", 10000), manager.read.join('|').constData());
        QCOMPARE(manager.lineStarting("STATUS=", 2000), kQuietStatus);

        // Two pings, a second apart: half the 2 s the manager asked for.
        QVERIFY(manager.lineStarting("WATCHDOG=1", 3000));
        QElapsedTimer apart;
        apart.start();
        QVERIFY(manager.lineStarting("WATCHDOG=1", 3000));
        QVERIFY2(apart.elapsed() >= 700 && apart.elapsed() <= 1900,
                 qPrintable(QString::number(apart.elapsed())));

        // A loop that does not run does not ping.
        ::kill(pid, SIGSTOP);
        while (manager.next(100)) {
        }
        QCOMPARE(manager.next(2000), std::nullopt);
        ::kill(pid, SIGCONT);
        QVERIFY(manager.lineStarting("WATCHDOG=1", 3000));

        ::kill(pid, SIGTERM);
        QVERIFY2(manager.lineStarting("STOPPING=1", 5000), manager.read.join('|').constData());
        QVERIFY(relay.waitForFinished(5000));
        QCOMPARE(relay.exitCode(), 0);
    }

    // What the relay was told is taken out of its environment: a process it
    // starts must not speak to the manager in its name.
    void theManagersAddressIsTakenFromTheEnvironment() {
        qputenv("NOTIFY_SOCKET", "/run/systemd/notify");
        qputenv("WATCHDOG_USEC", "30000000");
        qputenv("WATCHDOG_PID", QByteArray::number(qint64(::getpid())));
        platform::NotifyTarget target = platform::TakeNotifyTarget();
        QCOMPARE(target.socket, QByteArray("/run/systemd/notify"));
        QCOMPARE(target.watchdog, std::chrono::seconds(30));
        QVERIFY(!qEnvironmentVariableIsSet("NOTIFY_SOCKET"));
        QVERIFY(!qEnvironmentVariableIsSet("WATCHDOG_USEC"));
        QVERIFY(!qEnvironmentVariableIsSet("WATCHDOG_PID"));

        // A watchdog meant for another process is not ours to ping.
        qputenv("NOTIFY_SOCKET", "/run/systemd/notify");
        qputenv("WATCHDOG_USEC", "30000000");
        qputenv("WATCHDOG_PID", QByteArray::number(qint64(::getpid()) + 1));
        target = platform::TakeNotifyTarget();
        QCOMPARE(target.watchdog, std::chrono::microseconds(0));

        // Without a manager there is nothing to send to.
        target = platform::TakeNotifyTarget();
        QVERIFY(target.socket.isEmpty());
        QVERIFY(!platform::ServiceNotifier(target.socket).Enabled());
        QVERIFY(!platform::ServiceNotifier("relative/path").Enabled());
        QVERIFY(!platform::ServiceNotifier('/' + QByteArray(200, 'x')).Enabled());
    }

    void anAbstractSocketNameIsReached() {
        ManagerSocket manager("ombrix-test-" + QByteArray::number(qint64(::getpid())));
        QVERIFY(manager.ok());
        platform::ServiceNotifier notifier(manager.name());
        QVERIFY(notifier.Notify("STATUS=abstract"));
        QCOMPARE(manager.next(1000), QByteArray("STATUS=abstract"));
    }

    // The summary on the relay's own clock: a change goes out once a second
    // has passed since the last status, and an unchanged one not again.
    void theStatusGoesOutWhenItChangesAtMostOnceASecond() {
        ManagerSocket manager;
        QVERIFY(manager.ok());
        WorkFolder folder(true);
        MakeQuiet(folder);
        const quint16 port = TestPort();
        folder.setOutputs({{QStringLiteral("Client A"), QString::number(port)}});
        TestSystem t(folder.path());
        QVERIFY(t->Form_Load());
        t->outputSockets.UpdateOutputClients();
        app::ServiceStatus service(*t.system, {manager.name(), {}});

        service.Ready();
        QCOMPARE(manager.next(1000), "READY=1\n" + kQuietStatus);
        service.tmrStatus_Timer();
        QCOMPARE(manager.next(0), std::nullopt); // nothing changed

        LoopbackClient client(port);
        QVERIFY(AcceptedOnOutput(*t.system, client, 0));
        t.clock.advanceMs(999);
        service.tmrStatus_Timer();
        QCOMPARE(manager.next(0), std::nullopt); // changed, but within the second
        t.clock.advanceMs(1);
        service.tmrStatus_Timer();
        QCOMPARE(manager.next(1000),
                 QByteArray("STATUS=carrier not connected, 1/1 clients, 0 stored"));
        t.clock.advanceSecs(5);
        service.tmrStatus_Timer();
        QCOMPARE(manager.next(0), std::nullopt);

        service.Stopping();
        QCOMPARE(manager.next(1000), QByteArray("STOPPING=1"));
        service.Stopping();
        t.clock.advanceSecs(5);
        service.tmrStatus_Timer();
        service.tmrWatchdog_Timer();
        QCOMPARE(manager.next(0), std::nullopt);
    }

    // Clients connected of those active, the packets stored, and the brokers
    // where there are any.
    void theSummaryCountsClientsStoredPacketsAndBrokers() {
        ManagerSocket manager;
        QVERIFY(manager.ok());
        WorkFolder folder(true);
        MakeQuiet(folder);
        const quint16 port = TestPort();
        folder.setOutputs(
            {{QStringLiteral("Client A"), QString::number(port)},
             {QStringLiteral("Client B"), QString::number(TestPort())},
             {QStringLiteral("Client C"), QString::number(TestPort()), QStringLiteral("N")}});
        folder.exec(QStringLiteral("Ombrixsys.mdb"),
                    QStringLiteral("INSERT INTO Publishers (Description, Host, Port, Topic, QoS, "
                                   "Active) VALUES ('Away', '127.0.0.1', ?, 'ombrix/pages', '1', "
                                   "'Y')"),
                    {QString::number(TestPort())});
        TestSystem t(folder.path());
        QVERIFY(t->Form_Load());
        t->outputSockets.UpdateOutputClients();
        LoopbackClient client(port);
        QVERIFY(AcceptedOnOutput(*t.system, client, 0));
        t->outputRules.RelayToOutputs("\x02"
                                      "2000\r1\r1\r1234566\rA\rF1 SOT\x03");

        app::ServiceStatus service(*t.system, {manager.name(), {}});
        service.Ready();
        QCOMPARE(manager.next(1000),
                 QByteArray("READY=1\nSTATUS=carrier not connected, 1/2 clients, 1 stored, "
                            "0/1 brokers"));
    }
};

QTEST_GUILESS_MAIN(ServiceManagerTest)
#include "service-manager-test.moc"
