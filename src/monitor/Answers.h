#pragma once

#include "config/HealthCheck.h"

#include <QByteArray>
#include <QJsonObject>
#include <QList>

namespace monitor {

// One answer of the listener, and the last on its connection.
struct Answer {
    int status = 200;
    QByteArray contentType;
    QByteArray body;
    QByteArray allow; // the methods a 405 names
};

// The bytes of an answer: status line, headers ("Connection: close"), body.
QByteArray AnswerBytes(const Answer& answer);

// A refusal with its reason as a line of text.
Answer Refusal(int status, const QByteArray& reason);

// The worst status of the checks: the relay's as a whole.
health::Status WorstStatus(const QList<health::Check>& checks);

// The health object: the worst check's status, and each check with its state
// and since when. /healthz answers it; the console's overview shows it.
QJsonObject HealthJson(const QList<health::Check>& checks);

// /healthz: the health object; 200 while ok or degraded, 503 when failing.
Answer HealthAnswer(const QList<health::Check>& checks);

} // namespace monitor
