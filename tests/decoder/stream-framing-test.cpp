// The carrier's byte stream as it arrives: block markers, headers, preambles,
// sync codewords and their faults, in one piece or split anywhere, seen
// through the relayed packets, the decoder log and the framing labels.

#include "DecoderHarness.h"
#include "PocsagCodewords.h"
#include "SatelliteStream.h"

#include <QRandomGenerator>
#include <QTest>
#include <stdexcept>

namespace {

using Label = DecoderSink::StatusLabel;

constexpr long kRed = 0x0000FF;
constexpr long kButtonFace = 0x8000000F;

sim::StreamOptions Options(int frequency, int rate, int preamble = 72, int perBlock = 10) {
    sim::StreamOptions options;
    options.frequency = frequency;
    options.rate = rate;
    options.preambleBytes = preamble;
    options.pagesPerBlock = perBlock;
    return options;
}

QByteArray Encode(const QList<sim::Page>& pages, const sim::StreamOptions& options = {}) {
    return sim::EncodeStream(pages, options);
}

// A stream that continues one already running: the marker before its first
// header is the end marker of the block before.
QByteArray NextBlocks(const QList<sim::Page>& pages, const sim::StreamOptions& options = {}) {
    return Encode(pages, options).mid(sim::BlockMarker().size());
}

const sim::Page kPageOne{8, 'A', 'A', "first block page one"};
const sim::Page kPageTwo{16, 'B', 'N', "123"};
const QByteArray kPageOnePacket =
    PagePacket("1200", "1", "A", "0000008", "A", "first block page one");

QByteArray Bytes(std::initializer_list<int> values) {
    QByteArray bytes;
    for (const int value : values)
        bytes.append(char(value));
    return bytes;
}

} // namespace

class StreamFramingTest : public QObject {
    Q_OBJECT

private slots:
    void blocksFollowEachOtherWithNoticesAndHeaderLabels() {
        DecoderHarness h;
        h.feed(Encode({kPageOne}) + NextBlocks({kPageTwo}, Options(2, 512)));
        QCOMPARE(h.packets,
                 (QList<QByteArray>{kF1Start, kPageOnePacket, kF2Start,
                                    PagePacket("512", "2", "B", "0000016", "N", "123  ")}));
        QCOMPARE(h.decoderLog(), (QList<QByteArray>{"F1 1200 0000008 A first block page one",
                                                    "F2 0512 0000016 B <n>123  "}));
        QCOMPARE(h.label(Label::F1).caption, QByteArray("F1 1200 "));
        QCOMPARE(h.label(Label::F1).colour, kButtonFace);
        QCOMPARE(h.label(Label::F2).caption, QByteArray("F2 0512 "));
        QCOMPARE(h.label(Label::F2).colour, kRed);
        QCOMPARE(h.label(Label::Control).caption, QByteArray("HEADER"));
        QCOMPARE(h.label(Label::Control).colour, kRed);

        // The end marker leads straight into the next header: no search.
        h.packets.clear();
        h.feed(NextBlocks({kPageOne}));
        QCOMPARE(h.packets, (QList<QByteArray>{kF1Start, kPageOnePacket}));
        QCOMPARE(h.label(Label::F1).colour, kRed);
        QCOMPARE(h.label(Label::F2).colour, kButtonFace);
        QCOMPARE(h.label(Label::F2).caption, QByteArray("F2 0512 "));
    }

    void markerNeedsItsFourBytesInARow() {
        DecoderHarness h;
        h.feed(Bytes({0x29, 0x29, 0x29, 0x29, 0x52, 0x04}) + "0001");
        QCOMPARE(h.label(Label::Control).caption, QByteArray("SEARCH"));
        h.feed(Encode({kPageOne}));
        QCOMPARE(h.packets, (QList<QByteArray>{kF1Start, kPageOnePacket}));
    }

    void rateByteOtherThanOneMeans512() {
        DecoderHarness h;
        QByteArray stream = Encode({kPageOne});
        stream[8] = 'Z'; // marker, frequency, two bytes, rate
        h.feed(stream);
        QCOMPARE(h.pages(), QList<QByteArray>{PagePacket("512", "1", "A", "0000008", "A",
                                                         "first block page one")});
        QCOMPARE(h.decoderLog(), QList<QByteArray>{"F1 0512 0000008 A first block page one"});
    }

    // A run of 55 is found on the step that tests for it: every other byte.
    void preambleOfEitherPhase() {
        for (const int length : {2, 3, 72}) {
            QByteArray stream = Encode({kPageOne}, Options(1, 1200, length));
            stream.replace(9, length, QByteArray(length, char(0x55)));
            DecoderHarness h;
            h.sink.tracing = true;
            h.feed(stream);
            QCOMPARE(h.packets, (QList<QByteArray>{kF1Start, kPageOnePacket}));
            QVERIFY(h.sink.traces.contains("[Found PREAMBLE]"));
        }
    }

    void badHeaderAndBadSyncGoBackToTheSearch() {
        DecoderHarness h;
        h.sink.tracing = true;
        h.feed(sim::BlockMarker() + "X001" + Encode({kPageOne}));
        QCOMPARE(h.packets, (QList<QByteArray>{kF1Start, kPageOnePacket}));
        QCOMPARE(h.decoderLog().first(), QByteArray("B A D   H E A D E R"));
        QVERIFY(h.sink.traces.contains("[Found BAD HEADER back to start]"));

        h.restart();
        h.feed(sim::BlockMarker() + "0001" + Bytes({0xAA, 0xAA, 0x83, 0x2D, 0x00}) +
               Encode({kPageOne}));
        QCOMPARE(h.packets, (QList<QByteArray>{kF1Start, kF1Start, kPageOnePacket}));
        const QList<QByteArray> log = h.decoderLog();
        QCOMPARE(log.mid(log.size() - 3),
                 (QList<QByteArray>{"BAD SYNC.", "Failed to SYNC return to start",
                                    "F1 1200 0000008 A first block page one"}));
        QVERIFY(h.sink.traces.contains("[BAD NO SYNC back to Start]"));
    }

    // A lost sync leaves the page open; the next block's first address ends it.
    void lostSyncKeepsThePageInProgress() {
        const QByteArray text = "This page loses its sync after the first batch of sixteen.";
        QByteArray stream = Encode({{8, 'A', 'A', text}});
        const qsizetype secondSync = 5 + 4 + 72 + 4 + 16 * 4;
        QCOMPARE(stream.mid(secondSync, 4), Bytes({0x83, 0x2D, 0xEA, 0x27}));
        stream[secondSync + 1] = 0x2C;
        DecoderHarness h;
        h.sink.tracing = true;
        h.feed(stream + NextBlocks({kPageTwo}));
        QCOMPARE(
            h.packets,
            (QList<QByteArray>{kF1Start, kF1Start,
                               PagePacket("1200", "1", "A", "0000008", "A", text.left(15 * 20 / 7)),
                               PagePacket("1200", "1", "B", "0000016", "N", "123  ")}));
        QVERIFY(h.sink.traces.contains("[NO SYNC back to Start]"));
    }

    void fourZeroBytesInTheSyncSlotEndTheBatch() {
        QByteArray stream = Encode({kPageOne});
        stream.chop(sim::BlockMarker().size());
        DecoderHarness h;
        h.sink.tracing = true;
        h.feed(stream + QByteArray(4, '\0'));
        QCOMPARE(h.packets, (QList<QByteArray>{kF1Start, kPageOnePacket, kEndOfBatch}));
        QCOMPARE(h.label(Label::Control).caption, QByteArray("END Batch "));
        const QList<QByteArray>& trace = h.sink.traces; // oldest first
        QVERIFY(trace.indexOf("[NO SYNC back to Start]") >= 0);
        QVERIFY(trace.indexOf("[Found EOB]") > trace.indexOf("[NO SYNC back to Start]"));
        // Framing searches again for the next block.
        h.feed(Encode({kPageTwo}));
        QCOMPARE(h.pages().size(), 2);
    }

    // What the metrics and the feed's watch read: markers found, faults and
    // pages by type, each counted once where the framing meets it.
    void theFramingCountsMarkersFaultsAndPages() {
        DecoderHarness h;
        const DecoderCounts& counts = h.decoder->counts;
        h.feed("\x29\x29\x29 bytes that hold no marker");
        QCOMPARE(counts.blockMarkers, quint64(0));
        h.feed(Encode({kPageOne, kPageTwo, {24, 'C', 'T', ""}}, Options(1, 1200, 72, 1)));
        QCOMPARE(counts.blockMarkers, quint64(4)); // three blocks, and the marker after them
        QCOMPARE(counts.alphaPages, quint64(1));
        QCOMPARE(counts.numericPages, quint64(1));
        QCOMPARE(counts.tonePages, quint64(1));
        QCOMPARE(counts.badHeaders, quint64(0));
        QCOMPARE(counts.badSyncs, quint64(0));

        h.feed("X001" + Encode({kPageOne})); // a bad header after the last marker
        QCOMPARE(counts.badHeaders, quint64(1));
        QCOMPARE(counts.blockMarkers, quint64(6));
        QCOMPARE(counts.alphaPages, quint64(2));
        QByteArray lost = NextBlocks({kPageOne});
        lost[4 + 72 + 1] = 0x00; // the first sync codeword broken
        h.feed(lost);
        QCOMPARE(counts.badSyncs, quint64(1));
        QCOMPARE(counts.alphaPages, quint64(2)); // its page was lost with the sync

        // Four zero bytes where a sync belongs end a batch: no fault.
        QByteArray ended = NextBlocks({kPageTwo});
        ended.chop(sim::BlockMarker().size());
        h.feed(ended + QByteArray(4, '\0'));
        QCOMPARE(counts.badSyncs, quint64(1));
        QCOMPARE(counts.numericPages, quint64(2));
    }

    void splitAnywhereGivesTheSameResult() {
        const QList<sim::Page> pages{kPageOne,
                                     kPageTwo,
                                     {23, 'C', 'T', ""},
                                     {1000, 'D', 'A', "A text long enough to cross a batch end."},
                                     {999, 'A', 'N', "0000000000"}};
        const QByteArray stream =
            Encode(pages, Options(2, 1200, 3, 2)) + NextBlocks(pages, Options(1, 512, 2, 3));
        DecoderHarness h;
        h.feed(stream);
        const QList<QByteArray> whole = h.packets;
        QCOMPARE(whole.size(), 15); // 3 + 2 notices, 5 + 5 pages
        for (qsizetype split = 1; split < stream.size(); ++split) {
            h.restart();
            h.feed(stream.left(split));
            h.feed(QByteArray()); // a timer tick between the two arrivals
            h.feed(stream.mid(split));
            if (h.packets != whole)
                QFAIL(qPrintable(QStringLiteral("split at byte %1 differs").arg(split)));
        }
        h.restart();
        for (const char byte : stream)
            h.feed(QByteArray(1, byte));
        QCOMPARE(h.packets, whole);
    }

    // Searching does not wait for the next arrival or tick: one arrival is
    // decoded whole and nothing stays in the buffer.
    void oneArrivalIsDecodedAtOnce() {
        QByteArray noise(300000, '\0');
        QRandomGenerator random(7);
        for (char& byte : noise)
            byte = char(0x30 + random.bounded(0xA0)); // never 0x29
        DecoderHarness h;
        h.feed(noise + Encode({kPageOne}) + noise + Encode({kPageTwo}));
        QCOMPARE(h.pages().size(), 2);
        QCOMPARE(h.decoder->SatBufferLength(), 0);
        h.feed(noise + Bytes({0x30, 0x31, 0x32, 0x33, 0x34}));
        QCOMPARE(h.decoder->SatBufferLength(), 0);
        // However long the search, the byte trace shows its last bytes.
        QCOMPARE(h.label(Label::ByteTrace).caption, QByteArray("<48><49><50><51><52>"));
    }

    void byteTraceAndPaneFollowTheBatchLogicSwitch() {
        DecoderHarness h;
        h.feed(sim::BlockMarker() + "0001");
        QCOMPARE(h.label(Label::ByteTrace).caption, QByteArray("<48><48><48><49>"));
        QCOMPARE(h.label(Label::F1).caption, QByteArray("F1 1200 "));
        QCOMPARE(h.label(Label::Control).caption, QByteArray("HEADER"));
        h.feed(Bytes({0xAA, 0xAA}));
        QCOMPARE(h.label(Label::ByteTrace).caption, QByteArray("<170><170>"));
        h.feed(Bytes({0xAA, 0xAA, 0xAA}));
        QCOMPARE(h.label(Label::ByteTrace).caption, QByteArray("<170><170><170><170>"));
        QCOMPARE(h.label(Label::Control).caption, QByteArray("PREAMBLE"));
        QVERIFY(h.sink.traces.isEmpty());

        h.restart();
        h.sink.tracing = true;
        h.feed(Encode({kPageOne}));
        const QList<QByteArray>& trace = h.sink.traces;
        for (const char* line : {"<29>", "<52>", "<AA>", "[Found F1]", "[Found 1200]",
                                 "[Found PREAMBLE inverted]", "[Found SYNC]"})
            QVERIFY2(trace.contains(line), line);
        QVERIFY(trace.contains("[DECODE]\tF1 1200 0000008 A first block page one"));
        QCOMPARE(trace.last(), QByteArray("<4>"));
    }

    void errorInAModuleItCallsIsLoggedAndDecodingGoesOn() {
        DecoderHarness h;
        bool refused = false;
        h.sink.onRelay = [&refused](const QByteArray& packet) {
            if (!refused && packet == kPageOnePacket) {
                refused = true;
                throw std::runtime_error("Output refused");
            }
        };
        h.feed(Encode({kPageOne, kPageTwo}));
        QVERIFY(refused);
        QCOMPARE(h.pages().size(), 2);
        QCOMPARE(h.decoderLog(),
                 (QList<QByteArray>{"10:00:00 Strip File error no: 5 Output refused",
                                    "F1 1200 0000008 A first block page one",
                                    "F1 1200 0000016 B <n>123  "}));
    }
};

QTEST_APPLESS_MAIN(StreamFramingTest)
#include "stream-framing-test.moc"
