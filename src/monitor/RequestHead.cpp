#include "monitor/RequestHead.h"

#include <QList>

namespace monitor {

namespace {

bool ReadRequestLine(const QByteArray& line, RequestHead& head) {
    const QList<QByteArray> parts = line.split(' ');
    if (parts.size() != 3 || parts[0].isEmpty() || !parts[1].startsWith('/') ||
        !parts[2].startsWith("HTTP/"))
        return false;
    head.method = parts[0];
    const qsizetype query = parts[1].indexOf('?');
    head.path = query < 0 ? parts[1] : parts[1].left(query);
    return true;
}

bool ReadHeader(const QByteArray& line, RequestHead& head) {
    const qsizetype colon = line.indexOf(':');
    if (colon <= 0)
        return false;
    const QByteArray name = line.left(colon).trimmed().toLower();
    const QByteArray value = line.mid(colon + 1).trimmed();
    if (name == "host")
        head.host = value;
    else if (name == "content-length")
        head.hasBody = head.hasBody || value != "0";
    else if (name == "transfer-encoding")
        head.hasBody = true;
    return true;
}

} // namespace

HeadRead ReadHead(const QByteArray& received, RequestHead& head) {
    const qsizetype end = received.indexOf("\r\n\r\n");
    if (end < 0)
        return received.size() > kMaxHeadBytes ? HeadRead::TooLarge : HeadRead::More;
    if (end > kMaxHeadBytes)
        return HeadRead::TooLarge;
    const QList<QByteArray> lines = received.left(end).split('\n');
    head = RequestHead{};
    if (!ReadRequestLine(lines.front().trimmed(), head))
        return HeadRead::Malformed;
    for (qsizetype i = 1; i < lines.size(); ++i)
        if (!ReadHeader(lines[i], head))
            return HeadRead::Malformed;
    return HeadRead::Complete;
}

} // namespace monitor
