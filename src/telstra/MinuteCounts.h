#pragma once

#include <QDateTime>
#include <array>

// Counts of the last hour, minute by minute, in a fixed ring: what came in
// an hour ago makes room for what comes now, so the ring never grows. The
// minutes are read on the relay's clock; a clock set back leaves the counts
// of minutes it has not reached again out of what is read.
class MinuteCounts {
public:
    static constexpr int kMinutes = 60;
    using PerMinute = std::array<qint64, kMinutes>;

    // `count` more in now's minute.
    void Add(const QDateTime& now, qint64 count = 1);
    // The last kMinutes minutes, oldest first; the last is now's minute.
    PerMinute Read(const QDateTime& now) const;
    // The sum of the last `minutes` minutes of what Read gave, now's among them.
    static qint64 Sum(const PerMinute& read, int minutes);

private:
    static qint64 Minute(const QDateTime& time) { return time.toSecsSinceEpoch() / 60; }
    qint64 at(qint64 minute) const;

    std::array<qint64, kMinutes> counts_{};
    qint64 newest_ = -1; // the latest minute counted into the ring; -1 before any
};
