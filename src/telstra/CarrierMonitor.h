#pragma once

#include "config/HealthCheck.h"
#include "platform/MetricsText.h"
#include "platform/Time.h"

#include <QString>

class frmDecSockets;

// How the carrier connections stand, now: failing while no connection is up
// or every connection that is up is quiet (no frames for FeedSilenceSeconds),
// degraded while one is quiet and another brings frames, ok otherwise.
health::Status CarrierStatus(const frmDecSockets& carriers);

// A time of day as the carrier's state shows it: "10:02:00".
QString CarrierTimeText(const QDateTime& when);

// Row i's state as the operator reads it, in the window and the console:
// "Connected", "Connected, no frames since 10:00:05" while it is quiet,
// "Waiting for carrier call-in", "Dialling carrier", "Closed" or "Not active".
QString CarrierState(const frmDecSockets& carriers, int index);

// The carrier connections and the decoder as monitoring reads them: their
// metric families, and the health check "carrier".
class CarrierMonitor final : public platform::MetricsSource, public health::CheckSource {
public:
    CarrierMonitor(const frmDecSockets& carriers, platform::Time time)
        : carriers_(carriers), time_(time) {}

    void WriteMetrics(platform::MetricsText& text) const override;
    void AppendChecks(QList<health::Check>& checks) const override;

private:
    void writeCarriers(platform::MetricsText& text) const;
    void writeDecoder(platform::MetricsText& text) const;
    QString stateText() const;
    QString rowState(int index) const;

    const frmDecSockets& carriers_;
    platform::Time time_;
};
