#pragma once

#include <QDateTime>

namespace platform {

// The one source of "now". Production uses the system clock; tests move a fake
// one and call the tick handlers themselves.
class Clock {
public:
    virtual ~Clock() = default;
    virtual QDateTime now() const = 0;
};

// Local time is dear to work out and a busy relay asks for it hundreds of
// times a millisecond: within one millisecond it is worked out once.
class SystemClock : public Clock {
public:
    QDateTime now() const override {
        const qint64 msecs = QDateTime::currentMSecsSinceEpoch();
        if (msecs != keptMsecs_) {
            kept_ = QDateTime::fromMSecsSinceEpoch(msecs);
            keptMsecs_ = msecs;
        }
        return kept_;
    }

private:
    mutable qint64 keptMsecs_ = -1;
    mutable QDateTime kept_;
};

class FakeClock : public Clock {
public:
    explicit FakeClock(QDateTime start = QDateTime(QDate(2026, 1, 15), QTime(10, 0, 0)))
        : now_(std::move(start)) {}
    QDateTime now() const override { return now_; }
    void set(const QDateTime& t) { now_ = t; }
    void advanceMs(qint64 ms) { now_ = now_.addMSecs(ms); }
    void advanceSecs(qint64 s) { now_ = now_.addSecs(s); }

private:
    QDateTime now_;
};

} // namespace platform
