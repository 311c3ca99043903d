#include "web/HttpReply.h"

#include <QJsonDocument>
#include <QJsonObject>

namespace web {

HttpReply HttpReply::Json(Status status, const QByteArray& json) {
    HttpReply reply;
    reply.status = status;
    reply.contentType = QByteArrayLiteral("application/json");
    reply.body = json;
    reply.api = true;
    return reply;
}

HttpReply HttpReply::Error(Status status, const QString& reason) {
    return Json(status, QJsonDocument(QJsonObject{{QStringLiteral("error"), reason}})
                            .toJson(QJsonDocument::Compact));
}

HttpReply HttpReply::Html(Status status, const QByteArray& html) {
    HttpReply reply;
    reply.status = status;
    reply.contentType = QByteArrayLiteral("text/html; charset=utf-8");
    reply.body = html;
    return reply;
}

HttpReply HttpReply::SeeOther(const QByteArray& location) {
    HttpReply reply;
    reply.status = Status::SeeOther;
    reply.headers << qMakePair(QByteArrayLiteral("Location"), location);
    return reply;
}

HttpReply HttpReply::Later(quint64 id) {
    HttpReply reply;
    reply.later = id;
    return reply;
}

namespace {

Headers AllHeaders(const HttpReply& reply) {
    Headers headers = {
        {"X-Frame-Options", "DENY"},
        {"Content-Security-Policy", "default-src 'self'"},
        {"X-Content-Type-Options", "nosniff"},
        // "no-referrer" would make browsers send "Origin: null" on the page's own posts.
        {"Referrer-Policy", "same-origin"},
    };
    if (reply.api)
        headers << qMakePair(QByteArrayLiteral("Cache-Control"), QByteArrayLiteral("no-store"));
    headers << reply.headers;
    if (!reply.contentType.isEmpty())
        headers << qMakePair(QByteArrayLiteral("Content-Type"), reply.contentType);
    headers << qMakePair(
        QByteArrayLiteral("Content-Length"),
        QByteArray::number(reply.file.isEmpty() ? reply.body.size() : reply.fileBytes));
    return headers;
}

// The few answers the console writes itself, when a request broke a limit.
QByteArray ReasonPhrase(Status status) {
    switch (status) {
    case Status::BadRequest:
        return "Bad Request";
    case Status::PayloadTooLarge:
        return "Payload Too Large";
    case Status::TooManyRequests:
        return "Too Many Requests";
    case Status::RequestHeaderFieldsTooLarge:
        return "Request Header Fields Too Large";
    default:
        return "Error";
    }
}

} // namespace

void Send(QHttpServerResponder& responder, const HttpReply& reply) {
    responder.writeStatusLine(reply.status);
    for (const auto& [name, value] : AllHeaders(reply))
        responder.writeHeader(name, value);
    if (reply.close)
        responder.writeHeader("Connection", "close");
    responder.writeBody(reply.body);
}

QByteArray ClosingBytes(const HttpReply& reply) {
    QByteArray bytes = "HTTP/1.1 " + QByteArray::number(int(reply.status)) + ' ' +
                       ReasonPhrase(reply.status) + "\r\n";
    for (const auto& [name, value] : AllHeaders(reply))
        bytes += name + ": " + value + "\r\n";
    return bytes + "Connection: close\r\n\r\n" + reply.body;
}

} // namespace web
