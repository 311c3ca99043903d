#pragma once

#include "web/HttpReply.h"

#include <QString>
#include <QUrl>

class AlarmBook;

// The console's alarm list and its acknowledge:
//   GET /api/alarms?state=active|all -> [{"id", "code", "entry", "text", "count", "firstSeen",
//       "lastSeen", "acknowledgedBy", "acknowledgedAt", "clearedAt"}], newest lastSeen first,
//       times ISO 8601 with their offset, absent values null; "active" (the default) lists the
//       alarms neither acknowledged nor cleared, "all" the newest AlarmBook::kListLimit of any.
//   POST /api/alarms/<id>/ack -> 200 {"ok":true}; 404 for an unknown alarm; 409 for one
//       acknowledged before, which keeps its first acknowledge.
namespace web {

HttpReply ListAlarms(const AlarmBook& alarms, const QUrl& url);
bool IsAlarmAcknowledge(const QString& path);
// Acknowledged in the name of the session's operator.
HttpReply AcknowledgeAlarm(AlarmBook& alarms, const QString& path, const QString& operatorName);

} // namespace web
