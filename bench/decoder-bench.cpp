// How fast the relay decodes the carrier's stream: a large encoded stream of
// mixed pages goes through the framing in arrivals of a few kilobytes, with
// every page counted and its line written to the decoder log in a temporary
// folder.
// Run: build/bench/decoder-bench [megabytes] [arrival bytes]

#include "SatelliteStream.h"
#include "decoder/DecoderSink.h"
#include "decoder/SatelliteDecoder2.h"
#include "logging/LogClass.h"
#include "platform/Clock.h"
#include "platform/DateTimeText.h"

#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <cstdio>
#include <cstdlib>

namespace {

// The decoder's sink with the relay's decoder log and nothing else: each line
// is stamped with the date and time and written to LOGS/DECODE.log by the
// relay's own log class; pages are counted.
class BenchSink final : public DecoderSink {
public:
    explicit BenchSink(const QString& folder) : folder_(folder), log_(clock_, texts_, folder_) {
        log_.DateStamp = false;
        log_.TimeStamp = false;
        log_.UserStamp = false;
        log_.SetFileName(QStringLiteral("DECODE.log"));
    }

    bool Open() { return log_.Connect(QStringLiteral("."), QStringLiteral("DEC")); }
    void SetLogFile(bool on) { log_.SetEnabled(on); }
    qint64 relayedPages = 0;

    void RelayPacket(const QByteArray& packet) override {
        relayedPages += packet.contains("\r1234566\r") ? 0 : 1;
    }
    void LogDecoder(const QByteArray& line) override { log_.AddLog(DateTimeText() + '\t' + line); }
    void ShowTrace(const QByteArray&) override {}
    void ShowStatus(StatusLabel, const QByteArray&, long) override {}
    void WindowChanged() override {}
    bool Tracing() const override { return false; }
    void StartDataGapCountdown() override {}
    QByteArray TimeText() const override { return texts_.Time(clock_.now().time()).toUtf8(); }
    QByteArray DateTimeText() const override { return texts_.DateTime(clock_.now()).toUtf8(); }

private:
    platform::SystemClock clock_;
    platform::DateTimeText texts_;
    QString folder_;
    LogClass log_;
};

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
    const int megabytes = argc > 1 ? std::atoi(argv[1]) : 64;
    const int arrival = argc > 2 ? std::atoi(argv[2]) : 4096;
    if (megabytes < 1 || arrival < 1) {
        std::fprintf(stderr, "usage: decoder-bench [megabytes] [arrival bytes]\n");
        return 2;
    }

    QTemporaryDir dir;
    BenchSink sink(dir.path());
    if (!sink.Open()) {
        std::fprintf(stderr, "cannot open a decoder log in %s\n", qPrintable(dir.path()));
        return 1;
    }

    // About 170 stream bytes a page.
    const QList<sim::Page> pages = PageMix(megabytes * 1024 * 1024 / 170);
    sim::StreamOptions streamOptions;
    streamOptions.pagesPerBlock = 20;
    const QByteArray stream = sim::EncodeStream(pages, streamOptions);

    const double mb = stream.size() / (1024.0 * 1024.0);
    std::printf("stream of %.1f MB, %lld pages, arrivals of %d bytes\n", mb,
                static_cast<long long>(pages.size()), arrival);
    bool allPages = true;
    // Then again with the decoder-log file off (its lines still stamped), to
    // show how much of the time the file's open, append and close a line take.
    for (const bool logFile : {true, false}) {
        sink.SetLogFile(logFile);
        sink.relayedPages = 0;
        SatelliteDecoder2 decoder(sink);
        QElapsedTimer timer;
        timer.start();
        for (qsizetype at = 0; at < stream.size(); at += arrival) {
            decoder.AppendToSatBuffer(stream.mid(at, arrival));
            decoder.FrameStream();
        }
        const double seconds = timer.nsecsElapsed() / 1e9;
        const qint64 relayedPages = sink.relayedPages;
        allPages = allPages && relayedPages == pages.size();
        std::printf("%-22s %6.2f s: %5.1f MB/s, %7.0f pages/s\n",
                    logFile ? "with the decoder log:" : "decoder-log file off:", seconds,
                    mb / seconds, relayedPages / seconds);
    }
    std::printf("(a 1200 bit/s carrier sends 150 bytes a second)\n");
    return allPages ? 0 : 1;
}
