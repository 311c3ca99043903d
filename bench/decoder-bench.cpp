// How fast the relay decodes the carrier's stream: a large encoded stream of
// mixed pages goes through the framing in arrivals of a few kilobytes, with
// every page relayed and written to the decoder log in a temporary folder.
// Run: build/bench/decoder-bench [megabytes] [arrival bytes]

#include "SatelliteStream.h"
#include "app/System.h"
#include "config/DatabaseFiles.h"
#include "decoder/SatelliteDecoder2.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <cstdio>
#include <cstdlib>

namespace {

QByteArray Text(QRandomGenerator& random, int length) {
    QByteArray text(length, ' ');
    for (char& c : text)
        c = char(32 + random.bounded(95));
    return text;
}

QByteArray Digits(QRandomGenerator& random, int length) {
    QByteArray digits(length, '0');
    for (char& c : digits)
        c = char('0' + random.bounded(10));
    return digits;
}

// Mostly text pages of 20 to 200 characters, some numeric, some tone only.
QList<sim::Page> PageMix(int count) {
    QRandomGenerator random(2026);
    QList<sim::Page> pages;
    pages.reserve(count);
    for (int i = 0; i < count; ++i) {
        sim::Page page;
        page.ric = random.bounded(2097152u);
        page.function = char('A' + random.bounded(4));
        const int kind = random.bounded(100);
        if (kind < 60) {
            page.type = 'A';
            page.text = Text(random, 20 + random.bounded(181));
        } else if (kind < 85) {
            page.type = 'N';
            page.text = Digits(random, 5 + random.bounded(16));
        } else {
            page.type = 'T';
        }
        pages << page;
    }
    return pages;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int megabytes = argc > 1 ? std::atoi(argv[1]) : 64;
    const int arrival = argc > 2 ? std::atoi(argv[2]) : 4096;
    if (megabytes < 1 || arrival < 1) {
        std::fprintf(stderr, "usage: decoder-bench [megabytes] [arrival bytes]\n");
        return 2;
    }

    QTemporaryDir dir;
    const QString failure = config::CreateWorkFolder(dir.path(), false, QString());
    if (!failure.isEmpty()) {
        std::fprintf(stderr, "cannot make a work folder: %s\n", qPrintable(failure));
        return 1;
    }
    SystemOptions options;
    options.workDir = dir.path();
    options.developmentMarker = dir.filePath(QStringLiteral("no-marker"));
    System system(options);
    if (!system.Form_Load())
        return 1;

    // About 170 stream bytes a page.
    const QList<sim::Page> pages = PageMix(megabytes * 1024 * 1024 / 170);
    sim::StreamOptions streamOptions;
    streamOptions.pagesPerBlock = 20;
    const QByteArray stream = sim::EncodeStream(pages, streamOptions);

    const double mb = stream.size() / (1024.0 * 1024.0);
    std::printf("stream of %.1f MB, %lld pages, arrivals of %d bytes\n", mb,
                static_cast<long long>(pages.size()), arrival);
    bool allPages = true;
    // Then again with the decoder-log file off (its pane still written), to
    // show how much of the time the file's open, append and close a line take.
    for (const bool logFile : {true, false}) {
        system.logs.gDecoderLog.SetEnabled(logFile);
        SatelliteDecoder2 decoder(system);
        qint64 relayedPages = 0;
        const auto counting = QObject::connect(
            &system.outputRules, &OutputRules::relayed, [&relayedPages](const QByteArray& packet) {
                relayedPages += packet.contains("\r1234566\r") ? 0 : 1;
            });
        QElapsedTimer timer;
        timer.start();
        for (qsizetype at = 0; at < stream.size(); at += arrival) {
            decoder.AppendToSatBuffer(stream.mid(at, arrival));
            decoder.FrameStream();
        }
        const double seconds = timer.nsecsElapsed() / 1e9;
        QObject::disconnect(counting);
        allPages = allPages && relayedPages == pages.size();
        std::printf("%-22s %6.2f s: %5.1f MB/s, %7.0f pages/s\n",
                    logFile ? "with the decoder log:" : "decoder-log file off:", seconds,
                    mb / seconds, relayedPages / seconds);
    }
    std::printf("(a 1200 bit/s carrier sends 150 bytes a second)\n");
    return allPages ? 0 : 1;
}
