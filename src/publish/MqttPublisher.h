#pragma once

#include "publish/PublisherConfig.h"
#include "publish/PublisherHost.h"
#include "routing/Route.h"

#include <QDateTime>
#include <QHash>
#include <QHostInfo>
#include <QList>
#include <QObject>
#include <QSet>
#include <chrono>
#include <functional>
#include <memory>

class QSocketNotifier;
struct mosquitto;

namespace publish {

// How long a broker is left alone after a failure: doubled at each failure
// from the first to the longest, back to the first once connected.
constexpr std::chrono::seconds kFirstRetry{1};
constexpr std::chrono::seconds kLongestRetry{60};
// A connection the broker has not accepted within this time has failed.
constexpr std::chrono::seconds kConnectTimeLimit{15};
// The MQTT keep-alive the broker is told.
constexpr int kKeepAliveSeconds = 30;
// Pages handed to the library and not yet acknowledged, at most; the rest
// wait in the store.
constexpr int kInFlightWindow = 100;
// Stored pages read at a time when a broker is back.
constexpr int kBacklogBatch = 500;
// Alarms kept for a broker that is away, at most; the oldest go first.
constexpr int kAlarmQueueLimit = 100;

// One broker: its connection through libmosquitto, driven from the event loop
// (the library's socket watched by notifiers, its periodic work on the
// owner's tick), and the pages on their way to it. A page's row in the store
// goes once the broker has acknowledged it (QoS 0: once it was written).
// Beside the pages, <Topic>/status says whether the relay is there (retained
// "online" once connected; "offline" as the last will, and before a clean
// disconnect, which sends no will), and <Topic>/alarms carries the alarms.
class MqttPublisher : public QObject {
    Q_OBJECT
public:
    // LookingUp: the broker's name is being looked up, off the relay's thread.
    enum class State { Idle, Waiting, LookingUp, Connecting, Connected };

    // `index` is the row's place in the table, shown with its warnings.
    MqttPublisher(PublisherConfig config, int index, PublisherHost& host);
    ~MqttPublisher() override;
    MqttPublisher(const MqttPublisher&) = delete;
    MqttPublisher& operator=(const MqttPublisher&) = delete;

    const PublisherConfig& Config() const { return config_; }
    int Index() const { return index_; }
    // The pages it publishes: its row's Route, made when the rows are loaded.
    const routing::Route& Routed() const { return route_; }
    void SetRoute(routing::Route route) { route_ = std::move(route); }
    State LinkState() const { return state_; }
    bool Connected() const { return state_ == State::Connected; }
    int InFlight() const { return static_cast<int>(inFlight_.size()); }
    // Pages the broker has acknowledged (QoS 0: written) since this row was loaded.
    qint64 Published() const { return published_; }

    // Connects at the next tick, without waiting for a back-off.
    void Start();
    // Connects when a back-off is over; gives up a connection attempt that
    // takes too long; lets the library do its keep-alive.
    void Tick();
    // Says "offline" and disconnects; no further attempts.
    void Stop();
    // Pages stored for this broker just now, oldest first.
    void Stored(const QList<StoredPage>& pages);
    // Pages acknowledged since the last call; their rows are to be deleted.
    QList<qint64> TakeAcknowledged();
    // An alarm (JSON) for <Topic>/alarms: published from the event loop, or
    // kept until the broker is connected (kAlarmQueueLimit at most).
    void Alarm(const QByteArray& json);
    // Alarms dropped, the oldest first, while the broker was away.
    qint64 AlarmsDropped() const { return alarmsDropped_; }

    // Called when a page was acknowledged.
    std::function<void()> onAcknowledged;

private slots:
    // A slot by name, not a functor: Qt 6.4 never frees a functor's slot
    // object when a lookup is abandoned or still running at exit.
    void lookedUp(const QHostInfo& info);

private:
    enum class Failure { Lost, Refused };

    void connectNow();
    void connectTo(const QString& address);
    bool setUpTls();
    void fail(Failure kind, QString reason, bool warn);
    void dropHandle();
    void drain();
    void publish(const StoredPage& page);
    bool send(const QByteArray& topic, const QByteArray& payload, bool retain, qint64 messID);
    void sendAlarms();
    void publishAlarms();
    void tellDroppedAlarms();
    void afterLoop(int rc);
    void readable();
    void writable();
    void watchWrites();
    void acknowledged(int mid);
    QString where() const;
    QString loopFailure(int rc) const;

    static void onConnect(mosquitto* m, void* self, int rc);
    static void onPublish(mosquitto* m, void* self, int mid);

    PublisherConfig config_;
    int index_;
    routing::Route route_;
    PublisherHost& host_;
    static constexpr int kNoLookup = -1;
    int lookupID_ = kNoLookup; // the name lookup under way
    mosquitto* m_ = nullptr;
    std::unique_ptr<QSocketNotifier> reading_;
    std::unique_ptr<QSocketNotifier> writing_;
    State state_ = State::Idle;
    QDateTime nextAttempt_;
    QDateTime attemptStarted_;
    std::chrono::seconds retry_ = kFirstRetry;
    QString lastFailure_; // logged and warned once until it changes or a connection succeeds

    QList<StoredPage> queue_;      // stored, not yet handed to the library
    bool backlog_ = false;         // the store may hold pages not read into the queue
    qint64 lastRead_ = 0;          // the newest stored page read or queued
    QHash<int, qint64> inFlight_;  // library message id -> stored page
    QSet<int> writtenEarly_;       // acknowledged before publish() returned
    QList<qint64> acknowledged_;   // rows to delete
    QSet<qint64> acknowledgedSet_; // the same, to keep them out of a re-read backlog
    QString refusal_;              // set by the connect callback
    QString publishFailure_;       // set when a publish inside a callback failed
    qint64 published_ = 0;

    QList<QByteArray> alarms_;     // not yet handed to the library
    bool alarmsScheduled_ = false; // sendAlarms is due on the event loop
    qint64 alarmsDropped_ = 0;
    qint64 droppedTold_ = 0; // of alarmsDropped_, the number logged
};

} // namespace publish
