#pragma once

#include "platform/MetricsText.h"

#include <QDateTime>

class adoDelayed;
class adoQuorlan;
class frmOutputSockets;

namespace publish {
class Publishers;
}

namespace monitor {

// The figures of the modules that keep theirs as plain numbers rather than
// writing them: the build, the start, each output (with its rows in the
// store) and each broker (with its pages waiting in the store).
class RelayMetrics final : public platform::MetricsSource {
public:
    RelayMetrics(const adoQuorlan& db, const frmOutputSockets& outputs,
                 const publish::Publishers& publishers, const adoDelayed& store, QDateTime started)
        : db_(db), outputs_(outputs), publishers_(publishers), store_(store),
          started_(std::move(started)) {}

    void WriteMetrics(platform::MetricsText& text) const override;

private:
    void writeOutputs(platform::MetricsText& text) const;
    void writePublishers(platform::MetricsText& text) const;

    const adoQuorlan& db_;
    const frmOutputSockets& outputs_;
    const publish::Publishers& publishers_;
    const adoDelayed& store_;
    QDateTime started_;
};

} // namespace monitor
