#pragma once

// A real mosquitto broker on a loopback port, started and stopped by the
// test, and a subscriber that keeps every message it receives.

#include <QByteArray>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QList>
#include <QProcess>
#include <QStandardPaths>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>
#include <mosquitto.h>

class Broker {
public:
    // A broker on 127.0.0.1:port; with a password file when `password` is given.
    explicit Broker(quint16 port, const QString& user = {}, const QString& password = {})
        : port_(port) {
        QString config = listener();
        if (user.isEmpty()) {
            config += QStringLiteral("allow_anonymous true\n");
        } else {
            const QString file = dir_.filePath(QStringLiteral("passwords"));
            QProcess::execute(QStringLiteral("mosquitto_passwd"),
                              {QStringLiteral("-c"), QStringLiteral("-b"), file, user, password});
            config += QStringLiteral("allow_anonymous false\npassword_file %1\n").arg(file);
        }
        configure(config);
    }
    // A broker that speaks only TLS on 127.0.0.1:port, with this certificate.
    struct Certificate {
        QString certFile;
        QString keyFile;
    };
    Broker(quint16 port, const Certificate& tls) : port_(port) {
        configure(listener() + QStringLiteral("certfile %1\nkeyfile %2\nallow_anonymous true\n")
                                   .arg(tls.certFile, tls.keyFile));
    }
    ~Broker() { stop(); }

    // Starts the broker and waits until it takes connections.
    bool start() {
        // Debian installs the broker in /usr/sbin, which a user's PATH may lack.
        QString program = QStandardPaths::findExecutable(QStringLiteral("mosquitto"));
        if (program.isEmpty())
            program = QStandardPaths::findExecutable(QStringLiteral("mosquitto"),
                                                     {QStringLiteral("/usr/sbin")});
        process_.start(program,
                       {QStringLiteral("-c"), dir_.filePath(QStringLiteral("mosquitto.conf"))});
        if (!process_.waitForStarted(5000))
            return false;
        const QDeadlineTimer deadline(5000);
        while (!deadline.hasExpired()) {
            QTcpSocket probe;
            probe.connectToHost(QStringLiteral("127.0.0.1"), port_);
            if (probe.waitForConnected(200))
                return true;
            QThread::msleep(20);
        }
        return false;
    }
    void stop() {
        if (process_.state() == QProcess::NotRunning)
            return;
        process_.terminate();
        process_.waitForFinished(5000);
    }
    quint16 port() const { return port_; }

private:
    QString listener() const {
        // No window on the way to the test's subscriber: what is measured is
        // the relay's delivery, not the broker's flow to a polled client.
        return QStringLiteral("listener %1 127.0.0.1\npersistence false\n"
                              "max_inflight_messages 0\n")
            .arg(port_);
    }
    void configure(const QString& config) {
        // Started as root, the broker reads its files as the mosquitto user.
        QFile::setPermissions(dir_.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                               QFile::ReadOther | QFile::ExeOther);
        QFile conf(dir_.filePath(QStringLiteral("mosquitto.conf")));
        conf.open(QIODevice::WriteOnly);
        conf.write(config.toUtf8());
        conf.close();
        start();
    }

    quint16 port_;
    QTemporaryDir dir_;
    QProcess process_;
};

// A subscriber to `filter` at QoS 2, through libmosquitto, polled by the test.
class Subscriber {
public:
    struct Message {
        QByteArray topic;
        QByteArray payload;
    };
    QList<Message> messages;
    // What it keeps: every message, or the pages alone, without a publisher's
    // <Topic>/status and <Topic>/alarms beside them.
    enum class Keep { All, Pages };

    Subscriber(quint16 port, const QByteArray& filter, Keep keep = Keep::All) : keep_(keep) {
        mosquitto_lib_init();
        m_ = mosquitto_new(nullptr, true, this);
        mosquitto_message_callback_set(m_, [](mosquitto*, void* self, const mosquitto_message* m) {
            auto* subscriber = static_cast<Subscriber*>(self);
            const QByteArray topic(m->topic);
            if (subscriber->keep_ == Keep::Pages &&
                (topic.endsWith("/status") || topic.endsWith("/alarms")))
                return;
            subscriber->messages << Message{
                topic, QByteArray(static_cast<const char*>(m->payload), m->payloadlen)};
        });
        mosquitto_subscribe_callback_set(m_, [](mosquitto*, void* self, int, int, const int*) {
            static_cast<Subscriber*>(self)->subscribed_ = true;
        });
        if (mosquitto_connect(m_, "127.0.0.1", port, 30) != MOSQ_ERR_SUCCESS)
            return;
        mosquitto_subscribe(m_, nullptr, filter.constData(), 2);
        const QDeadlineTimer deadline(5000);
        while (!subscribed_ && !deadline.hasExpired())
            mosquitto_loop(m_, 50, 1);
    }
    ~Subscriber() {
        mosquitto_disconnect(m_);
        mosquitto_destroy(m_);
        mosquitto_lib_cleanup();
    }
    bool subscribed() const { return subscribed_; }
    // Lets the relay's events and this subscriber's run once.
    void poll() {
        QCoreApplication::processEvents();
        mosquitto_loop(m_, 5, 10);
    }
    // Polls until `count` messages have come, or the time is up.
    bool waitFor(qsizetype count, int ms = 10000) {
        const QDeadlineTimer deadline(ms);
        while (messages.size() < count && !deadline.hasExpired())
            poll();
        return messages.size() >= count;
    }
    // Polls for a while, for messages that should not come.
    void settle(int ms = 300) {
        const QDeadlineTimer deadline(ms);
        while (!deadline.hasExpired())
            poll();
    }

private:
    mosquitto* m_ = nullptr;
    Keep keep_;
    bool subscribed_ = false;
};
