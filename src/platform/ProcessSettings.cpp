#include "platform/ProcessSettings.h"

#include "platform/EpollDispatcher.h"
#include "platform/Error.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QtGlobal>

#include <cstdio>
#include <ctime>
#include <sys/resource.h>
#include <sys/stat.h>

namespace platform {

// With TZ unset, every conversion to local time (each log line's time) stats
// /etc/localtime to see whether it changed. TZ naming that same file keeps
// its rules, summer time included, and skips the look; a change of the
// machine's zone then takes effect at the next start, as for most services.
// A TZ the user set is left as it is.
void HoldLocalTimeZone() {
    if (qEnvironmentVariableIsSet("TZ"))
        return;
    qputenv("TZ", QByteArrayLiteral(":/etc/localtime"));
    tzset();
}

// A headless relay waits on nothing but its own sockets and timers: its
// thread runs on epoll, and the threads it starts on Qt's own poll() loop,
// which costs less than GLib's, there for desktop integration. A QT_NO_GLIB
// the user set is left as it is.
void UseRelayEventLoop() {
    if (!qEnvironmentVariableIsSet("QT_NO_GLIB"))
        qputenv("QT_NO_GLIB", QByteArrayLiteral("1"));
    try {
        QCoreApplication::setEventDispatcher(new EpollDispatcher);
    } catch (const Error& error) {
        std::fprintf(stderr, "ombrix: %s; the relay runs on Qt's own event loop\n",
                     qPrintable(error.text()));
    }
}

void RestrictNewFiles() {
    constexpr mode_t kNothingForOthers = 027;
    umask(kNothingForOthers);
}

// A limit that cannot be read or raised stays as it is: the relay runs on it,
// and the console's connection caps keep descriptors for the rest.
void RaiseDescriptorLimit() {
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur >= limit.rlim_max)
        return;
    limit.rlim_cur = limit.rlim_max;
    setrlimit(RLIMIT_NOFILE, &limit);
}

} // namespace platform
