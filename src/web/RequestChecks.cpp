#include "web/RequestChecks.h"

namespace web {

QByteArray HeaderValue(const Headers& headers, const QByteArray& name) {
    for (const auto& [key, value] : headers)
        if (key.compare(name, Qt::CaseInsensitive) == 0)
            return value.trimmed();
    return {};
}

QString CookieValue(const Headers& headers, const QString& name) {
    for (const auto& [key, value] : headers) {
        if (key.compare("cookie", Qt::CaseInsensitive) != 0)
            continue;
        for (const QByteArray& pair : value.split(';')) {
            const qsizetype equals = pair.indexOf('=');
            if (equals > 0 && QString::fromLatin1(pair.left(equals).trimmed()) == name)
                return QString::fromLatin1(pair.mid(equals + 1).trimmed());
        }
    }
    return {};
}

bool OriginAllowed(const Headers& headers) {
    const QByteArray origin = HeaderValue(headers, "origin");
    if (origin.isEmpty())
        return true;
    // The scheme is not compared: behind a reverse proxy that speaks HTTPS,
    // the console's own page comes from https:// while the console itself
    // is reached over plain HTTP. One host and port serve one scheme.
    const qsizetype schemeEnd = origin.indexOf("://");
    if (schemeEnd < 0)
        return false; // "null", from a sandboxed or local page
    const QByteArray scheme = origin.left(schemeEnd).toLower();
    if (scheme != "http" && scheme != "https")
        return false;
    return origin.mid(schemeEnd + 3).compare(HeaderValue(headers, "host"), Qt::CaseInsensitive) ==
           0;
}

} // namespace web
