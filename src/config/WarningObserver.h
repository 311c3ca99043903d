#pragma once

#include <QString>

// Hears every warning report after the operator was shown it: the site's
// number, the Function of its ErrorCodes row ("Unknown" without one) and the
// platform's text. A module above config/ that passes warnings on (the MQTT
// alarms) implements it; the report knows nothing of where they go.
class WarningObserver {
public:
    virtual ~WarningObserver() = default;
    virtual void WarningRaised(int errorNumber, const QString& function,
                               const QString& platformText) = 0;
};
