// A relay killed outright while it stores packets for two absent clients:
// after a restart every packet that a "System: TCP failed" line names reaches
// its client exactly once, and no identifier is used twice.

#include "ProcessMemory.h"
#include "TestPorts.h"
#include "TestSystem.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTest>
#include <csignal>

class CrashTest : public QObject {
    Q_OBJECT

    static constexpr int kEnoughStored = 10; // packets of Client A

private slots:
    void killedWhileStoringLosesNothingItReported() {
        QElapsedTimer elapsed;
        elapsed.start();
        WorkFolder folder;
        const quint16 ports[2] = {TestPort(), TestPort()};
        folder.setOutputs({{QStringLiteral("Client A"), QString::number(ports[0])},
                           {QStringLiteral("Client B"), QString::number(ports[1])}});
        folder.setSetting(QStringLiteral("LastBackUp"), QDateTime::currentDateTime().toString(
                                                            QStringLiteral("d MMM yyyy HH:mm:ss")));

        QProcess child;
        child.start(QStringLiteral(STORE_FLOOD), {folder.path()});
        QVERIFY(child.waitForReadyRead(20000));
        // Enough stored to be worth checking, however slow the machine is; then
        // the kill comes at a random point of the flood.
        QTRY_VERIFY_WITH_TIMEOUT(
            folder.systemLog().count("System: TCP failed Client A. Add record") > kEnoughStored,
            60000);
        QTest::qWait(QRandomGenerator::global()->bounded(600));
        const qint64 childPeakKiB = ProcessKiB(QString::number(child.processId()), "VmHWM");
        ::kill(static_cast<pid_t>(child.processId()), SIGKILL);
        QVERIFY(child.waitForFinished(10000));

        // What the killed relay reported as stored, per client, in order.
        QMap<QString, QList<QByteArray>> reported;
        QByteArray lastOut;
        QString lastClient;
        for (const QByteArray& line : folder.systemLog().split('\n')) {
            const int out = line.indexOf("\tOutput\tOut: ");
            if (out >= 0) {
                const QByteArray rest = line.mid(out + 13);
                lastClient = QString::fromUtf8(rest.left(rest.indexOf('\t')));
                lastOut = rest.mid(rest.indexOf('\t') + 1).chopped(1); // without CR
            } else if (line.contains("\tOutput\tSystem: TCP failed " + lastClient.toUtf8() +
                                     ". Add record")) {
                reported[lastClient] << lastOut;
            }
        }
        QVERIFY2(reported.value(QStringLiteral("Client A")).size() > kEnoughStored,
                 "the relay stored too little to test");
        const int stored = folder.storedPackets();
        QVERIFY(stored >= reported[QStringLiteral("Client A")].size() +
                              reported[QStringLiteral("Client B")].size());

        // Restart, connect both clients and let the resend drain the store.
        TestSystem t(folder.path());
        QVERIFY(t->Form_Load());
        t->outputSockets.UpdateOutputClients();
        LoopbackClient a(ports[0]), b(ports[1]);
        QTRY_COMPARE(t->outputSockets.Socket(0).State(), platform::SocketState::Connected);
        QTRY_COMPARE(t->outputSockets.Socket(1).State(), platform::SocketState::Connected);
        for (int tick = 0; tick < stored + 10 && t->delayedDb.gDelayedCount > 0; ++tick) {
            t.clock.advanceSecs(1);
            t->tmrSystem_Timer();
            QCoreApplication::processEvents();
        }
        QCOMPARE(t->delayedDb.gDelayedCount, 0);
        QTRY_COMPARE(a.received.count('\x03') + b.received.count('\x03'), stored);

        for (const auto& [client, received] :
             {std::pair{QStringLiteral("Client A"), &a.received},
              std::pair{QStringLiteral("Client B"), &b.received}}) {
            const QList<QByteArray> packets = received->split('\x03');
            for (const QByteArray& packet : reported[client])
                QCOMPARE(packets.count(packet.chopped(1)), 1);
        }
        // Identifiers sent from the store are all different.
        QSet<QString> ids;
        static const QRegularExpression id(QStringLiteral("Record ID (\\d+) successfully sent"));
        auto it = id.globalMatch(QString::fromUtf8(folder.systemLog()));
        int sent = 0;
        while (it.hasNext()) {
            ids.insert(it.next().captured(1));
            ++sent;
        }
        QCOMPARE(sent, stored);
        QCOMPARE(ids.size(), sent);
        qInfo("stored before the kill: %d packets (%lld reported); delivered after restart: %d; "
              "memory peak of the killed relay %lld KiB, of the draining one %lld KiB; %lld ms",
              stored,
              reported[QStringLiteral("Client A")].size() +
                  reported[QStringLiteral("Client B")].size(),
              sent, childPeakKiB, ProcessKiB(QStringLiteral("self"), "VmHWM"), elapsed.elapsed());
    }
};

QTEST_GUILESS_MAIN(CrashTest)
#include "crash-test.moc"
