#pragma once

#include "publish/AlarmMessage.h"
#include "publish/MqttPublisher.h"
#include "publish/PublisherConfig.h"
#include "publish/PublisherHost.h"
#include "routing/AliasBook.h"

#include <QObject>
#include <QTimer>
#include <memory>
#include <vector>

namespace publish {

// The brokers of the Publishers table: every page the relay hands out goes
// to each active one, after the TCP outputs, by way of the delayed store.
//
// Pages and acknowledgements are written to the store together a moment
// later, so that a burst of pages costs one transaction, not one per page
// and broker.
class Publishers : public QObject {
    Q_OBJECT
public:
    explicit Publishers(PublisherHost& host);
    ~Publishers() override;

    // (Re)loads the rows of the table (in Description order): a publisher
    // whose row is unchanged keeps its connection; one whose row changed
    // connects again; one whose row is gone disconnects. An alias in a
    // route stands for the addresses `aliases` gives it.
    void LoadPublishers(const QList<PublisherRow>& rows, const QString& baseFolder,
                        const routing::AliasBook& aliases);
    // Makes every publisher's route again (the aliases changed).
    void RoutePublishers(const routing::AliasBook& aliases);
    // Publishes a relayed packet if it is a page; `pageID` is its identifier
    // in the relay's history (0: none).
    void PublishPage(const QByteArray& packet, qint64 pageID = 0);
    // Publishes an alarm on each active broker's <Topic>/alarms, stamped now.
    void PublishAlarm(const Alarm& alarm);
    // The store's destinations of every row loaded, active or not.
    QStringList Destinations() const;
    int Count() const { return static_cast<int>(publishers_.size()); }
    const MqttPublisher& Publisher(int index) const { return *publishers_[index]; }

    // The one-second tick: back-off, connection time limits, keep-alive.
    void StartTimer();
    void tmrPublishers_Timer();
    // Writes waiting pages and acknowledgements to the store now.
    void FlushStore();
    // Shutdown: what waits is stored, the brokers are told goodbye.
    void Unload();

private:
    void scheduleFlush();
    void storeFor(const std::vector<MqttPublisher*>& active, const QList<StoredPage>& pages);
    void loadRow(const PublisherConfig& config, int index,
                 std::vector<std::unique_ptr<MqttPublisher>>& kept);

    PublisherHost& host_;
    std::vector<std::unique_ptr<MqttPublisher>> publishers_;
    QStringList described_;
    QList<StoredPage> unstored_;
    QTimer flushTimer_;
    QTimer tmrPublishers;
    bool started_ = false;
};

} // namespace publish
