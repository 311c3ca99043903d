#include "TapCommand.h"

#include <QCoreApplication>
#include <QHostAddress>
#include <QTcpSocket>
#include <QTimer>

namespace sim {

const char* kTapUsage =
    "tap HOST:PORT [--ack]\n"
    "        connect to an output port of the relay and print every packet on one line;\n"
    "        --ack answers each packet with STX ACK ETX. Reconnects while the port is closed.\n";

namespace {

QString Readable(const QByteArray& bytes) {
    QString text;
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        if (b == 0x02)
            text += QStringLiteral("<STX>");
        else if (b == 0x03)
            text += QStringLiteral("<ETX>");
        else if (b == 0x0D)
            text += QStringLiteral("<CR>");
        else if (b < 32 || b >= 127)
            text += QStringLiteral("<x%1>").arg(b, 2, 16, QLatin1Char('0'));
        else
            text += QLatin1Char(c);
    }
    return text;
}

} // namespace

QString PacketLine(const QByteArray& packet) {
    QByteArray body = packet;
    const bool stx = body.startsWith('\x02');
    const bool etx = body.endsWith('\x03');
    if (stx)
        body.remove(0, 1);
    if (etx)
        body.chop(1);
    QStringList fields;
    for (const QByteArray& field : body.split('\r'))
        fields << Readable(field);
    return (stx ? QStringLiteral("<STX>") : QString()) + fields.join(QStringLiteral("<CR> | ")) +
           (etx ? QStringLiteral("<ETX>") : QString());
}

int RunTap(const QStringList& args, QTextStream& out, QTextStream& err) {
    QString target;
    bool ack = false;
    for (const QString& a : args) {
        if (a == QLatin1String("--ack"))
            ack = true;
        else if (target.isEmpty() && !a.startsWith(QLatin1String("--")))
            target = a;
        else {
            err << "ombrix-sim tap: bad argument " << a << "\n\nusage: ombrix-sim " << kTapUsage;
            return 2;
        }
    }
    const qsizetype colon = target.lastIndexOf(QLatin1Char(':'));
    bool ok = false;
    const quint16 port = colon > 0 ? target.mid(colon + 1).toUShort(&ok) : 0;
    const QString host = target.left(colon);
    if (!ok) {
        err << "ombrix-sim tap: wants HOST:PORT, e.g. 127.0.0.1:6001\n\nusage: ombrix-sim "
            << kTapUsage;
        return 2;
    }
    QTcpSocket socket;
    QByteArray buffer;
    QTimer retry;
    retry.setInterval(1000);
    retry.setSingleShot(true);
    QObject::connect(&retry, &QTimer::timeout, [&] { socket.connectToHost(host, port); });
    QObject::connect(&socket, &QTcpSocket::connected, [&] {
        out << "# connected to " << target << "\n" << Qt::flush;
    });
    QObject::connect(&socket, &QTcpSocket::disconnected, [&] {
        out << "# disconnected; retrying\n" << Qt::flush;
        retry.start();
    });
    QObject::connect(&socket, &QTcpSocket::errorOccurred, [&] {
        if (socket.state() != QAbstractSocket::ConnectedState && !retry.isActive())
            retry.start();
    });
    QObject::connect(&socket, &QTcpSocket::readyRead, [&] {
        buffer += socket.readAll();
        for (;;) {
            const qsizetype end = buffer.indexOf('\x03');
            if (end < 0)
                break;
            const QByteArray packet = buffer.left(end + 1);
            buffer.remove(0, end + 1);
            out << PacketLine(packet) << "\n" << Qt::flush;
            if (ack)
                socket.write("\x02\x06\x03");
        }
    });
    socket.connectToHost(host, port);
    return QCoreApplication::exec();
}

} // namespace sim
