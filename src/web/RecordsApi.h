#pragma once

#include "web/HttpReply.h"
#include "web/WebConsoleHost.h"

#include <QString>
#include <QUrl>
#include <optional>

namespace web {

// What the console reads besides the window: the delayed store a page at a
// time.
//
// GET /api/delayed?destination=&offset=&limit=&order=oldest|newest
//   -> {"total": rows of the destination (all rows without one),
//       "counts": {destination: rows, ...} (every destination that has rows),
//       "rows": [{"id", "destination", "created", "packet"}]}
//   limit 1 to 50 (50 when not given), offset from 0, order newest (the
//   default) or oldest; "created" is ISO 8601 with its UTC offset; "packet"
//   is the packet as ShownPacket shows it.
// A value that cannot be used is answered 400 with the reason.
class RecordsApi {
public:
    explicit RecordsApi(WebConsoleHost& host) : host_(host) {}

    // The answer to a GET of URL when its path is one of the above.
    std::optional<HttpReply> Get(const QUrl& url);

private:
    HttpReply delayed(const QUrl& url);

    WebConsoleHost& host_;
};

} // namespace web
