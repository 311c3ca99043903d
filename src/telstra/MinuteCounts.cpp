#include "telstra/MinuteCounts.h"

#include <algorithm>

namespace {

size_t Slot(qint64 minute) {
    return static_cast<size_t>(minute % MinuteCounts::kMinutes);
}

} // namespace

void MinuteCounts::Add(const QDateTime& now, qint64 count) {
    const qint64 minute = Minute(now);
    if (newest_ < 0 || minute > newest_ || newest_ - minute >= kMinutes) {
        // The minutes between the newest counted and now's start at nothing;
        // an hour or more of them empties the whole ring.
        const qint64 from = newest_ < 0 || minute < newest_ ? minute - kMinutes : newest_;
        for (qint64 m = std::max(from, minute - kMinutes) + 1; m <= minute; ++m)
            counts_[Slot(m)] = 0;
        newest_ = minute;
    }
    counts_[Slot(minute)] += count;
}

qint64 MinuteCounts::at(qint64 minute) const {
    if (newest_ < 0 || minute > newest_ || newest_ - minute >= kMinutes || minute < 0)
        return 0;
    return counts_[Slot(minute)];
}

MinuteCounts::PerMinute MinuteCounts::Read(const QDateTime& now) const {
    PerMinute minutes{};
    const qint64 last = Minute(now);
    for (int k = 0; k < kMinutes; ++k)
        minutes[size_t(k)] = at(last - (kMinutes - 1) + k);
    return minutes;
}

qint64 MinuteCounts::Sum(const PerMinute& read, int minutes) {
    qint64 sum = 0;
    for (int k = 0; k < std::min(minutes, kMinutes); ++k)
        sum += read[size_t(kMinutes - 1 - k)];
    return sum;
}
