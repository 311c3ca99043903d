#pragma once

#include <QByteArray>
#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <limits>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

// A client application on a plain socket with a small receive buffer that
// reads only when the test says so: a hung application.
class StuckClient {
public:
    explicit StuckClient(quint16 port) {
        fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
        const int small = 4096;
        ::setsockopt(fd_, SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(port);
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        connected_ = ::connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    }
    ~StuckClient() { reset(); }
    StuckClient(const StuckClient&) = delete;
    StuckClient& operator=(const StuckClient&) = delete;

    bool connected() const { return connected_; }

    // Reads up to `limit` bytes of what has arrived; `ended` is set once the
    // relay has closed the connection and nothing is left.
    QByteArray read(qint64 limit = std::numeric_limits<qint64>::max()) {
        QByteArray data;
        char buffer[65536];
        while (data.size() < limit) {
            const auto chunk = std::min<qint64>(sizeof buffer, limit - data.size());
            const ssize_t n = ::recv(fd_, buffer, static_cast<size_t>(chunk), MSG_DONTWAIT);
            if (n > 0) {
                data.append(buffer, n);
                continue;
            }
            if (n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK))
                ended = true;
            break;
        }
        return data;
    }
    bool ended = false;

    // The application is killed: its end resets the connection.
    void reset() {
        if (fd_ < 0)
            return;
        const linger now{1, 0};
        ::setsockopt(fd_, SOL_SOCKET, SO_LINGER, &now, sizeof now);
        ::close(fd_);
        fd_ = -1;
    }

private:
    int fd_ = -1;
    bool connected_ = false;
};
