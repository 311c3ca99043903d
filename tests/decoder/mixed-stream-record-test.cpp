// A long stream of every kind the carrier sends (both frequencies and rates,
// short, long and cut preambles, garbage and damaged bytes between and inside
// blocks, new carrier connections, a relay that sometimes fails) goes through
// the framing in arrivals of every size, with the trace switched on now and
// then. Everything the sink is told, in order, must stay exactly what it was
// when the record below was taken: packets, decoder-log lines, trace lines,
// labels with their colours, window notices, countdowns and when the time was
// asked for.
//
// The stream comes from the sim encoder and a seeded generator: should the
// encoder's output change, the stream changes with it, and the record has to
// be taken again from a decoder whose output is known to be right.

#include "SatelliteStream.h"
#include "decoder/DecoderSink.h"
#include "decoder/SatelliteDecoder2.h"

#include <QCryptographicHash>
#include <QRandomGenerator>
#include <QTest>
#include <stdexcept>

namespace {

// Every call into the sink, in order, folded into one digest.
class JournalSink final : public DecoderSink {
public:
    bool tracing = false;
    int failEvery = 0; // every n-th relay fails; 0: none
    qint64 packets = 0;
    qint64 lines = 0;
    qint64 traces = 0;

    QByteArray digest() const { return journal_.result().toHex(); }

    void RelayPacket(const QByteArray& packet) override {
        note('P', packet);
        ++packets;
        if (failEvery > 0 && packets % failEvery == 0)
            throw std::runtime_error("relay refused");
    }
    void LogDecoder(const QByteArray& line) override {
        note('L', line);
        ++lines;
    }
    void ShowTrace(const QByteArray& text) override {
        note('T', text);
        ++traces;
    }
    void ShowStatus(StatusLabel label, const QByteArray& caption, long colour) override {
        note('S',
             QByteArray::number(int(label)) + ' ' + QByteArray::number(colour) + ' ' + caption);
    }
    void WindowChanged() override { note('W', {}); }
    bool Tracing() const override { return tracing; }
    void StartDataGapCountdown() override { note('C', {}); }
    // A new text each time it is asked for, so that the record also shows
    // when the decoder took the time.
    QByteArray TimeText() const override { return "10:00:" + QByteArray::number(++clock_); }
    QByteArray DateTimeText() const override {
        return "15 Jan 2026 10:00:" + QByteArray::number(++clock_);
    }

private:
    void note(char kind, const QByteArray& bytes) {
        const QByteArray head = kind + QByteArray::number(bytes.size()) + ':';
        journal_.addData(head);
        journal_.addData(bytes);
    }

    QCryptographicHash journal_{QCryptographicHash::Sha256};
    mutable qint64 clock_ = 0;
};

QByteArray RandomBytes(QRandomGenerator& random, int length) {
    QByteArray bytes(length, '\0');
    for (char& c : bytes)
        c = char(random.bounded(256));
    return bytes;
}

QByteArray PageText(QRandomGenerator& random, int length, char first, int span) {
    QByteArray text(length, ' ');
    for (char& c : text)
        c = char(first + random.bounded(span));
    return text;
}

sim::Page RandomPage(QRandomGenerator& random) {
    sim::Page page;
    page.ric = random.bounded(2097152u);
    page.function = char('A' + random.bounded(4));
    const int kind = random.bounded(100);
    if (kind < 55) {
        page.type = 'A';
        page.text = PageText(random, 1 + random.bounded(300), 32, 95);
    } else if (kind < 80) {
        page.type = 'N';
        page.text = PageText(random, 1 + random.bounded(30), '0', 10);
    } else if (kind < 95) {
        page.type = 'T';
    } else {
        // Short 7-bit pages that read as digits too, and bytes below 32.
        page.type = 'A';
        page.text = PageText(random, 1 + random.bounded(14), 0, 128);
    }
    return page;
}

sim::StreamOptions RandomOptions(QRandomGenerator& random) {
    sim::StreamOptions options;
    options.frequency = random.bounded(2) == 0 ? 1 : 2;
    options.rate = random.bounded(2) == 0 ? 512 : 1200;
    const int preamble = random.bounded(20);
    options.preambleBytes = preamble == 0 ? 1 + random.bounded(4) : 72;
    options.pagesPerBlock = 1 + random.bounded(8);
    return options;
}

// Some blocks get a byte or two changed anywhere: headers, preambles, sync
// codewords, markers and codewords all go wrong somewhere in the stream.
void Damage(QRandomGenerator& random, QByteArray& block) {
    const int changes = random.bounded(3);
    for (int i = 0; i < changes; ++i)
        block[random.bounded(block.size())] = char(random.bounded(256));
    // A codeword of zero bytes marks the end of a batch.
    if (random.bounded(2) == 0)
        block.replace(random.bounded(block.size() - 4), 4, QByteArray(4, '\0'));
}

QByteArray MixedStream(QRandomGenerator& random, int blocks) {
    QByteArray stream;
    for (int i = 0; i < blocks; ++i) {
        QList<sim::Page> pages;
        const sim::StreamOptions options = RandomOptions(random);
        for (int p = random.bounded(1, 12); p > 0; --p)
            pages << RandomPage(random);
        QByteArray block = sim::EncodeStream(pages, options);
        // Mostly the marker that ended the last block starts this one.
        if (random.bounded(4) != 0)
            block.remove(0, sim::BlockMarker().size());
        if (random.bounded(4) == 0)
            Damage(random, block);
        stream += block;
        if (random.bounded(3) == 0)
            stream += RandomBytes(random, random.bounded(60));
        if (random.bounded(5) == 0)
            stream += QByteArray(random.bounded(1, 5), '\x29'); // a marker that breaks off
    }
    return stream;
}

// A transmitter stuck in its preamble, and a page longer than a page may grow.
QByteArray UnusualBlocks() {
    sim::StreamOptions longPreamble;
    longPreamble.preambleBytes = 20000;
    sim::Page page{1234567, 'C', 'A', QByteArray(10500, 'x')};
    for (int i = 0; i < page.text.size(); ++i)
        page.text[i] = char(32 + i % 95);
    return sim::EncodeStream({page}, longPreamble) +
           sim::EncodeStream({page}, {}).mid(sim::BlockMarker().size());
}

} // namespace

class MixedStreamRecordTest : public QObject {
    Q_OBJECT

private slots:
    void theSinksRecordOfALongMixedStreamStaysTheSame() {
        QRandomGenerator random(17);
        const QByteArray stream = UnusualBlocks() + MixedStream(random, 1700);
        JournalSink sink;
        sink.failEvery = 97;
        SatelliteDecoder2 decoder(sink);
        for (qsizetype at = 0; at < stream.size();) {
            const qsizetype size =
                random.bounded(8) == 0 ? random.bounded(1, 8) : random.bounded(1, 6000);
            sink.tracing = random.bounded(10) == 0;
            if (random.bounded(40) == 0)
                decoder.StartNewStream();
            decoder.AppendToSatBuffer(stream.mid(at, size));
            decoder.FrameStream();
            if (random.bounded(20) == 0)
                decoder.FrameStream(); // a tick with nothing new
            at += size;
        }
        decoder.FlushPage();

        QCOMPARE(stream.size(), 2185119);
        QCOMPARE(sink.packets, 10376);
        QCOMPARE(sink.lines, 8313);
        QCOMPARE(sink.traces, 229526);
        QCOMPARE(sink.digest(),
                 QByteArray("cb12065c6cc2f0c7673de6b7be9f84dcbb834e0599f04fe91f63218215bcead2"));
    }
};

QTEST_GUILESS_MAIN(MixedStreamRecordTest)
#include "mixed-stream-record-test.moc"
