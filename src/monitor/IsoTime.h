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

// TimeJson of a time that seldom changes, made again only when it changed:
// the offset of a local time is worked out by the C library, which looks at
// the time zone file each time.
class KeptTimeJson {
public:
    const QJsonValue& operator()(const QDateTime& time) {
        if (!made_ || time != time_) {
            time_ = time;
            json_ = TimeJson(time);
            made_ = true;
        }
        return json_;
    }

private:
    bool made_ = false;
    QDateTime time_;
    QJsonValue json_;
};

} // namespace monitor
