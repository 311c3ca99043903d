#pragma once

#include "config/HealthCheck.h"

#include <QByteArray>
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

// /healthz: the worst check's status, and each check with its state and
// since when; 200 while ok or degraded, 503 when failing.
Answer HealthAnswer(const QList<health::Check>& checks);

} // namespace monitor
