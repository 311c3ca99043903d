#pragma once

#include "web/HttpReply.h"
#include "web/LogSearches.h"
#include "web/WebConsoleHost.h"

#include <QString>
#include <QUrl>
#include <functional>
#include <optional>

namespace web {

// What the console reads besides the window: the delayed store a page at a
// time, and the System log's files, searched and downloaded.
//
// GET /api/delayed?destination=&offset=&limit=&order=oldest|newest
//   -> {"total": rows of the destination (all rows without one),
//       "counts": {destination: rows, ...} (every destination that has rows),
//       "rows": [{"id", "destination", "created", "packet"}]}
//   limit 1 to 50 (50 when not given), offset from 0, order newest (the
//   default) or oldest; "created" is ISO 8601 with its UTC offset; "packet"
//   is the packet as StoredPacketText shows it.
// GET /api/logs/search?text=&tag=&from=&to=&limit=
//   -> {"lines": [{"file", "time", "tag", "text"}], "truncated": bool}
//   newest line first, today's file and then its back-ups; text a plain
//   substring in any case; tag Error, Input or Output; from and to ISO 8601
//   (both included; a line without a time is then left out); limit 1 to
//   1000 (200 when not given). "time" is ISO 8601 with its offset, or null
//   for a line without one, "tag" null for a line without one; "text" is the
//   line after them, each byte the code point of its value. "truncated":
//   the search stopped (at the limit, or after 512 MiB) before reading every line.
// GET /api/logs/files -> [{"name", "size", "modified"}], newest change first.
// GET /api/logs/file?name=NAME -> the file, as an attachment.
// A value that cannot be used is answered 400 with the reason.
class RecordsApi {
public:
    // A search answers later: NEXTLATER numbers the answer, ANSWER gives it.
    RecordsApi(WebConsoleHost& host, std::function<quint64()> nextLater,
               std::function<void(quint64, const HttpReply&)> answer);

    // The answer to a GET of URL when its path is one of the above.
    std::optional<HttpReply> Get(const QUrl& url);

private:
    HttpReply delayed(const QUrl& url);
    HttpReply search(const QUrl& url);
    HttpReply files();
    HttpReply download(const QUrl& url);

    WebConsoleHost& host_;
    std::function<quint64()> nextLater_;
    std::function<void(quint64, const HttpReply&)> answer_;
    LogSearches searches_;
};

} // namespace web
