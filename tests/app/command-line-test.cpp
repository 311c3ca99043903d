// The ombrix program as an operator runs it: a real process, its exit status,
// what it prints, and the files it leaves.

#include "TestPorts.h"
#include "WorkFolder.h"

#include "config/Operators.h"
#include "platform/Connection.h"
#include "platform/SchedulingAttributes.h"
#include "platform/SocketControl.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <csignal>
#include <cstdint>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <thread>
#include <unistd.h>

namespace {

using platform::SchedulingAttributes;

struct Result {
    int exitCode = -1;
    QString out;
    QString err;
};

QProcessEnvironment Headless() {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("DISPLAY"));
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    env.remove(QStringLiteral("QT_QPA_PLATFORM"));
    return env;
}

// Runs the program with INPUT on its standard input (a pipe, not a terminal),
// in the folder IN (the test's own when empty).
Result Run(const QStringList& args, const QByteArray& input = {}, const QString& in = {}) {
    QProcess p;
    p.setProcessEnvironment(Headless());
    if (!in.isEmpty())
        p.setWorkingDirectory(in);
    p.start(QStringLiteral(OMBRIX_BINARY), args);
    p.write(input);
    p.closeWriteChannel();
    p.waitForFinished(20000);
    return {p.exitCode(), QString::fromLocal8Bit(p.readAllStandardOutput()),
            QString::fromLocal8Bit(p.readAllStandardError())};
}

SchedulingAttributes SchedulingOf(pid_t task) {
    SchedulingAttributes attr;
    if (syscall(SYS_sched_getattr, task, &attr, sizeof attr, 0) != 0)
        return {};
    return attr;
}

// Whether this kernel keeps the slice a task of the normal policy asks for
// (Linux 6.12 and later), tried on a thread of our own.
bool KernelKeepsSlices(std::uint64_t slice) {
    bool kept = false;
    std::thread probe([&] {
        SchedulingAttributes attr = SchedulingOf(0);
        attr.slice = slice;
        kept = syscall(SYS_sched_setattr, 0, &attr, 0) == 0 && SchedulingOf(0).slice == slice;
    });
    probe.join();
    return kept;
}

// The thread of task PID that the kernel knows as NAME, or 0.
pid_t ThreadNamed(pid_t pid, const QByteArray& name) {
    const QString tasks = QStringLiteral("/proc/%1/task").arg(pid);
    const QStringList ids = QDir(tasks).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString& id : ids) {
        QFile comm(tasks + QLatin1Char('/') + id + QStringLiteral("/comm"));
        if (comm.open(QIODevice::ReadOnly) && comm.readAll().trimmed() == name)
            return static_cast<pid_t>(id.toInt());
    }
    return 0;
}

// A working folder whose carrier and client ports are the test's own, so that
// a demo running on this machine is not disturbed, and without the console.
struct ConsoleOff : WorkFolder {
    ConsoleOff() : WorkFolder(true) {
        setOutputs({{QStringLiteral("Client A"), QString::number(TestPort())}});
        exec(QStringLiteral("Ombrixsys.mdb"), QStringLiteral("UPDATE Telstra SET Port = ?"),
             {QString::number(TestPort())});
        setSetting(QStringLiteral("WebConsolePort"), QStringLiteral("0"));
    }
};

// Starts the relay headless on FOLDER, run by the command LAUNCHER when one is
// given (nice, say).
void StartHeadless(QProcess& p, const WorkFolder& folder, QStringList launcher = {}) {
    p.setProcessEnvironment(Headless());
    p.setReadChannel(QProcess::StandardError); // what StandardErrorUntil waits for
    launcher << QStringLiteral(OMBRIX_BINARY) << QStringLiteral("--headless")
             << QStringLiteral("--workdir") << folder.path();
    p.start(launcher.takeFirst(), launcher);
}

// What P wrote to standard error until it wrote TEXT, or 10 s passed.
QString StandardErrorUntil(QProcess& p, const QString& text) {
    constexpr int kWaitMs = 10000;
    QString err;
    QElapsedTimer waiting;
    waiting.start();
    while (!err.contains(text) && waiting.elapsed() < kWaitMs && p.waitForReadyRead(kWaitMs))
        err += QString::fromLocal8Bit(p.readAllStandardError());
    return err;
}

// What the web console would answer to NAME and PASSWORD in FOLDER.
bool LetsIn(const QString& folder, const QString& name, const QString& password) {
    platform::Connection connection;
    connection.ConnectionString = QStringLiteral("Data Source=.\\Ombrixsys.mdb");
    connection.BaseFolder = folder;
    connection.Open();
    return config::CheckOperator(connection, name, password);
}

// The StartUp values of KEY in FOLDER's Ombrixsys.mdb, one a row.
QStringList Settings(const QString& folder, const QString& key) {
    platform::Connection connection;
    connection.ConnectionString = QStringLiteral("Data Source=.\\Ombrixsys.mdb");
    connection.BaseFolder = folder;
    connection.Open();
    QSqlQuery query(connection.database());
    query.prepare(QStringLiteral("SELECT Key_Data FROM StartUp WHERE Key_Description = ?"));
    query.addBindValue(key);
    query.exec();
    QStringList values;
    while (query.next())
        values << query.value(0).toString();
    return values;
}

// The Role column of NAME's row in FOLDER's Operators table; "" without a row.
QString StoredRole(const QString& folder, const QString& name) {
    platform::Connection connection;
    connection.ConnectionString = QStringLiteral("Data Source=.\\Ombrixsys.mdb");
    connection.BaseFolder = folder;
    connection.Open();
    QSqlQuery query(connection.database());
    query.prepare(QStringLiteral("SELECT Role FROM Operators WHERE Name = ?"));
    query.addBindValue(name);
    query.exec();
    return query.next() ? query.value(0).toString() : QString();
}

const QString kInitHint =
    QStringLiteral("No working folder here: create one with 'ombrix init DIR' (see README)\n");

QString PrintedPassword(const QString& out) {
    return QRegularExpression(QStringLiteral("\\n  password: (\\S+)\\n")).match(out).captured(1);
}

} // namespace

class CommandLineTest : public QObject {
    Q_OBJECT

private slots:
    void versionAndHelp() {
        QCOMPARE(Run({QStringLiteral("--version")}).out, QStringLiteral("2.0.101\n"));
        const Result help = Run({QStringLiteral("--help")});
        QCOMPARE(help.exitCode, 0);
        QVERIFY(help.out.contains(QStringLiteral("--workdir")));
        QVERIFY(help.out.contains(QStringLiteral("init DIR [--demo]")));
        QVERIFY(help.out.contains(QStringLiteral("passwd DIR [NAME] [--role viewer|operator]")));
        const Result bad = Run({QStringLiteral("--bogus")});
        QVERIFY(bad.exitCode != 0);
        QVERIFY(bad.err.contains(QStringLiteral("--bogus")));
    }

    // A newcomer's "--help" after a command is a question, never a folder to
    // create; nor is any other word that starts like an option.
    void everyCommandAnswersHelpAndTakesNoOptionForAFolder() {
        QTemporaryDir here;
        const Result init =
            Run({QStringLiteral("init"), QStringLiteral("--help")}, {}, here.path());
        QCOMPARE(init.exitCode, 0);
        QVERIFY(init.out.contains(QStringLiteral("ombrix init DIR [--demo]")));
        QVERIFY(!init.out.contains(QStringLiteral("passwd DIR")));
        QVERIFY(!init.out.contains(QStringLiteral("password:")));
        const Result passwd =
            Run({QStringLiteral("passwd"), QStringLiteral("--help")}, {}, here.path());
        QCOMPARE(passwd.exitCode, 0);
        QVERIFY(passwd.out.contains(QStringLiteral("ombrix passwd DIR [NAME]")));
        QCOMPARE(Run({QStringLiteral("passwd"), QStringLiteral("site"), QStringLiteral("-h")}, {},
                     here.path())
                     .exitCode,
                 0);
        const Result option =
            Run({QStringLiteral("init"), QStringLiteral("-demo")}, {}, here.path());
        QCOMPARE(option.exitCode, 2);
        QVERIFY2(option.err.contains(QStringLiteral("not the option -demo")),
                 qPrintable(option.err));
        QVERIFY2(QDir(here.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot).isEmpty(),
                 "no folder was made");
    }

    // What init makes is its user's and group's: nobody else reads page
    // texts, logs or the brokers' passwords.
    void initKeepsTheFolderFromOtherUsers() {
        QTemporaryDir dir;
        const QString folder = dir.filePath(QStringLiteral("site"));
        QCOMPARE(Run({QStringLiteral("init"), folder}).exitCode, 0);
        using P = QFileDevice;
        QCOMPARE(QFileInfo(folder).permissions() & ~(P::ReadUser | P::WriteUser | P::ExeUser),
                 P::ReadOwner | P::WriteOwner | P::ExeOwner | P::ReadGroup | P::ExeGroup);
        for (const QString& name : {QStringLiteral("Ombrixsys.mdb"), QStringLiteral("delayed.mdb"),
                                    QStringLiteral("empty_delayed.mdb")})
            QCOMPARE(QFileInfo(QDir(folder).filePath(name)).permissions() &
                         ~(P::ReadUser | P::WriteUser | P::ExeUser),
                     P::ReadOwner | P::WriteOwner | P::ReadGroup);
    }

    void initCreatesOnceAndRefusesToOverwrite() {
        QTemporaryDir dir;
        const QString folder = dir.filePath(QStringLiteral("site"));
        const Result first = Run({QStringLiteral("init"), folder, QStringLiteral("--demo")});
        QCOMPARE(first.exitCode, 0);
        for (const char* name : {"Ombrixsys.mdb", "delayed.mdb", "empty_delayed.mdb"})
            QVERIFY(QFile::exists(folder + QLatin1Char('/') + QLatin1String(name)));
        QFile sys(folder + QStringLiteral("/Ombrixsys.mdb"));
        QVERIFY(sys.open(QIODevice::ReadOnly));
        const QByteArray before = sys.readAll();
        sys.close();
        const Result second = Run({QStringLiteral("init"), folder});
        QCOMPARE(second.exitCode, 1);
        QVERIFY(second.err.contains(QStringLiteral("already exists")));
        QVERIFY(sys.open(QIODevice::ReadOnly));
        QCOMPARE(sys.readAll(), before);
    }

    // Every address row is there to be edited, with what the relay would take
    // without it; the demo's are on loopback.
    void initWritesTheAddressRows() {
        QTemporaryDir dir;
        const QString plain = dir.filePath(QStringLiteral("plain"));
        const QString demo = dir.filePath(QStringLiteral("demo"));
        QCOMPARE(Run({QStringLiteral("init"), plain}).exitCode, 0);
        QCOMPARE(Run({QStringLiteral("init"), demo, QStringLiteral("--demo")}).exitCode, 0);
        for (const QString& key :
             {QStringLiteral("TelstraLocalIP"), QStringLiteral("OutputsLocalIP")}) {
            QCOMPARE(Settings(plain, key), QStringList{platform::SocketControl::LocalIP()});
            QCOMPARE(Settings(demo, key), QStringList{QStringLiteral("127.0.0.1")});
        }
    }

    void initPrintsTheConsoleAddressAndAPasswordOnlyThatFolderTakes() {
        QTemporaryDir dir;
        const QString one = dir.filePath(QStringLiteral("one"));
        const QString two = dir.filePath(QStringLiteral("two"));
        const Result first = Run({QStringLiteral("init"), one});
        const Result second = Run({QStringLiteral("init"), two, QStringLiteral("--demo")});
        QCOMPARE(first.exitCode, 0);
        QCOMPARE(second.exitCode, 0);
        QVERIFY2(first.out.contains(QStringLiteral("Web console: http://127.0.0.1:8088/\n"
                                                   "  name:     operator\n")),
                 qPrintable(first.out));
        const QString password = PrintedPassword(first.out);
        const QString other = PrintedPassword(second.out);
        QVERIFY2(password.size() >= 16, qPrintable(first.out));
        QVERIFY(other.size() >= 16);
        QVERIFY(password != other);
        QVERIFY(LetsIn(one, QStringLiteral("operator"), password));
        QVERIFY(LetsIn(two, QStringLiteral("operator"), other));
        QVERIFY(!LetsIn(one, QStringLiteral("operator"), other));
        // Shown once: the file keeps only its hash.
        const QByteArray file = [&] {
            QFile f(one + QStringLiteral("/Ombrixsys.mdb"));
            return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
        }();
        QVERIFY(!file.isEmpty());
        QVERIFY(!file.contains(password.toUtf8()));
    }

    void passwdReadsTheNewPasswordFromStandardInput() {
        QTemporaryDir dir;
        const QString folder = dir.filePath(QStringLiteral("site"));
        const QString first = PrintedPassword(Run({QStringLiteral("init"), folder}).out);
        const Result set = Run({QStringLiteral("passwd"), folder}, "new secret\n");
        QCOMPARE(set.exitCode, 0);
        QCOMPARE(set.out, QStringLiteral("Password set for operator\n"));
        QVERIFY(LetsIn(folder, QStringLiteral("operator"), QStringLiteral("new secret")));
        QVERIFY(!LetsIn(folder, QStringLiteral("operator"), first));

        // A second account; the first keeps its password. The last line may
        // lack its line end.
        const Result second =
            Run({QStringLiteral("passwd"), folder, QStringLiteral("night shift")}, "another one");
        QCOMPARE(second.exitCode, 0);
        QCOMPARE(second.out, QStringLiteral("Password set for night shift\n"));
        QVERIFY(LetsIn(folder, QStringLiteral("night shift"), QStringLiteral("another one")));
        QVERIFY(!LetsIn(folder, QStringLiteral("night shift"), QStringLiteral("new secret")));
        QVERIFY(LetsIn(folder, QStringLiteral("operator"), QStringLiteral("new secret")));
    }

    // --role makes an account a viewer or an operator; without it a new
    // account is an operator and one that exists keeps its role.
    void passwdSetsTheRoleOnlyWhenGiven() {
        QTemporaryDir dir;
        const QString folder = dir.filePath(QStringLiteral("site"));
        QCOMPARE(Run({QStringLiteral("init"), folder}).exitCode, 0);
        QCOMPARE(StoredRole(folder, QStringLiteral("operator")), QStringLiteral("operator"));
        const QString wall = QStringLiteral("wall board");

        const Result viewer = Run({QStringLiteral("passwd"), folder, wall, QStringLiteral("--role"),
                                   QStringLiteral("viewer")},
                                  "on the wall\n");
        QCOMPARE(viewer.exitCode, 0);
        QCOMPARE(viewer.out,
                 QStringLiteral("Password set for wall board; role viewer from its next "
                                "login\n"));
        QCOMPARE(StoredRole(folder, wall), QStringLiteral("viewer"));
        QVERIFY(LetsIn(folder, wall, QStringLiteral("on the wall")));

        // A new password keeps the role.
        QCOMPARE(Run({QStringLiteral("passwd"), folder, wall}, "new wall\n").exitCode, 0);
        QCOMPARE(StoredRole(folder, wall), QStringLiteral("viewer"));
        QVERIFY(LetsIn(folder, wall, QStringLiteral("new wall")));

        // The option may come before the name, and the default account takes one too.
        QCOMPARE(Run({QStringLiteral("passwd"), folder, QStringLiteral("--role"),
                      QStringLiteral("operator"), wall},
                     "again\n")
                     .exitCode,
                 0);
        QCOMPARE(StoredRole(folder, wall), QStringLiteral("operator"));
        QCOMPARE(Run({QStringLiteral("passwd"), folder, QStringLiteral("--role"),
                      QStringLiteral("viewer")},
                     "x\n")
                     .exitCode,
                 0);
        QCOMPARE(StoredRole(folder, QStringLiteral("operator")), QStringLiteral("viewer"));

        // A new account without --role is an operator.
        QCOMPARE(Run({QStringLiteral("passwd"), folder, QStringLiteral("night")}, "n\n").exitCode,
                 0);
        QCOMPARE(StoredRole(folder, QStringLiteral("night")), QStringLiteral("operator"));
    }

    void passwdRefusesARoleItDoesNotKnow_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("reason");
        QTest::newRow("unknown role")
            << QStringList{QStringLiteral("--role"), QStringLiteral("admin")}
            << QStringLiteral("--role is viewer or operator, not \"admin\"");
        QTest::newRow("empty role") << QStringList{QStringLiteral("--role"), QString()}
                                    << QStringLiteral("--role is viewer or operator, not \"\"");
        QTest::newRow("no role") << QStringList{QStringLiteral("--role")}
                                 << QStringLiteral("--role needs viewer or operator");
    }
    void passwdRefusesARoleItDoesNotKnow() {
        QFETCH(QStringList, args);
        QFETCH(QString, reason);
        QTemporaryDir dir;
        const QString folder = dir.filePath(QStringLiteral("site"));
        const QString password = PrintedPassword(Run({QStringLiteral("init"), folder}).out);
        const Result r = Run(QStringList{QStringLiteral("passwd"), folder} + args, "changed\n");
        QCOMPARE(r.exitCode, 2);
        QVERIFY2(r.err.startsWith(QStringLiteral("ombrix: ") + reason), qPrintable(r.err));
        QVERIFY2(r.err.contains(QStringLiteral("--role viewer|operator")), qPrintable(r.err));
        QCOMPARE(r.out, QString());
        QVERIFY(LetsIn(folder, QStringLiteral("operator"), password));
        QCOMPARE(StoredRole(folder, QStringLiteral("operator")), QStringLiteral("operator"));

        const Result init = Run({QStringLiteral("init"), dir.filePath(QStringLiteral("other")),
                                 QStringLiteral("--role"), QStringLiteral("viewer")});
        QCOMPARE(init.exitCode, 2);
        QVERIFY2(init.err.contains(QStringLiteral("--role belongs to passwd")),
                 qPrintable(init.err));
        QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("other"))));
    }

    // A site's folder from before the web console: passwd brings its file up to date.
    void passwdUpgradesAnOlderFile() {
        WorkFolder folder;
        folder.exec(QStringLiteral("Ombrixsys.mdb"), QStringLiteral("DROP TABLE Operators"));
        folder.exec(QStringLiteral("Ombrixsys.mdb"), QStringLiteral("PRAGMA user_version = 3"));
        QCOMPARE(Run({QStringLiteral("passwd"), folder.path()}, "secret\n").exitCode, 0);
        QVERIFY(LetsIn(folder.path(), QStringLiteral("operator"), QStringLiteral("secret")));
    }

    void passwdRefusesWithItsReason_data() {
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<QString>("reason");
        QTest::newRow("no such folder")
            << QStringLiteral("missing") << QString() << QByteArray("secret\n")
            << QStringLiteral("missing is not a folder");
        QTest::newRow("no Ombrixsys.mdb")
            << QStringLiteral("empty") << QString() << QByteArray("secret\n")
            << QStringLiteral("has no Ombrixsys.mdb");
        QTest::newRow("empty password") << QStringLiteral("site") << QString() << QByteArray("\n")
                                        << QStringLiteral("the password is empty");
        QTest::newRow("no input") << QStringLiteral("site") << QString() << QByteArray()
                                  << QStringLiteral("the password is empty");
        QTest::newRow("name too long")
            << QStringLiteral("site") << QString(65, QLatin1Char('n')) << QByteArray("secret\n")
            << QStringLiteral("1 to 64 characters");
    }
    void passwdRefusesWithItsReason() {
        QFETCH(QString, folder);
        QFETCH(QString, name);
        QFETCH(QByteArray, input);
        QFETCH(QString, reason);
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("empty")));
        QCOMPARE(Run({QStringLiteral("init"), dir.filePath(QStringLiteral("site"))}).exitCode, 0);
        QStringList args = {QStringLiteral("passwd"), dir.filePath(folder)};
        if (!name.isEmpty())
            args << name;
        const Result r = Run(args, input);
        QCOMPARE(r.exitCode, 1);
        QVERIFY2(r.err.startsWith(QStringLiteral("ombrix passwd: ")) && r.err.contains(reason),
                 qPrintable(r.err));
        QCOMPARE(r.out, QString());
        QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("missing"))));
        QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("empty/Ombrixsys.mdb"))));
    }

    void runsHeadlessUntilStoppedThenSavesTheCounter_data() {
        QTest::addColumn<int>("signal");
        QTest::newRow("SIGTERM") << int(SIGTERM);
        // A closed terminal or a service manager's reload must not end the
        // relay without its shutdown.
        QTest::newRow("SIGHUP") << int(SIGHUP);
    }
    void runsHeadlessUntilStoppedThenSavesTheCounter() {
        QFETCH(int, signal);
        WorkFolder folder(true);
        // Ports of its own, so that a demo running on this machine is not disturbed.
        folder.setOutputs({{QStringLiteral("Client A"), QString::number(TestPort())}});
        folder.exec(QStringLiteral("Ombrixsys.mdb"), QStringLiteral("UPDATE Telstra SET Port = ?"),
                    {QString::number(TestPort())});
        QProcess p;
        p.setProcessEnvironment(Headless());
        p.start(QStringLiteral(OMBRIX_BINARY), {QStringLiteral("--workdir"), folder.path()});
        QVERIFY(p.waitForStarted());
        QVERIFY(!p.waitForFinished(1500)); // still running
        QElapsedTimer stopping;
        stopping.start();
        ::kill(static_cast<pid_t>(p.processId()), signal);
        QVERIFY(p.waitForFinished(5000));
        QVERIFY2(stopping.elapsed() < 2000, "shutdown took 2 s or more");
        QCOMPARE(p.exitStatus(), QProcess::NormalExit);
        QCOMPARE(p.exitCode(), 0);
        QVERIFY(QString::fromLocal8Bit(p.readAllStandardError())
                    .contains(QStringLiteral("running headless")));
        QCOMPARE(folder.setting(QStringLiteral("MessID")).toString(), QStringLiteral("1000000"));
        for (const char* log : {"LOGS/Quorlan", "LOGS/RAW_DEC.log", "LOGS/DECODE.log"}) {
            QFile file(folder.file(QLatin1String(log)));
            QVERIFY(file.open(QIODevice::ReadOnly));
            QVERIFY2(file.readAll().contains(" has been stopped.\r\n"), log);
        }
    }

    // With --headless nothing else shows where the relay runs.
    void headlessSaysWhereItRuns() {
        ConsoleOff folder;
        QProcess p;
        StartHeadless(p, folder);
        const QString expected = QStringLiteral("ombrix: working folder %1; output ports listen on "
                                                "127.0.0.1\n")
                                     .arg(QDir::toNativeSeparators(folder.path()));
        QString err = StandardErrorUntil(p, expected);
        ::kill(static_cast<pid_t>(p.processId()), SIGTERM);
        QVERIFY(p.waitForFinished(5000));
        err += QString::fromLocal8Bit(p.readAllStandardError());
        QVERIFY2(err.contains(expected), qPrintable(err));
        QCOMPARE(p.exitCode(), 0);
    }

    // A client on this machine woken by the relay's first send must not take
    // the processor before the other clients' sends are out: the relay asks
    // for the shortest slice, and keeps the nice value it was started with.
    void asksForShortSlicesKeepingItsNiceValue() {
        constexpr std::uint64_t kShortestSliceNs = 100'000;
        constexpr int kNicer = 3;
        constexpr int kNicest = 19;
        if (!KernelKeepsSlices(kShortestSliceNs))
            QSKIP("this kernel does not keep the slice a task asks for");
        ConsoleOff folder;
        QProcess p;
        StartHeadless(p, folder,
                      {QStringLiteral("nice"), QStringLiteral("-n"), QString::number(kNicer)});
        const QString err = StandardErrorUntil(p, QStringLiteral("working folder"));
        const SchedulingAttributes relay = SchedulingOf(static_cast<pid_t>(p.processId()));
        ::kill(static_cast<pid_t>(p.processId()), SIGTERM);
        QVERIFY(p.waitForFinished(5000));
        QVERIFY2(err.contains(QStringLiteral("working folder")), qPrintable(err));
        QCOMPARE(relay.policy, std::uint32_t(SCHED_OTHER));
        QCOMPARE(relay.slice, kShortestSliceNs);
        QCOMPARE(relay.nice, std::min(getpriority(PRIO_PROCESS, 0) + kNicer, kNicest));
    }

    // The history's writer takes a processor only when nothing else wants it:
    // a write of a few milliseconds must not keep the relay or a client that
    // a send woke waiting for the next tick.
    void theHistoryWriterRunsOnlyOnAnIdleProcessor() {
        constexpr int kWaitMs = 5000;
        ConsoleOff folder;
        QProcess p;
        StartHeadless(p, folder);
        const QString err = StandardErrorUntil(p, QStringLiteral("working folder"));
        const auto pid = static_cast<pid_t>(p.processId());
        pid_t writer = 0;
        QTRY_VERIFY_WITH_TIMEOUT((writer = ThreadNamed(pid, "history writer")) != 0, kWaitMs);
        QTRY_COMPARE_WITH_TIMEOUT(SchedulingOf(writer).policy, std::uint32_t(SCHED_IDLE), kWaitMs);
        // The relay's own thread stays in the normal policy.
        QCOMPARE(SchedulingOf(pid).policy, std::uint32_t(SCHED_OTHER));
        ::kill(pid, SIGTERM);
        QVERIFY(p.waitForFinished(kWaitMs));
        QVERIFY2(err.contains(QStringLiteral("working folder")), qPrintable(err));
    }

    // Run where there is no Ombrixsys.mdb: the usual failure, then what to do.
    void aFolderWithoutTheSystemDatabaseSaysHowToMakeOne_data() {
        QTest::addColumn<QStringList>("args");
        QTest::newRow("no display") << QStringList();
        QTest::newRow("--headless") << QStringList{QStringLiteral("--headless")};
    }
    void aFolderWithoutTheSystemDatabaseSaysHowToMakeOne() {
        QFETCH(QStringList, args);
        QTemporaryDir dir;
        QProcess p;
        p.setProcessEnvironment(Headless());
        p.setWorkingDirectory(dir.path());
        p.start(QStringLiteral(OMBRIX_BINARY), args);
        QVERIFY(p.waitForFinished(20000));
        const QString err = QString::fromLocal8Bit(p.readAllStandardError());
        QCOMPARE(p.exitCode(), 1);
        QVERIFY2(err.contains(QStringLiteral("Quorlan sys Database failure. Closing application")),
                 qPrintable(err));
        QVERIFY2(err.endsWith(QStringLiteral("Closing application\n") + kInitHint),
                 qPrintable(err));
        QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("Ombrixsys.mdb"))));
    }

    void failureExitsPrintTheirMessages() {
        WorkFolder noTemplate;
        QVERIFY(QFile::remove(noTemplate.file(QStringLiteral("empty_delayed.mdb"))));
        const Result a =
            Run({QStringLiteral("--headless"), QStringLiteral("--workdir"), noTemplate.path()});
        QVERIFY(a.exitCode != 0);
        QVERIFY(a.err.contains(QStringLiteral(
            "Delayed Database failure. There is no empty_delayed.mdb. Closing application")));
        QVERIFY(!a.err.contains(kInitHint));

        WorkFolder noSystem;
        QVERIFY(QFile::remove(noSystem.file(QStringLiteral("Ombrixsys.mdb"))));
        const Result b =
            Run({QStringLiteral("--headless"), QStringLiteral("--workdir"), noSystem.path()});
        QVERIFY(b.exitCode != 0);
        QVERIFY(
            b.err.contains(QStringLiteral("Quorlan sys Database failure. Closing application")));
        QVERIFY(!QFile::exists(noSystem.file(QStringLiteral("Ombrixsys.mdb"))));
    }
};

QTEST_GUILESS_MAIN(CommandLineTest)
#include "command-line-test.moc"
