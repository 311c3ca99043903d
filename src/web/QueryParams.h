#pragma once

#include <QDateTime>
#include <QString>
#include <QUrl>
#include <QUrlQuery>
#include <optional>

namespace web {

// The values of a request's query, each checked as it is read; the first
// value that cannot be used is the refusal's reason.
class QueryParams {
public:
    explicit QueryParams(const QUrl& url);

    // The text of KEY ("" when absent); longer than MAXCHARS is refused.
    QString Text(const char* key, qsizetype maxChars);
    // A whole number from LOW to HIGH, FALLBACK when absent.
    qint64 Number(const char* key, qint64 low, qint64 high, qint64 fallback);
    // A moment in ISO 8601; without an offset, the relay's local time.
    std::optional<QDateTime> Time(const char* key);

    void Refuse(const QString& why);

    QString problem;

private:
    QUrlQuery query_;
};

} // namespace web
