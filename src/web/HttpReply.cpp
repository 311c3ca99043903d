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

void Send(QHttpServerResponder& responder, const HttpReply& reply) {
    responder.writeStatusLine(reply.status);
    responder.writeHeader("X-Frame-Options", "DENY");
    responder.writeHeader("Content-Security-Policy", "default-src 'self'");
    responder.writeHeader("X-Content-Type-Options", "nosniff");
    // "no-referrer" would make browsers send "Origin: null" on the page's own posts.
    responder.writeHeader("Referrer-Policy", "same-origin");
    if (reply.api)
        responder.writeHeader("Cache-Control", "no-store");
    for (const auto& [name, value] : reply.headers)
        responder.writeHeader(name, value);
    if (!reply.contentType.isEmpty())
        responder.writeHeader("Content-Type", reply.contentType);
    responder.writeHeader("Content-Length", QByteArray::number(reply.body.size()));
    responder.writeBody(reply.body);
}

} // namespace web
