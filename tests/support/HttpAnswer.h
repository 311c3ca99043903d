#pragma once

// One HTTP answer as a test reads it off a connection to the relay.

#include <QByteArray>
#include <QJsonDocument>
#include <QJsonObject>

struct HttpAnswer {
    int status = 0;
    QByteArray head;
    QByteArray body;
    QByteArray header(const QByteArray& name) const {
        for (const QByteArray& line : head.split('\n')) {
            const qsizetype colon = line.indexOf(':');
            if (colon > 0 && line.left(colon).trimmed().compare(name, Qt::CaseInsensitive) == 0)
                return line.mid(colon + 1).trimmed();
        }
        return {};
    }
    QJsonObject json() const { return QJsonDocument::fromJson(body).object(); }
};

// Reads one answer from RECEIVED into ANSWER; false while it is not whole.
inline bool ReadHttpAnswer(const QByteArray& received, HttpAnswer& answer) {
    const qsizetype end = received.indexOf("\r\n\r\n");
    if (end < 0)
        return false;
    answer.head = received.left(end);
    const qsizetype length = answer.header("Content-Length").toLongLong();
    if (received.size() < end + 4 + length)
        return false;
    answer.body = received.mid(end + 4, length);
    answer.status = received.mid(9, 3).toInt();
    return true;
}
