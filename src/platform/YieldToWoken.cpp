#include "platform/YieldToWoken.h"

#include <QtGlobal>

#ifdef Q_OS_UNIX
#include <sched.h>
#endif

namespace platform {

void YieldToWoken() {
#ifdef Q_OS_UNIX
    // A loopback peer woken by a send is put on the sender's processor to run
    // once the sender sleeps; what the sender does next would keep it waiting.
    sched_yield();
#endif
}

} // namespace platform
