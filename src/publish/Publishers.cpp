#include "publish/Publishers.h"

#include "publish/PageMessage.h"

#include <QMap>
#include <QSet>
#include <mosquitto.h>
#include <optional>

namespace publish {

namespace {

constexpr std::chrono::milliseconds kTickInterval{1000};
// Pages and acknowledgements gathered this long share one transaction of the
// store (one disk flush), and the TCP outputs' sends of the pages go out
// before the store holds the loop for it.
constexpr std::chrono::milliseconds kStoreBatchInterval{20};

} // namespace

Publishers::Publishers(PublisherHost& host) : host_(host) {
    mosquitto_lib_init();
    flushTimer_.setSingleShot(true);
    flushTimer_.setInterval(kStoreBatchInterval);
    connect(&flushTimer_, &QTimer::timeout, this, &Publishers::FlushStore);
    tmrPublishers.setInterval(kTickInterval);
    connect(&tmrPublishers, &QTimer::timeout, this, &Publishers::tmrPublishers_Timer);
}

Publishers::~Publishers() {
    publishers_.clear();
    mosquitto_lib_cleanup();
}

QStringList Publishers::Destinations() const {
    return described_;
}

void Publishers::LoadPublishers(const QList<PublisherRow>& rows, const QString& baseFolder,
                                const routing::AliasBook& aliases) {
    FlushStore();
    if (rows.size() > kMaxPublishers)
        host_.LogOutput(QStringLiteral("System: No of publishers in database is greater than MAX "
                                       "Allowed of [%1]")
                            .arg(kMaxPublishers));
    described_.clear();
    std::vector<std::unique_ptr<MqttPublisher>> kept;
    QSet<QString> seen;
    for (int i = 0; i < rows.size() && i < kMaxPublishers; ++i) {
        const QString description = rows[i].value(QStringLiteral("Description"));
        if (!description.trimmed().isEmpty())
            described_ << QStringLiteral("MQTT ") + description;
        const auto read = ReadPublisherRow(rows[i], baseFolder);
        if (const QString* reason = std::get_if<QString>(&read)) {
            host_.LogOutput(QStringLiteral("System: ") + *reason);
            host_.ShowWarning(PublishWarning::Row, *reason, i);
            continue;
        }
        const PublisherConfig& config = std::get<PublisherConfig>(read);
        if (seen.contains(config.description)) {
            const QString reason = QStringLiteral("MQTT %1: a second row with this Description is "
                                                  "not used")
                                       .arg(config.description);
            host_.LogOutput(QStringLiteral("System: ") + reason);
            host_.ShowWarning(PublishWarning::Row, reason, i);
            continue;
        }
        seen.insert(config.description);
        loadRow(config, i, kept);
    }
    for (const auto& gone : publishers_) {
        host_.LogOutput(QStringLiteral("System: MQTT ") + gone->Config().description +
                        QStringLiteral(" removed"));
        gone->Stop();
    }
    publishers_ = std::move(kept);
    RoutePublishers(aliases);
    if (started_)
        tmrPublishers_Timer();
}

// A route that does not parse publishes no page until it is mended: a broker
// never gets every page by mistake.
void Publishers::RoutePublishers(const routing::AliasBook& aliases) {
    for (const auto& p : publishers_) {
        const routing::Route::Parsed parsed = routing::Route::Parse(p->Config().route, aliases);
        p->SetRoute(parsed.route ? *parsed.route : routing::Route::Nothing());
        if (parsed.route)
            continue;
        const QString reason = QStringLiteral("MQTT %1: the Route does not parse: %2. No page is "
                                              "published until it is mended.")
                                   .arg(p->Config().description, parsed.problem);
        host_.LogOutput(QStringLiteral("System: ") + reason);
        host_.ShowWarning(PublishWarning::Row, reason, p->Index());
    }
}

void Publishers::loadRow(const PublisherConfig& config, int index,
                         std::vector<std::unique_ptr<MqttPublisher>>& kept) {
    const auto same = std::find_if(publishers_.begin(), publishers_.end(), [&](const auto& p) {
        return p->Config().description == config.description;
    });
    if (same != publishers_.end() && (*same)->Config() == config) {
        kept.push_back(std::move(*same));
        publishers_.erase(same);
        return;
    }
    if (same != publishers_.end()) {
        (*same)->Stop();
        publishers_.erase(same);
    }
    // The password is not written anywhere.
    host_.LogOutput(QStringLiteral("System: MQTT %1 loaded: %2:%3 topic %4/<address> QoS %5%6%7%8")
                        .arg(config.description, config.host)
                        .arg(config.port)
                        .arg(config.topic)
                        .arg(config.qos)
                        .arg(config.caFile.isEmpty() ? QString() : QStringLiteral(" TLS"))
                        .arg(config.username.isEmpty() ? QString() : QStringLiteral(" with login"))
                        .arg(config.active ? QString() : QStringLiteral(", not active")));
    auto publisher = std::make_unique<MqttPublisher>(config, index, host_);
    publisher->onAcknowledged = [this] { scheduleFlush(); };
    if (config.active)
        publisher->Start();
    kept.push_back(std::move(publisher));
}

void Publishers::PublishPage(const QByteArray& packet, qint64 pageID) {
    const bool anyActive = std::any_of(publishers_.begin(), publishers_.end(),
                                       [](const auto& p) { return p->Config().active; });
    if (!anyActive || !ReadPage(packet))
        return;
    unstored_ << StoredPage{0, host_.Now(), packet, pageID};
    scheduleFlush();
}

void Publishers::PublishAlarm(const Alarm& alarm) {
    QByteArray json;
    for (const auto& p : publishers_) {
        if (!p->Config().active)
            continue;
        if (json.isEmpty())
            json = AlarmJson(alarm, host_.Now(), host_.ServerID());
        p->Alarm(json);
    }
}

void Publishers::scheduleFlush() {
    if (!flushTimer_.isActive())
        flushTimer_.start();
}

void Publishers::FlushStore() {
    flushTimer_.stop();
    for (const auto& p : publishers_) {
        const QList<qint64> done = p->TakeAcknowledged();
        if (!done.isEmpty())
            host_.DeleteStored(p->Config().Destination(), done);
    }
    if (unstored_.isEmpty())
        return;
    std::vector<MqttPublisher*> active;
    for (const auto& p : publishers_)
        if (p->Config().active)
            active.push_back(p.get());
    const QList<StoredPage> pages = std::exchange(unstored_, {});
    if (!active.empty())
        storeFor(active, pages);
}

// Each publisher's pages are the ones its route lets through; publishers with
// the same route share one list, so that with no routes (or one for all) the
// moment's pages are still stored in one transaction.
void Publishers::storeFor(const std::vector<MqttPublisher*>& active,
                          const QList<StoredPage>& pages) {
    std::vector<std::optional<routing::RoutedPage>> read(size_t(pages.size()));
    std::vector<std::optional<PageFields>> fields(size_t(pages.size()));
    QMap<QString, std::vector<MqttPublisher*>> byRoute;
    for (MqttPublisher* p : active)
        byRoute[p->Config().route].push_back(p);
    for (const std::vector<MqttPublisher*>& group : std::as_const(byRoute)) {
        const routing::Route& route = group.front()->Routed();
        QList<StoredPage> routed;
        for (qsizetype i = 0; i < pages.size(); ++i) {
            if (!route.Everything() && !read[size_t(i)]) {
                fields[size_t(i)] = ReadPage(pages[i].packet);
                const PageFields& f = *fields[size_t(i)]; // only pages are published
                read[size_t(i)].emplace(
                    routing::PageFacts{f.rate, f.frequency, f.function, f.address, f.type, f.text});
            }
            if (route.Everything() || route.Routes(*read[size_t(i)]))
                routed << pages[i];
        }
        if (routed.isEmpty())
            continue;
        QStringList destinations;
        for (const MqttPublisher* p : group)
            destinations << p->Config().Destination();
        const QList<QList<StoredPage>> stored = host_.StorePages(destinations, routed);
        for (size_t k = 0; k < group.size() && k < size_t(stored.size()); ++k)
            group[k]->Stored(stored[qsizetype(k)]);
    }
}

void Publishers::StartTimer() {
    started_ = true;
    tmrPublishers.start();
    tmrPublishers_Timer();
}

void Publishers::tmrPublishers_Timer() {
    for (const auto& p : publishers_)
        if (p->Config().active)
            p->Tick();
}

void Publishers::Unload() {
    FlushStore();
    tmrPublishers.stop();
    started_ = false;
    for (const auto& p : publishers_)
        p->Stop();
    FlushStore();
}

} // namespace publish
