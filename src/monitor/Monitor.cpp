#include "monitor/Monitor.h"

#include <algorithm>

namespace monitor {

Monitor::Monitor(const Parts& parts, QObject* parent)
    : QObject(parent), clock_(parts.clock),
      relayMetrics_(parts.db, parts.outputs, parts.publishers, parts.store, parts.clock.now()),
      relayChecks_(parts.clock, parts.db, parts.outputs, parts.publishers),
      overview_(
          {parts.clock, parts.db, parts.carriers, parts.outputs, parts.publishers, parts.store}) {
    AddMetrics(relayMetrics_);
    AddChecks(relayChecks_);
}

Monitor::~Monitor() = default;

void Monitor::RemoveMetrics(const platform::MetricsSource& source) {
    std::erase(sources_.metrics, &source);
}

QString Monitor::Start(const MonitorSettings& settings) {
    if (!settings.problem.isEmpty())
        return settings.problem;
    if (settings.port == 0)
        return {};
    auto listener = std::make_unique<MonitorListener>(
        clock_, MonitorListener::Pages{[this] { return Metrics(); }, [this] { return Health(); }});
    QString failure = listener->Start(settings);
    if (!failure.isEmpty())
        return failure;
    observe_.setInterval(MonitorListener::kTickMs);
    connect(&observe_, &QTimer::timeout, this, [this] { relayChecks_.Observe(); });
    observe_.start();
    listener_ = std::move(listener);
    return {};
}

QByteArray Monitor::Metrics() const {
    platform::MetricsText text;
    for (const platform::MetricsSource* source : sources_.metrics)
        source->WriteMetrics(text);
    return text.Text();
}

QList<health::Check> Monitor::Checks() {
    relayChecks_.Observe();
    QList<health::Check> checks;
    for (const health::CheckSource* source : sources_.checks)
        source->AppendChecks(checks);
    return checks;
}

Answer Monitor::Health() {
    return HealthAnswer(Checks());
}

} // namespace monitor
