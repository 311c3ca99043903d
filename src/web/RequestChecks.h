#pragma once

#include "platform/HostNames.h"

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

// The Host check the console shares with the monitoring listener.
using platform::HostAllowed;
using platform::HostName;

// Whether a request may act: no Origin (not sent by a page), or a page
// served from the host the request names.
bool OriginAllowed(const Headers& headers);

} // namespace web
