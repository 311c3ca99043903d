#pragma once

#include <sys/resource.h>
#include <unistd.h>

namespace web {

// Work beside the relay's loop (password checks, log searches) runs below
// its priority, so that pages win. On Linux a thread is a task of its own:
// this lowers the calling thread only.
inline void LowerThisThread(int nice) {
    (void)setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), nice);
}

} // namespace web
