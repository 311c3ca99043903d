#pragma once

#include <QByteArray>

namespace monitor {

// What a scraper's request says, as far as the listener reads it: the
// request line and the two headers that matter. A body is never read.
struct RequestHead {
    QByteArray method;
    QByteArray path; // without its query
    QByteArray host;
    bool hasBody = false; // a Content-Length above 0, or a chunked body
};

enum class HeadRead { More, Complete, TooLarge, Malformed };

// Most bytes of a request line and headers: a scraper sends a few hundred.
constexpr qsizetype kMaxHeadBytes = qsizetype(8) * 1024;

// Reads the request line and headers from the bytes received so far.
HeadRead ReadHead(const QByteArray& received, RequestHead& head);

} // namespace monitor
