#pragma once

#include "platform/ServiceNotifier.h"

#include <QDateTime>
#include <QObject>
#include <QString>
#include <QTimer>
#include <chrono>

class System;

namespace app {

// What the service manager hears of the relay: READY=1 once start-up is
// done, STATUS= the summary when it changes (at most once a second, on the
// relay's clock), WATCHDOG=1 from the event loop at half the interval the
// manager asked for, so that a loop that hangs stops pinging and is restarted,
// and STOPPING=1 when the shutdown begins. Without a manager nothing is sent.
class ServiceStatus : public QObject {
    Q_OBJECT
public:
    ServiceStatus(const System& system, const platform::NotifyTarget& target);

    // Start-up has finished: READY=1 with the first status; the pings and the
    // status checks begin.
    void Ready();
    // The shutdown begins: STOPPING=1, once; no more pings.
    void Stopping();

    // The status check: the summary goes out if it changed and a second has
    // passed since the last one went. Tests call it after moving the clock.
    void tmrStatus_Timer();
    void tmrWatchdog_Timer();

    // The interval of the pings; zero when the manager wants none.
    std::chrono::milliseconds PingInterval() const { return ping_; }

private:
    void sendStatus();

    const System& sys_;
    platform::ServiceNotifier notifier_;
    std::chrono::milliseconds ping_;
    QTimer tmrStatus;
    QTimer tmrWatchdog;
    QString shown_;
    QDateTime shownAt_;
    bool readySent_ = false;
    bool stopping_ = false;
};

} // namespace app
