#include "monitor/RelayChecks.h"

#include "config/adoQuorlan.h"
#include "outputs/frmOutputSockets.h"
#include "publish/Publishers.h"

#include <QSet>

namespace monitor {

void RelayChecks::Observe() {
    const QDateTime now = clock_.now();
    QHash<QString, Link> seen;
    for (int i = 0; i < publishers_.Count(); ++i) {
        const publish::MqttPublisher& publisher = publishers_.Publisher(i);
        const QString& description = publisher.Config().description;
        Link link = links_.value(description, Link{!publisher.Connected(), {}});
        if (link.connected != publisher.Connected() || !link.since.isValid())
            link = Link{publisher.Connected(), now};
        seen.insert(description, link);
    }
    links_.swap(seen);
}

void RelayChecks::AppendChecks(QList<health::Check>& checks) const {
    appendOutputs(checks);
    appendPublishers(checks);
}

void RelayChecks::appendOutputs(QList<health::Check>& checks) const {
    const QDateTime now = clock_.now();
    QSet<QString> seen;
    for (int i = 0; i < db_.gOutputCount && i < kOutputSlots; ++i) {
        const OutputSocket& e = outputs_.Entry(i);
        if (e.Status == OutputSocket::Empty || seen.contains(e.Description))
            continue;
        seen.insert(e.Description);
        const OutputFigures& figures = outputs_.Figures(i);
        health::Check check{QStringLiteral("output:") + e.Description, health::Status::Ok,
                            QStringLiteral("Connected"), figures.since};
        if (!e.Active) {
            check.state = QStringLiteral("Not active");
        } else if (!figures.connected) {
            const QDateTime limit = figures.since.addSecs(kNoClientSeconds);
            check.state = QStringLiteral("No client");
            if (limit < now) {
                check.status = health::Status::Degraded;
                check.since = limit;
            }
        }
        checks << check;
    }
}

void RelayChecks::appendPublishers(QList<health::Check>& checks) const {
    for (int i = 0; i < publishers_.Count(); ++i) {
        const publish::MqttPublisher& publisher = publishers_.Publisher(i);
        const QString& description = publisher.Config().description;
        health::Check check{QStringLiteral("publisher:") + description, health::Status::Ok,
                            QStringLiteral("Connected"), links_.value(description).since};
        if (!publisher.Config().active) {
            check.state = QStringLiteral("Not active");
        } else if (!publisher.Connected()) {
            check.status = health::Status::Degraded;
            check.state = QStringLiteral("Not connected");
        }
        checks << check;
    }
}

} // namespace monitor
