#include "web/RequestChecks.h"

#include <QHostAddress>

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

QString HostName(const QByteArray& hostHeader) {
    const QString host = QString::fromLatin1(hostHeader).trimmed();
    if (host.startsWith(QLatin1Char('['))) {
        const qsizetype close = host.indexOf(QLatin1Char(']'));
        return close < 0 ? QString() : host.mid(1, close - 1);
    }
    const qsizetype colon = host.lastIndexOf(QLatin1Char(':'));
    return colon < 0 ? host : host.left(colon);
}

bool HostAllowed(const QByteArray& hostHeader, const QString& address,
                 const QStringList& extraHosts) {
    const QString name = HostName(hostHeader);
    if (name.isEmpty())
        return false;
    if (name.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0)
        return true;
    const QHostAddress asAddress(name);
    if (!asAddress.isNull() && asAddress.isEqual(QHostAddress(address)))
        return true;
    for (const QString& extra : extraHosts)
        if (!extra.isEmpty() && name.compare(extra, Qt::CaseInsensitive) == 0)
            return true;
    return false;
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
