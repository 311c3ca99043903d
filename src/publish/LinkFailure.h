#pragma once

#include <QString>

namespace publish {

// Why the MQTT library gave up a connection or an operation, for the Outputs
// log and warnings: `rc` is its result code, `error` the errno of a failed
// system call (MOSQ_ERR_ERRNO).
QString LinkFailure(int rc, int error);

} // namespace publish
