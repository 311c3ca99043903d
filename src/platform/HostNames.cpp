#include "platform/HostNames.h"

#include <QHostAddress>

namespace platform {

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

} // namespace platform
