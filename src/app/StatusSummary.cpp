#include "app/StatusSummary.h"

#include "app/System.h"

namespace app {

namespace {

struct Tally {
    int connected = 0;
    int active = 0;
    QString Ratio() const { return QStringLiteral("%1/%2").arg(connected).arg(active); }
};

template <typename Sockets> Tally Connections(const Sockets& sockets, int count) {
    Tally tally;
    for (int i = 0; i < count; ++i) {
        if (!sockets.Entry(i).Active)
            continue;
        ++tally.active;
        if (sockets.Socket(i).State() == platform::SocketState::Connected)
            ++tally.connected;
    }
    return tally;
}

QString Carriers(const Tally& carriers) {
    // The common site has one carrier: its state in words.
    if (carriers.active <= 1)
        return carriers.connected > 0 ? QStringLiteral("carrier connected")
                                      : QStringLiteral("carrier not connected");
    return carriers.Ratio() + QStringLiteral(" carriers connected");
}

Tally Brokers(const publish::Publishers& publishers) {
    Tally tally;
    for (int i = 0; i < publishers.Count(); ++i) {
        const publish::MqttPublisher& publisher = publishers.Publisher(i);
        if (!publisher.Config().active)
            continue;
        ++tally.active;
        if (publisher.Connected())
            ++tally.connected;
    }
    return tally;
}

} // namespace

QString StatusSummary(const System& system) {
    const Tally carriers = Connections(system.decSockets, system.db.gTelstraCount);
    const Tally clients = Connections(system.outputSockets, system.db.gOutputCount);
    QString summary = Carriers(carriers) + QStringLiteral(", ") + clients.Ratio() +
                      QStringLiteral(" clients, ") +
                      QString::number(system.delayedDb.gDelayedCount) + QStringLiteral(" stored");
    const Tally brokers = Brokers(system.publishers);
    if (brokers.active > 0)
        summary += QStringLiteral(", ") + brokers.Ratio() + QStringLiteral(" brokers");
    return summary;
}

} // namespace app
