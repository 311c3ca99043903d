#include "platform/YieldToWoken.h"

#include <QtGlobal>

#ifdef Q_OS_UNIX
#include <sched.h>
#endif

namespace platform {

namespace {

// One event loop per process, so one set of held yields.
struct HeldYields {
    int depth = 0;
    bool due = false;
    bool leftToCompletions = false;
};

HeldYields& Held() {
    static HeldYields held;
    return held;
}

void YieldNow() {
#ifdef Q_OS_UNIX
    // A loopback peer woken by a send is put on the sender's processor to run
    // once the sender sleeps; what the sender does next would keep it waiting.
    sched_yield();
#endif
}

} // namespace

void YieldToWoken() {
    if (Held().depth > 0)
        Held().due = true;
    else
        YieldNow();
}

YieldScope::YieldScope() {
    ++Held().depth;
}

YieldScope::~YieldScope() {
    HeldYields& held = Held();
    if (--held.depth > 0)
        return;
    const bool yield = held.due && !held.leftToCompletions;
    held.due = false;
    held.leftToCompletions = false;
    if (yield)
        YieldNow();
}

void YieldScope::LeaveToCompletions() {
    if (Held().depth > 0)
        Held().leftToCompletions = true;
}

} // namespace platform
