#include "platform/LocalTimeZone.h"

#include <QByteArray>
#include <QtGlobal>

#include <ctime>

namespace platform {

// With TZ unset, every conversion to local time (each log line's time) stats
// /etc/localtime to see whether it changed. TZ naming that same file keeps
// its rules, summer time included, and skips the look; a change of the
// machine's zone then takes effect at the next start, as for most services.
// A TZ the user set is left as it is.
void HoldLocalTimeZone() {
    if (qEnvironmentVariableIsSet("TZ"))
        return;
    qputenv("TZ", QByteArrayLiteral(":/etc/localtime"));
    tzset();
}

} // namespace platform
