#pragma once

#include <QDateTime>

namespace web {

// How many new connections the console takes a second, for all its visitors
// together. Each one costs the relay's thread an accept, a socket, a request
// read and an answer: a few tens of microseconds that a flood of thousands a
// second turns into a busy thread and late pages. A bucket that refills at
// kPerSecond and holds kBurst, on the relay's clock.
class ConnectionBudget {
public:
    static constexpr int kPerSecond = 50;
    // A browser opening the console at once, a few times over.
    static constexpr int kBurst = 25;

    explicit ConnectionBudget(const QDateTime& now);

    // Spends one connection; false when none is left.
    bool Take(const QDateTime& now);
    bool Spent(const QDateTime& now);
    // How long until one connection is left again (0: now).
    qint64 MsecsToNext(const QDateTime& now);

private:
    // One connection is kCost: a millisecond refills kPerSecond.
    static constexpr qint64 kCost = 1000;
    static constexpr qint64 kFull = qint64(kBurst) * kCost;

    void refill(const QDateTime& now);

    qint64 credit_ = kFull;
    qint64 lastMsecs_;
};

} // namespace web
