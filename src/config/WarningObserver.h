#pragma once

#include "config/AlarmConditions.h"

#include <QString>

// One warning report as it went out to the operator.
struct RaisedWarning {
    int errorNumber = 0;
    QString function;     // the Function of its ErrorCodes row, "Unknown" without one
    QString platformText; // the platform's text
    int entry = 0;        // the socket or row the box names: "Socket [n]"
    QString report;       // the box's text without the date-time in front of it
};

// Hears every warning report after the operator was shown it, and the end of
// the conditions warnings were raised for. A module that passes warnings on
// (the MQTT alarms, the alarm book) implements it; the report knows nothing
// of where they go.
class WarningObserver {
public:
    virtual ~WarningObserver() = default;
    virtual void WarningRaised(const RaisedWarning& warning) = 0;
    virtual void ConditionEnded(AlarmCondition /*condition*/, int /*entry*/) {}
};
