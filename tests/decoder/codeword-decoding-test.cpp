// Pages as the clients and the decoder log see them, from codewords laid by
// hand into batches: addresses and frames, the numeric or alphanumeric
// choice, character assembly, and where one page ends and the next begins.

#include "DecoderHarness.h"
#include "PocsagCodewords.h"
#include "SatelliteStream.h"

#include <QTest>

namespace {

using Codewords = QList<quint32>;

QByteArray Stream(const QList<Codewords>& blocks) {
    return sim::FrameBlocks(blocks, sim::StreamOptions{});
}

Codewords Idle(int count) {
    return Codewords(count, sim::kIdleCodeword);
}

quint32 Address(quint32 ric, char function = 'A') {
    return sim::AddressCodeword(ric, function - 'A');
}

QByteArray Alpha(const char* rate, const char* address, const QByteArray& text) {
    return PagePacket(rate, "1", "A", address, "A", text);
}

} // namespace

class CodewordDecodingTest : public QObject {
    Q_OBJECT

private slots:
    void addressesTakeTheirFrameFromTheBatchPosition() {
        DecoderHarness h;
        // Address 5 at position 1 and at position 16; then two addresses in a row.
        h.feed(Stream({Codewords{Address(40)} + Idle(14) + Codewords{Address(40, 'D')},
                       Codewords{Address(16, 'B'), Address(16, 'C')}}));
        QCOMPARE(h.pages(), (QList<QByteArray>{
                                PagePacket("1200", "1", "A", "0000040", "T", ""),
                                PagePacket("1200", "1", "D", "0000047", "T", ""),
                                PagePacket("1200", "1", "B", "0000016", "T", ""),
                                PagePacket("1200", "1", "C", "0000016", "T", ""),
                            }));
        QCOMPARE(h.decoderLog(), (QList<QByteArray>{"F1 1200 0000040 A ", "F1 1200 0000047 D ",
                                                    "F1 1200 0000016 B ", "F1 1200 0000016 C "}));
    }

    void idleWithAnyLastByteEndsThePageAndRestartsTheCharacters() {
        DecoderHarness h;
        // The first text leaves one bit over; after the idle the next text
        // (with no address of its own) must start afresh.
        const Codewords first = sim::AlphaMessage("first page text");
        const Codewords loose = sim::AlphaMessage("no address here");
        h.feed(Stream({Codewords{Address(8)} + first + Codewords{0x7A89C100} + loose + Idle(1)}));
        QCOMPARE(h.pages(), (QList<QByteArray>{Alpha("1200", "0000008", "first page text"),
                                               Alpha("1200", "0000008", "no address here")}));
        QCOMPARE(h.decoderLog(), (QList<QByteArray>{"F1 1200 0000008 A first page text",
                                                    "F1 1200 no address here"}));
    }

    void charactersBelowCode16AreDropped() {
        DecoderHarness h;
        h.feed(Stream({Codewords{Address(8)} +
                       sim::AlphaMessage("\x01Hello\x0F\x10\x1FWorld\x7F\x04") + Idle(1)}));
        QCOMPARE(h.pages(), QList<QByteArray>{Alpha("1200", "0000008", "Hello\x10\x1FWorld\x7F")});
    }

    void sevenMessageCodewordsHoldTwentyCharacters() {
        const QByteArray twenty = "ABCDEFGHIJKLMNOPQRST";
        QCOMPARE(sim::AlphaMessage(twenty).size(), 7);
        QCOMPARE(sim::AlphaMessage(twenty + "UV").size(), 8);
        DecoderHarness h;
        // The second address lands in frame 4, position 9.
        h.feed(Stream({Codewords{Address(8)} + sim::AlphaMessage(twenty) + Codewords{Address(20)} +
                       sim::AlphaMessage(twenty + "UV") + Idle(1)}));
        QCOMPARE(h.pages(), (QList<QByteArray>{Alpha("1200", "0000008", twenty),
                                               Alpha("1200", "0000020", twenty + "UV")}));
    }

    void allOnesCodewordIsAMessageOfCode127() {
        DecoderHarness h;
        // Four zero bytes on the wire: every bit set once complemented.
        h.feed(Stream({Codewords{Address(8), 0xFFFFFFFF} + Idle(1)}));
        QCOMPARE(h.pages(), QList<QByteArray>{Alpha("1200", "0000008", "\x7F\x7F")});
        QCOMPARE(h.packets.count(kEndOfBatch), 1);
    }

    // A page of zeros has no 7-bit reading; its digits go out with it and
    // never in front of the next page. Digits with no page are dropped.
    void numericPageWithoutCharactersKeepsItsOwnDigits() {
        DecoderHarness h;
        h.feed(Stream({Codewords{Address(8)} + sim::NumericMessage("0000000000") + Idle(1) +
                       Codewords{sim::MessageCodeword(0)} + Idle(1) + Codewords{Address(19)} +
                       sim::NumericMessage("12") + Idle(1)}));
        QCOMPARE(h.pages(),
                 (QList<QByteArray>{PagePacket("1200", "1", "A", "0000008", "N", "0000000000"),
                                    PagePacket("1200", "1", "A", "0000019", "N", "12   ")}));
        QCOMPARE(h.decoderLog(), (QList<QByteArray>{"F1 1200 0000008 A <n>0000000000",
                                                    "F1 1200 0000019 A <n>12   "}));
    }

    void pageRunsOnAcrossBatchesAndBlocks() {
        const QByteArray text = "A page long enough to need three batches of codewords, and "
                                "then some more text to be sure.";
        const Codewords message = sim::AlphaMessage(text);
        QVERIFY(message.size() > 17);
        // Frame 7: positions 15 and 16.
        const Codewords acrossBatches = Idle(14) + Codewords{Address(15)} + message + Idle(1);
        DecoderHarness h;
        h.feed(Stream({acrossBatches}));
        QCOMPARE(h.pages(), QList<QByteArray>{Alpha("1200", "0000015", text)});

        h.restart();
        h.feed(Stream({Idle(14) + Codewords{Address(15), message[0]}, message.mid(1) + Idle(1)}));
        QCOMPARE(h.packets,
                 (QList<QByteArray>{kF1Start, kF1Start, Alpha("1200", "0000015", text)}));
    }

    void endlessPageGoesOutInPartsWithNothingLost() {
        QByteArray text;
        while (text.size() < 10500)
            text += "The quick brown fox jumps over the lazy dog. ";
        DecoderHarness h;
        h.feed(Stream({Codewords{Address(8)} + sim::AlphaMessage(text) + Idle(1)}));
        const QList<QByteArray> pages = h.pages();
        QCOMPARE(pages.size(), 2);
        const QByteArray head = PagePacket("1200", "1", "A", "0000008", "A", "").chopped(1);
        QByteArray joined;
        for (const QByteArray& packet : pages) {
            QVERIFY(packet.startsWith(head));
            joined += packet.mid(head.size()).chopped(1);
        }
        QCOMPARE(joined, text);
        QVERIFY(pages[0].size() < 10030);
    }
};

QTEST_APPLESS_MAIN(CodewordDecodingTest)
#include "codeword-decoding-test.moc"
