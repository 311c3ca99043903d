#pragma once

#include <QDateTime>
#include <QJsonValue>
#include <QString>

namespace monitor {

// A moment as ISO 8601 with milliseconds and its offset from UTC
// ("2026-01-15T10:00:00.000+10:00"), so that a reader elsewhere knows it;
// "" for no time.
inline QString OffsetTimeText(const QDateTime& time) {
    if (!time.isValid())
        return {};
    return time.toOffsetFromUtc(time.offsetFromUtc()).toString(Qt::ISODateWithMs);
}

// The same in JSON: null for no time.
inline QJsonValue TimeJson(const QDateTime& time) {
    return time.isValid() ? QJsonValue(OffsetTimeText(time)) : QJsonValue(QJsonValue::Null);
}

} // namespace monitor
