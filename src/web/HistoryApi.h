#pragma once

#include "history/HistorySearch.h"
#include "web/HistorySearches.h"
#include "web/HttpReply.h"

#include <QString>
#include <QUrl>
#include <functional>
#include <optional>

namespace web {

// The history of relayed pages and the operators' audit, searched:
//
// GET /api/history?address=A|A-B&text=&from=&to=&function=&type=&carrier=&before=&limit=
//   -> {"pages": [...], "next": <id or null>}, newest first (see HistoryJson.h)
// GET /api/history/<id> -> {"page": {...}, "trail": [...]}; 404 for an unknown id
// GET /api/history.csv?<the same filters> -> text/csv, at most kMaxCsvRows pages
// GET /api/audit?text=&from=&to=&before=&limit= -> {"rows": [...], "next": <id or null>}
//
// `text` of /api/history is full-text syntax (words, "phrases", OR, NOT,
// prefix*); one that does not parse is answered 400 with the reason, as is
// any value that cannot be used (see HistoryQueries.h). Every search runs on
// HistorySearches' worker and answers later; 429 when too many wait.
class HistoryApi {
public:
    static constexpr int kMaxCsvRows = 10000;

    // FILE names history.mdb; a search answers later: NEXTLATER numbers the
    // answer, ANSWER gives it.
    HistoryApi(std::function<QString()> file, std::function<quint64()> nextLater,
               std::function<void(quint64, const HttpReply&)> answer);

    // The answer to a GET of URL when its path is one of the above.
    std::optional<HttpReply> Get(const QUrl& url);

private:
    HttpReply pages(const QUrl& url);
    HttpReply csv(const QUrl& url);
    HttpReply page(qint64 id);
    HttpReply audit(const QUrl& url);
    HttpReply start(HistorySearches::Search search);

    std::function<QString()> file_;
    std::function<quint64()> nextLater_;
    std::function<void(quint64, const HttpReply&)> answer_;
    HistorySearches searches_;
};

} // namespace web
