// Page lists encoded as the carrier sends them and decoded by the relay: what
// the clients get back, in order, with the frame notices between blocks.

#include "DecoderHarness.h"
#include "SatelliteStream.h"

#include <QTest>

namespace {

QByteArray Ric(quint32 ric) {
    return QByteArray::number(ric).rightJustified(7, '0');
}

QByteArray Packet(const sim::Page& page, const char* rate, const char* frequency, const char* type,
                  const QByteArray& text) {
    const QByteArray function(1, page.function);
    return PagePacket(rate, frequency, function.constData(), Ric(page.ric).constData(), type, text);
}

// Pages spread over every frame and function.
sim::Page MakePage(int i, char type, const QByteArray& text) {
    return sim::Page{quint32(1000 + i * 37), char('A' + i % 4), type, text};
}

// Printable ASCII, starting anywhere.
QByteArray PrintableText(int start, int length) {
    QByteArray text;
    for (int i = 0; i < length; ++i)
        text.append(char(32 + (start + i) % 95));
    return text;
}

QByteArray DigitText(int start, int length) {
    static const QByteArray kDigits = "0123456789U- ";
    QByteArray text;
    for (int i = 0; i < length; ++i)
        text.append(kDigits[(start + i) % kDigits.size()]);
    return text;
}

QByteArray FilledToFive(QByteArray digits) {
    while (digits.size() % 5 != 0)
        digits.append(' ');
    return digits;
}

} // namespace

class RoundTripTest : public QObject {
    Q_OBJECT

private slots:
    void alphanumericPagesComeBackExactlyBetweenTheirNotices() {
        QList<sim::Page> pages;
        for (int length = 12; length <= 130; ++length)
            pages << MakePage(length, 'A', PrintableText(length * 3, length));
        pages << MakePage(0, 'A', PrintableText(0, 95));
        sim::StreamOptions options;
        options.pagesPerBlock = 7;
        DecoderHarness h;
        h.feed(sim::EncodeStream(pages, options));

        QList<QByteArray> expected;
        QList<QByteArray> lines;
        for (qsizetype i = 0; i < pages.size(); ++i) {
            if (i % 7 == 0)
                expected << kF1Start;
            expected << Packet(pages[i], "1200", "1", "A", pages[i].text);
            lines << "F1 1200 " + Ric(pages[i].ric) + ' ' + pages[i].function + ' ' + pages[i].text;
        }
        QCOMPARE(h.packets, expected);
        QCOMPARE(h.decoderLog(), lines);
    }

    // Up to 20 digits (four codewords) a page goes out as digits with their
    // fill; longer ones fail the numeric test and go out as 7-bit text.
    void numericPagesGoOutAsDigitsUpToFourCodewords() {
        QList<sim::Page> pages;
        for (int length = 1; length <= 40; ++length)
            pages << MakePage(length, 'N', DigitText(length, length));
        DecoderHarness h;
        h.feed(sim::EncodeStream(pages, {}));
        const QList<QByteArray> found = h.pages();
        const QList<QByteArray> lines = h.decoderLog();
        QCOMPARE(found.size(), pages.size());
        QCOMPARE(lines.size(), pages.size());
        for (qsizetype i = 0; i < pages.size(); ++i) {
            const sim::Page& page = pages[i];
            const QByteArray header = "F1 1200 " + Ric(page.ric) + ' ' + page.function + ' ';
            if (page.text.size() <= 20) {
                QCOMPARE(found[i], Packet(page, "1200", "1", "N", FilledToFive(page.text)));
                QCOMPARE(lines[i], header + "<n>" + FilledToFive(page.text));
            } else {
                const QByteArray head = Packet(page, "1200", "1", "A", "").chopped(1);
                QVERIFY(found[i].startsWith(head));
                QCOMPARE(lines[i], header + found[i].mid(head.size()).chopped(1));
            }
        }
    }

    void toneOnlyPagesCarryNoText() {
        const QList<sim::Page> pages{{123, 'C', 'T', ""}, {124, 'A', 'T', ""}};
        DecoderHarness h;
        h.feed(sim::EncodeStream(pages, {}));
        QCOMPARE(h.pages(), (QList<QByteArray>{Packet(pages[0], "1200", "1", "T", ""),
                                               Packet(pages[1], "1200", "1", "T", "")}));
        QCOMPARE(h.decoderLog(), (QList<QByteArray>{"F1 1200 0000123 C ", "F1 1200 0000124 A "}));
    }

    void frequencyRatePreambleAndBlockSizeOptions() {
        const QList<sim::Page> pages{MakePage(1, 'A', "Second frequency, slow rate"),
                                     MakePage(2, 'N', "0123")};
        for (const int preamble : {1, 2, 500}) {
            sim::StreamOptions options;
            options.frequency = 2;
            options.rate = 512;
            options.preambleBytes = preamble;
            options.pagesPerBlock = 1;
            DecoderHarness h;
            h.feed(sim::EncodeStream(pages, options));
            QCOMPARE(h.packets,
                     (QList<QByteArray>{kF2Start, Packet(pages[0], "512", "2", "A", pages[0].text),
                                        kF2Start, Packet(pages[1], "512", "2", "N", "0123 ")}));
            QCOMPARE(h.label(DecoderSink::StatusLabel::F2).caption, QByteArray("F2 0512 "));
        }
    }
};

QTEST_APPLESS_MAIN(RoundTripTest)
#include "round-trip-test.moc"
