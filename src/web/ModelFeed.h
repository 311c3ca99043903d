#pragma once

#include <QElapsedTimer>
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
// kMaxPerSecond times a second. The events are watched only while a socket
// is open, so a console nobody looks at costs the relay nothing.
class ModelFeed : public QObject {
    Q_OBJECT
public:
    static constexpr int kMaxPerSecond = 10;
    static constexpr int kInterval = 1000 / kMaxPerSecond; // milliseconds
    // A browser that stops reading gets no more copies until it catches up;
    // each copy is the whole state, so the next one brings it up to date.
    static constexpr qint64 kMaxQueuedBytes = qint64(4) * 1024 * 1024;

    // `alive` tells whether a socket's session still stands.
    ModelFeed(frmQuorlan& window, app::WindowEvents& events,
              std::function<bool(const QString& token)> alive);
    ~ModelFeed() override;

    void Add(std::unique_ptr<QWebSocket> socket, const QString& token);
    // Closes the sockets of a session that ended.
    void CloseSession(const QString& token);
    int SocketCount() const { return int(sockets_.size()); }

private:
    struct Client {
        std::unique_ptr<QWebSocket> socket;
        QString token;
    };

    void modelChanged();
    void sendAll();
    void drop(QWebSocket* socket);
    void watch(bool on);

    frmQuorlan& window_;
    app::WindowEvents& events_;
    std::function<bool(const QString&)> alive_;
    std::vector<Client> sockets_;
    QTimer throttle_;
    bool pending_ = false;
    QMetaObject::Connection watching_;
};

} // namespace web
