// The headless relay's event loop, run as the relay runs it: installed before
// the application, with real timers, loopback sockets and a second thread.

#include "platform/EpollDispatcher.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QHostAddress>
#include <QSocketNotifier>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QTimer>

#include <chrono>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace {

constexpr int kWaitMs = 5000;

// Records the timers it is told of, and kills one when told of another.
class TimerLog : public QObject {
public:
    QList<int> fired;
    int killOn = 0;
    int kill = 0;

protected:
    void timerEvent(QTimerEvent* event) override {
        fired.append(event->timerId());
        killTimer(event->timerId());
        if (event->timerId() == killOn)
            killTimer(kill);
    }
};

// Runs the loop for MS milliseconds.
void RunFor(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

} // namespace

class EpollDispatcherTest : public QObject {
    Q_OBJECT

private slots:
    void theApplicationRunsOnIt() {
        QVERIFY(dynamic_cast<platform::EpollDispatcher*>(QCoreApplication::eventDispatcher()));
    }

    // Timers come in the order of their times, and one killed by an earlier
    // one's handler in the same pass is not told.
    void timersFireInOrderAndAKilledOneStaysQuiet() {
        TimerLog log;
        const int late = log.startTimer(std::chrono::milliseconds(40));
        const int first = log.startTimer(std::chrono::milliseconds(10));
        const int second = log.startTimer(std::chrono::milliseconds(20));
        log.killOn = second;
        log.kill = late;
        RunFor(80);
        QCOMPARE(log.fired, QList<int>({first, second}));

        // A repeating timer keeps its pace.
        int ticks = 0;
        QTimer repeating;
        repeating.setTimerType(Qt::PreciseTimer);
        connect(&repeating, &QTimer::timeout, [&] { ++ticks; });
        repeating.start(10);
        QVERIFY(repeating.remainingTime() >= 0);
        RunFor(105);
        QVERIFY2(ticks >= 8 && ticks <= 11, qPrintable(QString::number(ticks)));
    }

    // A timer whose handler runs a loop of its own is not told again inside
    // it; the other timers are.
    void aTimerIsNotToldInsideItsOwnHandler() {
        int outer = 0;
        int inner = 0;
        int deepest = 0;
        QTimer repeating;
        QTimer other;
        connect(&other, &QTimer::timeout, [&] { ++inner; });
        connect(&repeating, &QTimer::timeout, [&] {
            ++outer;
            deepest = std::max(deepest, outer);
            if (outer == 1)
                RunFor(60);
            --outer;
        });
        repeating.start(5);
        other.start(5);
        RunFor(100);
        QCOMPARE(deepest, 1);
        QVERIFY(inner >= 5);
    }

    // Every byte value crosses a loopback connection both ways, and a close
    // is seen.
    void bytesCrossALoopbackConnection() {
        QTcpServer server;
        QVERIFY(server.listen(QHostAddress::LocalHost));
        QTcpSocket client;
        client.connectToHost(QHostAddress::LocalHost, server.serverPort());
        QTRY_VERIFY_WITH_TIMEOUT(server.hasPendingConnections(), kWaitMs);
        QTcpSocket* peer = server.nextPendingConnection();
        QTRY_COMPARE_WITH_TIMEOUT(client.state(), QAbstractSocket::ConnectedState, kWaitMs);
        QByteArray bytes;
        for (int value = 0; value < 256; ++value)
            bytes.append(char(value));
        client.write(bytes);
        QByteArray got;
        QTRY_VERIFY_WITH_TIMEOUT((got += peer->readAll()).size() >= bytes.size(), kWaitMs);
        QCOMPARE(got, bytes);
        peer->write(bytes);
        got.clear();
        QTRY_VERIFY_WITH_TIMEOUT((got += client.readAll()).size() >= bytes.size(), kWaitMs);
        QCOMPARE(got, bytes);
        peer->close();
        QTRY_COMPARE_WITH_TIMEOUT(client.state(), QAbstractSocket::UnconnectedState, kWaitMs);
    }

    // A loop with nothing to wait for wakes when another thread posts to it.
    void aPostFromAnotherThreadWakesTheLoop() {
        QEventLoop loop;
        bool quit = false;
        QElapsedTimer took;
        took.start();
        std::thread poster([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            QMetaObject::invokeMethod(
                &loop,
                [&] {
                    quit = true;
                    loop.quit();
                },
                Qt::QueuedConnection);
        });
        QTimer::singleShot(kWaitMs, &loop, &QEventLoop::quit);
        loop.exec();
        poster.join();
        QVERIFY(quit);
        QVERIFY(took.elapsed() < kWaitMs);
    }

    // Two descriptors ready in one pass: whichever is told first deletes the
    // other's notifier, which is then not told.
    void aNotifierLetGoEarlierInThePassIsNotTold() {
        int pairs[2][2];
        QCOMPARE(socketpair(AF_UNIX, SOCK_STREAM, 0, pairs[0]), 0);
        QCOMPARE(socketpair(AF_UNIX, SOCK_STREAM, 0, pairs[1]), 0);
        QSocketNotifier* notifiers[2];
        int told = 0;
        for (int k = 0; k < 2; ++k)
            notifiers[k] = new QSocketNotifier(pairs[k][1], QSocketNotifier::Read);
        for (int k = 0; k < 2; ++k)
            connect(notifiers[k], &QSocketNotifier::activated, [&, k] {
                ++told;
                delete notifiers[1 - k];
                notifiers[1 - k] = nullptr;
            });
        QCOMPARE(::write(pairs[0][0], "x", 1), 1);
        QCOMPARE(::write(pairs[1][0], "y", 1), 1);
        QCoreApplication::processEvents();
        QCOMPARE(told, 1);
        for (QSocketNotifier* left : notifiers)
            delete left;
        for (auto& pair : pairs) {
            ::close(pair[0]);
            ::close(pair[1]);
        }
    }
};

int main(int argc, char** argv) {
    QCoreApplication::setEventDispatcher(new platform::EpollDispatcher);
    QCoreApplication app(argc, argv);
    EpollDispatcherTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "epoll-dispatcher-test.moc"
