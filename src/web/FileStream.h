#pragma once

#include <QFile>
#include <QObject>
#include <functional>

class QTcpSocket;

namespace web {

// The body of an answer that is a file (a log download): written to the
// connection a piece at a time, as the browser takes it, so that a file of
// any size costs the relay a bounded buffer. The answer's head said the
// length; once it is sent the connection closes. It lives and dies with its
// socket.
class FileStream : public QObject {
    Q_OBJECT
public:
    static constexpr qint64 kPieceBytes = qint64(64) * 1024;
    // Most bytes waiting in the socket for the browser.
    static constexpr qint64 kQueuedBytes = qint64(256) * 1024;

    // Sends the first BYTES bytes of PATH on SOCKET, after the answer's head
    // already written there; PROGRESS runs each time the browser took some.
    // A file that cannot be read to that length ends the connection.
    static void Start(QTcpSocket* socket, const QString& path, qint64 bytes,
                      std::function<void()> progress);
    // Whether SOCKET is sending a file: requests that follow on it are not answered.
    static bool Sending(const QTcpSocket* socket);

private:
    FileStream(QTcpSocket* socket, const QString& path, qint64 bytes,
               std::function<void()> progress);
    void pump();

    QTcpSocket* socket_; // the parent
    QFile file_;
    qint64 remaining_;
    std::function<void()> progress_;
};

} // namespace web
