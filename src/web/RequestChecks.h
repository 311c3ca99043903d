#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

namespace web {

using Headers = QList<QPair<QByteArray, QByteArray>>;

// A header's value by name, whatever its case; "" when absent.
QByteArray HeaderValue(const Headers& headers, const QByteArray& name);

// A cookie's value from the Cookie header; "" when absent.
QString CookieValue(const Headers& headers, const QString& name);

// The host part of a Host header ("[::1]:8088" -> "::1", "a.b:80" -> "a.b").
QString HostName(const QByteArray& hostHeader);

// Whether a browser's Host names this console: its own address, localhost,
// or a name the site added. Anything else is a page on some other site
// whose name was pointed at this address (DNS rebinding).
bool HostAllowed(const QByteArray& hostHeader, const QString& address,
                 const QStringList& extraHosts);

// Whether a request may act: no Origin (not sent by a page), or a page
// served from the host the request names.
bool OriginAllowed(const Headers& headers);

} // namespace web
