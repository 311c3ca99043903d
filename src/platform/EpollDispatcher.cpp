#include "platform/EpollDispatcher.h"

#include "platform/Error.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <QTimerEvent>
#include <QVarLengthArray>
#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <unistd.h>

namespace platform {

namespace {

// Descriptors taken from the kernel in one wait; more wait for the next pass.
constexpr int kEventsAPass = 64;
// What wakes each kind of notifier, as poll() would have woken Qt's.
constexpr quint32 kWakesRead = EPOLLIN | EPOLLRDHUP | EPOLLHUP | EPOLLERR;
constexpr quint32 kWakesWrite = EPOLLOUT | EPOLLHUP | EPOLLERR;
constexpr quint32 kWakesException = EPOLLPRI;

QString SystemText(const char* what) {
    return QStringLiteral("%1: %2").arg(QLatin1String(what),
                                        QString::fromLocal8Bit(std::strerror(errno)));
}

// Milliseconds until AT, 0 when it is past. Rounded up: woken before its
// time, a timer would cost a pass for nothing.
int MsUntil(std::chrono::steady_clock::time_point at) {
    const auto left = at - std::chrono::steady_clock::now();
    if (left <= std::chrono::steady_clock::duration::zero())
        return 0;
    const auto ms = std::chrono::ceil<std::chrono::milliseconds>(left).count();
    return int(std::min<qint64>(ms, INT_MAX));
}

} // namespace

EpollDispatcher::EpollDispatcher() {
    epoll_ = epoll_create1(EPOLL_CLOEXEC);
    if (epoll_ < 0)
        throw Error(SystemText("epoll_create1"));
    wake_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (wake_ < 0) {
        const QString text = SystemText("eventfd");
        ::close(epoll_);
        throw Error(text);
    }
    epoll_event event{};
    event.events = EPOLLIN;
    event.data.fd = wake_;
    if (epoll_ctl(epoll_, EPOLL_CTL_ADD, wake_, &event) != 0) {
        const QString text = SystemText("epoll_ctl");
        ::close(wake_);
        ::close(epoll_);
        throw Error(text);
    }
}

EpollDispatcher::~EpollDispatcher() {
    ::close(wake_);
    ::close(epoll_);
}

bool EpollDispatcher::processEvents(QEventLoop::ProcessEventsFlags flags) {
    interrupted_.store(false);
    emit awake();
    QCoreApplication::sendPostedEvents();
    const int wait = waitMs(flags);
    if (wait != 0)
        emit aboutToBlock();
    epoll_event events[kEventsAPass];
    int count = epoll_wait(epoll_, events, kEventsAPass, wait);
    if (count < 0)
        count = 0; // a signal: the loop comes round again
    if (wait != 0)
        emit awake();
    int handled = 0;
    QVarLengthArray<Ready, kEventsAPass> ready;
    for (int k = 0; k < count; ++k) {
        const int fd = events[k].data.fd;
        if (fd == wake_) {
            eventfd_t value = 0;
            (void)eventfd_read(wake_, &value);
            // Cleared after the read: a wake-up between the two is for an
            // event the next pass's posted events take in anyway.
            woken_.store(false);
            ++handled;
            continue;
        }
        const auto found = watches_.find(fd);
        if (found == watches_.end())
            continue;
        const quint32 got = events[k].events;
        const Watch& watch = found->second;
        if (watch.read && (got & kWakesRead))
            ready.append({fd, watch.read});
        if (watch.write && (got & kWakesWrite))
            ready.append({fd, watch.write});
        if (watch.exception && (got & kWakesException))
            ready.append({fd, watch.exception});
    }
    if (!(flags & QEventLoop::ExcludeSocketNotifiers)) {
        for (const Ready& one : ready) {
            // An earlier handler of this pass may have let it go.
            if (!stillWatched(one))
                continue;
            QEvent event(QEvent::SockAct);
            QCoreApplication::sendEvent(one.notifier, &event);
            ++handled;
        }
    }
    if (!(flags & QEventLoop::X11ExcludeTimers))
        handled += activateTimers();
    return handled > 0;
}

int EpollDispatcher::waitMs(QEventLoop::ProcessEventsFlags flags) const {
    if (!(flags & QEventLoop::WaitForMoreEvents) || interrupted_.load())
        return 0;
    if (flags & QEventLoop::X11ExcludeTimers)
        return -1;
    std::optional<Clock::time_point> earliest;
    for (const Timer& timer : timers_) {
        // One whose handler runs this very pass waits for it to return.
        if (!timer.firing && (!earliest || timer.due < *earliest))
            earliest = timer.due;
    }
    if (!earliest)
        return -1;
    return MsUntil(*earliest);
}

bool EpollDispatcher::stillWatched(const Ready& ready) const {
    const auto found = watches_.find(ready.fd);
    if (found == watches_.end())
        return false;
    const Watch& watch = found->second;
    return watch.read == ready.notifier || watch.write == ready.notifier ||
           watch.exception == ready.notifier;
}

// Timers fire in the order of their times; each at most once a pass, so that
// a zero interval gives the sockets their turn.
int EpollDispatcher::activateTimers() {
    const Clock::time_point now = Clock::now();
    QVarLengthArray<std::pair<Clock::time_point, int>, 32> due;
    for (const Timer& timer : timers_)
        if (!timer.firing && timer.due <= now)
            due.append({timer.due, timer.id});
    std::sort(due.begin(), due.end());
    int fired = 0;
    for (const auto& [at, id] : due) {
        Timer* timer = this->timer(id);
        if (!timer || timer->firing)
            continue; // killed, or fired by a nested pass
        const std::chrono::milliseconds interval(timer->interval);
        timer->due += interval;
        if (timer->due < now)
            timer->due = now + interval;
        timer->firing = true;
        QTimerEvent event(id);
        QCoreApplication::sendEvent(timer->object, &event);
        // The handler may have killed it, or added timers.
        if (Timer* after = this->timer(id))
            after->firing = false;
        ++fired;
    }
    return fired;
}

void EpollDispatcher::registerSocketNotifier(QSocketNotifier* notifier) {
    const int fd = int(notifier->socket());
    Watch& watch = watches_[fd];
    QSocketNotifier** slot = notifier->type() == QSocketNotifier::Read    ? &watch.read
                             : notifier->type() == QSocketNotifier::Write ? &watch.write
                                                                          : &watch.exception;
    // Another notifier still there had its descriptor closed under it, which
    // took it out of the set: this one is added afresh.
    if (*slot && *slot != notifier)
        watch.events = 0;
    *slot = notifier;
    this->watch(fd, watch);
}

void EpollDispatcher::unregisterSocketNotifier(QSocketNotifier* notifier) {
    const int fd = int(notifier->socket());
    const auto found = watches_.find(fd);
    if (found == watches_.end())
        return;
    Watch& watch = found->second;
    if (watch.read == notifier)
        watch.read = nullptr;
    if (watch.write == notifier)
        watch.write = nullptr;
    if (watch.exception == notifier)
        watch.exception = nullptr;
    this->watch(fd, watch);
}

// Tells epoll what the descriptor's notifiers wait for; a descriptor none
// waits on leaves the set.
void EpollDispatcher::watch(int fd, Watch& watch) {
    const quint32 events = (watch.read ? quint32(EPOLLIN | EPOLLRDHUP) : 0) |
                           (watch.write ? quint32(EPOLLOUT) : 0) |
                           (watch.exception ? quint32(EPOLLPRI) : 0);
    if (events == 0) {
        // Gone already when its descriptor was closed first.
        (void)epoll_ctl(epoll_, EPOLL_CTL_DEL, fd, nullptr);
        watches_.erase(fd);
        return;
    }
    if (events == watch.events)
        return;
    epoll_event event{};
    event.events = events;
    event.data.fd = fd;
    int done = epoll_ctl(epoll_, watch.events == 0 ? EPOLL_CTL_ADD : EPOLL_CTL_MOD, fd, &event);
    // A number closed and given out again finds the set out of step with us.
    if (done != 0 && errno == EEXIST)
        done = epoll_ctl(epoll_, EPOLL_CTL_MOD, fd, &event);
    else if (done != 0 && errno == ENOENT)
        done = epoll_ctl(epoll_, EPOLL_CTL_ADD, fd, &event);
    if (done != 0) {
        qWarning("ombrix: descriptor %d cannot be watched: %s", fd, std::strerror(errno));
        return;
    }
    watch.events = events;
}

void EpollDispatcher::registerTimer(int timerId, qint64 interval, Qt::TimerType timerType,
                                    QObject* object) {
    Timer timer;
    timer.id = timerId;
    timer.interval = std::max<qint64>(interval, 0);
    timer.type = timerType;
    timer.object = object;
    timer.due = Clock::now() + std::chrono::milliseconds(timer.interval);
    timers_.push_back(timer);
}

EpollDispatcher::Timer* EpollDispatcher::timer(int timerId) {
    const auto found = std::find_if(timers_.begin(), timers_.end(),
                                    [timerId](const Timer& t) { return t.id == timerId; });
    return found == timers_.end() ? nullptr : &*found;
}

bool EpollDispatcher::unregisterTimer(int timerId) {
    const Timer* found = timer(timerId);
    if (!found)
        return false;
    timers_.erase(timers_.begin() + (found - timers_.data()));
    return true;
}

bool EpollDispatcher::unregisterTimers(QObject* object) {
    const auto before = timers_.size();
    std::erase_if(timers_, [object](const Timer& t) { return t.object == object; });
    return timers_.size() != before;
}

QList<QAbstractEventDispatcher::TimerInfo>
EpollDispatcher::registeredTimers(QObject* object) const {
    QList<TimerInfo> list;
    for (const Timer& timer : timers_)
        if (timer.object == object)
            list.append(TimerInfo(timer.id, int(timer.interval), timer.type));
    return list;
}

int EpollDispatcher::remainingTime(int timerId) {
    const Timer* found = timer(timerId);
    return found ? MsUntil(found->due) : -1;
}

// From any thread.
void EpollDispatcher::wakeUp() {
    if (!woken_.exchange(true))
        (void)eventfd_write(wake_, 1);
}

void EpollDispatcher::interrupt() {
    interrupted_.store(true);
    wakeUp();
}

} // namespace platform
