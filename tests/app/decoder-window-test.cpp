// The stream decoder as the operator sees it in the relay: its framing labels
// and their colours, the trace in the decoder pane and the raw test file, the
// decoder log on disk, and an error of relay dispatch in that log.

#include "FileText.h"
#include "SatelliteStream.h"
#include "TestSystem.h"
#include "platform/Error.h"

#include <QTest>

namespace {

constexpr long kRed = 0x0000FF;
constexpr long kButtonFace = 0x8000000F;

const sim::Page kPageOne{8, 'A', 'A', "first block page one"};
const sim::Page kPageTwo{16, 'B', 'N', "123"};
const QByteArray kPageOnePacket("\x02"
                                "1200\r1\rA\r0000008\rA\rfirst block page one\x03");

// Blocks that continue a stream: the marker before their first header is the
// end marker of the block before.
QByteArray NextBlocks(const QList<sim::Page>& pages, const sim::StreamOptions& options = {}) {
    return sim::EncodeStream(pages, options).mid(sim::BlockMarker().size());
}

QByteArray F2BlockAfter(const QList<sim::Page>& pages) {
    sim::StreamOptions options;
    options.frequency = 2;
    options.rate = 512;
    return NextBlocks(pages, options);
}

struct Relay {
    explicit Relay(bool rawLogging = false) {
        if (rawLogging)
            folder.setSetting(QStringLiteral("RawLogEnabled"), QStringLiteral("True"));
        if (!t->Form_Load())
            throw std::runtime_error("start-up failed");
    }
    WorkFolder folder;
    TestSystem t{folder.path()};

    void feed(const QByteArray& bytes) {
        t->decoder.AppendToSatBuffer(bytes);
        t->decoder.FrameStream();
    }
    // Decoder-log lines after the log's header, without their date and time.
    QList<QByteArray> decoderLog() const {
        QList<QByteArray> lines;
        const QList<QByteArray> file = FileLines(folder.file(QStringLiteral("LOGS/DECODE.log")));
        for (qsizetype i = 7; i < file.size(); ++i)
            lines << file[i].mid(file[i].indexOf('\t') + 1);
        return lines;
    }
};

} // namespace

class DecoderWindowTest : public QObject {
    Q_OBJECT

private slots:
    void headerLightsItsFrequencyLabelAndDimsTheOther() {
        Relay r;
        r.feed(sim::EncodeStream({kPageOne}, {}) + F2BlockAfter({kPageTwo}));
        const frmQuorlan& w = r.t->window;
        QCOMPARE(w.lbF1.Caption, QStringLiteral("F1 1200 "));
        QCOMPARE(w.lbF1.ForeColor, kButtonFace);
        QCOMPARE(w.lbF2.Caption, QStringLiteral("F2 0512 "));
        QCOMPARE(w.lbF2.ForeColor, kRed);
        QCOMPARE(w.lbControl.Caption, QStringLiteral("HEADER"));
        QCOMPARE(w.lbControl.ForeColor, kRed);
        QVERIFY(w.lbTest.Caption.startsWith(QLatin1Char('<')));
        QCOMPARE(r.decoderLog(), (QList<QByteArray>{"F1 1200 0000008 A first block page one",
                                                    "F2 0512 0000016 B <n>123  "}));
    }

    void batchLogicTracesIntoThePaneNewestFirst() {
        Relay r;
        r.feed(sim::EncodeStream({kPageTwo}, {}));
        QVERIFY(!r.t->logs.gDecoderLogText.contains("  <29>\r\n"));

        r.t->window.chkInsertBatch.Value = 1;
        r.feed(NextBlocks({kPageOne}));
        const QByteArray pane = r.t->logs.gDecoderLogText;
        for (const char* line : {"  <29>\r\n", "  [Found F1]\r\n", "  [Found SYNC]\r\n"})
            QVERIFY2(pane.contains(line), line);
        QVERIFY(pane.contains("  [DECODE]\tF1 1200 0000008 A first block page one\r\n"));
        QVERIFY(pane.size() <= Logs::kTraceLimit);
        QVERIFY(r.t->window.txbSatDecoder.Text.startsWith(
            QStringLiteral("15 Jan 2026 10:00:00  <4>\r\n")));
    }

    void rawLoggingCopiesTheTraceToTheRawTestFile() {
        Relay r(true);
        r.t->window.chkInsertBatch.Value = 1;
        r.feed(sim::EncodeStream({kPageOne}, {}));
        const QList<QByteArray> raw = FileLines(r.folder.file(QStringLiteral("raw output.txt")));
        QCOMPARE(raw.first(), QByteArray("<29>"));
        QVERIFY(raw.contains("[Found F1]"));
        QVERIFY(raw.contains("[DECODE]\tF1 1200 0000008 A first block page one"));
    }

    void errorInRelayDispatchIsInTheDecoderLog() {
        Relay r;
        QObject::connect(&r.t->outputRules, &OutputRules::relayed, [](const QByteArray& packet) {
            if (packet == kPageOnePacket)
                throw platform::Error(QStringLiteral("Output refused"));
        });
        r.feed(sim::EncodeStream({kPageOne, kPageTwo}, {}));
        QCOMPARE(r.decoderLog(),
                 (QList<QByteArray>{"10:00:00 Strip File error no: 5 Output refused",
                                    "F1 1200 0000008 A first block page one",
                                    "F1 1200 0000016 B <n>123  "}));
    }
};

QTEST_GUILESS_MAIN(DecoderWindowTest)
#include "decoder-window-test.moc"
