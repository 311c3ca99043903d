#include "web/RecordsApi.h"

#include "logging/LogFiles.h"
#include "logging/StoredPacketText.h"
#include "platform/Error.h"
#include "publish/JsonText.h"
#include "web/QueryParams.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>
#include <cctype>

namespace web {

namespace {

// Bounds of what a request may ask: far beyond any real use, well within
// what the relay can answer at once.
constexpr qint64 kMaxOffset = qint64(1) << 40;
constexpr qsizetype kMaxDestinationChars = 1024;
constexpr qsizetype kMaxSearchTextBytes = 256;
constexpr qsizetype kMaxFileNameChars = 255;

HttpReply JsonReply(const QJsonDocument& document) {
    return HttpReply::Json(Status::Ok, document.toJson(QJsonDocument::Compact));
}

QJsonValue IsoOrNull(const std::optional<QDateTime>& time) {
    return time && time->isValid() ? QJsonValue(publish::IsoTime(*time)) : QJsonValue();
}

// Stored as local time; shown with its offset, as every time of the API.
QString CreatedText(const QString& stored) {
    const QDateTime created = QDateTime::fromString(stored, Qt::ISODateWithMs);
    return created.isValid() ? publish::IsoTime(created) : stored;
}

QJsonObject DelayedJson(const relay::DelayedPage& page) {
    QJsonObject counts;
    for (const auto& [destination, rows] : page.counts)
        counts.insert(destination, rows);
    QJsonArray rows;
    for (const DelayedRecord& row : page.rows)
        rows << QJsonObject{
            {QStringLiteral("id"), row.MessID},
            {QStringLiteral("destination"), row.Destination},
            {QStringLiteral("created"), CreatedText(row.Created)},
            {QStringLiteral("packet"), QString::fromLatin1(StoredPacketText(row.Packet))}};
    return {{QStringLiteral("total"), page.total},
            {QStringLiteral("counts"), counts},
            {QStringLiteral("rows"), rows}};
}

QJsonObject SearchJson(const logsearch::Result& result) {
    QJsonArray lines;
    for (const logsearch::FoundLine& line : result.lines)
        lines << QJsonObject{
            {QStringLiteral("file"), line.file},
            {QStringLiteral("time"), IsoOrNull(line.time)},
            {QStringLiteral("tag"),
             line.tag.isEmpty() ? QJsonValue() : QJsonValue(QString::fromLatin1(line.tag))},
            {QStringLiteral("text"), QString::fromLatin1(line.text)}};
    return {{QStringLiteral("lines"), lines}, {QStringLiteral("truncated"), result.truncated}};
}

// The tag as the lines write it, whatever case it was asked in; "" for any.
QByteArray TagNamed(const QString& asked, QueryParams& params) {
    if (asked.isEmpty())
        return {};
    for (const QByteArray& tag : logsearch::Tags())
        if (asked.compare(QString::fromLatin1(tag), Qt::CaseInsensitive) == 0)
            return tag;
    params.Refuse(QStringLiteral("tag is Error, Input or Output"));
    return {};
}

// A file's name alone: anything that could name another place is refused
// before the folders are looked at.
bool PlainFileName(const QString& name) {
    const bool control = std::any_of(
        name.begin(), name.end(), [](QChar ch) { return ch.category() == QChar::Other_Control; });
    return !name.isEmpty() && name.size() <= kMaxFileNameChars && !control &&
           !name.contains(QLatin1Char('/')) && !name.contains(QLatin1Char('\\')) &&
           !name.contains(QLatin1String(".."));
}

// The name a browser saves the file under: plain characters, and the name
// itself in UTF-8 for browsers that read it.
QByteArray Disposition(const QString& name) {
    QByteArray plain = name.toLatin1();
    for (char& c : plain)
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '.' && c != '-' && c != '_')
            c = '_';
    return "attachment; filename=\"" + plain + "\"; filename*=UTF-8''" +
           QUrl::toPercentEncoding(name);
}

} // namespace

RecordsApi::RecordsApi(WebConsoleHost& host, std::function<quint64()> nextLater,
                       std::function<void(quint64, const HttpReply&)> answer)
    : host_(host), nextLater_(std::move(nextLater)), answer_(std::move(answer)) {}

std::optional<HttpReply> RecordsApi::Get(const QUrl& url) {
    const QString path = url.path();
    if (path == QLatin1String("/api/delayed"))
        return delayed(url);
    if (path == QLatin1String("/api/logs/search"))
        return search(url);
    if (path == QLatin1String("/api/logs/files"))
        return files();
    if (path == QLatin1String("/api/logs/file"))
        return download(url);
    return std::nullopt;
}

HttpReply RecordsApi::delayed(const QUrl& url) {
    QueryParams params(url);
    relay::DelayedPageQuery query;
    query.destination = params.Text("destination", kMaxDestinationChars);
    query.offset = params.Number("offset", 0, kMaxOffset, 0);
    query.limit = int(params.Number("limit", 1, relay::DelayedPageQuery::kMaxRows,
                                    relay::DelayedPageQuery::kMaxRows));
    const QString order = params.Text("order", kMaxDestinationChars);
    if (order == QLatin1String("oldest"))
        query.order = relay::DelayedPageQuery::Order::Oldest;
    else if (!order.isEmpty() && order != QLatin1String("newest"))
        params.Refuse(QStringLiteral("order is oldest or newest"));
    if (!params.problem.isEmpty())
        return HttpReply::Error(Status::BadRequest, params.problem);
    try {
        return JsonReply(QJsonDocument(DelayedJson(host_.ReadDelayed(query))));
    } catch (const platform::Error& error) {
        return HttpReply::Error(Status::ServiceUnavailable,
                                QStringLiteral("the store cannot be read: %1").arg(error.text()));
    }
}

HttpReply RecordsApi::search(const QUrl& url) {
    QueryParams params(url);
    logsearch::Query query;
    query.text = params.Text("text", kMaxSearchTextBytes).toUtf8();
    if (query.text.size() > kMaxSearchTextBytes)
        params.Refuse(QStringLiteral("text is at most %1 bytes").arg(kMaxSearchTextBytes));
    query.tag = TagNamed(params.Text("tag", kMaxSearchTextBytes), params);
    query.from = params.Time("from");
    query.to = params.Time("to");
    query.limit = int(
        params.Number("limit", 1, logsearch::Query::kMaxLimit, logsearch::Query::kDefaultLimit));
    if (query.from && query.to && *query.from > *query.to)
        params.Refuse(QStringLiteral("from is after to"));
    if (!params.problem.isEmpty())
        return HttpReply::Error(Status::BadRequest, params.problem);
    const quint64 id = nextLater_();
    const bool started = searches_.Start(
        host_.LogPlace(), query, host_.Texts(), [this, id](const logsearch::Result& result) {
            answer_(id, JsonReply(QJsonDocument(SearchJson(result))));
        });
    if (!started)
        return HttpReply::Error(Status::TooManyRequests,
                                QStringLiteral("too many log searches at once; try again shortly"));
    return HttpReply::Later(id);
}

HttpReply RecordsApi::files() {
    QJsonArray files;
    for (const logfiles::LogFile& file : logfiles::ListLogFiles(host_.LogPlace()))
        files << QJsonObject{{QStringLiteral("name"), file.name},
                             {QStringLiteral("size"), file.size},
                             {QStringLiteral("modified"), IsoOrNull(file.modified)}};
    return JsonReply(QJsonDocument(files));
}

HttpReply RecordsApi::download(const QUrl& url) {
    QueryParams params(url);
    const QString name = params.Text("name", kMaxFileNameChars);
    if (!params.problem.isEmpty() || !PlainFileName(name))
        return HttpReply::Error(Status::BadRequest,
                                QStringLiteral("name is the name of a log file, as "
                                               "/api/logs/files lists it"));
    const std::optional<logfiles::LogFile> file = logfiles::FindLogFile(host_.LogPlace(), name);
    if (!file)
        return HttpReply::Error(Status::NotFound, QStringLiteral("no log file named %1").arg(name));
    HttpReply reply;
    reply.contentType = QByteArrayLiteral("text/plain; charset=utf-8");
    reply.api = true;
    reply.headers << qMakePair(QByteArrayLiteral("Content-Disposition"), Disposition(name));
    reply.file = file->path;
    reply.fileBytes = file->size;
    reply.close = true;
    return reply;
}

} // namespace web
