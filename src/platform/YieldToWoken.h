#pragma once

namespace platform {

// Gives this processor to a process that this one has just woken and that
// waits for it here, before this one goes on; returns at once when none waits.
// Within a YieldScope the yield waits for the scope's end.
void YieldToWoken();

// While one lives, yields are held and made once, when the outermost ends:
// the sends of one carrier read (a block's notice and its page) or of one
// pass of send completions all go out before the processor is given away.
class YieldScope {
public:
    YieldScope();
    ~YieldScope();
    YieldScope(const YieldScope&) = delete;
    YieldScope& operator=(const YieldScope&) = delete;

    // A packet waits behind an outstanding send: the held yield is left to
    // the pass of completions that sends it, so the clients are not woken
    // for half of what is coming.
    static void LeaveToCompletions();
};

} // namespace platform
