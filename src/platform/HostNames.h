#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace platform {

// The host part of a Host header ("[::1]:8088" -> "::1", "a.b:80" -> "a.b").
QString HostName(const QByteArray& hostHeader);

// Whether a browser's Host names this listener: its own address, localhost,
// or a name the site added. Anything else is a page on some other site
// whose name was pointed at this address (DNS rebinding).
bool HostAllowed(const QByteArray& hostHeader, const QString& address,
                 const QStringList& extraHosts);

} // namespace platform
