#pragma once

#include <QByteArray>
#include <chrono>

namespace platform {

// Where the service manager (systemd) wants to hear how the relay stands, as
// it said in the environment: NOTIFY_SOCKET, WATCHDOG_USEC, WATCHDOG_PID.
struct NotifyTarget {
    QByteArray socket;                     // empty: no manager listens
    std::chrono::microseconds watchdog{0}; // 0: the manager wants no pings
};

// Reads the target and takes it out of the environment, so that no process
// the relay starts speaks to the manager in the relay's name. A watchdog meant
// for another process (WATCHDOG_PID) is not taken.
NotifyTarget TakeNotifyTarget();

// The datagram socket to the manager. Each Notify is one datagram of
// "NAME=value" lines, sent without waiting: a manager that does not read is
// never a reason for the relay's thread to stop.
class ServiceNotifier {
public:
    // Nothing is sent when `socket` is empty or is no path ("/...") or
    // abstract name ("@...") that fits a socket address.
    explicit ServiceNotifier(const QByteArray& socket);
    ~ServiceNotifier();
    ServiceNotifier(const ServiceNotifier&) = delete;
    ServiceNotifier& operator=(const ServiceNotifier&) = delete;

    bool Enabled() const { return fd_ >= 0; }
    // False when the datagram did not go (no manager, or its queue is full).
    bool Notify(const QByteArray& state);

private:
    int fd_ = -1;
    QByteArray address_; // the socket address, as sendto takes it
};

} // namespace platform
