#pragma once

#include "config/HealthCheck.h"
#include "platform/Clock.h"

#include <QDateTime>
#include <QHash>

class adoQuorlan;
class frmOutputSockets;

namespace publish {
class Publishers;
}

namespace monitor {

// The health of each output and each broker.
//
// An active output is degraded when it has had no client for longer than its
// heartbeat allows one to be away (a minute, after which the relay warns of
// it, 108): a client that reconnects at once does not flap the answer. A
// broker row that is active and not connected is degraded. Inactive rows are
// ok. An output's "since" is when its client came or went (or, degraded,
// when the minute was over); a broker's is when the relay last saw its link
// change, to the second.
class RelayChecks final : public health::CheckSource {
public:
    static constexpr qint64 kNoClientSeconds = 60;

    RelayChecks(const platform::Clock& clock, const adoQuorlan& db, const frmOutputSockets& outputs,
                const publish::Publishers& publishers)
        : clock_(clock), db_(db), outputs_(outputs), publishers_(publishers) {}

    // Notes when each broker's link changed: every second, and before an answer.
    void Observe();
    void AppendChecks(QList<health::Check>& checks) const override;

private:
    void appendOutputs(QList<health::Check>& checks) const;
    void appendPublishers(QList<health::Check>& checks) const;

    const platform::Clock& clock_;
    const adoQuorlan& db_;
    const frmOutputSockets& outputs_;
    const publish::Publishers& publishers_;
    struct Link {
        bool connected = false;
        QDateTime since;
    };
    QHash<QString, Link> links_; // by broker row's Description
};

} // namespace monitor
