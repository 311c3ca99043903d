#include "monitor/RelayOverview.h"

#include "config/adoQuorlan.h"
#include "monitor/IsoTime.h"
#include "outputs/OutputState.h"
#include "outputs/frmOutputSockets.h"
#include "platform/Clock.h"
#include "publish/Publishers.h"
#include "relay/adoDelayed.h"
#include "telstra/CarrierMonitor.h"
#include "telstra/frmDecSockets.h"

#include <QSet>

namespace monitor {

namespace {

constexpr int kShortWindowMinutes = 5;

QString Key(const char* kind, const QString& name) {
    return QLatin1String(kind) + QLatin1Char(':') + name;
}

QJsonArray PerMinuteJson(const MinuteCounts::PerMinute& minutes) {
    QJsonArray list;
    for (const qint64 count : minutes)
        list << count;
    return list;
}

} // namespace

RelayOverview::RelayOverview(const Parts& parts)
    : clock_(parts.clock), db_(parts.db), carriers_(parts.carriers), outputs_(parts.outputs),
      publishers_(parts.publishers), store_(parts.store) {}

QList<int> RelayOverview::carrierRows() const {
    QList<int> rows;
    for (int i = 0; i < carriers_.CarrierCount() && i < kTelstraSlots; ++i)
        if (carriers_.Entry(i).Status != TelstraSocket::Empty)
            rows << i;
    return rows;
}

QList<int> RelayOverview::outputRows() const {
    QList<int> rows;
    QSet<QString> described;
    for (int i = 0; i < db_.gOutputCount && i < kOutputSlots; ++i) {
        const OutputSocket& e = outputs_.Entry(i);
        if (e.Status == OutputSocket::Empty || described.contains(e.Description))
            continue;
        described.insert(e.Description);
        rows << i;
    }
    return rows;
}

// Carrier rows may share a Description: each is its own connection.
QString RelayOverview::carrierKey(int i) const {
    return Key("carrier", QString::number(i) + QLatin1Char(':') + carriers_.Entry(i).Description);
}

QString RelayOverview::outputKey(int i) const {
    return Key("output", outputs_.Entry(i).Description);
}

void RelayOverview::Observe() {
    const QDateTime now = clock_.now();
    QHash<QString, Seen> seen;
    const auto note = [&](const QString& key, const QString& state) {
        Seen before = seen_.value(key);
        if (before.state != state || !before.since.isValid())
            before = Seen{state, now, TimeJson(now)};
        seen.insert(key, before);
    };
    for (const int i : carrierRows())
        note(carrierKey(i), CarrierState(carriers_, i));
    for (const int i : outputRows())
        note(outputKey(i), OutputState(outputs_, i));
    seen_.swap(seen);
}

QJsonObject RelayOverview::Json(const QJsonObject& health) {
    Observe();
    const QDateTime now = clock_.now();
    return {{QStringLiteral("carriers"), carriersJson(now)},
            {QStringLiteral("outputs"), outputsJson(now)},
            {QStringLiteral("publishers"), publishersJson()},
            {QStringLiteral("store"), storeJson()},
            {QStringLiteral("alarms"), alarms_()},
            {QStringLiteral("health"), health}};
}

QJsonArray RelayOverview::carriersJson(const QDateTime& now) {
    QJsonArray list;
    const FeedWatch& feed = carriers_.Feed();
    for (const int i : carrierRows()) {
        const QString key = carrierKey(i);
        const MinuteCounts::PerMinute pages = feed.Pages(i).Read(now);
        list << QJsonObject{
            {QStringLiteral("description"), carriers_.Entry(i).Description},
            {QStringLiteral("state"), CarrierState(carriers_, i)},
            {QStringLiteral("since"), since(key)},
            {QStringLiteral("lastFrame"), times_[key](feed.LastFrame(i))},
            {QStringLiteral("pages5m"), MinuteCounts::Sum(pages, kShortWindowMinutes)},
            {QStringLiteral("pages1h"), MinuteCounts::Sum(pages, MinuteCounts::kMinutes)},
            {QStringLiteral("perMinute"), PerMinuteJson(pages)}};
    }
    return list;
}

QJsonArray RelayOverview::outputsJson(const QDateTime& now) {
    QJsonArray list;
    const QDate today = now.date();
    for (const int i : outputRows()) {
        const QString key = outputKey(i);
        const QString& description = outputs_.Entry(i).Description;
        const OutputFigures& figures = outputs_.Figures(i);
        list << QJsonObject{{QStringLiteral("description"), description},
                            {QStringLiteral("state"), OutputState(outputs_, i)},
                            {QStringLiteral("since"), since(key)},
                            {QStringLiteral("sentToday"), figures.SentOn(today)},
                            {QStringLiteral("stored"), store_.RowsFor(description)},
                            {QStringLiteral("lastPage"), times_[key](figures.lastPage)}};
    }
    return list;
}

QJsonArray RelayOverview::publishersJson() const {
    QJsonArray list;
    QSet<QString> described;
    for (int i = 0; i < publishers_.Count(); ++i) {
        const publish::MqttPublisher& publisher = publishers_.Publisher(i);
        const QString& description = publisher.Config().description;
        if (described.contains(description))
            continue;
        described.insert(description);
        list << QJsonObject{
            {QStringLiteral("description"), description},
            {QStringLiteral("connected"), publisher.Connected()},
            {QStringLiteral("pending"), store_.RowsFor(publisher.Config().Destination())}};
    }
    return list;
}

// Created is kept as local time without its offset: read back, it is this
// machine's local time, and shown with the offset it has now.
QJsonObject RelayOverview::storeJson() {
    const QString oldest = store_.OldestCreated();
    if (oldest != oldest_) {
        oldest_ = oldest;
        oldestJson_ = TimeJson(oldest.isEmpty() ? QDateTime()
                                                : QDateTime::fromString(oldest, Qt::ISODateWithMs));
    }
    return {{QStringLiteral("rows"), store_.gDelayedCount},
            {QStringLiteral("oldest"), oldestJson_}};
}

} // namespace monitor
