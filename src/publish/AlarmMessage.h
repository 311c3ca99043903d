#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

namespace publish {

// A warning that an alerting system should hear of: the site's number, the
// Function of its ErrorCodes row and the platform's text.
struct Alarm {
    int code = 0;
    QString function;
    QString text;
};

// What a broker's subscribers receive on <Topic>/alarms: one JSON object,
// {"code","function","text","time","server"}, in that order.
QByteArray AlarmJson(const Alarm& alarm, const QDateTime& time, const QString& server);

// "<topic>/alarms" and "<topic>/status".
QByteArray AlarmTopic(const QString& topic);
QByteArray StatusTopic(const QString& topic);

// The retained payloads of <Topic>/status: published once connected, and by
// the broker as the relay's last will when the connection ends unannounced.
constexpr char kOnline[] = "online";
constexpr char kOffline[] = "offline";

} // namespace publish
