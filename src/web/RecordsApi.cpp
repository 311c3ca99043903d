#include "web/RecordsApi.h"

#include "logging/ShownPacket.h"
#include "platform/Error.h"
#include "publish/JsonText.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QUrlQuery>

namespace web {

namespace {

// Bounds of what a request may ask: far beyond any real use, well within
// what the relay can answer at once.
constexpr qint64 kMaxOffset = qint64(1) << 40;
constexpr qsizetype kMaxDestinationChars = 1024;

// The values of a request's query, each checked as it is read; the first
// value that cannot be used is the refusal's reason.
class Params {
public:
    explicit Params(const QUrl& url) {
        // A form's blank arrives as '+', a '+' as "%2B".
        QString raw = url.query(QUrl::FullyEncoded);
        raw.replace(QLatin1Char('+'), QStringLiteral("%20"));
        query_.setQuery(raw);
    }

    QString Text(const char* key, qsizetype maxChars) {
        QString value = query_.queryItemValue(QLatin1String(key), QUrl::FullyDecoded);
        if (value.size() > maxChars)
            Refuse(QStringLiteral("%1 is at most %2 characters")
                       .arg(QLatin1String(key))
                       .arg(maxChars));
        return value;
    }

    qint64 Number(const char* key, qint64 low, qint64 high, qint64 fallback) {
        const QString text = query_.queryItemValue(QLatin1String(key), QUrl::FullyDecoded);
        if (text.isEmpty())
            return fallback;
        bool valid = !text.startsWith(QLatin1Char('+')) && !text.startsWith(QLatin1Char('-'));
        const qint64 value = valid ? text.toLongLong(&valid) : 0;
        if (valid && value >= low && value <= high)
            return value;
        Refuse(QStringLiteral("%1 is a whole number from %2 to %3")
                   .arg(QLatin1String(key))
                   .arg(low)
                   .arg(high));
        return fallback;
    }

    void Refuse(const QString& why) {
        if (problem.isEmpty())
            problem = why;
    }

    QString problem;

private:
    QUrlQuery query_;
};

HttpReply JsonReply(const QJsonDocument& document) {
    return HttpReply::Json(Status::Ok, document.toJson(QJsonDocument::Compact));
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
            {QStringLiteral("packet"), QString::fromLatin1(ShownPacket(row.Packet))}};
    return {{QStringLiteral("total"), page.total},
            {QStringLiteral("counts"), counts},
            {QStringLiteral("rows"), rows}};
}

} // namespace

std::optional<HttpReply> RecordsApi::Get(const QUrl& url) {
    const QString path = url.path();
    if (path == QLatin1String("/api/delayed"))
        return delayed(url);
    return std::nullopt;
}

HttpReply RecordsApi::delayed(const QUrl& url) {
    Params params(url);
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

} // namespace web
