// Bad configuration and bad input: the relay keeps running, says clearly what
// is wrong, and loses nothing it can keep.

#include "FileText.h"
#include "ProcessMemory.h"
#include "TestPorts.h"
#include "TestSystem.h"

#include "SatelliteStream.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTest>

class BadInputTest : public QObject {
    Q_OBJECT

private slots:
    // A port with blanks around it, or 0, would listen where the port check
    // and the operator do not look (0: on a port chosen at random).
    void outputPortsThatCannotBeListenedOn() {
        WorkFolder folder;
        const quint16 good = TestPort();
        const QString blankAfter = QString::number(good) + QLatin1Char(' ');
        const QString blankBefore = QLatin1Char(' ') + QString::number(good);
        folder.setOutputs({{QStringLiteral("A too big"), QStringLiteral("99999")},
                           {QStringLiteral("B negative"), QStringLiteral("-1")},
                           {QStringLiteral("C empty"), QString()},
                           {QStringLiteral("D blank after"), blankAfter},
                           {QStringLiteral("E blank before"), blankBefore},
                           {QStringLiteral("F zero"), QStringLiteral("0")}});
        TestSystem t(folder.path());
        QVERIFY(t->Form_Load());
        t.warnings.clear(); // the port check's
        for (int tick = 0; tick < 2; ++tick) {
            t.clock.advanceSecs(5);
            t->tmrSockets_Timer();
        }
        QCOMPARE(t.warningNumbers(), QList<int>(12, 109));
        QVERIFY(t.warnings[0].text.contains(QStringLiteral("99999")));
        QCOMPARE(t.warnings[3].text,
                 QStringLiteral("Invalid argument: port \"%1\" has blanks around the number")
                     .arg(blankAfter));
        QCOMPARE(t.warnings[4].text,
                 QStringLiteral("Invalid argument: port \"%1\" has blanks around the number")
                     .arg(blankBefore));
        QCOMPARE(t.warnings[5].text,
                 QStringLiteral("Invalid argument: port 0 is outside 1 to 65535"));
        for (int i = 0; i < 6; ++i)
            QCOMPARE(t->outputSockets.Socket(i).State(), platform::SocketState::Closed);
        LoopbackClient client(good);
        QVERIFY(!client.socket.waitForConnected(1000));
    }

    // An address the socket cannot read, or none, would listen on every
    // interface of the machine; the output does not listen instead.
    void anOutputsLocalIPThatIsNoAddress_data() {
        QTest::addColumn<QString>("address");
        QTest::newRow("empty") << QString();
        QTest::newRow("blank") << QStringLiteral(" ");
        QTest::newRow("too big") << QStringLiteral("999.1.1.1");
        QTest::newRow("name") << QStringLiteral("localhost");
    }
    void anOutputsLocalIPThatIsNoAddress() {
        QFETCH(QString, address);
        WorkFolder folder;
        const quint16 port = TestPort();
        folder.setOutputs({{QStringLiteral("Client A"), QString::number(port)}});
        folder.setSetting(QStringLiteral("OutputsLocalIP"), address);
        TestSystem t(folder.path());
        QVERIFY(t->Form_Load());
        t.clock.advanceSecs(5);
        t->tmrSockets_Timer();
        QCOMPARE(t.warningNumbers(), QList<int>{109});
        QCOMPARE(t.warnings[0].text, QStringLiteral("OutputsLocalIP \"%1\" is not an address of "
                                                    "this machine: output ports do not listen")
                                         .arg(address));
        QCOMPARE(t->outputSockets.Socket(0).State(), platform::SocketState::Closed);
        QVERIFY(!folder.systemLog().contains("System: Outputs bound to Local IP stack"));
        for (const QHostAddress& host :
             {QHostAddress(QHostAddress::LocalHost), QHostAddress(QStringLiteral("127.0.0.2"))}) {
            QTcpSocket client;
            client.connectToHost(host, port);
            QVERIFY(!client.waitForConnected(1000));
        }
    }

    // Two carrier rows at a time, as many as the relay takes.
    void carrierPortsThatCannotBeConnectedTo() {
        QTcpServer carrier;
        QVERIFY(carrier.listen(QHostAddress::LocalHost, 0));
        const QString number = QString::number(carrier.serverPort());
        const QString blankAfter = number + QLatin1Char(' ');
        const QString blankBefore = QLatin1Char(' ') + number;
        for (const QStringList& ports :
             {QStringList{QStringLiteral("99999"), QString()},
              QStringList{QStringLiteral("-1"), QStringLiteral("0")},
              QStringList{blankAfter, blankBefore}, QStringList{QStringLiteral("abc"), number}}) {
            WorkFolder folder;
            folder.setOutputs({});
            for (const QString& port : ports)
                folder.exec(
                    QStringLiteral("Ombrixsys.mdb"),
                    QStringLiteral(
                        "INSERT INTO Telstra (Description, Port, Active) VALUES (?, ?, 'Y')"),
                    {QStringLiteral("Feed ") + port, port});
            TestSystem t(folder.path());
            QVERIFY(t->Form_Load());
            t.warnings.clear(); // the port check's
            t.clock.advanceSecs(5);
            t->tmrSockets_Timer();
            for (const QString& port : ports) {
                if (port == number)
                    continue;
                QVERIFY(folder.systemLog().contains("System: Telstra Socket problem starting " +
                                                    port.toUtf8() + "   Feed " + port.toUtf8() +
                                                    " Windows reports ["));
            }
            if (ports.contains(number)) {
                QCOMPARE(t.warningNumbers(), QList<int>{205});
                QVERIFY(carrier.waitForNewConnection(3000));
                QTRY_VERIFY(t->decSockets.Socket(0).State() == platform::SocketState::Connected ||
                            t->decSockets.Socket(1).State() == platform::SocketState::Connected);
            } else {
                QCOMPARE(t.warningNumbers(), (QList<int>{205, 205}));
            }
            if (ports.contains(blankAfter)) {
                const QString text =
                    QStringLiteral("Invalid argument: port \"%1\" has blanks around the number");
                QStringList texts;
                for (const TestSystem::Warning& warning : t.warnings)
                    texts << warning.text;
                texts.sort();
                QCOMPARE(texts, (QStringList{text.arg(blankBefore), text.arg(blankAfter)}));
                QVERIFY(!carrier.hasPendingConnections());
                QVERIFY(!carrier.waitForNewConnection(500));
            }
        }
    }

    void aStartUpTableWithoutAnyKeyRunsOnDefaults() {
        WorkFolder folder;
        folder.exec(QStringLiteral("Ombrixsys.mdb"), QStringLiteral("DELETE FROM StartUp"));
        TestSystem t(folder.path());
        QVERIFY(t->Form_Load());
        QCOMPARE(t->window.Caption, QStringLiteral("Ombrix  V2.0 (101)"));
        QCOMPARE(t->delayedDb.gMessID, 1000000);
        QVERIFY(QFile::exists(folder.file(QStringLiteral("LOGS/Quorlan"))));
        t.clock.advanceSecs(5);
        t->tmrSockets_Timer();
        t->outputRules.RelayToOutputs("\x02still relays\x03");
        t->Form_Unload();
        QVERIFY(t.warnings.isEmpty());
    }

    // A store that is not a database any more is damage: it is set aside for
    // the operator to look at and the relay goes on with a fresh store. (An
    // Access file is refused: see the delayed store's start-up tests.)
    void aDelayedStoreThatIsNotADatabase() {
        WorkFolder folder;
        folder.setOutputs({{QStringLiteral("Client A"), QString::number(TestPort())}});
        QFile store(folder.file(QStringLiteral("delayed.mdb")));
        QVERIFY(store.open(QIODevice::WriteOnly | QIODevice::Truncate));
        store.write(QByteArray(8192, 'x'));
        store.close();
        QFile::remove(folder.file(QStringLiteral("delayed.mdb-wal")));
        QFile::remove(folder.file(QStringLiteral("delayed.mdb-shm")));
        TestSystem t(folder.path());
        t.clock.set(QDateTime(QDate(2026, 1, 15), QTime(10, 0, 0)));
        QVERIFY(t->Form_Load());
        QVERIFY(t.messageBoxes.isEmpty());
        QVERIFY(t.warnings.isEmpty());
        const QString aside = folder.file(QStringLiteral("delayed.mdb.damaged-20260115-100000"));
        QCOMPARE(ReadFile(aside), QByteArray(8192, 'x')); // left as it was
        QVERIFY(folder.systemLog().contains(
            "0 rows saved into a fresh store made from empty_delayed.mdb. The damaged file is "
            "kept as " +
            aside.toUtf8() + "."));
        t->outputRules.RelayToOutputs("\x02stored in the fresh store\x03");
        QCOMPARE(folder.storedPackets(), 1);
    }

    void aClientThatFloodsItsPort() {
        WorkFolder folder;
        const quint16 port = TestPort();
        folder.setOutputs({{QStringLiteral("Flooder"), QString::number(port)}});
        TestSystem t(folder.path());
        QVERIFY(t->Form_Load());
        t->outputSockets.UpdateOutputClients();
        LoopbackClient client(port);
        QVERIFY(client.socket.waitForConnected(3000));
        QTRY_COMPARE(t->outputSockets.Socket(0).State(), platform::SocketState::Connected);
        const qint64 rssBefore = ResidentKiB();
        const QByteArray block(1 << 20, 'z');
        for (int mb = 0; mb < 100; ++mb) {
            client.socket.write(block);
            while (client.socket.bytesToWrite() > 0)
                QTest::qWait(1);
        }
        QTRY_COMPARE(t->outputSockets.Socket(0).BytesReceived(), qint64(0));
        QTest::qWait(200);
        // Memory stays within 64 MiB of where it was; the log keeps at most
        // 1000 bytes of each arrival, with its size.
        QVERIFY2(GrewLessThan(rssBefore, 64 * 1024),
                 qPrintable(QString::number(ResidentKiB() - rssBefore)));
        qInfo("client flood: 100 MB in, RSS grew %lld KiB", ResidentKiB() - rssBefore);
        QVERIFY(QFileInfo(folder.file(QStringLiteral("LOGS/Quorlan"))).size() < 20 * 1024 * 1024);
        QVERIFY(folder.systemLog().contains("System: Not a STX packet on Port " +
                                            QByteArray::number(port) + " --> zzz"));
        QVERIFY(folder.systemLog().contains("zzz... ["));
        // Still serving.
        t->outputRules.RelayToOutputs("\x02still here\x03");
        QTRY_VERIFY(client.received.contains("\x02still here\x03"));
    }

    void aLogsFolderThatCannotBeWritten() {
        WorkFolder folder;
        QFile blocker(folder.file(QStringLiteral("LOGS")));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        TestSystem t(folder.path());
        QVERIFY(t->Form_Load());
        QVERIFY(t->window.txbLogErrors.Text.contains(QStringLiteral(
            "System: Cannot open the log Quorlan in ./LOGS. Its lines are not written.")));
        QVERIFY(
            t->window.txbLogErrors.Text.contains(QStringLiteral("Cannot open the log DECODE.log")));
        t->outputRules.RelayToOutputs("\x02relayed all the same\x03");
        QCOMPARE(folder.storedPackets(), 0);
        t->Form_Unload();
    }

    void aCarrierSendingNoiseThenValidBlocks() {
        WorkFolder folder;
        folder.setOutputs({});
        QTcpServer carrier;
        QVERIFY(carrier.listen(QHostAddress::LocalHost, 0));
        folder.exec(QStringLiteral("Ombrixsys.mdb"),
                    QStringLiteral(
                        "INSERT INTO Telstra (Description, Port, Active) VALUES ('Noisy', ?, 'Y')"),
                    {QString::number(carrier.serverPort())});
        TestSystem t(folder.path());
        QVERIFY(t->Form_Load());
        QSignalSpy relayed(&t->outputRules, &OutputRules::relayed);
        t.clock.advanceSecs(5);
        t->tmrSockets_Timer();
        QVERIFY(carrier.waitForNewConnection(3000));
        QTcpSocket* feed = carrier.nextPendingConnection();

        const auto relayedText = [&](const QByteArray& text) {
            return std::any_of(relayed.begin(), relayed.end(), [&](const QList<QVariant>& args) {
                return args[0].toByteArray().contains(text);
            });
        };
        const auto stream = [](const QList<QByteArray>& texts) {
            QList<sim::Page> pages;
            for (const QByteArray& text : texts)
                pages << sim::Page{1234567 % 2097152, 'D', 'A', text};
            sim::StreamOptions options;
            options.pagesPerBlock = 1;
            return sim::EncodeStream(pages, options);
        };

        // 100 MB of noise, then two blocks. The noise may leave the framing
        // inside a block that swallows the first marker; the second is found.
        QByteArray noise(1 << 20, '\0');
        for (char& c : noise)
            c = char(QRandomGenerator::global()->bounded(256));
        qsizetype largestBuffer = 0;
        const qint64 rssBefore = ResidentKiB();
        for (int mb = 0; mb < 100; ++mb) {
            noise[mb] = char(mb); // no two megabytes alike
            feed->write(noise);
            QTRY_VERIFY(feed->bytesToWrite() == 0);
            QTest::qWait(5);
            largestBuffer = qMax(largestBuffer, t->decoder.SatBufferLength());
        }
        feed->write(stream({"First after the noise", "Valid after the noise"}));
        QTRY_VERIFY(relayedText("Valid after the noise"));

        // A block header, then a preamble that does not end (5 MB of it), then
        // the transmitter recovers with a new block.
        feed->write(stream({"header only"}).mid(sim::BlockMarker().size(), 4));
        for (int i = 0; i < 20; ++i) {
            feed->write(QByteArray(1 << 18, '\xAA'));
            QTRY_VERIFY(feed->bytesToWrite() == 0);
            QTest::qWait(5);
            largestBuffer = qMax(largestBuffer, t->decoder.SatBufferLength());
        }
        feed->write(stream({"Valid after the long preamble"}));
        QTRY_VERIFY(relayedText("Valid after the long preamble"));
        const QByteArray decoderLog = ReadFile(folder.file(QStringLiteral("LOGS/DECODE.log")));
        QVERIFY(decoderLog.contains(
            "Preamble longer than 4194304 bytes: is the carrier's transmitter stuck?"));
        // Once at 8 KiB and at each doubling up to 4 MiB: ten lines for 5 MB.
        QCOMPARE(decoderLog.count("Preamble longer than "), 10);
        // Whatever arrives is consumed as it arrives: the buffer never holds
        // more than one arrival.
        QVERIFY2(largestBuffer <= (1 << 20), qPrintable(QString::number(largestBuffer)));
        // And the process holds no more than 64 MiB beyond where it started.
        QVERIFY2(GrewLessThan(rssBefore, 64 * 1024),
                 qPrintable(QString::number(ResidentKiB() - rssBefore)));
        qInfo("carrier noise: 105 MB in, RSS grew %lld KiB, buffer peak %lld bytes",
              ResidentKiB() - rssBefore, qint64(largestBuffer));
        QVERIFY(t.warnings.isEmpty());
    }
};

QTEST_GUILESS_MAIN(BadInputTest)
#include "bad-input-test.moc"
