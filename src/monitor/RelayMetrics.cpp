#include "monitor/RelayMetrics.h"

#include "config/adoQuorlan.h"
#include "outputs/frmOutputSockets.h"
#include "platform/Version.h"
#include "publish/Publishers.h"
#include "relay/adoDelayed.h"

#include <QSet>

namespace monitor {

namespace {

using Type = platform::MetricsText::Type;

// The outputs in use, one for each Description: rows that share one share
// their figures, and a label set may appear only once in a scrape.
QList<QPair<QString, const OutputFigures*>> OutputsByDescription(const adoQuorlan& db,
                                                                 const frmOutputSockets& outputs) {
    QList<QPair<QString, const OutputFigures*>> rows;
    QSet<QString> seen;
    for (int i = 0; i < db.gOutputCount && i < kOutputSlots; ++i) {
        const OutputSocket& e = outputs.Entry(i);
        if (e.Status == OutputSocket::Empty || seen.contains(e.Description))
            continue;
        seen.insert(e.Description);
        rows.append({e.Description, &outputs.Figures(i)});
    }
    return rows;
}

double Seconds(const QDateTime& time) {
    return time.isValid() ? static_cast<double>(time.toMSecsSinceEpoch()) / 1000.0 : 0.0;
}

} // namespace

void RelayMetrics::WriteMetrics(platform::MetricsText& text) const {
    text.Family("ombrix_build_info", Type::Gauge, "The relay's version; always 1");
    text.Sample(1, {{"version", version::Dotted()}});
    text.Family("ombrix_start_time_seconds", Type::Gauge,
                "When the relay started, in seconds since 1970-01-01 UTC");
    text.Sample(Seconds(started_));
    writeOutputs(text);
    writePublishers(text);
}

void RelayMetrics::writeOutputs(platform::MetricsText& text) const {
    const auto rows = OutputsByDescription(db_, outputs_);
    const auto each = [&](const char* name, Type type, const char* help, const auto& value) {
        text.Family(name, type, help);
        for (const auto& [description, figures] : rows)
            text.Sample(static_cast<double>(value(description, *figures)),
                        {{"output", description}});
    };
    using F = OutputFigures;
    each("ombrix_output_connected", Type::Gauge, "Whether the output's client is connected",
         [](const QString&, const F& f) { return f.connected ? 1 : 0; });
    each("ombrix_output_packets_sent_total", Type::Counter,
         "Live packets handed to the output's client",
         [](const QString&, const F& f) { return f.sent; });
    each("ombrix_output_packets_stored_total", Type::Counter,
         "Packets stored for the output because its client could not take them",
         [this](const QString& d, const F&) { return store_.StoredTotalFor(d); });
    each("ombrix_output_packets_resent_total", Type::Counter,
         "Stored packets sent to the output's client from the store",
         [](const QString&, const F& f) { return f.resent; });
    each("ombrix_output_stored_packets", Type::Gauge,
         "Packets waiting in the store for the output's client now",
         [this](const QString& d, const F&) { return store_.RowsFor(d); });
    each("ombrix_output_last_send_timestamp_seconds", Type::Gauge,
         "When a packet was last handed to the output's client (0: never)",
         [](const QString&, const F& f) { return Seconds(f.lastSend); });
    text.Family("ombrix_output_clients_closed_total", Type::Counter,
                "Client connections of the output that ended, by reason: the client stopped "
                "reading, it was refused (AllowFrom), or the connection dropped");
    for (const auto& [description, f] : rows) {
        text.Sample(static_cast<double>(f->closedStoppedReading),
                    {{"output", description}, {"reason", QStringLiteral("stopped_reading")}});
        text.Sample(static_cast<double>(f->closedRefused),
                    {{"output", description}, {"reason", QStringLiteral("refused")}});
        text.Sample(static_cast<double>(f->closedDropped),
                    {{"output", description}, {"reason", QStringLiteral("dropped")}});
    }
}

void RelayMetrics::writePublishers(platform::MetricsText& text) const {
    QList<const publish::MqttPublisher*> rows;
    QSet<QString> seen;
    for (int i = 0; i < publishers_.Count(); ++i) {
        const publish::MqttPublisher& publisher = publishers_.Publisher(i);
        if (!seen.contains(publisher.Config().description)) {
            seen.insert(publisher.Config().description);
            rows << &publisher;
        }
    }
    const auto each = [&](const char* name, Type type, const char* help, const auto& value) {
        text.Family(name, type, help);
        for (const publish::MqttPublisher* publisher : rows)
            text.Sample(static_cast<double>(value(*publisher)),
                        {{"publisher", publisher->Config().description}});
    };
    using P = publish::MqttPublisher;
    each("ombrix_publisher_connected", Type::Gauge, "Whether the broker is connected",
         [](const P& p) { return p.Connected() ? 1 : 0; });
    each("ombrix_publisher_pending_pages", Type::Gauge,
         "Pages stored for the broker and not yet acknowledged by it",
         [this](const P& p) { return store_.RowsFor(p.Config().Destination()); });
    each("ombrix_publisher_published_total", Type::Counter,
         "Pages the broker acknowledged since its row was loaded",
         [](const P& p) { return p.Published(); });
}

} // namespace monitor
