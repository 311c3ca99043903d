#pragma once

#include <QDateTime>
#include <QMap>
#include <QString>
#include <functional>

// The log of refused connections, kept so that a stranger who tries again and
// again cannot fill the disk: for each address and place (port and
// connection), the first refusal in a minute is logged as it is and the
// others in that minute are counted; when the minute is over, one line says
// how many more there were. Counts are never dropped: a count still open is
// written at the next tick after its minute, and at shutdown.
class RefusalLog {
public:
    // Most addresses and places counted one by one; refusals of any further
    // ones are counted together under one line, so that a flood from many
    // addresses cannot make the relay's memory grow.
    static constexpr int kTrackedAddresses = 1000;
    static constexpr qint64 kMinuteSeconds = 60;

    // `what` names a refusal in the count lines ("Connection", "Call-in");
    // `write` writes a line to the log.
    RefusalLog(QString what, std::function<void(const QString&)> write);

    // A refusal of `address` at `place` (" on port <Port>   <Description>"):
    // true when it is to be logged as it is, false when it was counted.
    bool Refused(const QString& address, const QString& place, const QDateTime& now);
    // Writes the counts of the minutes that are over; the heartbeat calls it.
    void Tick(const QDateTime& now);
    // Writes every count there is, whatever its minute (at shutdown).
    void Flush();

private:
    struct Counted {
        QString address;
        QString place;
        QDateTime since; // the refusal that was logged
        qint64 more = 0; // refusals since, not logged
    };

    static bool MinuteOver(const QDateTime& since, const QDateTime& now);
    void writeCount(const Counted& counted);
    void writeOverflow();

    QString what_;
    std::function<void(const QString&)> write_;
    QMap<QString, Counted> counted_; // by address and place
    qint64 overflow_ = 0;
    QDateTime overflowSince_;
};
