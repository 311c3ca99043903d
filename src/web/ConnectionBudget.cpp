#include "web/ConnectionBudget.h"

#include <algorithm>

namespace web {

ConnectionBudget::ConnectionBudget(const QDateTime& now) : lastMsecs_(now.toMSecsSinceEpoch()) {}

// A clock set back refills nothing and starts counting again from its time.
void ConnectionBudget::refill(const QDateTime& now) {
    const qint64 msecs = now.toMSecsSinceEpoch();
    const qint64 elapsed = std::max<qint64>(0, msecs - lastMsecs_);
    lastMsecs_ = msecs;
    credit_ = std::min(kFull, credit_ + std::min(elapsed, kFull) * kPerSecond);
}

bool ConnectionBudget::Take(const QDateTime& now) {
    refill(now);
    if (credit_ < kCost)
        return false;
    credit_ -= kCost;
    return true;
}

bool ConnectionBudget::Spent(const QDateTime& now) {
    refill(now);
    return credit_ < kCost;
}

qint64 ConnectionBudget::MsecsToNext(const QDateTime& now) {
    refill(now);
    const qint64 missing = kCost - credit_;
    return missing <= 0 ? 0 : (missing + kPerSecond - 1) / kPerSecond;
}

} // namespace web
