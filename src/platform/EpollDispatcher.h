#pragma once

#include <QAbstractEventDispatcher>
#include <atomic>
#include <chrono>
#include <optional>
#include <unordered_map>
#include <vector>

namespace platform {

// The event loop of a headless relay's thread, on epoll. Qt's own loop hands
// poll() every descriptor it watches at each wait and looks at each again
// when it wakes: with 50 outputs listening and 50 clients connected, that
// alone costs a page a good part of its way to the first client. Here a wake
// costs the descriptors that have something to say.
//
// Timers fire at their time, each once per pass and never inside its own
// handler; a timer that fell behind takes its next turn one interval from now
// rather than catching up. Socket notifiers are level-triggered, as Qt's are.
class EpollDispatcher final : public QAbstractEventDispatcher {
public:
    // Raises platform::Error when the kernel gives no epoll or eventfd.
    EpollDispatcher();
    ~EpollDispatcher() override;
    EpollDispatcher(const EpollDispatcher&) = delete;
    EpollDispatcher& operator=(const EpollDispatcher&) = delete;

    bool processEvents(QEventLoop::ProcessEventsFlags flags) override;

    void registerSocketNotifier(QSocketNotifier* notifier) override;
    void unregisterSocketNotifier(QSocketNotifier* notifier) override;

    void registerTimer(int timerId, qint64 interval, Qt::TimerType timerType,
                       QObject* object) override;
    bool unregisterTimer(int timerId) override;
    bool unregisterTimers(QObject* object) override;
    QList<TimerInfo> registeredTimers(QObject* object) const override;
    int remainingTime(int timerId) override;

    void wakeUp() override;
    void interrupt() override;

private:
    using Clock = std::chrono::steady_clock;

    struct Watch {
        QSocketNotifier* read = nullptr;
        QSocketNotifier* write = nullptr;
        QSocketNotifier* exception = nullptr;
        quint32 events = 0; // as given to epoll
    };
    struct Timer {
        int id = 0;
        qint64 interval = 0; // ms
        Qt::TimerType type = Qt::CoarseTimer;
        QObject* object = nullptr;
        Clock::time_point due;
        bool firing = false;
    };
    struct Ready {
        int fd;
        QSocketNotifier* notifier;
    };

    void watch(int fd, Watch& watch);
    bool stillWatched(const Ready& ready) const;
    int waitMs(QEventLoop::ProcessEventsFlags flags) const;
    int activateNotifiers(int count, QEventLoop::ProcessEventsFlags flags);
    int activateTimers();
    Timer* timer(int timerId);

    int epoll_ = -1;
    int wake_ = -1; // an eventfd
    std::atomic<bool> woken_{false};
    std::atomic<bool> interrupted_{false};
    std::unordered_map<int, Watch> watches_;
    std::vector<Timer> timers_;
};

} // namespace platform
