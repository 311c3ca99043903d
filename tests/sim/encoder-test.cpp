// ombrix-sim encode as a tester runs it: true POCSAG codewords, page lists
// with their mistakes named by line, and the program's arguments and files.

#include "PageList.h"
#include "PocsagCodewords.h"
#include "SatelliteStream.h"

#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <bit>

namespace {

struct Result {
    int exitCode = -1;
    QByteArray out;
    QString err;
};

Result Sim(const QStringList& args) {
    QProcess p;
    p.start(QStringLiteral(OMBRIX_SIM_BINARY), args);
    p.waitForFinished(20000);
    return {p.exitCode(), p.readAllStandardOutput(),
            QString::fromLocal8Bit(p.readAllStandardError())};
}

QString Write(const QTemporaryDir& dir, const char* name, const QByteArray& content) {
    const QString path = dir.filePath(QLatin1String(name));
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(content);
    return path;
}

// The codewords after the first sync of a stream, un-complemented.
QList<quint32> CodewordsOf(const QByteArray& stream, qsizetype firstSync) {
    QList<quint32> codewords;
    for (qsizetype at = firstSync; at + 4 <= stream.size(); at += 4) {
        quint32 value = 0;
        for (int i = 0; i < 4; ++i)
            value = value << 8 | quint8(~quint8(stream[at + i]));
        codewords << value;
    }
    return codewords;
}

} // namespace

class EncoderTest : public QObject {
    Q_OBJECT

private slots:
    void codewordsCarryTrueCheckBitsAndParity() {
        // The two fixed codewords of every POCSAG transmission.
        QVERIFY(sim::HasValidCheckBits(sim::kSyncCodeword));
        QVERIFY(sim::HasValidCheckBits(sim::kIdleCodeword));
        QCOMPARE(sim::WithCheckBits(sim::kSyncCodeword & 0xFFFFF800u), sim::kSyncCodeword);
        QCOMPARE(sim::WithCheckBits(sim::kIdleCodeword & 0xFFFFF800u), sim::kIdleCodeword);
        for (int bit = 0; bit < 32; ++bit)
            QVERIFY(!sim::HasValidCheckBits(sim::kIdleCodeword ^ (1u << bit)));

        const QList<sim::Page> pages{{2097151, 'D', 'A', "Every codeword checks"},
                                     {0, 'A', 'N', "0123456789"},
                                     {77, 'B', 'T', ""}};
        const QByteArray stream = sim::EncodeStream(pages, {});
        const QList<quint32> codewords = CodewordsOf(stream.chopped(5), 5 + 4 + 72);
        QCOMPARE(codewords.size(), 3 * 17); // three batches after their syncs
        for (qsizetype i = 0; i < codewords.size(); i += 17)
            QCOMPARE(codewords[i], sim::kSyncCodeword);
        for (const quint32 codeword : codewords) {
            QVERIFY(sim::HasValidCheckBits(codeword));
            QCOMPARE(std::popcount(codeword) % 2, 0);
        }
        // Address 2097151 >> 3 with function D sits in frame 7 (positions 15 and 16).
        QCOMPARE(codewords[15], sim::WithCheckBits(0x7FFFF800u));
        QVERIFY(codewords[16] & 0x80000000u);
    }

    void pageListMistakesAreNamedByLine() {
        const QByteArray good = "# paging test\r\n"
                                "\r\n"
                                "  1234567 A A Hello  world \r\n"
                                "8\tD\tN\t12 34-U\n"
                                "9 C T\n";
        const sim::PageListResult read = sim::ParsePageList(good);
        QCOMPARE(read.error, QString());
        QCOMPARE(read.pages.size(), 3);
        QCOMPARE(read.pages[0].ric, 1234567u);
        QCOMPARE(read.pages[0].text, QByteArray("Hello  world "));
        QCOMPARE(read.pages[1].function, 'D');
        QCOMPARE(read.pages[1].text, QByteArray("12 34-U"));
        QCOMPARE(read.pages[2].type, 'T');

        const QList<QPair<QByteArray, QString>> bad{
            {"1 A A ok\n2097152 A A too big\n", QStringLiteral("line 2: RIC \"2097152\"")},
            {"x A A text\n", QStringLiteral("line 1: RIC \"x\"")},
            {"1 E A text\n", QStringLiteral("line 1: function \"E\"")},
            {"1 A Q text\n", QStringLiteral("line 1: type \"Q\"")},
            {"1 A N 12a\n", QStringLiteral("line 1: 'a' cannot be sent on a numeric page")},
            {"1 A A caf\xC3\xA9\n", QStringLiteral("line 1: character code 195")},
            {"1 A T beep\n", QStringLiteral("line 1: a tone-only page (type T) carries no text")},
            {"1 A A\n", QStringLiteral("line 1: type A needs a text")},
            {"# nothing\n\n", QStringLiteral("no pages")},
        };
        for (const auto& [content, error] : bad) {
            const sim::PageListResult result = sim::ParsePageList(content);
            QVERIFY2(result.error.startsWith(error), qPrintable(result.error));
            QVERIFY(result.pages.isEmpty());
        }
    }

    void encodeWritesTheStreamOrSaysWhatIsWrong() {
        QTemporaryDir dir;
        const QString pages = Write(dir, "pages.txt",
                                    "# two pages\n1234567 A A Hello from the simulator\n"
                                    "42 B N 0123\n");
        const QString out = dir.filePath(QStringLiteral("stream.bin"));
        const Result done = Sim(
            {QStringLiteral("encode"), pages, out, QStringLiteral("--freq"), QStringLiteral("2"),
             QStringLiteral("--rate"), QStringLiteral("512"), QStringLiteral("--preamble"),
             QStringLiteral("9"), QStringLiteral("--pages-per-block"), QStringLiteral("1")});
        QCOMPARE(done.exitCode, 0);
        QVERIFY(done.out.contains("encoded 2 pages in 2 blocks:"));
        sim::StreamOptions options;
        options.frequency = 2;
        options.rate = 512;
        options.preambleBytes = 9;
        options.pagesPerBlock = 1;
        const QByteArray expected =
            sim::EncodeStream(sim::ParsePageList("1234567 A A Hello from the simulator\n"
                                                 "42 B N 0123\n")
                                  .pages,
                              options);
        QFile written(out);
        QVERIFY(written.open(QIODevice::ReadOnly));
        QCOMPARE(written.readAll(), expected);
        QCOMPARE(expected.mid(5, 4), QByteArray("2000"));

        const Result toStdout = Sim({QStringLiteral("encode"), pages, QStringLiteral("-")});
        QCOMPARE(toStdout.exitCode, 0);
        QVERIFY(toStdout.out.startsWith(sim::BlockMarker() + "0001"));
        QVERIFY(toStdout.err.contains(QStringLiteral("encoded 2 pages in 1 block:")));

        // Mistakes: a message, a non-zero status, and no stream left behind.
        const QString refused = dir.filePath(QStringLiteral("refused.bin"));
        const QString badPages = Write(dir, "bad.txt", "1 A A fine\n2 A N 1x\n");
        const QList<QPair<QStringList, QString>> mistakes{
            {{QStringLiteral("encode"), badPages, refused},
             QStringLiteral("bad.txt: line 2: 'x' cannot be sent")},
            {{QStringLiteral("encode"), dir.filePath(QStringLiteral("missing.txt")), refused},
             QStringLiteral("cannot read")},
            {{QStringLiteral("encode"), pages, refused, QStringLiteral("--rate"),
              QStringLiteral("2400")},
             QStringLiteral("--rate takes 512 or 1200, not \"2400\"")},
            {{QStringLiteral("encode"), pages, refused, QStringLiteral("--freq")},
             QStringLiteral("--freq needs a value")},
            {{QStringLiteral("encode"), pages, refused, QStringLiteral("--preamble"),
              QStringLiteral("0")},
             QStringLiteral("--preamble takes a number of bytes from 1")},
            {{QStringLiteral("encode"), pages}, QStringLiteral("encode takes PAGES and OUT")},
            {{QStringLiteral("decode")}, QStringLiteral("unknown command \"decode\"")},
        };
        for (const auto& [args, message] : mistakes) {
            const Result result = Sim(args);
            QVERIFY2(result.exitCode != 0, qPrintable(args.join(QLatin1Char(' '))));
            QVERIFY2(result.err.contains(message), qPrintable(result.err));
            QVERIFY(!QFile::exists(refused));
        }
        const Result help = Sim({QStringLiteral("--help")});
        QCOMPARE(help.exitCode, 0);
        QVERIFY(help.out.contains("encode PAGES OUT"));
    }

    // Each subcommand's usage, asked for on its own, names every option it takes.
    void eachCommandsHelpListsItsOptions_data() {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QStringList>("options");
        QTest::newRow("encode") << QStringLiteral("encode")
                                << QStringList{"PAGES",  "OUT",        "--freq",
                                               "--rate", "--preamble", "--pages-per-block"};
        QTest::newRow("serve") << QStringLiteral("serve")
                               << QStringList{"--listen",      "PAGES",         "--rate",
                                              "--speed",       "--chunk",       "--loop",
                                              "--garbage",     "--close-after", "--silent-after",
                                              "--freq",        "--preamble",    "--pages-per-block",
                                              "--allow-remote"};
        QTest::newRow("tap") << QStringLiteral("tap") << QStringList{"HOST:PORT", "--ack"};
    }
    void eachCommandsHelpListsItsOptions() {
        QFETCH(QString, command);
        QFETCH(QStringList, options);
        for (const QString& help : {QStringLiteral("--help"), QStringLiteral("-h")}) {
            const Result result = Sim({command, help});
            QCOMPARE(result.exitCode, 0);
            QCOMPARE(result.err, QString());
            const QString out = QString::fromLocal8Bit(result.out);
            QVERIFY2(out.startsWith(QStringLiteral("usage: ombrix-sim ") + command + u' '),
                     qPrintable(out));
            for (const QString& option : options)
                QVERIFY2(out.contains(option), qPrintable(option));
        }
        // After the other arguments too, and without running the command.
        const Result late = Sim({command, QStringLiteral("127.0.0.1:1"), QStringLiteral("--help")});
        QCOMPARE(late.exitCode, 0);
        QVERIFY(late.out.startsWith("usage: ombrix-sim "));
    }
};

QTEST_GUILESS_MAIN(EncoderTest)
#include "encoder-test.moc"
