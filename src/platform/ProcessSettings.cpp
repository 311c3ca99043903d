#include "platform/ProcessSettings.h"

#include "platform/EpollDispatcher.h"
#include "platform/Error.h"
#include "platform/SchedulingAttributes.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QtGlobal>

#include <cstdio>
#include <ctime>
#include <sys/resource.h>
#include <sys/stat.h>

#ifdef Q_OS_LINUX
#include <malloc.h>
#include <sched.h>
#include <sys/syscall.h>
#include <unistd.h>
#endif

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

#ifdef Q_OS_LINUX
namespace {
// The shortest slice the kernel grants; a fan-out to 50 clients takes a few.
constexpr std::uint64_t kShortSliceNs = 100'000;
} // namespace
#endif

// Since Linux 6.12 a task of the normal policy may say how long a slice it
// asks for: the shorter, the earlier the kernel's deadline for it, and the
// later a task it woke may take the processor from it. With the default
// slice, a client on this machine woken by the relay's first send took the
// processor from the relay for a few hundred microseconds, the other clients
// waiting; a short slice keeps a carrier read's sends together, without a
// larger share of the processor (that is the nice value's). Only the slice
// changes: a policy or nice value the operator set stays, a real-time policy
// is left alone, and a kernel that does not know the request ignores it.
void AskForShortTimeSlices() {
#ifdef Q_OS_LINUX
    SchedulingAttributes attr;
    if (syscall(SYS_sched_getattr, 0, &attr, sizeof attr, 0) != 0 ||
        (attr.policy != SCHED_OTHER && attr.policy != SCHED_BATCH))
        return;
    attr.size = sizeof attr;
    attr.slice = kShortSliceNs;
    (void)syscall(SYS_sched_setattr, 0, &attr, 0);
#endif
}

// At nice 19 a thread still keeps its processor until the next tick once it
// has it, and the kernel puts a client or the relay that wakes meanwhile
// behind another task rather than on it: on two cores, a history write of a
// few milliseconds left one processor to the relay, the clients and the
// carrier. In the idle policy its processor counts as free, and whatever
// wakes takes it at once.
void RunOnlyWhenIdle() {
#ifdef Q_OS_LINUX
    constexpr int kNicest = 19;
    const sched_param none{};
    if (sched_setscheduler(gettid(), SCHED_IDLE, &none) != 0)
        (void)setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), kNicest);
#endif
}

// glibc keeps small freed blocks unsorted ("fast bins") and sorts them all at
// the next request of a kilobyte or more. A page's bookkeeping frees
// thousands of small blocks, and the next carrier read's buffer is such a
// request: the sorting fell on the path from the carrier to the clients.
// Without fast bins a freed block is sorted as it is freed, off that path;
// the per-thread cache still takes the most frequent sizes first.
void KeepFreedBlocksSorted() {
#if defined(Q_OS_LINUX) && defined(__GLIBC__)
    (void)mallopt(M_MXFAST, 0);
#endif
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
