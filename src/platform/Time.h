#pragma once

#include "platform/Clock.h"
#include "platform/DateTimeText.h"

namespace platform {

// "Now" and how the relay writes it, as a module is handed them: the one
// clock of the process and the locale's texts.
class Time {
public:
    Time(const Clock& clock, const DateTimeText& texts) : clock_(clock), texts_(texts) {}

    QDateTime Now() const { return clock_.now(); }
    // A date with its time ("15/01/2026 10:00:00 AM" in the locale's words).
    QString NowText() const { return texts_.DateTime(Now()); }
    // The time of day alone.
    QString TimeText() const { return texts_.Time(Now().time()); }

    const Clock& clock() const { return clock_; }
    const DateTimeText& texts() const { return texts_; }

private:
    const Clock& clock_;
    const DateTimeText& texts_;
};

} // namespace platform
