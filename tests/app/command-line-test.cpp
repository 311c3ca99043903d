// The ombrix program as an operator runs it: a real process, its exit status,
// what it prints, and the files it leaves.

#include "TestPorts.h"
#include "WorkFolder.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>

namespace {

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

Result Run(const QStringList& args) {
    QProcess p;
    p.setProcessEnvironment(Headless());
    p.start(QStringLiteral(OMBRIX_BINARY), args);
    p.waitForFinished(20000);
    return {p.exitCode(), QString::fromLocal8Bit(p.readAllStandardOutput()),
            QString::fromLocal8Bit(p.readAllStandardError())};
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
        const Result bad = Run({QStringLiteral("--bogus")});
        QVERIFY(bad.exitCode != 0);
        QVERIFY(bad.err.contains(QStringLiteral("--bogus")));
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

    void failureExitsPrintTheirMessages() {
        WorkFolder noTemplate;
        QVERIFY(QFile::remove(noTemplate.file(QStringLiteral("empty_delayed.mdb"))));
        const Result a =
            Run({QStringLiteral("--headless"), QStringLiteral("--workdir"), noTemplate.path()});
        QVERIFY(a.exitCode != 0);
        QVERIFY(a.err.contains(QStringLiteral(
            "Delayed Database failure. There is no empty_delayed.mdb. Closing application")));

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
