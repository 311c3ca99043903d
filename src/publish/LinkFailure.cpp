#include "publish/LinkFailure.h"

#include <cstring>
#include <mosquitto.h>

namespace publish {

QString LinkFailure(int rc, int error) {
    switch (rc) {
    case MOSQ_ERR_ERRNO:
        return QString::fromLocal8Bit(std::strerror(error));
    case MOSQ_ERR_CONN_LOST:
        return QStringLiteral("the broker closed the connection");
    // The library names these "Unknown error.".
    case MOSQ_ERR_KEEPALIVE:
        return QStringLiteral("keepalive timeout");
    case MOSQ_ERR_MALFORMED_PACKET:
        return QStringLiteral("malformed packet from the broker");
    case MOSQ_ERR_TIMEOUT:
        return QStringLiteral("timed out");
    default:
        return QString::fromUtf8(mosquitto_strerror(rc));
    }
}

} // namespace publish
