#include "web/HistoryApi.h"

#include "platform/Error.h"
#include "web/HistoryJson.h"
#include "web/HistoryQueries.h"

#include <QJsonDocument>

namespace web {

namespace {

HttpReply JsonReply(const QJsonObject& json) {
    return HttpReply::Json(Status::Ok, QJsonDocument(json).toJson(QJsonDocument::Compact));
}

// A search that failed: with a full-text query, the query is at fault when
// the same search without it runs, and the operator is told why it does not
// parse; otherwise the file is.
HttpReply SearchFailed(const QSqlDatabase& db, const history::PageQuery& query,
                       const platform::Error& error) {
    if (!query.text.isEmpty()) {
        history::PageQuery plain = query;
        plain.text.clear();
        plain.limit = 1;
        try {
            (void)history::FindPages(db, plain);
            return HttpReply::Error(Status::BadRequest, error.text());
        } catch (const platform::Error&) {
            // The history itself fails: said below.
        }
    }
    return HttpReply::Error(Status::ServiceUnavailable, error.text());
}

HttpReply FindPagesReply(const QSqlDatabase& db, const history::PageQuery& query) {
    try {
        return JsonReply(PagesJson(history::FindPages(db, query)));
    } catch (const platform::Error& error) {
        return SearchFailed(db, query, error);
    }
}

// Up to HistoryApi::kMaxCsvRows pages, a search's worth at a time, older and older.
HttpReply CsvReply(const QSqlDatabase& db, history::PageQuery query) {
    QByteArray csv = CsvHeader();
    query.limit = history::kMaxSearchLimit;
    try {
        for (int rows = 0; rows < HistoryApi::kMaxCsvRows;) {
            query.limit = std::min(history::kMaxSearchLimit, HistoryApi::kMaxCsvRows - rows);
            const history::PageResult result = history::FindPages(db, query);
            for (const history::PageRow& page : result.pages)
                csv += CsvRow(page);
            rows += int(result.pages.size());
            if (!result.next || result.pages.isEmpty())
                break;
            query.before = result.next;
        }
    } catch (const platform::Error& error) {
        return SearchFailed(db, query, error);
    }
    HttpReply reply;
    reply.contentType = QByteArrayLiteral("text/csv; charset=utf-8");
    reply.api = true;
    reply.headers << qMakePair(QByteArrayLiteral("Content-Disposition"),
                               QByteArrayLiteral("attachment; filename=\"history.csv\""));
    reply.body = csv;
    return reply;
}

HttpReply PageReply(const QSqlDatabase& db, qint64 id) {
    try {
        const std::optional<history::PageRow> page = history::FindPage(db, id);
        if (!page)
            return HttpReply::Error(Status::NotFound, QStringLiteral("no page %1").arg(id));
        return JsonReply(PageJson(*page, history::FindTrail(db, id)));
    } catch (const platform::Error& error) {
        return HttpReply::Error(Status::ServiceUnavailable, error.text());
    }
}

HttpReply AuditReply(const QSqlDatabase& db, const history::AuditQuery& query) {
    try {
        return JsonReply(AuditJson(history::FindAudit(db, query)));
    } catch (const platform::Error& error) {
        return HttpReply::Error(Status::ServiceUnavailable, error.text());
    }
}

} // namespace

HistoryApi::HistoryApi(std::function<QString()> file, std::function<quint64()> nextLater,
                       std::function<void(quint64, const HttpReply&)> answer)
    : file_(std::move(file)), nextLater_(std::move(nextLater)), answer_(std::move(answer)) {}

std::optional<HttpReply> HistoryApi::Get(const QUrl& url) {
    const QString path = url.path();
    if (path == QLatin1String("/api/history"))
        return pages(url);
    if (path == QLatin1String("/api/history.csv"))
        return csv(url);
    if (path == QLatin1String("/api/audit"))
        return audit(url);
    if (const std::optional<qint64> id = PageIdOf(path)) {
        if (*id <= 0)
            return HttpReply::Error(Status::BadRequest,
                                    QStringLiteral("a page's id is a whole number from 1"));
        return page(*id);
    }
    return std::nullopt;
}

HttpReply HistoryApi::pages(const QUrl& url) {
    QueryParams params(url);
    const history::PageQuery query = PageQueryOf(params);
    if (!params.problem.isEmpty())
        return HttpReply::Error(Status::BadRequest, params.problem);
    return start([query](const QSqlDatabase& db) { return FindPagesReply(db, query); });
}

HttpReply HistoryApi::csv(const QUrl& url) {
    QueryParams params(url);
    const history::PageQuery query = PageQueryOf(params);
    if (!params.problem.isEmpty())
        return HttpReply::Error(Status::BadRequest, params.problem);
    return start([query](const QSqlDatabase& db) { return CsvReply(db, query); });
}

HttpReply HistoryApi::page(qint64 id) {
    return start([id](const QSqlDatabase& db) { return PageReply(db, id); });
}

HttpReply HistoryApi::audit(const QUrl& url) {
    QueryParams params(url);
    const history::AuditQuery query = AuditQueryOf(params);
    if (!params.problem.isEmpty())
        return HttpReply::Error(Status::BadRequest, params.problem);
    return start([query](const QSqlDatabase& db) { return AuditReply(db, query); });
}

HttpReply HistoryApi::start(HistorySearches::Search search) {
    const quint64 id = nextLater_();
    const bool started = searches_.Start(
        file_(), std::move(search), [this, id](const HttpReply& reply) { answer_(id, reply); });
    if (!started)
        return HttpReply::Error(Status::TooManyRequests,
                                QStringLiteral("too many history searches at once; try again "
                                               "shortly"));
    return HttpReply::Later(id);
}

} // namespace web
