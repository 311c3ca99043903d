#pragma once

#include "config/AlarmBook.h"
#include "config/WarningObserver.h"
#include "platform/Time.h"

#include <QDateTime>
#include <functional>
#include <map>
#include <set>
#include <utility>

class ErrorCodes;

namespace platform {
class Connection;
}

// The alarm book: every warning the report raises is an alarm, kept in the
// Alarms table of the system database. Repeats of a warning for one entry
// while its alarm is active count into it; an acknowledge or the end of its
// condition ends it.
//
// Changes are written at the next tick (one transaction a second, however
// many warnings came in it), an acknowledge at once. A database that cannot
// be read or written does not stop the relay: the book goes on in memory, and
// the failure is logged once for each spell of failures. The book never
// raises a warning itself: its own failure would be an alarm again.
//
// In memory: every active alarm (one for each warning number and entry at
// most) and the newest kKeptInactive of the others.
class AlarmRecords final : public AlarmBook, public WarningObserver {
public:
    // How long an alarm is kept after it was last seen.
    static constexpr int kKeptDays = 90;
    // Most characters of a report an alarm keeps.
    static constexpr qsizetype kMaxText = 2000;
    static constexpr int kKeptInactive = kListLimit;

    using LogLine = std::function<void(const QString& line)>;
    // Hears `report` from its building until it is destroyed; `log` writes a
    // line into the System log.
    AlarmRecords(const platform::Connection& connection, platform::Time time, ErrorCodes& report,
                 LogLine log);
    ~AlarmRecords() override;
    AlarmRecords(const AlarmRecords&) = delete;
    AlarmRecords& operator=(const AlarmRecords&) = delete;

    // Start-up, once the system database is open: the table's alarms join
    // those raised before, and those too old are deleted.
    void Load();
    // Every second: writes what changed; once a day deletes the old alarms.
    void Tick();
    // Writes what changed (before the database closes).
    void Flush();

    int ActiveCount() const override { return static_cast<int>(active_.size()); }
    QList<Alarm> List(AlarmList which) const override;
    Acknowledgement Acknowledge(qint64 id, const QString& operatorName) override;

    void WarningRaised(const RaisedWarning& warning) override;
    void ConditionEnded(AlarmCondition condition, int entry) override;

private:
    using Key = std::pair<int, int>; // warning number, entry
    void keep(const Alarm& alarm);
    void joinRaisedBefore(Alarm alarm);
    void forget(qint64 id);
    void prune();
    void trim();
    void failed(const QString& text);

    const platform::Connection& connection_;
    platform::Time time_;
    ErrorCodes& report_;
    LogLine log_;
    std::map<qint64, Alarm> alarms_; // by ID
    std::map<Key, qint64> active_;
    std::set<qint64> changed_; // not yet written
    qint64 nextId_ = 1;
    bool loaded_ = false; // the table was read: IDs above its own are free
    bool failing_ = false;
    QDateTime nextPrune_;
};
