#pragma once

#include "monitor/Answers.h"
#include "monitor/MonitorSettings.h"

#include <QByteArray>
#include <QDateTime>
#include <QHash>
#include <QObject>
#include <QTcpServer>
#include <QTimer>
#include <functional>

class QTcpSocket;

namespace platform {
class Clock;
}

namespace monitor {

// The listener of /metrics and /healthz: plain HTTP on an address and port of
// its own, GET only, one request a connection, no login (nothing it answers
// is secret). Every connection is bounded: its request's size, its time (on
// the relay's clock, checked by Tick) and their number.
class MonitorListener : public QObject {
    Q_OBJECT
public:
    // At most this many connections at once; one more is closed at once.
    static constexpr int kMaxConnections = 16;
    // A connection's request must arrive, and its answer be taken, within this.
    static constexpr qint64 kConnectionSeconds = 10;
    static constexpr int kTickMs = 1000;

    // What the listener answers with: the scrape and the health answer.
    struct Pages {
        std::function<QByteArray()> metrics;
        std::function<Answer()> health;
    };

    MonitorListener(const platform::Clock& clock, Pages pages, QObject* parent = nullptr);
    ~MonitorListener() override;

    // Listens on the settings' address and port: "" or why it cannot.
    QString Start(const MonitorSettings& settings);
    bool Listening() const { return server_.isListening(); }
    quint16 Port() const { return server_.serverPort(); }
    // Closes the connections whose time is up: every second, and in tests
    // after the clock was moved.
    void Tick();
    int ConnectionCount() const { return static_cast<int>(connections_.size()); }

private:
    struct Connection {
        QByteArray received;
        QDateTime opened;
        bool answered = false;
    };

    void accept();
    void read(QTcpSocket* socket);
    Answer answer(const QByteArray& received, const QTcpSocket& socket) const;
    void finish(QTcpSocket* socket, const Answer& answer);
    void drop(QTcpSocket* socket);

    const platform::Clock& clock_;
    Pages pages_;
    MonitorSettings settings_;
    QTcpServer server_;
    QHash<QTcpSocket*, Connection> connections_;
    QTimer tick_;
};

} // namespace monitor
