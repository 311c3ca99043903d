// A packet as the window's panes show it: one line, its control bytes by the
// names the web console gives them.

#include "logging/ShownPacket.h"

#include <QTest>

class ShownPacketTest : public QObject {
    Q_OBJECT

private slots:
    void controlBytesAreNamedOnOneLine_data() {
        QTest::addColumn<QByteArray>("packet");
        QTest::addColumn<QString>("shown");
        QTest::newRow("a page") << QByteArray("\x02"
                                              "1200\r1\rD\r1234567\rA\rUnit 4 to the harbour\x03")
                                << QStringLiteral("<STX>1200<CR>1<CR>D<CR>1234567<CR>A<CR>"
                                                  "Unit 4 to the harbour<ETX>");
        QTest::newRow("line ends") << QByteArray("a\r\nb\nc") << QStringLiteral("a<CR><LF>b<LF>c");
        QTest::newRow("a tab stays")
            << QByteArray("Out: Client A\tx") << QStringLiteral("Out: Client A\tx");
        QTest::newRow("the other C0 controls")
            << QByteArray("\x00\x01\x04\x07\x08\x0b\x0c\x0e\x1b\x1f", 10)
            << QStringLiteral("<NUL><SOH><EOT><BEL><BS><VT><FF><SO><ESC><US>");
        QTest::newRow("DEL and the C1 bytes")
            << QByteArray("\x7f\x80\x9f") << QStringLiteral("<x7f><x80><x9f>");
        QTest::newRow("a byte of no UTF-8 sequence")
            << QByteArray("caf\xe9 \xa0!") << QStringLiteral(u"caf\u00e9 \u00a0!");
        QTest::newRow("UTF-8 text") << QByteArray("Z\xc3\xbcrich \xf0\x9f\x93\x9f")
                                    << QStringLiteral(u"Z\u00fcrich \U0001F4DF");
        QTest::newRow("a sequence cut short") << QByteArray("\xc3") << QStringLiteral(u"\u00c3");
        QTest::newRow("an overlong sequence")
            << QByteArray("\xc0\x80") << QStringLiteral(u"\u00c0<x80>");
        QTest::newRow("a surrogate")
            << QByteArray("\xed\xa0\x80") << QStringLiteral(u"\u00ed\u00a0<x80>");
    }
    void controlBytesAreNamedOnOneLine() {
        QFETCH(QByteArray, packet);
        QFETCH(QString, shown);
        QCOMPARE(ShownPacket(packet), shown);
    }
};

QTEST_GUILESS_MAIN(ShownPacketTest)
#include "shown-packet-test.moc"
