#pragma once

namespace platform {

// Gives this processor to a process that this one has just woken and that
// waits for it here, before this one goes on; returns at once when none waits.
void YieldToWoken();

} // namespace platform
