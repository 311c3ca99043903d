// The delayed store as a client and an operator see it: rows in delayed.mdb,
// packets on the wire when the client comes back, and the System log.

#include "CommitCounter.h"
#include "LogLines.h"
#include "StuckClient.h"
#include "TestPorts.h"
#include "TestSystem.h"

#include "outputs/ClientQueue.h"
#include "platform/Recordset.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSqlQuery>
#include <QTcpSocket>
#include <QTest>

namespace {

const QDateTime kStart(QDate(2026, 1, 15), QTime(10, 0, 0));

QList<QVariantList> Stored(const WorkFolder& folder) {
    return folder.rows(
        QStringLiteral("delayed.mdb"),
        QStringLiteral("SELECT MessID, Destination, Packet FROM Delayed ORDER BY Created, MessID"));
}

using Client = LoopbackClient;

// Stored rows holding this packet.
int Copies(const WorkFolder& folder, const QByteArray& packet) {
    return folder
        .rows(QStringLiteral("delayed.mdb"),
              QStringLiteral("SELECT count(*) FROM Delayed WHERE Packet = ?"), {packet})
        .first()
        .first()
        .toInt();
}

// Relays pages until output `index` holds a send that its client does not take.
bool FillUntilHeld(System& system, int index) {
    const QByteArray page = "\x02" + QByteArray(16 * 1024, 'p') + "\x03";
    for (int n = 0; n < 1000; ++n) {
        system.outputRules.RelayToOutputs(page);
        QTest::qWait(20);
        if (!system.outputSockets.Entry(index).Sending.Ready())
            return true;
    }
    return false;
}

} // namespace

class DelayedStoreTest : public QObject {
    Q_OBJECT

    struct Fixture {
        WorkFolder folder;
        quint16 portA = TestPort();
        quint16 portB = TestPort();
        std::unique_ptr<TestSystem> t;
        explicit Fixture(const QString& descriptionA = QStringLiteral("Client A")) {
            folder.setOutputs({{descriptionA, QString::number(portA)},
                               {QStringLiteral("Client B"), QString::number(portB)}});
            folder.setSetting(QStringLiteral("LastBackUp"), QStringLiteral("15 Jan 2026 09:00:00"));
            t = std::make_unique<TestSystem>(folder.path());
            t->clock.set(kStart);
            t->system->Form_Load();
            sys().outputSockets.UpdateOutputClients();
        }
        System& sys() { return *t->system; }
        bool connect(Client& client, int index) { return AcceptedOnOutput(sys(), client, index); }
        void tick(int seconds = 1) {
            t->clock.advanceSecs(seconds);
            sys().tmrSystem_Timer();
        }
    };

private slots:
    void whatAnOutputCannotTakeIsStoredUnderTheNextIdentifier() {
        Fixture f;
        Client a(f.portA);
        QVERIFY(f.connect(a, 0));
        f.sys().outputRules.RelayToOutputs("\x02page\x03");
        QTRY_COMPARE(a.received, QByteArray("\x02page\x03"));
        QCOMPARE(Stored(f.folder), (QList<QVariantList>{{1000000, QStringLiteral("Client B"),
                                                         QByteArray("\x02page\x03")}}));
        QCOMPARE(f.folder.setting(QStringLiteral("MessID")).toString(), QStringLiteral("1000001"));
        const QByteArray log = f.folder.systemLog();
        QVERIFY(log.contains("\tOutput\tOut: Client A\t\x02page\x03\r\n"));
        QVERIFY(log.contains("\tOutput\tOut: Client B\t\x02page\x03\r\n"));
        QVERIFY(log.contains(
            "\tOutput\tSystem: TCP failed Client B. Add record to dbase. Delayed Ct 1\r\n"));
        // Idle messages to absent clients: one row per active output, consecutive identifiers.
        a.socket.disconnectFromHost();
        QTRY_COMPARE(f.sys().outputSockets.Socket(0).State(), platform::SocketState::Listening);
        f.t->clock.advanceSecs(16);
        f.sys().outputSockets.tmrWskOutputs_Timer();
        const auto rows = Stored(f.folder);
        QCOMPARE(rows.size(), 3);
        QCOMPARE(rows[1][0].toInt(), 1000001);
        QCOMPARE(rows[2][0].toInt(), 1000002);
        QCOMPARE(rows[1][1].toString(), QStringLiteral("Client A"));
        QVERIFY(rows[1][2].toByteArray().contains("Dummy Message: NO data on Relay Input Ombrix"));
        QCOMPARE(f.folder.setting(QStringLiteral("MessID")).toString(), QStringLiteral("1000003"));
    }

    // A page for many away clients is one commit, not one for each client;
    // the lines are those of rows stored one after another.
    void aPageForManyAwayClientsIsStoredInOneCommit() {
        WorkFolder folder;
        QList<WorkFolder::Output> outputs;
        for (int i = 0; i < 5; ++i)
            outputs.append({QStringLiteral("Desk %1").arg(i), QString::number(TestPort())});
        folder.setOutputs(outputs);
        TestSystem t(folder.path());
        t.clock.set(kStart);
        QVERIFY(t->Form_Load());
        t->outputSockets.UpdateOutputClients();
        CommitCounter commits(t->delayedDb.cnDelayed.database());
        QVERIFY(commits.watching());
        t->outputRules.RelayToOutputs("\x02page\x03");
        QCOMPARE(commits.commits, 1);

        QList<QVariantList> rows;
        QList<QByteArray> lines;
        for (int i = 0; i < 5; ++i) {
            rows.append(
                {1000000 + i, QStringLiteral("Desk %1").arg(i), QByteArray("\x02page\x03")});
            lines << "Out: Desk " + QByteArray::number(i) + "\t\x02page\x03"
                  << "System: TCP failed Desk " + QByteArray::number(i) +
                         ". Add record to dbase. Delayed Ct " + QByteArray::number(i + 1);
        }
        QCOMPARE(Stored(folder), rows);
        QCOMPARE(folder.setting(QStringLiteral("MessID")).toString(), QStringLiteral("1000005"));
        const QList<QByteArray> logged = LogLines(folder.systemLog(), "Output");
        QCOMPARE(logged.mid(logged.indexOf(lines.first())), lines);
    }

    // A burst that cannot be stored is reported once, and every packet of it
    // is logged as lost, with its content; no identifier is used.
    void aBurstThatCannotBeStoredIsLoggedPacketByPacket() {
        Fixture f;
        f.folder.exec(QStringLiteral("delayed.mdb"), QStringLiteral("DROP TABLE Delayed"));
        f.sys().outputRules.RelayToOutputs("\x02page\x03");
        QCOMPARE(f.t->warningNumbers().count(402), 1);
        const QList<QByteArray> logged = LogLines(f.folder.systemLog(), "Output");
        const QList<QByteArray> lines = {
            "Out: Client A\t\x02page\x03",
            "System: TCP failed Client A. Could not store the packet, it is lost: \x02page\x03",
            "Out: Client B\t\x02page\x03",
            "System: TCP failed Client B. Could not store the packet, it is lost: \x02page\x03"};
        QCOMPARE(logged.mid(logged.indexOf(lines.first())), lines);
        QCOMPARE(f.sys().delayedDb.gMessID, 1000000);
    }

    void aReturningClientGetsItsBacklogOldestFirstOnePerTick() {
        Fixture f;
        for (const char* p : {"\x02"
                              "first\x03",
                              "\x02second\x03"}) {
            f.sys().outputRules.RelayToOutputs(p);
            f.t->clock.advanceMs(1);
        }
        QCOMPARE(Stored(f.folder).size(), 4);
        f.tick(); // nobody connected: nothing sent, nothing pruned
        QCOMPARE(Stored(f.folder).size(), 4);
        Client a(f.portA);
        QVERIFY(f.connect(a, 0));
        f.tick();
        QTRY_COMPARE(a.received, QByteArray("\x02"
                                            "first\x03"));
        QVERIFY(
            f.folder.systemLog().contains("\tOutput\tSystem: Client A  Delayed Count is 3  Record "
                                          "ID 1000000 successfully sent from database.\r\n"));
        f.tick();
        QTRY_COMPARE(a.received, QByteArray("\x02"
                                            "first\x03\x02second\x03"));
        f.tick();
        QTest::qWait(50);
        QCOMPARE(a.received, QByteArray("\x02"
                                        "first\x03\x02second\x03"));
        const auto rows = Stored(f.folder);
        QCOMPARE(rows.size(), 2);
        QCOMPARE(rows[0][1].toString(), QStringLiteral("Client B"));
        // The sent rows went without a flush of the disk of their own; a packet
        // stored after them is flushed the moment it is stored, as always.
        QSqlQuery synchronous(f.sys().delayedDb.cnDelayed.database());
        QVERIFY(synchronous.exec(QStringLiteral("PRAGMA synchronous")) && synchronous.next());
        QCOMPARE(synchronous.value(0).toInt(), 2); // FULL
    }

    void apostrophesAndEveryByteSurviveTheStore() {
        Fixture f(QStringLiteral("O'Brien's desk"));
        QByteArray all("\x02it's '' quoted");
        for (int i = 0; i < 256; ++i)
            all.append(static_cast<char>(i));
        f.sys().outputRules.RelayToOutputs(all);
        QCOMPARE(Stored(f.folder).value(0).value(1).toString(), QStringLiteral("Client B"));
        QCOMPARE(Stored(f.folder).value(1).value(1).toString(), QStringLiteral("O'Brien's desk"));
        QCOMPARE(Stored(f.folder).value(1).value(2).toByteArray(), all);
        Client a(f.portA);
        QVERIFY(f.connect(a, 1));
        f.tick();
        QTRY_COMPARE(a.received, all);
        QVERIFY(f.t->warnings.isEmpty());
    }

    void rowsOfARenamedOutputArePruned() {
        Fixture f;
        f.sys().outputRules.RelayToOutputs("\x02x\x03");
        f.sys().outputRules.RelayToOutputs("\x02y\x03");
        f.sys().commands.Edit(config::EditedTable::Outputs);
        f.sys().db.rsOutputs->MoveFirst();
        f.sys().db.rsOutputs->SetField(QStringLiteral("Description"), QStringLiteral("Client A2"));
        QVERIFY(f.sys().commands.Commit(config::EditedTable::Outputs).isEmpty());
        f.tick();
        const auto rows = Stored(f.folder);
        QCOMPARE(rows.size(), 2);
        QCOMPARE(rows[0][1].toString(), QStringLiteral("Client B"));
        QCOMPARE(f.folder.systemLog().count(
                     "\tOutput\tSystem: Deleting record. No destination available.\r\n"),
                 2);
    }

    void withTheDelayedTabShownTheOldestRowWithoutOutputGoesFirst() {
        Fixture f;
        f.sys().window.SSTab1_Click(4);
        // Oldest first is not the order of the names.
        for (int i = 7; i >= 0; --i) {
            f.sys().delayedDb.AddDelayed("\x02p\x03", QStringLiteral("Gone %1").arg(i),
                                         3000000 + i);
            f.sys().delayedDb.AddDelayed("\x02p\x03", QStringLiteral("Client A"), 4000000 + i);
            f.t->clock.advanceMs(1);
        }
        for (int step = 7; step >= 0; --step) {
            f.tick();
            QStringList gone;
            for (const auto& row : Stored(f.folder))
                if (row[1].toString().startsWith(QLatin1String("Gone")))
                    gone << row[1].toString();
            QStringList expected;
            for (int i = step - 1; i >= 0; --i)
                expected << QStringLiteral("Gone %1").arg(i);
            QCOMPARE(gone, expected);
        }
        QCOMPARE(Stored(f.folder).size(), 8);
    }

    void rowsOfAnOutputBeyondTheFiftyInUseWaitForIt() {
        WorkFolder folder;
        QList<WorkFolder::Output> outputs;
        for (int i = 0; i < 51; ++i)
            outputs.append({QStringLiteral("Out %1").arg(i, 2, 10, QLatin1Char('0')),
                            QString::number(7000 + i), QStringLiteral("N")});
        folder.setOutputs(outputs);
        for (const char* destination : {"Out 50", "Gone"})
            folder.exec(QStringLiteral("delayed.mdb"),
                        QStringLiteral("INSERT INTO Delayed VALUES (?, '2026-01-14T10:00:00.000', "
                                       "?, x'02')"),
                        {destination[0] == 'G' ? 1 : 2, QLatin1String(destination)});
        TestSystem t(folder.path());
        t.clock.set(kStart);
        QVERIFY(t->Form_Load());
        QCOMPARE(t->db.gOutputCount, 50);
        t.clock.advanceSecs(1);
        t->tmrSystem_Timer();
        const auto rows = Stored(folder);
        QCOMPARE(rows.size(), 1);
        QCOMPARE(rows[0][1].toString(), QStringLiteral("Out 50"));
        QCOMPARE(folder.systemLog().count("System: Deleting record. No destination available."), 1);
        QVERIFY(t.warnings.isEmpty());
    }

    void twoOutputsOfOneDescriptionAreReportedAndStillServed() {
        Fixture f(QStringLiteral("Client B"));
        const QString ports =
            f.sys().outputSockets.Entry(0).Port + u'\t' + f.sys().outputSockets.Entry(1).Port;
        const QString line =
            QStringLiteral("System: Found duplicate descriptions \tClient B\t") + ports;
        QCOMPARE(f.t->warningNumbers(), QList<int>{603});
        QCOMPARE(f.t->warnings[0].text, line);
        QVERIFY(f.sys().window.txbSystemError.Text.contains(
            QStringLiteral("Error Number 603\r\n\r\nFunction:  CheckDuplicatePorts")));
        QVERIFY(f.folder.systemLog().contains("\tOutput\t" + line.toUtf8() + "\r\n"));
        QVERIFY(f.folder.systemLog().contains("\tError\t" + line.toUtf8() + "\r\n"));
        // Reported, not repaired: both outputs still get their packets.
        f.sys().outputRules.RelayToOutputs("\x02p\x03");
        QCOMPARE(Stored(f.folder).size(), 2);

        // Again at every commit of the table, until the outputs have a name each.
        f.sys().commands.Edit(config::EditedTable::Outputs);
        QVERIFY(f.sys().commands.Commit(config::EditedTable::Outputs).isEmpty());
        QCOMPARE(f.t->warningNumbers(), (QList<int>{603, 603}));
        f.sys().commands.Edit(config::EditedTable::Outputs);
        f.sys().db.rsOutputs->MoveLast();
        f.sys().db.rsOutputs->SetField(QStringLiteral("Description"), QStringLiteral("Client C"));
        QVERIFY(f.sys().commands.Commit(config::EditedTable::Outputs).isEmpty());
        QCOMPARE(f.t->warningNumbers(), (QList<int>{603, 603}));
        QCOMPARE(f.folder.systemLog().count("\tOutput\tSystem: Found duplicate descriptions "), 2);
    }

    void aLongListIsCountedNotShown() {
        Fixture f;
        for (int i = 0; i < 51; ++i)
            f.sys().delayedDb.AddDelayed("\x02p\x03", QStringLiteral("Client A"), 2000000 + i);
        f.sys().window.SSTab1_Click(4);
        QVERIFY(!f.sys().window.dgDelayed.DataSource);
        QVERIFY(f.sys().window.frmeSystemError.Visible);
        QVERIFY(f.sys().window.txbSystemError.Text.endsWith(
            QStringLiteral("\r\n\r\n\r\nThe delayed list is 51.")));
        f.sys().delayedDb.DeleteDelayed(f.sys().delayedDb.OldestFor(QStringLiteral("Client A")));
        QVERIFY(f.sys().window.dgDelayed.DataSource);
        QCOMPARE(f.sys().window.dgDelayed.DataSource->RecordCount(), 50L);
        f.sys().delayedDb.ClearDelayed();
        QCOMPARE(f.sys().window.dgDelayed.DataSource->RecordCount(), 0L);
        QVERIFY(Stored(f.folder).isEmpty());
    }

    void anEmptyStoreIsReplacedByTheTemplateAtTheDailyCheck() {
        Fixture f;
        const QByteArray tag("replaced-by-template");
        f.folder.exec(QStringLiteral("empty_delayed.mdb"),
                      QStringLiteral("PRAGMA user_version = 1"));
        f.folder.exec(QStringLiteral("empty_delayed.mdb"),
                      QStringLiteral("CREATE TABLE Marker (Tag TEXT)"));
        f.folder.exec(QStringLiteral("empty_delayed.mdb"),
                      QStringLiteral("INSERT INTO Marker VALUES (?)"), {tag});
        f.t->clock.advanceSecs(5);
        f.sys().tmrSockets_Timer();
        QVERIFY(f.folder.systemLog().contains(
            "\tError\tSystem: Checking Delayed Dbase for compaction.\r\n"));
        QVERIFY(f.folder.systemLog().contains(
            "\tError\tSystem: Delayed Dbase successfully compacted.\r\n"));
        QCOMPARE(
            f.folder.rows(QStringLiteral("delayed.mdb"), QStringLiteral("SELECT Tag FROM Marker"))
                .value(0)
                .value(0)
                .toByteArray(),
            tag);
        QCOMPARE(f.sys().delayedDb.cnDelayed.State(), platform::ObjectState::Open);
        // Not again until tomorrow; then a store with rows is kept.
        f.sys().outputRules.RelayToOutputs("\x02kept\x03");
        f.t->clock.advanceSecs(86400 + 5);
        f.sys().tmrSockets_Timer();
        QCOMPARE(Stored(f.folder).size(), 2);
        QVERIFY(f.sys().window.txbLogErrors.Text.contains(
            QStringLiteral("16 Jan 2026 10:00:10  System: Checking Delayed Dbase")));
        QVERIFY(!f.sys().window.txbLogErrors.Text.contains(
            QStringLiteral("16 Jan 2026 10:00:10  System: Delayed Dbase successfully")));
    }

    void aMissingTemplateFailsTheCompactionAndTheRelayGoesOn() {
        Fixture f;
        QVERIFY(QFile::remove(f.folder.file(QStringLiteral("empty_delayed.mdb"))));
        f.t->clock.advanceSecs(5);
        f.sys().tmrSockets_Timer();
        QVERIFY(f.folder.systemLog().contains(
            "\tError\tSystem: Failed to compact Delayed Dbase. ZelkorCopy failed.\r\n"));
        f.sys().outputRules.RelayToOutputs("\x02still stored\x03");
        QCOMPARE(Stored(f.folder).size(), 2);
        QVERIFY(f.t->warnings.isEmpty());
    }

    void identifiersAreNeverUsedTwiceAfterACrash() {
        WorkFolder folder;
        folder.setSetting(QStringLiteral("MessID"), QStringLiteral("1000000"));
        folder.exec(QStringLiteral("delayed.mdb"),
                    QStringLiteral("INSERT INTO Delayed VALUES (1000007, "
                                   "'2026-01-14T10:00:00.000', 'Client A', x'02')"));
        TestSystem t(folder.path());
        QVERIFY(t->Form_Load());
        QCOMPARE(t->delayedDb.gMessID, 1000008);
    }

    void aStoredRowThatCannotBeShownStillUsesItsIdentifier() {
        Fixture f;
        f.sys().window.SSTab1_Click(4);
        // Every later read of the list fails, the inserts still work: a row
        // whose column the engine cannot compute, first among the newest.
        for (const char* sql :
             {"INSERT INTO Delayed VALUES (5, '2099-01-01T00:00:00.000', 'Gone', x'0203')",
              "ALTER TABLE Delayed ADD COLUMN Unreadable AS "
              "(CASE WHEN Destination = 'Gone' THEN json(Packet) END)"})
            f.folder.exec(QStringLiteral("delayed.mdb"), QString::fromLatin1(sql));
        for (int n = 0; n < 3; ++n)
            f.sys().outputRules.RelayToOutputs("\x02page\x03");
        const auto rows = f.folder.rows(QStringLiteral("delayed.mdb"),
                                        QStringLiteral("SELECT MessID, Destination FROM Delayed "
                                                       "WHERE MessID > 5 ORDER BY MessID"));
        QCOMPARE(rows.size(), 6);
        for (int n = 0; n < 6; ++n)
            QCOMPARE(rows[n][0].toLongLong(), 1000000 + n);
        QCOMPARE(f.folder.setting(QStringLiteral("MessID")).toString(), QStringLiteral("1000006"));
        const QByteArray log = f.folder.systemLog();
        QVERIFY(!log.contains("Could not store"));
        QCOMPARE(log.count("System: TCP failed Client A. Add record to dbase."), 3);
        QVERIFY(!f.t->warningNumbers().contains(402));
        QVERIFY(f.t->warningNumbers().contains(404));
    }

    void identifiersGoPastThirtyTwoBits() {
        WorkFolder folder;
        const quint16 port = TestPort();
        folder.setOutputs({{QStringLiteral("Client A"), QString::number(port)}});
        folder.setSetting(QStringLiteral("MessID"), QStringLiteral("2147483647"));
        {
            TestSystem t(folder.path());
            t.clock.set(kStart);
            t->Form_Load();
            t->outputRules.RelayToOutputs("\x02one\x03");
            t->outputRules.RelayToOutputs("\x02two\x03");
        }
        QCOMPARE(folder.setting(QStringLiteral("MessID")).toString(), QStringLiteral("2147483649"));
        TestSystem t(folder.path());
        t.clock.set(kStart.addSecs(60));
        t->Form_Load();
        t->outputSockets.UpdateOutputClients();
        t->outputRules.RelayToOutputs("\x02three\x03");
        const auto rows = folder.rows(QStringLiteral("delayed.mdb"),
                                      QStringLiteral("SELECT MessID FROM Delayed ORDER BY MessID"));
        QCOMPARE(rows,
                 (QList<QVariantList>{
                     {Q_INT64_C(2147483647)}, {Q_INT64_C(2147483648)}, {Q_INT64_C(2147483649)}}));
        Client client(port);
        QVERIFY(AcceptedOnOutput(*t.system, client, 0));
        for (int n = 0; n < 3; ++n) {
            t.clock.advanceSecs(1);
            t->tmrSystem_Timer();
            QTRY_VERIFY(!t->outputSockets.CarriesStoredRow(0));
        }
        QTRY_COMPARE(client.received, QByteArray("\x02one\x03\x02two\x03\x02three\x03"));
        QVERIFY(folder.systemLog().contains(
            "Record ID 2147483648 successfully sent from database.\r\n"));
        QCOMPARE(folder.storedPackets(), 0);
    }

    void aStoredPacketStaysStoredUntilItsSendIsWritten() {
        Fixture f;
        const QByteArray stored = "\x02stored\x03";
        f.sys().outputRules.RelayToOutputs(stored); // for A and B, both away
        QCOMPARE(Copies(f.folder, stored), 2);
        // A's client hangs: live pages fill both ends until the relay holds a send.
        StuckClient stuck(f.portA);
        QVERIFY(QTest::qWaitFor([&] {
            return f.sys().outputSockets.Socket(0).State() == platform::SocketState::Connected;
        }));
        f.sys().outputSockets.UpdateOutputClients();
        QVERIFY(FillUntilHeld(f.sys(), 0));
        f.tick(); // A's stored packet is queued behind the held send
        QCOMPARE(Copies(f.folder, stored), 2);
        QVERIFY(f.sys().outputSockets.CarriesStoredRow(0));
        stuck.reset();
        QTRY_COMPARE(f.sys().outputSockets.Socket(0).State(), platform::SocketState::Listening);
        QCOMPARE(Copies(f.folder, stored), 2);
        QVERIFY(!f.folder.systemLog().contains("successfully sent from database"));

        Client back(f.portA);
        QVERIFY(f.connect(back, 0));
        f.tick();
        QTRY_VERIFY(back.received.endsWith("\x02stored\x03"));
        QTRY_COMPARE(Copies(f.folder, stored), 1);
        QCOMPARE(back.received.count("\x02stored\x03"), 1);
        const QByteArray log = f.folder.systemLog();
        QCOMPARE(log.count("successfully sent from database."), 1);
        QVERIFY(log.contains("  Record ID 1000000 successfully sent from database.\r\n"));
    }

    void aSendThatFailsMovesOnToTheNextOlderRow() {
        Fixture f;
        // A's stored packet is as large as all a client may hold, B's is small.
        f.sys().outputRules.SendToOutput(0, "\x02" + QByteArray(kClientQueueLimit, 'a') + "\x03");
        f.t->clock.advanceSecs(1);
        f.sys().outputRules.SendToOutput(1, "\x02for B\x03");
        StuckClient stuck(f.portA);
        QVERIFY(QTest::qWaitFor([&] {
            return f.sys().outputSockets.Socket(0).State() == platform::SocketState::Connected;
        }));
        Client b(f.portB);
        QVERIFY(f.connect(b, 1));
        QVERIFY(FillUntilHeld(f.sys(), 0));
        b.received.clear();
        // A cannot take its packet and is closed; B gets its own in the same tick.
        f.tick();
        QVERIFY(f.folder.systemLog().contains("System: Client Client A stopped reading."));
        QTRY_COMPARE(b.received, QByteArray("\x02for B\x03"));
        QTRY_COMPARE(Copies(f.folder, "\x02for B\x03"), 0);
        QCOMPARE(Copies(f.folder, "\x02" + QByteArray(kClientQueueLimit, 'a') + "\x03"), 1);
    }

    void descriptionsWithPercentSignsAreLoggedAsTheyAre() {
        Fixture f(QStringLiteral("Desk %2 %1"));
        f.sys().outputRules.RelayToOutputs("\x02page\x03");
        Client a(f.portA);
        QVERIFY(f.connect(a, 1)); // sorts after "Client B"
        f.tick();
        QTRY_COMPARE(a.received, QByteArray("\x02page\x03"));
        QTRY_VERIFY(f.folder.systemLog().contains(
            "\tOutput\tSystem: Desk %2 %1  Delayed Count is 1  Record ID 1000001 successfully "
            "sent from database.\r\n"));
        QVERIFY(f.folder.systemLog().contains(
            "\tOutput\tSystem: TCP failed Desk %2 %1. Add record to dbase. Delayed Ct 2\r\n"));
    }

    void aStoredPacketSurvivesAKilledProcess() {
        WorkFolder folder;
        folder.setOutputs({{QStringLiteral("Client A"), QString::number(TestPort())},
                           {QStringLiteral("Client B"), QString::number(TestPort())}});
        QProcess child;
        child.start(QStringLiteral(STORE_AND_DIE), {folder.path()});
        QVERIFY(child.waitForFinished(20000));
        QCOMPARE(child.exitStatus(), QProcess::CrashExit); // killed, no shutdown ran
        const QByteArray log = folder.systemLog();
        QVERIFY(log.contains("System: TCP failed Client A. Add record to dbase."));
        QVERIFY(log.contains("System: TCP failed Client B. Add record to dbase."));
        QVERIFY(!log.contains("has been stopped."));
        const auto rows = Stored(folder);
        QCOMPARE(rows.size(), 2);
        QCOMPARE(rows[0][2].toByteArray(), QByteArray("\x02survivor\x03"));
        TestSystem t(folder.path());
        QVERIFY(t->Form_Load());
        QVERIFY(t->delayedDb.gMessID > rows[1][0].toInt());
    }
};

QTEST_GUILESS_MAIN(DelayedStoreTest)
#include "delayed-store-test.moc"
