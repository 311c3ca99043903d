#include "web/AlarmsApi.h"

#include "config/AlarmBook.h"
#include "publish/JsonText.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QUrlQuery>

namespace web {

namespace {

// An alarm's number in the path: at most 18 digits, so that it fits a qint64.
const QRegularExpression kAcknowledgePath(QStringLiteral("^/api/alarms/([0-9]{1,18})/ack$"));

QJsonValue TimeValue(const QDateTime& time) {
    return time.isValid() ? QJsonValue(publish::IsoTime(time)) : QJsonValue(QJsonValue::Null);
}

QJsonObject AlarmJson(const Alarm& alarm) {
    return {
        {QStringLiteral("id"), alarm.id},
        {QStringLiteral("code"), alarm.code},
        {QStringLiteral("entry"), alarm.entry},
        {QStringLiteral("text"), alarm.text},
        {QStringLiteral("count"), alarm.count},
        {QStringLiteral("firstSeen"), TimeValue(alarm.firstSeen)},
        {QStringLiteral("lastSeen"), TimeValue(alarm.lastSeen)},
        {QStringLiteral("acknowledgedBy"),
         alarm.Acknowledged() ? QJsonValue(alarm.acknowledgedBy) : QJsonValue(QJsonValue::Null)},
        {QStringLiteral("acknowledgedAt"), TimeValue(alarm.acknowledgedAt)},
        {QStringLiteral("clearedAt"), TimeValue(alarm.clearedAt)},
    };
}

} // namespace

HttpReply ListAlarms(const AlarmBook& alarms, const QUrl& url) {
    const QString state = QUrlQuery(url).queryItemValue(QStringLiteral("state"));
    AlarmList which = AlarmList::Active;
    if (state == QLatin1String("all"))
        which = AlarmList::All;
    else if (!state.isEmpty() && state != QLatin1String("active"))
        return HttpReply::Error(Status::BadRequest, QStringLiteral("state is active or all"));
    QJsonArray list;
    for (const Alarm& alarm : alarms.List(which))
        list.append(AlarmJson(alarm));
    return HttpReply::Json(Status::Ok, QJsonDocument(list).toJson(QJsonDocument::Compact));
}

bool IsAlarmAcknowledge(const QString& path) {
    return kAcknowledgePath.match(path).hasMatch();
}

HttpReply AcknowledgeAlarm(AlarmBook& alarms, const QString& path, const QString& operatorName) {
    const qint64 id = kAcknowledgePath.match(path).captured(1).toLongLong();
    switch (alarms.Acknowledge(id, operatorName)) {
    case Acknowledgement::Done:
        break;
    case Acknowledgement::Unknown:
        return HttpReply::Error(Status::NotFound, QStringLiteral("no such alarm"));
    case Acknowledgement::AlreadyAcknowledged:
        return HttpReply::Error(Status::Conflict, QStringLiteral("already acknowledged"));
    }
    return HttpReply::Json(Status::Ok, QByteArrayLiteral("{\"ok\":true}"));
}

} // namespace web
