#include "monitor/Answers.h"

#include "monitor/IsoTime.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>

namespace monitor {

namespace {

constexpr int kOk = 200;
constexpr int kServiceUnavailable = 503;

QByteArray ReasonPhrase(int status) {
    switch (status) {
    case kOk:
        return "OK";
    case 400:
        return "Bad Request";
    case 403:
        return "Forbidden";
    case 404:
        return "Not Found";
    case 405:
        return "Method Not Allowed";
    case 408:
        return "Request Timeout";
    case 413:
        return "Content Too Large";
    case 431:
        return "Request Header Fields Too Large";
    case kServiceUnavailable:
        return "Service Unavailable";
    default:
        return "Error";
    }
}

QString StatusWord(health::Status status) {
    switch (status) {
    case health::Status::Ok:
        return QStringLiteral("ok");
    case health::Status::Degraded:
        return QStringLiteral("degraded");
    case health::Status::Failing:
        return QStringLiteral("failing");
    }
    return QStringLiteral("failing");
}

} // namespace

QByteArray AnswerBytes(const Answer& answer) {
    QByteArray bytes = "HTTP/1.1 " + QByteArray::number(answer.status) + ' ' +
                       ReasonPhrase(answer.status) + "\r\n";
    bytes += "Content-Type: " + answer.contentType + "\r\n";
    bytes += "Content-Length: " + QByteArray::number(answer.body.size()) + "\r\n";
    if (!answer.allow.isEmpty())
        bytes += "Allow: " + answer.allow + "\r\n";
    bytes += "Cache-Control: no-store\r\nConnection: close\r\n\r\n";
    return bytes + answer.body;
}

Answer Refusal(int status, const QByteArray& reason) {
    return Answer{status, "text/plain; charset=utf-8", reason + '\n', {}};
}

health::Status WorstStatus(const QList<health::Check>& checks) {
    health::Status worst = health::Status::Ok;
    for (const health::Check& check : checks)
        worst = std::max(worst, check.status);
    return worst;
}

QJsonObject HealthJson(const QList<health::Check>& checks) {
    QJsonObject entries;
    for (const health::Check& check : checks)
        entries.insert(check.name,
                       QJsonObject{{QStringLiteral("status"), StatusWord(check.status)},
                                   {QStringLiteral("state"), check.state},
                                   {QStringLiteral("since"), OffsetTimeText(check.since)}});
    return {{QStringLiteral("status"), StatusWord(WorstStatus(checks))},
            {QStringLiteral("checks"), entries}};
}

Answer HealthAnswer(const QList<health::Check>& checks) {
    return Answer{WorstStatus(checks) == health::Status::Failing ? kServiceUnavailable : kOk,
                  "application/json",
                  QJsonDocument(HealthJson(checks)).toJson(QJsonDocument::Compact),
                  {}};
}

} // namespace monitor
