#pragma once

#include <QDateTime>
#include <QList>
#include <QString>

// One alarm: every raising of warning `code` for `entry` (the socket or row
// its box names) while it stays active. An alarm is active until an operator
// acknowledges it or the condition it warned of ends; the same warning after
// that is a new alarm.
struct Alarm {
    qint64 id = 0;
    int code = 0;
    int entry = 0;
    QString text; // the latest report, as the warning box shows it without its date-time
    qint64 count = 0;
    QDateTime firstSeen;
    QDateTime lastSeen;
    QString acknowledgedBy; // empty while not acknowledged
    QDateTime acknowledgedAt;
    QDateTime clearedAt;

    bool Acknowledged() const { return acknowledgedAt.isValid(); }
    bool Active() const { return !Acknowledged() && !clearedAt.isValid(); }
};

enum class AlarmList { Active, All };

enum class Acknowledgement { Done, Unknown, AlreadyAcknowledged };

// The alarms as their readers see them: the console's list and its
// acknowledge, and the count the overview shows. Calls are made on the
// relay's thread and return at once.
class AlarmBook {
public:
    // Most alarms List(AlarmList::All) returns: the newest.
    static constexpr int kListLimit = 1000;

    virtual ~AlarmBook() = default;
    virtual int ActiveCount() const = 0;
    // Newest lastSeen first.
    virtual QList<Alarm> List(AlarmList which) const = 0;
    // Keeps the operator's name and the time, and writes one System log line.
    // An alarm acknowledged before is left as it was.
    virtual Acknowledgement Acknowledge(qint64 id, const QString& operatorName) = 0;
};
