#pragma once

#include "monitor/MonitorListener.h"
#include "monitor/RelayChecks.h"
#include "monitor/RelayMetrics.h"
#include "monitor/RelayOverview.h"
#include "monitor/Sources.h"

#include <QObject>
#include <QTimer>
#include <memory>

class adoDelayed;
class adoQuorlan;
class frmDecSockets;
class frmOutputSockets;

namespace platform {
class Clock;
}

namespace publish {
class Publishers;
}

namespace monitor {

// What an outside monitor reads of the relay: /metrics, every source's
// figures in the Prometheus text format, and /healthz, every source's checks.
// The system object adds the modules' sources; the figures and checks of the
// outputs and brokers are this module's own.
class Monitor : public QObject {
    Q_OBJECT
public:
    struct Parts {
        const platform::Clock& clock;
        const adoQuorlan& db;
        const frmOutputSockets& outputs;
        const publish::Publishers& publishers;
        adoDelayed& store; // the overview reads its oldest row
        const frmDecSockets& carriers;
    };
    explicit Monitor(const Parts& parts, QObject* parent = nullptr);
    ~Monitor() override;

    void AddMetrics(const platform::MetricsSource& source) { sources_.metrics.push_back(&source); }
    void AddChecks(const health::CheckSource& source) { sources_.checks.push_back(&source); }
    // Takes a source out of the list (one that goes before the monitor).
    void RemoveMetrics(const platform::MetricsSource& source);

    // Listens as the settings say: "" when it listens or is turned off, else why not.
    QString Start(const MonitorSettings& settings);
    // The listener, while it runs.
    MonitorListener* Listener() const { return listener_.get(); }

    QByteArray Metrics() const;
    Answer Health();
    // Every source's checks, the brokers' links noted first.
    QList<health::Check> Checks();

    // The console's overview, with the health object /healthz answers.
    RelayOverview& Overview() { return overview_; }
    QJsonObject OverviewJson() { return overview_.Json(HealthJson(Checks())); }

private:
    const platform::Clock& clock_;
    Sources sources_;
    RelayMetrics relayMetrics_;
    RelayChecks relayChecks_;
    RelayOverview overview_;
    std::unique_ptr<MonitorListener> listener_;
    QTimer observe_; // the brokers' links, while the listener runs
};

} // namespace monitor
