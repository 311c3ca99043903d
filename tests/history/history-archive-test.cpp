// The history archive of a live relay: pages from a carrier on loopback to
// two outputs, one of them away, each page in history.mdb with the trail of
// both; the trail of a broker's copies against a real mosquitto; copies
// pruned and deleted; every byte value through the archive; retention on the
// fake clock; a damaged archive set aside; an archive on a disk that fills up.

#include "Broker.h"
#include "CarrierSite.h"
#include "HttpAnswer.h"
#include "SmallDisk.h"
#include "TestPorts.h"
#include "TestSystem.h"

#include "SatelliteStream.h"
#include "history/ArchiveJournal.h"

#include <QDir>
#include <QFile>
#include <QTcpServer>
#include <QTest>

namespace {

const QDateTime kStart(QDate(2026, 1, 15), QTime(10, 0, 0));
constexpr qint64 kDaySecs = 24 * 60 * 60;

QList<sim::Page> Pages(int count, const QByteArray& word) {
    QList<sim::Page> pages;
    for (int i = 0; i < count; ++i) {
        sim::Page page;
        page.ric = 300000 + quint32(i) * 17;
        page.function = "ABCD"[i % 4];
        page.type = "ANT"[i % 3];
        if (page.type == 'A')
            page.text = "Unit " + QByteArray::number(i) + " " + word + " to the harbour";
        else if (page.type == 'N')
            page.text = QByteArray::number(4000 + i);
        pages << page;
    }
    return pages;
}

// The pages among the packets a client received, each split into its six
// fields, the packet itself last.
QList<QList<QByteArray>> PagesIn(const QByteArray& received) {
    QList<QList<QByteArray>> pages;
    for (const QByteArray& piece : received.split('\x03')) {
        if (!piece.startsWith('\x02'))
            continue;
        QList<QByteArray> fields = piece.mid(1).split('\r');
        if (fields.size() != 6 || fields[3] == "1234566" || fields[3] == "1234568")
            continue;
        fields << piece + '\x03';
        pages << fields;
    }
    return pages;
}

// The relay on a work folder: a loopback carrier ("Carrier"), the outputs
// "Away" and "Near" (indexes 0 and 1), and /healthz on a port of the test's
// block. No client is there at first.
struct Site : CarrierSite {
    const quint16 awayPort = outputPorts[0];
    const quint16 nearPort = outputPorts[1];
    bool streamed = false;

    Site() : CarrierSite(QStringLiteral("Away"), QStringLiteral("Near")) {}
    bool start() { return CarrierSite::start(kStart); }
    // The carrier sends the pages in one block; true once the decoder took it.
    // Each block ends with the next one's marker: the stream goes on.
    bool send(const QList<sim::Page>& pages) {
        const QByteArray stream = sim::EncodeStream(pages, sim::StreamOptions{});
        feed->write(std::exchange(streamed, true) ? stream.mid(sim::BlockMarker().size()) : stream);
        return QTest::qWaitFor([this] { return sys().decoder.SatBufferLength() == 0; }, 5000);
    }
    // One second of the relay's main tick; true once the history has written
    // everything it was told, also of the sends that completed meanwhile.
    bool second() {
        t->clock.advanceSecs(1);
        sys().tmrSystem_Timer();
        QTest::qWait(20); // the sends' completions
        return QTest::qWaitFor(
            [this] {
                if (sys().history.Settled())
                    return true;
                sys().outputSockets.NoteTaken();
                sys().history.Tick();
                return false;
            },
            5000);
    }
    QList<QVariantList> history(const QString& sql, const QVariantList& params = {}) const {
        return folder.rows(QStringLiteral("history.mdb"), sql, params);
    }
    qint64 count(const QString& sql, const QVariantList& params = {}) const {
        return history(sql, params).value(0).value(0).toLongLong();
    }
    // Destination and event of each step of a page's trail, oldest first.
    QStringList trail(qint64 pageID) const {
        QStringList steps;
        for (const QVariantList& row :
             history(QStringLiteral("SELECT Destination, Event FROM Trail WHERE PageID = ? "
                                    "ORDER BY Time, rowid"),
                     {pageID}))
            steps << row[0].toString() + QLatin1Char(' ') + row[1].toString();
        return steps;
    }
    HttpAnswer health() {
        QTcpSocket socket;
        QByteArray received;
        QObject::connect(&socket, &QTcpSocket::readyRead, &socket,
                         [&] { received += socket.readAll(); });
        socket.connectToHost(QHostAddress::LocalHost, monitorPort);
        socket.write("GET /healthz HTTP/1.1\r\nHost: 127.0.0.1:" + QByteArray::number(monitorPort) +
                     "\r\n\r\n");
        HttpAnswer answer;
        (void)QTest::qWaitFor([&] { return ReadHttpAnswer(received, answer); }, 5000);
        return answer;
    }
    QString historyCheck() {
        return health()
            .json()[QStringLiteral("checks")][QStringLiteral("history")][QStringLiteral("status")]
            .toString();
    }
};

QList<QStringList> Expected(const QStringList& steps, qsizetype pages) {
    return QList<QStringList>(pages, steps);
}

} // namespace

class HistoryArchiveTest : public QObject {
    Q_OBJECT

private slots:
    void everyPageIsArchivedWithTheTrailOfBothOutputs() {
        Site site;
        QVERIFY(site.start());
        LoopbackClient near;
        QVERIFY(site.connect(near, site.nearPort, 1));
        const QList<sim::Page> sent = Pages(12, "ambulance");
        QVERIFY(site.send(sent));
        QTRY_COMPARE(PagesIn(near.received).size(), sent.size());
        QVERIFY(site.second());

        // The away client comes back and is sent its backlog, one a second.
        LoopbackClient away;
        QVERIFY(site.connect(away, site.awayPort, 0));
        for (int s = 0; s < 60 && site.sys().delayedDb.gDelayedCount > 0; ++s)
            QVERIFY(site.second());
        QCOMPARE(site.sys().delayedDb.gDelayedCount, 0);
        QTRY_COMPARE(PagesIn(away.received).size(), sent.size());
        QVERIFY(site.second());

        const QList<QVariantList> rows = site.history(
            QStringLiteral("SELECT ID, Time, Offset, Carrier, Rate, Frequency, Function, Address, "
                           "Type, Text, Packet FROM Pages ORDER BY ID"));
        const QList<QList<QByteArray>> received = PagesIn(near.received);
        QCOMPARE(rows.size(), received.size());
        QList<QStringList> trails;
        for (qsizetype i = 0; i < rows.size(); ++i) {
            const QVariantList& row = rows[i];
            const QList<QByteArray>& page = received[i];
            QCOMPARE(row[3].toString(), QStringLiteral("Carrier"));
            QCOMPARE(row[4].toString(), QString::fromLatin1(page[0]));
            QCOMPARE(row[5].toString(), QString::fromLatin1(page[1]));
            QCOMPARE(row[6].toString(), QString::fromLatin1(page[2]));
            QCOMPARE(row[7].toLongLong(), page[3].toLongLong());
            QCOMPARE(row[8].toString(), QString::fromLatin1(page[4]));
            QCOMPARE(row[9].toString(), QString::fromLatin1(page[5]));
            QCOMPARE(row[10].toByteArray(), page[6]);
            QCOMPARE(QDateTime::fromMSecsSinceEpoch(row[1].toLongLong()).date(), kStart.date());
            QCOMPARE(row[2].toInt(), kStart.offsetFromUtc() / 60);
            trails << site.trail(row[0].toLongLong());
        }
        // The away client's copy is stored as the page is dispatched; the near
        // client's send completes after that.
        QCOMPARE(trails, Expected({QStringLiteral("Away stored"), QStringLiteral("Near sent"),
                                   QStringLiteral("Near taken"), QStringLiteral("Away resent"),
                                   QStringLiteral("Away taken")},
                                  rows.size()));
        // Each stored copy is one row of the store, linked to its page.
        QCOMPARE(site.count(QStringLiteral("SELECT count(DISTINCT MessID) FROM Trail WHERE "
                                           "Destination = 'Away' AND Event = 'stored'")),
                 qint64(rows.size()));
        QCOMPARE(site.count(QStringLiteral("SELECT count(*) FROM Trail t JOIN Copies c ON "
                                           "c.MessID = t.MessID AND c.PageID = t.PageID WHERE "
                                           "t.Event IN ('stored', 'resent')")),
                 qint64(2 * rows.size()));
        QCOMPARE(site.count(QStringLiteral(
                     "SELECT count(*) FROM PageText WHERE PageText MATCH 'ambulance'")),
                 qint64(4));
        QVERIFY(site.t->warnings.isEmpty());
    }

    // The trail of a broker's copies: stored until the broker has it, then
    // published and acknowledged.
    // An orderly stop while a batch is with the writer, its report not in yet:
    // the pages are in the archive and no journal is left to be read again.
    void aStopDuringAWriteLeavesNoJournal() {
        Site site;
        site.folder.setOutputs({});
        QVERIFY(site.start());
        for (int i = 0; i < 3; ++i)
            site.sys().outputRules.RelayToOutputs("\x02"
                                                  "1200\r2\rB\r076543" +
                                                  QByteArray::number(i) + "\rA\rrescue\x03");
        const QDir folder(site.folder.path());
        const QStringList journal{QStringLiteral("history.mdb-pending-*")};
        QCOMPARE(folder.entryList(journal).size(), 1);
        site.sys().history.Tick();
        site.sys().history.Stop();
        QCOMPARE(site.count(QStringLiteral("SELECT count(*) FROM Pages")), 3);
        QCOMPARE(folder.entryList(journal), QStringList());
    }

    // Each second's journal file is made ahead of its first page, so a relay
    // killed outright can leave one empty: the next start reads past it, and
    // the first batch written takes it away with its own.
    void anEmptyJournalFileLeftByAKillGoesWithTheFirstBatch() {
        Site site;
        site.folder.setOutputs({});
        QFile empty(site.folder.path() + QStringLiteral("/history.mdb-pending-4"));
        QVERIFY(empty.open(QIODevice::WriteOnly));
        empty.close();
        QVERIFY(site.start());
        site.sys().outputRules.RelayToOutputs("\x02"
                                              "1200\r2\rB\r0765430\rA\rrescue\x03");
        const QDir folder(site.folder.path());
        const QStringList journal{QStringLiteral("history.mdb-pending-*")};
        QCOMPARE(folder.entryList(journal), QStringList({QStringLiteral("history.mdb-pending-4"),
                                                         QStringLiteral("history.mdb-pending-5")}));
        site.sys().history.Stop();
        QCOMPARE(site.count(QStringLiteral("SELECT count(*) FROM Pages")), 1);
        QCOMPARE(folder.entryList(journal), QStringList());
    }

    void aBrokersCopyIsStoredPublishedAndAcknowledged() {
        Site site;
        const quint16 brokerPort = TestPort();
        Broker broker(brokerPort);
        site.folder.exec(QStringLiteral("Ombrixsys.mdb"), QStringLiteral("DELETE FROM Publishers"));
        site.folder.exec(
            QStringLiteral("Ombrixsys.mdb"),
            QStringLiteral("INSERT INTO Publishers (Description, Host, Port, Topic, QoS, Active) "
                           "VALUES ('Broker', '127.0.0.1', ?, 'ombrix/pages', '1', 'Y')"),
            {QString::number(brokerPort)});
        QVERIFY(site.start());
        for (int s = 0; s < 30 && !site.sys().publishers.Publisher(0).Connected(); ++s) {
            site.t->clock.advanceSecs(1);
            site.sys().publishers.tmrPublishers_Timer();
            QTest::qWait(20);
        }
        QVERIFY(site.sys().publishers.Publisher(0).Connected());
        QVERIFY(site.send(Pages(3, "broker")));
        const auto acknowledged = [&] {
            return site.second() &&
                   site.count(QStringLiteral("SELECT count(*) FROM Trail WHERE Event = "
                                             "'acknowledged'")) == 3;
        };
        QTRY_VERIFY(acknowledged());
        const QList<QVariantList> pages =
            site.history(QStringLiteral("SELECT ID FROM Pages ORDER BY ID"));
        QCOMPARE(pages.size(), 3);
        for (const QVariantList& page : pages) {
            QStringList broker;
            for (const QString& step : site.trail(page[0].toLongLong()))
                if (step.startsWith(QStringLiteral("MQTT Broker")))
                    broker << step;
            QCOMPARE(broker, (QStringList{QStringLiteral("MQTT Broker stored"),
                                          QStringLiteral("MQTT Broker published"),
                                          QStringLiteral("MQTT Broker acknowledged")}));
        }
    }

    // A copy whose output is gone is pruned; the operator's Delete ALL
    // deletes every copy still stored, and only those.
    void copiesLeavingTheStoreUnsentArePrunedOrDeleted() {
        Site site;
        QVERIFY(site.start());
        LoopbackClient near;
        QVERIFY(site.connect(near, site.nearPort, 1));
        QVERIFY(site.send(Pages(2, "first")));
        QTRY_COMPARE(PagesIn(near.received).size(), 2);
        near.socket.disconnectFromHost();
        QTRY_COMPARE(site.sys().outputSockets.Socket(1).State(), platform::SocketState::Listening);
        QVERIFY(site.send(Pages(2, "second")));
        QVERIFY(site.second());

        // The operator renames "Away": its copies have no destination and go.
        site.sys().commands.Edit(config::EditedTable::Outputs);
        site.sys().db.rsOutputs->MoveFirst();
        site.sys().db.rsOutputs->SetField(QStringLiteral("Description"), QStringLiteral("Gone"));
        QVERIFY(site.sys().commands.Commit(config::EditedTable::Outputs).isEmpty());
        QVERIFY(site.second());
        // Four pages and the two blocks' notices.
        QCOMPARE(
            site.folder.systemLog().count("System: Deleting record. No destination available."), 6);
        site.sys().commands.DeleteStoredPackets();
        QVERIFY(site.second());

        const QList<QVariantList> pages =
            site.history(QStringLiteral("SELECT ID FROM Pages ORDER BY ID"));
        QCOMPARE(pages.size(), 4);
        QCOMPARE(site.trail(pages[0][0].toLongLong()),
                 (QStringList{QStringLiteral("Away stored"), QStringLiteral("Near sent"),
                              QStringLiteral("Near taken"), QStringLiteral("Away pruned")}));
        QCOMPARE(site.trail(pages[3][0].toLongLong()),
                 (QStringList{QStringLiteral("Away stored"), QStringLiteral("Near stored"),
                              QStringLiteral("Away pruned"), QStringLiteral("Near deleted")}));
    }

    // A copy sent from the store and stored again (its client stopped reading
    // before taking it) stays on its page's trail under its new MessID; the
    // audit keeps who did what, when.
    void copiesStoredAgainAndAuditRowsKeepTheirPlace() {
        Site site;
        site.folder.setOutputs({});
        QVERIFY(site.start());
        System& sys = site.sys();
        sys.outputRules.RelayToOutputs("\x02"
                                       "512\r2\rC\r0000042\rA\rStored twice\x03");
        sys.history.PageEvent(1, QStringLiteral("Desk"), history::TrailEvent::Stored, 700);
        site.t->clock.advanceMs(250);
        sys.history.CopyEvent(700, history::TrailEvent::Resent);
        sys.history.CopyStoredAgain(700, 701);
        sys.history.CopyEvent(701, history::TrailEvent::Resent);
        sys.history.CopyEvent(701, history::TrailEvent::Taken);
        sys.history.CopyEvent(999, history::TrailEvent::Resent); // a copy of no page
        sys.history.Record({QStringLiteral("night-shift"), QStringLiteral("192.0.2.7"),
                            QStringLiteral("command"), QStringLiteral("click cmdSendDummy")});
        QVERIFY(site.second());
        QCOMPARE(
            site.history(QStringLiteral("SELECT Event, MessID, Time - (SELECT Time FROM Pages) "
                                        "FROM Trail ORDER BY rowid")),
            (QList<QVariantList>{{QStringLiteral("stored"), 700, 0},
                                 {QStringLiteral("resent"), 700, 250},
                                 {QStringLiteral("stored"), 701, 250},
                                 {QStringLiteral("resent"), 701, 250},
                                 {QStringLiteral("taken"), 701, 250}}));
        QCOMPARE(site.history(QStringLiteral("SELECT MessID, PageID, Destination FROM Copies "
                                             "ORDER BY MessID")),
                 (QList<QVariantList>{{700, 1, QStringLiteral("Desk")},
                                      {701, 1, QStringLiteral("Desk")}}));
        const QDateTime audited = kStart.addSecs(5).addMSecs(250);
        QCOMPARE(site.history(QStringLiteral("SELECT Time, Offset, Operator, Address, Action, "
                                             "Detail FROM Audit")),
                 (QList<QVariantList>{{audited.toMSecsSinceEpoch(), audited.offsetFromUtc() / 60,
                                       QStringLiteral("night-shift"), QStringLiteral("192.0.2.7"),
                                       QStringLiteral("command"),
                                       QStringLiteral("click cmdSendDummy")}}));
    }

    // Text is one character per byte, Packet the bytes themselves, also on
    // their way through the journal a killed relay leaves.
    void everyByteValueKeepsItsPlace() {
        QByteArray bytes;
        for (int b = 0; b < 256; ++b)
            bytes += char(b);
        const QByteArray packet = "\x02"
                                  "1200\r2\rB\r0765432\rA\r" +
                                  bytes + "\x03";
        Site site;
        site.folder.setOutputs({});
        QVERIFY(site.start());
        site.sys().outputRules.RelayToOutputs(packet);
        QVERIFY(site.second());
        const QList<QVariantList> rows = site.history(
            QStringLiteral("SELECT Packet, Text, Address, Frequency, Function FROM Pages"));
        QCOMPARE(rows.size(), 1);
        QCOMPARE(rows[0][0].toByteArray(), packet);
        QCOMPARE(rows[0][1].toString(), QString::fromLatin1(bytes));
        QCOMPARE(rows[0][1].toString().size(), 256);
        QCOMPARE(rows[0][2].toLongLong(), 765432);
        QCOMPARE(rows[0][3].toString(), QStringLiteral("2"));
        QCOMPARE(rows[0][4].toString(), QStringLiteral("B"));

        QTemporaryDir dir;
        const QString archive = dir.filePath(QStringLiteral("history.mdb"));
        {
            history::ArchiveJournal journal(archive);
            QVERIFY(journal.Append({7, {1, -600}, QStringLiteral("Carrier \u00e9"), packet}));
            QVERIFY(journal.Append({8, {2, 60}, QString(), bytes}));
        }
        // A record cut short, as a full disk or a power cut leaves it.
        QFile tail(archive + QStringLiteral("-pending-1"));
        QVERIFY(tail.open(QIODevice::Append));
        tail.write(QByteArray("\x30\x00\x00\x00\x12\x34\x4a\x4f", 8) + "cut");
        tail.close();
        history::ArchiveJournal again(archive);
        const std::vector<history::PageRecord> read = again.Read();
        QCOMPARE(read.size(), size_t(2));
        QCOMPARE(read[0].id, qint64(7));
        QCOMPARE(read[0].time.offsetMinutes, qint16(-600));
        QCOMPARE(read[0].carrier, QStringLiteral("Carrier \u00e9"));
        QCOMPARE(read[0].packet, packet);
        QCOMPARE(read[1].packet, bytes);
        QCOMPARE(again.Newest(), qint64(1));
    }

    // Pages, their trail, copies and full-text entries, and audit rows older
    // than HistoryDays go a step at a time, and new rows take their room.
    void retentionDeletesOldRowsInStepsAndReusesTheirRoom() {
        Site site;
        site.folder.setOutputs({});
        site.folder.setSetting(QStringLiteral("HistoryDays"), QStringLiteral("90"));
        QVERIFY(site.start());
        System& sys = site.sys();
        constexpr int kOld = 1200;
        const QByteArray oldText = "Old page to the depot";
        for (int i = 0; i < kOld; ++i) {
            sys.outputRules.RelayToOutputs("\x02"
                                           "1200\r1\rA\r0100200\rA\r" +
                                           oldText + "\x03");
            const qint64 id = i + 1;
            sys.history.PageEvent(id, QStringLiteral("Near"), history::TrailEvent::Sent);
            sys.history.PageEvent(id, QStringLiteral("Away"), history::TrailEvent::Stored,
                                  5000000 + id);
        }
        for (int i = 0; i < 10; ++i)
            sys.history.Record({QStringLiteral("operator"), QStringLiteral("127.0.0.1"),
                                QStringLiteral("command"), QStringLiteral("old command")});
        QVERIFY(site.second());
        QCOMPARE(site.count(QStringLiteral("SELECT count(*) FROM Pages")), qint64(kOld));
        QCOMPARE(site.count(QStringLiteral("SELECT count(*) FROM Trail")), qint64(2 * kOld));
        const qint64 pagesBefore = site.count(QStringLiteral("PRAGMA page_count"));

        site.t->clock.advanceSecs(91 * kDaySecs);
        sys.outputRules.RelayToOutputs("\x02"
                                       "1200\r1\rA\r0100201\rA\rNew page to the harbour\x03");
        sys.history.Record({QStringLiteral("operator"), QStringLiteral("127.0.0.1"),
                            QStringLiteral("command"), QStringLiteral("new command")});
        QVERIFY(site.second());
        // One step deletes a few hundred pages, not all of them.
        const qint64 afterOneStep = site.count(QStringLiteral("SELECT count(*) FROM Pages"));
        QVERIFY2(afterOneStep > 1 && afterOneStep < kOld,
                 qPrintable(QString::number(afterOneStep)));
        for (int s = 0; s < 10; ++s)
            QVERIFY(site.second());

        QCOMPARE(site.history(QStringLiteral("SELECT Text FROM Pages")),
                 (QList<QVariantList>{{QStringLiteral("New page to the harbour")}}));
        QCOMPARE(site.count(QStringLiteral("SELECT count(*) FROM Trail")), qint64(0));
        QCOMPARE(site.count(QStringLiteral("SELECT count(*) FROM Copies")), qint64(0));
        QCOMPARE(site.count(QStringLiteral("SELECT count(*) FROM PageText WHERE PageText "
                                           "MATCH 'depot'")),
                 qint64(0));
        QCOMPARE(site.count(QStringLiteral("SELECT count(*) FROM PageText WHERE PageText "
                                           "MATCH 'harbour'")),
                 qint64(1));
        site.folder.exec(QStringLiteral("history.mdb"),
                         QStringLiteral("INSERT INTO PageText (PageText) VALUES "
                                        "('integrity-check')"));
        QCOMPARE(site.history(QStringLiteral("SELECT Detail FROM Audit")),
                 (QList<QVariantList>{{QStringLiteral("new command")}}));
        // The room the old rows took is taken by new ones: the file does not grow.
        QVERIFY(site.count(QStringLiteral("PRAGMA freelist_count")) > 0);
        for (int i = 0; i < kOld; ++i)
            sys.outputRules.RelayToOutputs("\x02"
                                           "1200\r1\rA\r0100202\rA\rAnother page to the depot\x03");
        QVERIFY(site.second());
        QCOMPARE(site.count(QStringLiteral("SELECT count(*) FROM Pages")), qint64(kOld + 1));
        QVERIFY2(site.count(QStringLiteral("PRAGMA page_count")) <= pagesBefore,
                 qPrintable(QStringLiteral("%1 pages, %2 before")
                                .arg(site.count(QStringLiteral("PRAGMA page_count")))
                                .arg(pagesBefore)));
        QVERIFY(site.t->warnings.isEmpty());
    }

    void historyDaysZeroWritesNothing() {
        Site site;
        site.folder.setSetting(QStringLiteral("HistoryDays"), QStringLiteral("0"));
        QVERIFY(site.start());
        site.sys().outputRules.RelayToOutputs("\x02"
                                              "1200\r1\rA\r0100201\rA\rNot kept\x03");
        site.sys().history.Record({QStringLiteral("operator"), {}, QStringLiteral("command"), {}});
        QVERIFY(site.second());
        QCOMPARE(site.count(QStringLiteral("SELECT count(*) FROM Pages")), qint64(0));
        QCOMPARE(site.count(QStringLiteral("SELECT count(*) FROM Audit")), qint64(0));
        QCOMPARE(site.historyCheck(), QStringLiteral("ok"));
    }

    // A file that is no database any more, or one the last run found damaged
    // while writing, is kept aside and a fresh archive takes its place.
    void aDamagedArchiveIsSetAsideAndStartedAfresh_data() {
        QTest::addColumn<bool>("marked");
        QTest::newRow("no database any more") << false;
        QTest::newRow("found damaged by the last run") << true;
    }
    void aDamagedArchiveIsSetAsideAndStartedAfresh() {
        QFETCH(bool, marked);
        Site site;
        const QString archive = site.folder.file(QStringLiteral("history.mdb"));
        if (marked) {
            QFile marker(archive + QStringLiteral("-damaged"));
            QVERIFY(marker.open(QIODevice::WriteOnly));
        } else {
            QFile file(archive);
            QVERIFY(file.open(QIODevice::ReadWrite));
            file.write(QByteArray(100, 'x'));
        }
        QVERIFY(site.start());
        const QStringList aside =
            QDir(site.folder.path()).entryList({QStringLiteral("history.mdb.damaged-*")});
        QCOMPARE(aside.size(), 1);
        QVERIFY(site.folder.systemLog().contains("System: history.mdb was damaged ("));
        QVERIFY(!QFile::exists(archive + QStringLiteral("-damaged")));
        site.sys().outputRules.RelayToOutputs("\x02"
                                              "1200\r1\rA\r0100201\rA\rAfresh\x03");
        QVERIFY(site.second());
        QCOMPARE(site.history(QStringLiteral("SELECT Text FROM Pages")),
                 (QList<QVariantList>{{QStringLiteral("Afresh")}}));
        QVERIFY(site.t->warnings.isEmpty());
    }

    // A full disk under the archive: the clients and the store go on, one
    // warning, health degraded; once there is room, what waited is written.
    void aFullDiskKeepsTheRelayGoingWithOneWarning() {
        Site site;
        const QString disk = site.folder.file(QStringLiteral("disk"));
        QVERIFY(QDir().mkpath(disk));
        SmallDisk small(disk, QStringLiteral("1m"));
        if (!small.mounted())
            QSKIP("Needs root to mount a small tmpfs for the archive (CI runs as root).");
        const QString archive = site.folder.file(QStringLiteral("history.mdb"));
        QVERIFY(QFile::copy(archive, disk + QStringLiteral("/history.mdb")));
        QVERIFY(QFile::remove(archive));
        QVERIFY(QFile::link(disk + QStringLiteral("/history.mdb"), archive));
        QVERIFY(site.start());
        LoopbackClient near;
        QVERIFY(site.connect(near, site.nearPort, 1));
        QVERIFY(site.send(Pages(3, "before")));
        QTRY_COMPARE(PagesIn(near.received).size(), 3);
        QVERIFY(site.second());
        QCOMPARE(site.count(QStringLiteral("SELECT count(*) FROM Pages")), qint64(3));
        QCOMPARE(site.historyCheck(), QStringLiteral("ok"));

        QVERIFY(small.fill());
        const int stored = site.sys().delayedDb.gDelayedCount;
        const QList<sim::Page> during = Pages(150, "during");
        for (qsizetype at = 0; at < during.size(); at += 10)
            QVERIFY(site.send(during.mid(at, 10)));
        QTRY_COMPARE(PagesIn(near.received).size(), 153);
        for (int s = 0; s < 25; ++s) {
            site.t->clock.advanceSecs(1);
            site.sys().tmrSystem_Timer();
            QTest::qWait(10);
        }
        // The store took the away client's pages; the relay said it once.
        QVERIFY(site.sys().delayedDb.gDelayedCount >= stored + 150);
        QCOMPARE(site.t->warningNumbers().count(405), 1);
        QCOMPARE(site.historyCheck(), QStringLiteral("degraded"));
        QCOMPARE(site.health().json()[QStringLiteral("status")].toString(),
                 QStringLiteral("degraded"));

        // Room again: the next attempt writes what waited; a minute without
        // trouble ends the failure.
        QVERIFY(small.makeRoom());
        site.t->clock.advanceSecs(history::HistoryArchive::kRetrySeconds);
        QVERIFY(site.second());
        QCOMPARE(site.count(QStringLiteral("SELECT count(*) FROM Pages")), qint64(153));
        QCOMPARE(site.historyCheck(), QStringLiteral("degraded"));
        site.t->clock.advanceSecs(history::HistoryArchive::kRecoveredAfterSeconds);
        QVERIFY(site.second());
        QVERIFY(site.folder.systemLog().contains("System: history.mdb is written again"));
        QCOMPARE(site.historyCheck(), QStringLiteral("ok"));
        QCOMPARE(site.t->warningNumbers().count(405), 1);
    }
};

QTEST_GUILESS_MAIN(HistoryArchiveTest)
#include "history-archive-test.moc"
