#include "config/RefusalLog.h"

#include <utility>

RefusalLog::RefusalLog(QString what, std::function<void(const QString&)> write)
    : what_(std::move(what)), write_(std::move(write)) {}

bool RefusalLog::MinuteOver(const QDateTime& since, const QDateTime& now) {
    return since.addSecs(kMinuteSeconds) <= now;
}

bool RefusalLog::Refused(const QString& address, const QString& place, const QDateTime& now) {
    const QString key = address + QLatin1Char('\n') + place;
    const auto found = counted_.find(key);
    if (found != counted_.end()) {
        if (!MinuteOver(found->since, now)) {
            ++found->more;
            return false;
        }
        // A new minute: the last one's count first, then this one as it is.
        writeCount(*found);
        found->since = now;
        found->more = 0;
        return true;
    }
    if (counted_.size() >= kTrackedAddresses) {
        if (overflow_ == 0)
            overflowSince_ = now;
        ++overflow_;
        return false;
    }
    counted_.insert(key, Counted{address, place, now, 0});
    return true;
}

void RefusalLog::Tick(const QDateTime& now) {
    for (auto it = counted_.begin(); it != counted_.end();) {
        if (!MinuteOver(it->since, now)) {
            ++it;
            continue;
        }
        writeCount(*it);
        it = counted_.erase(it);
    }
    if (overflow_ > 0 && MinuteOver(overflowSince_, now))
        writeOverflow();
}

void RefusalLog::Flush() {
    for (const Counted& counted : std::as_const(counted_))
        writeCount(counted);
    counted_.clear();
    writeOverflow();
}

void RefusalLog::writeCount(const Counted& counted) {
    if (counted.more == 0)
        return;
    write_(QStringLiteral("Event: ") + what_ + QStringLiteral(" from ") + counted.address +
           counted.place +
           QStringLiteral(" refused %1 more %2 in the last minute")
               .arg(counted.more)
               .arg(counted.more == 1 ? QStringLiteral("time") : QStringLiteral("times")));
}

void RefusalLog::writeOverflow() {
    if (overflow_ == 0)
        return;
    write_(QStringLiteral("Event: %1s from further addresses (over %2 counted one by one) "
                          "refused %3 %4 in the last minute")
               .arg(what_)
               .arg(kTrackedAddresses)
               .arg(overflow_)
               .arg(overflow_ == 1 ? QStringLiteral("time") : QStringLiteral("times")));
    overflow_ = 0;
}
