#pragma once

#include "config/ErrorCodes.h"
#include "config/WarningObserver.h"

namespace publish {
class Publishers;
}

namespace app {

// The warnings that an alerting system must hear of, passed to the MQTT
// publishers as alarms on <Topic>/alarms: a client that stopped reading
// (104), a carrier connected but silent (112), a missed test page (113) and
// the delayed store's failures (400 to 404). Others stay with the operator.
// It hears the warning report from its building until it is destroyed.
class PublishedAlarms final : public WarningObserver {
public:
    PublishedAlarms(ErrorCodes& report, publish::Publishers& publishers);
    ~PublishedAlarms() override;
    PublishedAlarms(const PublishedAlarms&) = delete;
    PublishedAlarms& operator=(const PublishedAlarms&) = delete;

    static bool IsAlarm(ErrorCode site);
    void WarningRaised(const RaisedWarning& warning) override;

private:
    ErrorCodes& report_;
    publish::Publishers& publishers_;
};

} // namespace app
