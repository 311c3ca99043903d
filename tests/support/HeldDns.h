#pragma once

// The machine's DNS as a test wants it: a process that enters namespaces of its
// own (a network with only loopback, and an /etc/resolv.conf of its own) where
// the only name server is this one, on 127.0.0.1:53. It answers no query until
// the test says so: a name it is never told about is never answered, as by a
// DNS that has gone away.

#include <QByteArray>
#include <QFile>
#include <QHostAddress>
#include <QList>
#include <QNetworkDatagram>
#include <QTemporaryDir>
#include <QUdpSocket>
#include <net/if.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/socket.h>
#include <unistd.h>

// Enters the namespaces; call it first thing in main(), before any thread
// starts (a thread keeps the namespaces it started in). Returns why it could
// not (it needs root), or an empty text.
inline QByteArray EnterNamespacesWithHeldDns() {
    if (::unshare(CLONE_NEWNS | CLONE_NEWNET) != 0)
        return "cannot enter a network and mount namespace of its own (it needs root)";
    // Mounts made here stay here.
    if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
        return "cannot make the mounts private";
    const int control = ::socket(AF_INET, SOCK_DGRAM, 0);
    ifreq loopback{};
    std::strncpy(loopback.ifr_name, "lo", IFNAMSIZ - 1);
    const bool up = control >= 0 && ::ioctl(control, SIOCGIFFLAGS, &loopback) == 0 &&
                    (loopback.ifr_flags |= IFF_UP, ::ioctl(control, SIOCSIFFLAGS, &loopback) == 0);
    if (control >= 0)
        ::close(control);
    if (!up)
        return "cannot bring the loopback interface up";
    // One try of five seconds: a name never answered fails after that, and the
    // lookup threads the test leaves behind end by then.
    static QTemporaryDir dir;
    const QString resolvConf = dir.filePath(QStringLiteral("resolv.conf"));
    QFile file(resolvConf);
    if (!file.open(QIODevice::WriteOnly) ||
        file.write("nameserver 127.0.0.1\noptions timeout:5 attempts:1\n") < 0)
        return "cannot write a resolv.conf";
    file.close();
    if (::mount(resolvConf.toLocal8Bit().constData(), "/etc/resolv.conf", nullptr, MS_BIND,
                nullptr) != 0)
        return "cannot put a resolv.conf of its own in place";
    return {};
}

// The name server: keeps each query until answer() is called for its name.
class HeldDns {
public:
    HeldDns() {
        bound_ = socket_.bind(QHostAddress::LocalHost, kDnsPort);
        QObject::connect(&socket_, &QUdpSocket::readyRead, &socket_, [this] { take(); });
    }
    bool bound() const { return bound_; }
    // Whether a query for `name` has come and is not answered.
    bool asked(const QByteArray& name) const {
        return std::any_of(held_.begin(), held_.end(),
                           [&](const Query& q) { return q.name == name; });
    }
    // Answers every query for `name` held so far: IPv4 `address`, no IPv6 address.
    void answer(const QByteArray& name, const QHostAddress& address) {
        for (qsizetype n = held_.size() - 1; n >= 0; --n) {
            if (held_[n].name != name)
                continue;
            socket_.writeDatagram(reply(held_[n], address), held_[n].from, held_[n].port);
            held_.removeAt(n);
        }
    }

private:
    static constexpr quint16 kDnsPort = 53;
    static constexpr int kHeaderBytes = 12;
    static constexpr quint16 kTypeA = 1;

    struct Query {
        QByteArray packet; // header and question
        QByteArray name;
        quint16 type = 0;
        QHostAddress from;
        quint16 port = 0;
    };

    void take() {
        while (socket_.hasPendingDatagrams()) {
            const QNetworkDatagram datagram = socket_.receiveDatagram();
            Query query;
            if (read(datagram.data(), query)) {
                query.from = datagram.senderAddress();
                query.port = quint16(datagram.senderPort());
                held_ << query;
            }
        }
    }
    // The question's name and type; the packet cut after the question.
    static bool read(const QByteArray& packet, Query& query) {
        qsizetype at = kHeaderBytes;
        QByteArrayList labels;
        while (at < packet.size() && packet[at] != 0) {
            const int length = quint8(packet[at]);
            labels << packet.mid(at + 1, length);
            at += 1 + length;
        }
        if (at + 5 > packet.size())
            return false;
        query.name = labels.join('.');
        query.type = quint16(quint8(packet[at + 1]) << 8 | quint8(packet[at + 2]));
        query.packet = packet.left(at + 5);
        return true;
    }
    static QByteArray reply(const Query& query, const QHostAddress& address) {
        QByteArray out = query.packet;
        const bool withAddress = query.type == kTypeA;
        // A response, recursion desired and available, no error; one question,
        // one answer or none, nothing else.
        out[2] = char(0x81);
        out[3] = char(0x80);
        const char counts[] = {0, 1, 0, char(withAddress ? 1 : 0), 0, 0, 0, 0};
        out.replace(4, 8, counts, 8);
        if (withAddress) {
            const quint32 ip = address.toIPv4Address();
            const char answer[] = {char(0xC0),
                                   char(kHeaderBytes),
                                   0,
                                   1,
                                   0,
                                   1,
                                   0,
                                   0,
                                   0,
                                   60,
                                   0,
                                   4,
                                   char(ip >> 24),
                                   char(ip >> 16),
                                   char(ip >> 8),
                                   char(ip)};
            out.append(answer, sizeof answer);
        }
        return out;
    }

    QUdpSocket socket_;
    bool bound_ = false;
    QList<Query> held_;
};
