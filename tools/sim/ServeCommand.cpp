#include "ServeCommand.h"

#include "SatelliteStream.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QHostAddress>
#include <QPointer>
#include <QRandomGenerator>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <memory>

namespace sim {

const char* kServeUsage =
    "serve --listen HOST:PORT PAGES [--rate 1200|512] [--speed N] [--chunk BYTES] [--loop]\n"
    "        [--garbage BYTES] [--close-after SECONDS] [--silent-after SECONDS]\n"
    "        [--freq 1|2] [--preamble BYTES] [--pages-per-block N] [--allow-remote]\n"
    "        accept the relay's connection and stream the pages of PAGES to it, at the line\n"
    "        rate (1200 bit/s is 150 bytes a second) or N times faster; --garbage puts random\n"
    "        bytes between blocks; --close-after and --silent-after act out a carrier that\n"
    "        drops the connection or goes quiet. Listens on loopback addresses only unless\n"
    "        --allow-remote.\n";

namespace {

struct ServeOptions {
    QHostAddress host;
    quint16 port = 0;
    QString pages;
    StreamOptions stream;
    double speed = 1;
    int chunk = 16;
    bool loop = false;
    int garbage = 0;
    double closeAfter = -1;
    double silentAfter = -1;
    bool allowRemote = false;
};

// A numeric option: the values it takes and where it puts one.
struct NumberOption {
    QLatin1String name;
    bool (*takes)(double);
    void (*set)(ServeOptions&, double);
};

const NumberOption kNumberOptions[] = {
    {QLatin1String("--rate"), [](double v) { return v == 1200 || v == 512; },
     [](ServeOptions& o, double v) { o.stream.rate = int(v); }},
    {QLatin1String("--freq"), [](double v) { return v == 1 || v == 2; },
     [](ServeOptions& o, double v) { o.stream.frequency = int(v); }},
    {QLatin1String("--preamble"), [](double v) { return v >= 1; },
     [](ServeOptions& o, double v) { o.stream.preambleBytes = int(v); }},
    {QLatin1String("--pages-per-block"), [](double v) { return v >= 1; },
     [](ServeOptions& o, double v) { o.stream.pagesPerBlock = int(v); }},
    {QLatin1String("--speed"), [](double v) { return v > 0; },
     [](ServeOptions& o, double v) { o.speed = v; }},
    {QLatin1String("--chunk"), [](double v) { return v >= 1; },
     [](ServeOptions& o, double v) { o.chunk = int(v); }},
    {QLatin1String("--garbage"), [](double v) { return v >= 0; },
     [](ServeOptions& o, double v) { o.garbage = int(v); }},
    {QLatin1String("--close-after"), [](double v) { return v >= 0; },
     [](ServeOptions& o, double v) { o.closeAfter = v; }},
    {QLatin1String("--silent-after"), [](double v) { return v >= 0; },
     [](ServeOptions& o, double v) { o.silentAfter = v; }},
};

const NumberOption* FindNumberOption(const QString& name) {
    for (const NumberOption& option : kNumberOptions)
        if (name == option.name)
            return &option;
    return nullptr;
}

bool ParseListen(const QString& hostPort, ServeOptions& o) {
    const qsizetype colon = hostPort.lastIndexOf(QLatin1Char(':'));
    bool ok = false;
    o.port = colon > 0 ? hostPort.mid(colon + 1).toUShort(&ok) : 0;
    return ok && o.host.setAddress(hostPort.left(colon));
}

// Takes the option at args[i] and its value, if it has one; false when it is
// not an option or its value is missing or out of range.
bool TakenOption(const QStringList& args, qsizetype& i, ServeOptions& o) {
    const QString& a = args[i];
    const bool hasValue = i + 1 < args.size();
    if (a == QLatin1String("--loop"))
        o.loop = true;
    else if (a == QLatin1String("--allow-remote"))
        o.allowRemote = true;
    else if (const NumberOption* option = FindNumberOption(a)) {
        bool ok = false;
        const double v = hasValue ? args[++i].toDouble(&ok) : 0;
        if (!ok || !option->takes(v))
            return false;
        option->set(o, v);
    } else if (!a.startsWith(QLatin1String("--")) && o.pages.isEmpty())
        o.pages = a;
    else
        return false;
    return true;
}

QString Parse(const QStringList& args, ServeOptions& o) {
    for (qsizetype i = 0; i < args.size(); ++i) {
        const qsizetype optionAt = i; // a value after it moves i on
        if (args[i] == QLatin1String("--listen") && i + 1 < args.size()) {
            if (!ParseListen(args[++i], o))
                return QStringLiteral("--listen wants HOST:PORT, e.g. 127.0.0.1:5001");
        } else if (!TakenOption(args, i, o)) {
            return QStringLiteral("bad or incomplete option: ") + args[optionAt];
        }
    }
    if (o.port == 0)
        return QStringLiteral("--listen HOST:PORT is required");
    if (o.pages.isEmpty())
        return QStringLiteral("a page list is required");
    if (!o.host.isLoopback() && !o.allowRemote)
        return QStringLiteral("%1 is not a loopback address; add --allow-remote to serve it")
            .arg(o.host.toString());
    return {};
}

// Random bytes that cannot start a block marker, so that they never hide one.
QByteArray Garbage(int size) {
    QByteArray bytes(size, '\0');
    for (char& c : bytes) {
        quint8 b = 0;
        do
            b = static_cast<quint8>(QRandomGenerator::global()->bounded(256));
        while (b == 0x29);
        c = static_cast<char>(b);
    }
    return bytes;
}

QByteArray Stream(const QList<Page>& pages, const ServeOptions& o) {
    if (o.garbage <= 0)
        return EncodeStream(pages, o.stream);
    QByteArray stream;
    for (qsizetype at = 0; at < pages.size(); at += o.stream.pagesPerBlock) {
        stream += EncodeStream(pages.mid(at, o.stream.pagesPerBlock), o.stream);
        stream += Garbage(o.garbage);
    }
    return stream;
}

// One connection: sends the stream at the set pace.
class Feed : public QObject {
public:
    Feed(QTcpSocket* socket, QByteArray stream, const ServeOptions& o, QTextStream& out)
        : socket_(socket), stream_(std::move(stream)), o_(o), out_(out) {
        const double bytesPerSecond = o.stream.rate / 8.0 * o.speed;
        timer_.setInterval(std::max(1, int(1000.0 * o.chunk / bytesPerSecond)));
        connect(&timer_, &QTimer::timeout, this, &Feed::tick);
        connect(socket, &QTcpSocket::disconnected, this, [this] {
            out_ << "relay disconnected\n" << Qt::flush;
            deleteLater();
        });
        since_.start();
        timer_.start();
    }

private:
    void tick() {
        if (!socket_) {
            deleteLater();
            return;
        }
        const double seconds = double(since_.elapsed()) / 1000.0;
        if (o_.closeAfter >= 0 && seconds >= o_.closeAfter) {
            out_ << "closing the connection after " << o_.closeAfter << " s\n" << Qt::flush;
            timer_.stop();
            socket_->disconnectFromHost();
            return;
        }
        if (o_.silentAfter >= 0 && seconds >= o_.silentAfter)
            return; // connected, and quiet
        if (sent_ >= stream_.size()) {
            if (!o_.loop)
                return;
            // The block marker that ended the stream starts its next round.
            sent_ = o_.garbage > 0 ? 0 : BlockMarker().size();
            if (++rounds_ == 1)
                out_ << "looping\n" << Qt::flush;
        }
        const QByteArray chunk = stream_.mid(sent_, o_.chunk);
        socket_->write(chunk);
        sent_ += chunk.size();
        if (sent_ >= stream_.size() && !o_.loop)
            out_ << "sent all " << stream_.size() << " bytes\n" << Qt::flush;
    }

    QPointer<QTcpSocket> socket_;
    QByteArray stream_;
    const ServeOptions& o_;
    QTextStream& out_;
    QTimer timer_;
    QElapsedTimer since_;
    qsizetype sent_ = 0;
    int rounds_ = 0;
};

} // namespace

int RunServe(const QStringList& args, QTextStream& out, QTextStream& err) {
    ServeOptions o;
    const QString problem = Parse(args, o);
    if (!problem.isEmpty()) {
        err << "ombrix-sim serve: " << problem << "\n\nusage: ombrix-sim " << kServeUsage;
        return 2;
    }
    QFile file(o.pages);
    if (!file.open(QIODevice::ReadOnly)) {
        err << "ombrix-sim serve: cannot read " << o.pages << ": " << file.errorString() << "\n";
        return 1;
    }
    const PageListResult list = ParsePageList(file.readAll());
    if (!list.error.isEmpty()) {
        err << "ombrix-sim serve: " << o.pages << ": " << list.error << "\n";
        return 1;
    }
    const QByteArray stream = Stream(list.pages, o);
    QTcpServer server;
    if (!server.listen(o.host, o.port)) {
        err << "ombrix-sim serve: cannot listen on " << o.host.toString() << ":" << o.port << ": "
            << server.errorString() << "\n";
        return 1;
    }
    out << "serving " << list.pages.size() << " pages (" << stream.size() << " bytes) on "
        << o.host.toString() << ":" << o.port << "\n"
        << Qt::flush;
    QObject::connect(&server, &QTcpServer::newConnection, [&] {
        while (QTcpSocket* socket = server.nextPendingConnection()) {
            socket->setParent(&server);
            out << "relay connected from " << socket->peerAddress().toString() << "\n" << Qt::flush;
            new Feed(socket, stream, o, out);
        }
    });
    return QCoreApplication::exec();
}

} // namespace sim
