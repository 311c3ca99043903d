#include "platform/PlainAddress.h"

QHostAddress PlainAddress(const QHostAddress& address) {
    if (address.protocol() != QAbstractSocket::IPv6Protocol)
        return address;
    // Only ::ffff:a.b.c.d; "::" stays the IPv6 address it is.
    const Q_IPV6ADDR bytes = address.toIPv6Address();
    for (int i = 0; i < 10; ++i)
        if (bytes[i] != 0)
            return address;
    if (bytes[10] != 0xff || bytes[11] != 0xff)
        return address;
    return QHostAddress(quint32(bytes[12]) << 24 | quint32(bytes[13]) << 16 |
                        quint32(bytes[14]) << 8 | quint32(bytes[15]));
}
