#include "publish/AlarmMessage.h"

#include "publish/JsonText.h"

namespace publish {

QByteArray AlarmJson(const Alarm& alarm, const QDateTime& time, const QString& server) {
    QByteArray json = "{\"code\":" + QByteArray::number(alarm.code);
    json += ",\"function\":" + JsonString(alarm.function);
    json += ",\"text\":" + JsonString(alarm.text);
    json += ",\"time\":" + JsonString(IsoTime(time));
    json += ",\"server\":" + JsonString(server) + '}';
    return json;
}

QByteArray AlarmTopic(const QString& topic) {
    return topic.toUtf8() + "/alarms";
}

QByteArray StatusTopic(const QString& topic) {
    return topic.toUtf8() + "/status";
}

} // namespace publish
