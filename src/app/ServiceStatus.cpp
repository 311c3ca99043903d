#include "app/ServiceStatus.h"

#include "app/StatusSummary.h"
#include "app/System.h"

namespace app {

namespace {

// The manager is told of a change at most this often.
constexpr std::chrono::milliseconds kStatusLimit{1000};
// How often the summary is looked at: often enough that a change goes out
// within a little more than the limit, however the ticks fall.
constexpr std::chrono::milliseconds kStatusCheck{250};

} // namespace

ServiceStatus::ServiceStatus(const System& system, const platform::NotifyTarget& target)
    : sys_(system), notifier_(target.socket),
      ping_(std::chrono::duration_cast<std::chrono::milliseconds>(target.watchdog / 2)) {
    tmrStatus.setInterval(kStatusCheck);
    connect(&tmrStatus, &QTimer::timeout, this, &ServiceStatus::tmrStatus_Timer);
    tmrWatchdog.setTimerType(Qt::PreciseTimer);
    connect(&tmrWatchdog, &QTimer::timeout, this, &ServiceStatus::tmrWatchdog_Timer);
}

void ServiceStatus::Ready() {
    if (!notifier_.Enabled())
        return;
    sendStatus();
    tmrStatus.start();
    if (ping_.count() > 0) {
        tmrWatchdog_Timer(); // the manager may have counted since the start
        tmrWatchdog.start(ping_);
    }
}

void ServiceStatus::Stopping() {
    if (stopping_ || !notifier_.Enabled())
        return;
    stopping_ = true;
    tmrStatus.stop();
    tmrWatchdog.stop();
    notifier_.Notify(QByteArrayLiteral("STOPPING=1"));
}

void ServiceStatus::tmrStatus_Timer() {
    if (stopping_ || !notifier_.Enabled())
        return;
    const QDateTime now = sys_.Now();
    if (shownAt_.isValid() && shownAt_.msecsTo(now) < kStatusLimit.count())
        return;
    if (!readySent_ || StatusSummary(sys_) != shown_)
        sendStatus();
}

void ServiceStatus::tmrWatchdog_Timer() {
    if (!stopping_)
        notifier_.Notify(QByteArrayLiteral("WATCHDOG=1"));
}

// A status that could not go (READY=1 with it) is tried again at the next check.
void ServiceStatus::sendStatus() {
    const QString summary = StatusSummary(sys_);
    const QByteArray ready = readySent_ ? QByteArray() : QByteArrayLiteral("READY=1\n");
    if (!notifier_.Notify(ready + QByteArrayLiteral("STATUS=") + summary.toUtf8()))
        return;
    readySent_ = true;
    shown_ = summary;
    shownAt_ = sys_.Now();
}

} // namespace app
