#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QtHttpServer/QHttpServerResponder>

namespace web {

using Status = QHttpServerResponder::StatusCode;

// One answer of the console. Every answer carries the headers that keep the
// console out of other sites' frames and scripts.
struct HttpReply {
    Status status = Status::Ok;
    QByteArray contentType;
    QByteArray body;
    QList<QPair<QByteArray, QByteArray>> headers;
    bool api = false; // API answers are never cached

    static HttpReply Json(Status status, const QByteArray& json);
    static HttpReply Error(Status status, const QString& reason);
    static HttpReply Html(Status status, const QByteArray& html);
    static HttpReply SeeOther(const QByteArray& location);
};

void Send(QHttpServerResponder& responder, const HttpReply& reply);

} // namespace web
