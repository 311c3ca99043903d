#include "publish/MqttPublisher.h"

#include "publish/AlarmMessage.h"
#include "publish/LinkFailure.h"
#include "publish/PageMessage.h"
#include "publish/TlsContext.h"

#include <QFile>
#include <QHostAddress>
#include <QSocketNotifier>
#include <cerrno>
#include <mosquitto.h>

namespace publish {

MqttPublisher::MqttPublisher(PublisherConfig config, int index, PublisherHost& host)
    : config_(std::move(config)), index_(index), host_(host) {}

MqttPublisher::~MqttPublisher() {
    dropHandle();
}

QString MqttPublisher::where() const {
    return config_.host + QLatin1Char(':') + QString::number(config_.port);
}

void MqttPublisher::Start() {
    state_ = State::Waiting;
    nextAttempt_ = host_.Now();
    retry_ = kFirstRetry;
}

void MqttPublisher::Stop() {
    if (m_ && state_ == State::Connected) {
        // The broker sends the will only for a connection that ends unannounced.
        send(StatusTopic(config_.topic), kOffline, true, 0);
        mosquitto_disconnect(m_);
        mosquitto_loop_write(m_, 1);
    }
    dropHandle();
    state_ = State::Idle;
}

void MqttPublisher::Tick() {
    const QDateTime now = host_.Now();
    if (state_ == State::Waiting && nextAttempt_ <= now) {
        connectNow();
        return;
    }
    if (state_ == State::Connecting &&
        attemptStarted_.secsTo(now) >= qint64(kConnectTimeLimit.count())) {
        fail(Failure::Lost,
             QStringLiteral("no answer from %1 within %2 s")
                 .arg(where())
                 .arg(kConnectTimeLimit.count()),
             true);
        return;
    }
    if (m_ && (state_ == State::Connecting || state_ == State::Connected))
        afterLoop(mosquitto_loop_misc(m_));
}

void MqttPublisher::connectNow() {
    dropHandle();
    // As the library would find it: a file it cannot open is not tried.
    if (!config_.caFile.isEmpty() && !QFile(config_.caFile).open(QIODevice::ReadOnly)) {
        fail(Failure::Lost, QStringLiteral("the CA file %1 cannot be read").arg(config_.caFile),
             true);
        return;
    }
    const QHostAddress literal(config_.host);
    if (!literal.isNull()) {
        connectTo(literal.toString());
        return;
    }
    // The library would look the name up itself, on this thread, for as long
    // as the DNS takes to answer or give up: seconds in which no page moves.
    state_ = State::LookingUp;
    lookupID_ = QHostInfo::lookupHost(config_.host, this, SLOT(lookedUp(QHostInfo)));
}

void MqttPublisher::lookedUp(const QHostInfo& info) {
    if (state_ != State::LookingUp || info.lookupId() != lookupID_)
        return;
    lookupID_ = kNoLookup;
    if (info.error() != QHostInfo::NoError || info.addresses().isEmpty()) {
        fail(Failure::Lost, QStringLiteral("unknown host %1").arg(config_.host), true);
        return;
    }
    connectTo(info.addresses().constFirst().toString());
}

bool MqttPublisher::setUpTls() {
    // The certificate must name the host as the operator gave it, while the
    // library is handed its address.
    // Without the library's defaults: they would check the address instead.
    const TlsContext tls = MakeTlsContext(config_.caFile, config_.host);
    if (tls && mosquitto_int_option(m_, MOSQ_OPT_SSL_CTX_WITH_DEFAULTS, 0) == MOSQ_ERR_SUCCESS &&
        mosquitto_void_option(m_, MOSQ_OPT_SSL_CTX, tls.get()) == MOSQ_ERR_SUCCESS)
        return true;
    fail(Failure::Lost,
         QStringLiteral("TLS to %1 could not be set up: is %2 a PEM file of CA certificates?")
             .arg(where(), config_.caFile),
         true);
    return false;
}

void MqttPublisher::connectTo(const QString& address) {
    m_ = mosquitto_new(nullptr, true, this);
    if (!m_) {
        fail(Failure::Lost, QStringLiteral("the MQTT library could not make a client"), true);
        return;
    }
    mosquitto_int_option(m_, MOSQ_OPT_PROTOCOL_VERSION, MQTT_PROTOCOL_V311);
    mosquitto_max_inflight_messages_set(m_, kInFlightWindow);
    const QByteArray status = StatusTopic(config_.topic);
    mosquitto_will_set(m_, status.constData(), int(qstrlen(kOffline)), kOffline, config_.qos, true);
    mosquitto_connect_callback_set(m_, &MqttPublisher::onConnect);
    mosquitto_publish_callback_set(m_, &MqttPublisher::onPublish);
    if (!config_.username.isEmpty())
        mosquitto_username_pw_set(
            m_, config_.username.toUtf8().constData(),
            config_.password.isEmpty() ? nullptr : config_.password.toUtf8().constData());
    if (!config_.caFile.isEmpty() && !setUpTls())
        return;
    errno = 0;
    const int rc = mosquitto_connect_async(m_, address.toLatin1().constData(), config_.port,
                                           kKeepAliveSeconds);
    // A TLS error here is the handshake's (the broker can answer within the
    // call): the CA file was read above.
    if (rc != MOSQ_ERR_SUCCESS) {
        fail(Failure::Lost, QStringLiteral("cannot reach %1: %2").arg(where(), loopFailure(rc)),
             true);
        return;
    }
    state_ = State::Connecting;
    attemptStarted_ = host_.Now();
    const int socket = mosquitto_socket(m_);
    reading_ = std::make_unique<QSocketNotifier>(socket, QSocketNotifier::Read);
    writing_ = std::make_unique<QSocketNotifier>(socket, QSocketNotifier::Write);
    connect(reading_.get(), &QSocketNotifier::activated, this, &MqttPublisher::readable);
    connect(writing_.get(), &QSocketNotifier::activated, this, &MqttPublisher::writable);
    watchWrites();
}

QString MqttPublisher::loopFailure(int rc) const {
    return LinkFailure(rc, errno);
}

// By value: callers pass members (refusal_, publishFailure_) that dropping the
// connection below clears.
// NOLINTNEXTLINE(performance-unnecessary-value-param)
void MqttPublisher::fail(Failure kind, QString reason, bool warn) {
    const bool wasConnected = state_ == State::Connected;
    dropHandle();
    state_ = State::Waiting;
    nextAttempt_ = host_.Now().addSecs(retry_.count());
    retry_ = std::min(retry_ * 2, kLongestRetry);
    // A broker that stays away is said once, not at every attempt.
    if (!wasConnected && reason == lastFailure_)
        return;
    lastFailure_ = reason;
    const QString line =
        QStringLiteral("System: MQTT ") + config_.description +
        (kind == Failure::Refused ? QStringLiteral(" refused: ") : QStringLiteral(" lost: ")) +
        reason;
    host_.LogOutput(line);
    if (warn)
        host_.ShowWarning(
            PublishWarning::Connect,
            QStringLiteral("MQTT %1 at %2: %3").arg(config_.description, where(), reason), index_);
}

void MqttPublisher::dropHandle() {
    // An answer still to come is for an attempt given up.
    if (lookupID_ != kNoLookup)
        QHostInfo::abortHostLookup(lookupID_);
    lookupID_ = kNoLookup;
    // The notifiers go first: the socket they watch closes with the handle.
    if (reading_)
        reading_->setEnabled(false);
    if (writing_)
        writing_->setEnabled(false);
    // One of them may be the caller: deleted once its signal has returned.
    if (reading_)
        reading_.release()->deleteLater();
    if (writing_)
        writing_.release()->deleteLater();
    if (m_)
        mosquitto_destroy(m_);
    m_ = nullptr;
    // What was in flight stays stored and is published again from the store.
    inFlight_.clear();
    writtenEarly_.clear();
    queue_.clear();
    refusal_.clear();
    publishFailure_.clear();
}

void MqttPublisher::watchWrites() {
    if (writing_ && m_)
        writing_->setEnabled(mosquitto_want_write(m_));
}

void MqttPublisher::readable() {
    if (m_)
        afterLoop(mosquitto_loop_read(m_, 1));
}

void MqttPublisher::writable() {
    if (!m_)
        return;
    // The library takes a TLS handshake a step further only in its read
    // routine, which reads nothing while the handshake wants to write.
    if (!config_.caFile.isEmpty() && state_ == State::Connecting) {
        const int rc = mosquitto_loop_read(m_, 1);
        if (rc != MOSQ_ERR_SUCCESS) {
            afterLoop(rc);
            return;
        }
    }
    afterLoop(mosquitto_loop_write(m_, 1));
}

void MqttPublisher::afterLoop(int rc) {
    if (!refusal_.isEmpty()) {
        fail(Failure::Refused, refusal_, true);
        return;
    }
    if (rc == MOSQ_ERR_SUCCESS && !publishFailure_.isEmpty()) {
        fail(Failure::Lost, publishFailure_, false);
        return;
    }
    if (rc != MOSQ_ERR_SUCCESS) {
        const QString reason =
            state_ == State::Connected
                ? loopFailure(rc)
                : QStringLiteral("cannot reach %1: %2").arg(where(), loopFailure(rc));
        fail(Failure::Lost, reason, state_ != State::Connected);
        return;
    }
    watchWrites();
}

void MqttPublisher::onConnect(mosquitto*, void* self, int rc) {
    auto* p = static_cast<MqttPublisher*>(self);
    if (rc != 0) {
        p->refusal_ = QString::fromUtf8(mosquitto_connack_string(rc));
        return;
    }
    p->state_ = State::Connected;
    p->retry_ = kFirstRetry;
    p->lastFailure_.clear();
    p->host_.LogOutput(QStringLiteral("System: MQTT ") + p->config_.description +
                       QStringLiteral(" connected to ") + p->where());
    p->send(StatusTopic(p->config_.topic), kOnline, true, 0);
    p->tellDroppedAlarms();
    p->publishAlarms();
    // Everything stored for this broker goes again, oldest first.
    p->queue_.clear();
    p->lastRead_ = 0;
    p->backlog_ = true;
    p->drain();
}

void MqttPublisher::onPublish(mosquitto*, void* self, int mid) {
    static_cast<MqttPublisher*>(self)->acknowledged(mid);
}

void MqttPublisher::acknowledged(int mid) {
    const auto it = inFlight_.find(mid);
    if (it == inFlight_.end()) {
        writtenEarly_.insert(mid);
        return;
    }
    const qint64 messID = it.value();
    inFlight_.erase(it);
    ++published_;
    if (messID != 0) {
        host_.PageReached(messID, PageStep::Acknowledged);
        acknowledged_ << messID;
        acknowledgedSet_.insert(messID);
        if (onAcknowledged)
            onAcknowledged();
    }
    drain();
}

QList<qint64> MqttPublisher::TakeAcknowledged() {
    acknowledgedSet_.clear();
    return std::exchange(acknowledged_, {});
}

void MqttPublisher::Stored(const QList<StoredPage>& pages) {
    for (const StoredPage& page : pages) {
        if (page.messID == 0) {
            // Not in the store: it goes now or never.
            if (Connected())
                queue_ << page;
            else
                host_.LogOutput(QStringLiteral("System: MQTT ") + config_.description +
                                QStringLiteral(" could not store the page, it is lost: ") +
                                QString::fromLatin1(page.packet));
            continue;
        }
        // While a backlog is read from the store, new pages are read with it,
        // in their turn.
        if (Connected() && !backlog_) {
            queue_ << page;
            lastRead_ = std::max(lastRead_, page.messID);
        }
    }
    if (!Connected())
        return;
    drain();
    afterLoop(MOSQ_ERR_SUCCESS);
}

void MqttPublisher::drain() {
    while (state_ == State::Connected && publishFailure_.isEmpty() &&
           inFlight_.size() < kInFlightWindow) {
        if (queue_.isEmpty()) {
            if (!backlog_)
                return;
            const QList<StoredPage> more =
                host_.StoredPages(config_.Destination(), lastRead_, kBacklogBatch);
            backlog_ = more.size() == kBacklogBatch;
            for (const StoredPage& page : more) {
                lastRead_ = std::max(lastRead_, page.messID);
                if (!acknowledgedSet_.contains(page.messID))
                    queue_ << page;
            }
            continue;
        }
        publish(queue_.takeFirst());
    }
}

void MqttPublisher::publish(const StoredPage& page) {
    const std::optional<PageFields> fields = ReadPage(page.packet);
    if (!fields) {
        // Only pages are stored for a broker; anything else has no message
        // and its row goes.
        if (page.messID != 0) {
            acknowledged_ << page.messID;
            acknowledgedSet_.insert(page.messID);
        }
        return;
    }
    send(PageTopic(config_.topic, *fields),
         PageJson(page.messID, page.created, host_.ServerID(), page.packet, *fields,
                  host_.AliasOf(fields->address, fields->function)),
         false, page.messID);
}

// One message at the row's QoS; `messID` is the stored page's row (0: none).
// False when the library refused it: the link is then given up at the next
// turn of the loop.
bool MqttPublisher::send(const QByteArray& topic, const QByteArray& payload, bool retain,
                         qint64 messID) {
    int mid = 0;
    const int rc = mosquitto_publish(m_, &mid, topic.constData(), static_cast<int>(payload.size()),
                                     payload.constData(), config_.qos, retain);
    if (rc != MOSQ_ERR_SUCCESS) {
        publishFailure_ = loopFailure(rc);
        return false;
    }
    inFlight_.insert(mid, messID);
    if (messID != 0)
        host_.PageReached(messID, PageStep::Published);
    if (writtenEarly_.remove(mid))
        acknowledged(mid);
    return true;
}

void MqttPublisher::Alarm(const QByteArray& json) {
    alarms_ << json;
    if (alarms_.size() > kAlarmQueueLimit) {
        alarms_.removeFirst();
        ++alarmsDropped_;
    }
    // Not at once: the warning may come from the middle of this publisher's
    // own work, even from inside the library's callback.
    if (Connected() && !alarmsScheduled_) {
        alarmsScheduled_ = true;
        QMetaObject::invokeMethod(this, &MqttPublisher::sendAlarms, Qt::QueuedConnection);
    }
}

void MqttPublisher::sendAlarms() {
    alarmsScheduled_ = false;
    if (!Connected())
        return;
    publishAlarms();
    afterLoop(MOSQ_ERR_SUCCESS);
}

// Alarms are not stored: one handed to the library is sent or lost with the
// connection.
void MqttPublisher::publishAlarms() {
    while (!alarms_.isEmpty() && publishFailure_.isEmpty() &&
           send(AlarmTopic(config_.topic), alarms_.constFirst(), false, 0))
        alarms_.removeFirst();
}

void MqttPublisher::tellDroppedAlarms() {
    if (alarmsDropped_ == droppedTold_)
        return;
    host_.LogOutput(QStringLiteral("System: MQTT %1: %2 alarms dropped while the broker was away")
                        .arg(config_.description)
                        .arg(alarmsDropped_ - droppedTold_));
    droppedTold_ = alarmsDropped_;
}

} // namespace publish
