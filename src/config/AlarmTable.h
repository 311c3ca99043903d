#pragma once

#include "config/AlarmBook.h"

#include <QDateTime>
#include <QList>

namespace platform {
class Connection;
}

// The Alarms table of Ombrixsys.mdb: one row per alarm, its times as ISO 8601
// text with the offset from UTC. Failures raise platform::Error.
namespace config {

struct StoredAlarms {
    QList<Alarm> rows; // every active alarm, then the newest others
    qint64 largestId = 0;
};

// Every active alarm and the newest `inactive` of the others.
StoredAlarms ReadAlarms(const platform::Connection& c, int inactive);
// Writes each alarm into its row by ID, new or not, in one transaction.
void WriteAlarms(const platform::Connection& c, const QList<Alarm>& alarms);
// Deletes the alarms last seen before `before`; returns how many.
qint64 DeleteAlarmsBefore(const platform::Connection& c, const QDateTime& before);

} // namespace config
