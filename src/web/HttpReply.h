#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>
#include <QtHttpServer/QHttpServerResponder>

namespace web {

using Status = QHttpServerResponder::StatusCode;
using Headers = QList<QPair<QByteArray, QByteArray>>;

// One answer of the console. Every answer carries the headers that keep the
// console out of other sites' frames and scripts.
struct HttpReply {
    Status status = Status::Ok;
    QByteArray contentType;
    QByteArray body;
    Headers headers;
    bool api = false;  // API answers are never cached
    quint64 later = 0; // not yet: the login check with this number answers
    // The last answer on its connection: sent with "Connection: close", then
    // the connection is closed.
    bool close = false;
    // The body is this file's first fileBytes bytes, sent after the head as
    // the connection drains (see FileStream); `body` is then empty.
    QString file;
    qint64 fileBytes = 0;

    static HttpReply Json(Status status, const QByteArray& json);
    static HttpReply Error(Status status, const QString& reason);
    static HttpReply Html(Status status, const QByteArray& html);
    static HttpReply SeeOther(const QByteArray& location);
    static HttpReply Later(quint64 id);
};

void Send(QHttpServerResponder& responder, const HttpReply& reply);
// The bytes of REPLY as the last answer on a connection, for a request that
// the server must not read on (it broke a limit).
QByteArray ClosingBytes(const HttpReply& reply);

} // namespace web
