#include "web/QueryParams.h"

namespace web {

namespace {

// Far longer than any date and time in ISO 8601.
constexpr qsizetype kMaxTimeChars = 256;

} // namespace

QueryParams::QueryParams(const QUrl& url) {
    // A form's blank arrives as '+', a '+' as "%2B".
    QString raw = url.query(QUrl::FullyEncoded);
    raw.replace(QLatin1Char('+'), QStringLiteral("%20"));
    query_.setQuery(raw);
}

QString QueryParams::Text(const char* key, qsizetype maxChars) {
    QString value = query_.queryItemValue(QLatin1String(key), QUrl::FullyDecoded);
    if (value.size() > maxChars)
        Refuse(QStringLiteral("%1 is at most %2 characters").arg(QLatin1String(key)).arg(maxChars));
    return value;
}

qint64 QueryParams::Number(const char* key, qint64 low, qint64 high, qint64 fallback) {
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

std::optional<QDateTime> QueryParams::Time(const char* key) {
    const QString text = Text(key, kMaxTimeChars);
    if (text.isEmpty())
        return std::nullopt;
    QDateTime time = QDateTime::fromString(text, Qt::ISODateWithMs);
    if (time.isValid())
        return time;
    Refuse(QStringLiteral("%1 is an ISO 8601 date and time, such as "
                          "2026-01-15T10:00:00+10:00")
               .arg(QLatin1String(key)));
    return std::nullopt;
}

void QueryParams::Refuse(const QString& why) {
    if (problem.isEmpty())
        problem = why;
}

} // namespace web
