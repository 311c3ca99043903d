#pragma once

#include <QDateTime>
#include <QElapsedTimer>
#include <QJsonObject>
#include <QObject>
#include <QTimer>
#include <functional>
#include <memory>
#include <vector>

class QWebSocket;
class frmQuorlan;

namespace app {
class WindowEvents;
}

namespace web {

// The live view: every open WebSocket gets the whole window model when it
// opens and again after each change the events announce, at most
// kMaxPerSecond times a second. Beside it, {"overview": ...} when the socket
// opens and whenever the overview changed, at most once a second on the
// relay's clock; a message with an "overview" key is never the window's.
// The events are watched, and the overview looked at, only while a socket
// is open, so a console nobody looks at costs the relay nothing.
class ModelFeed : public QObject {
    Q_OBJECT
public:
    static constexpr int kMaxPerSecond = 10;
    static constexpr int kInterval = 1000 / kMaxPerSecond; // milliseconds
    // A browser that stops reading gets no more copies until it catches up;
    // each copy is the whole state, so the next one brings it up to date.
    static constexpr qint64 kMaxQueuedBytes = qint64(4) * 1024 * 1024;
    // The overview is built for the sockets at most this often, on the
    // relay's clock, and so goes out at most this often; the feed's timer
    // looks twice as often, so that a change waits at most half as long again.
    static constexpr qint64 kOverviewIntervalMs = 1000;
    static constexpr int kOverviewCheckMs = 500;

    // The overview and the relay's clock.
    struct OverviewSource {
        std::function<QJsonObject()> overview;
        std::function<QDateTime()> now;
    };

    // `alive` tells whether a socket's session still stands.
    ModelFeed(frmQuorlan& window, app::WindowEvents& events,
              std::function<bool(const QString& token)> alive, OverviewSource overview);
    ~ModelFeed() override;

    void Add(std::unique_ptr<QWebSocket> socket, const QString& token);
    // Closes the sockets of a session that ended.
    void CloseSession(const QString& token);
    int SocketCount() const { return int(sockets_.size()); }
    // Sends the overview to every socket that has not had it as it is now,
    // unless it was built less than kOverviewIntervalMs ago: on the feed's
    // own timer, and in tests after the clock was moved.
    void SendOverview();

private:
    struct Client {
        std::unique_ptr<QWebSocket> socket;
        QString token;
        QString overviewSent; // the last overview message it was sent
    };

    void modelChanged();
    void sendAll();
    void drop(QWebSocket* socket);
    void watch(bool on);
    QString overviewMessage() const;

    frmQuorlan& window_;
    app::WindowEvents& events_;
    std::function<bool(const QString&)> alive_;
    std::vector<Client> sockets_;
    QTimer throttle_;
    bool pending_ = false;
    QMetaObject::Connection watching_;
    OverviewSource overview_;
    QTimer overviewCheck_;
    QDateTime overviewBuilt_; // when the overview was last built for the sockets
};

} // namespace web
