// The delayed store at start-up as an operator meets it: a damaged file is set
// aside and what can be read of it is delivered, an Access file is refused as
// before, and a store that cannot be written stops the relay at once instead
// of losing the first packet it should keep.

#include "FileText.h"
#include "TestPorts.h"
#include "TestSystem.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QSet>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTest>
#include <QUuid>

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QDateTime kStart(QDate(2026, 1, 15), QTime(10, 0, 0));
const QString kStore = QStringLiteral("delayed.mdb");
const QString kAside = QStringLiteral("delayed.mdb.damaged-20260115-100000");
constexpr int kRows = 1101;

QByteArray PacketNumber(int n) {
    return "\x02"
           "1200\r1\rA\r" +
           QByteArray::number(1000000 + n) + "\rA\rStored page number " + QByteArray::number(n) +
           "\x03";
}

// Fills the store in one transaction, as a relay would over an afternoon of
// an absent client, and closes it so that every row lies in the file itself.
void FillStore(const QString& path, int rows) {
    const QString name = QUuid::createUuid().toString();
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(path);
        QVERIFY(db.open());
        QVERIFY(db.transaction());
        QSqlQuery insert(db);
        QVERIFY(insert.prepare(QStringLiteral("INSERT INTO Delayed (MessID, Created, Destination, "
                                              "Packet) VALUES (?, ?, 'Client A', ?)")));
        for (int n = 0; n < rows; ++n) {
            insert.bindValue(0, 1000000 + n);
            insert.bindValue(1, kStart.addSecs(-7200).addMSecs(n).toString(Qt::ISODateWithMs));
            insert.bindValue(2, PacketNumber(n));
            QVERIFY(insert.exec());
        }
        QVERIFY(db.commit());
        insert.finish();
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    QVERIFY(!QFile::exists(path + QStringLiteral("-wal")));
}

int PageSize(const WorkFolder& folder) {
    return folder.rows(kStore, QStringLiteral("PRAGMA page_size")).value(0).value(0).toInt();
}

// The first page from the middle of the file on that holds rows of the table
// itself (a table leaf, type byte 13), not an index.
qint64 MiddleTablePage(const QByteArray& file, int pageSize) {
    const qint64 pages = file.size() / pageSize;
    for (qint64 page = pages / 2; page < pages; ++page)
        if (file.at(page * pageSize) == 13)
            return page;
    return -1;
}

void Overwrite(const QString& path, qint64 offset, qint64 length) {
    QRandomGenerator random(20260115); // the same damage at every run
    QByteArray noise(length, '\0');
    for (char& c : noise)
        c = char(random.bounded(256));
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadWrite));
    QVERIFY(file.seek(offset));
    QCOMPARE(file.write(noise), length);
}

QString IntegrityOf(const WorkFolder& folder, const QString& name) {
    return folder.rows(name, QStringLiteral("PRAGMA integrity_check")).value(0).value(0).toString();
}

// Makes a file or folder unwritable for as long as it lives, for root too:
// root passes over permission bits, not over the immutable attribute.
class Unwritable {
public:
    explicit Unwritable(const QString& path) : path_(path) {
        if (geteuid() != 0) {
            mode_ = QFileInfo(path).isDir() ? 0555 : 0444;
            ok_ = chmod(path.toLocal8Bit().constData(), mode_) == 0;
            return;
        }
        ok_ = setImmutable(true);
    }
    ~Unwritable() {
        if (!ok_)
            return;
        if (geteuid() != 0)
            chmod(path_.toLocal8Bit().constData(), QFileInfo(path_).isDir() ? 0755 : 0644);
        else
            setImmutable(false);
    }
    bool ok() const { return ok_; }

private:
    bool setImmutable(bool on) {
        const int fd = open(path_.toLocal8Bit().constData(), O_RDONLY | O_NONBLOCK);
        if (fd < 0)
            return false;
        int flags = 0;
        bool done = ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
        if (done) {
            flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
            done = ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
        }
        close(fd);
        return done;
    }

    QString path_;
    mode_t mode_ = 0;
    bool ok_ = false;
};

} // namespace

class DelayedSalvageTest : public QObject {
    Q_OBJECT

    struct Relay {
        quint16 port = TestPort();
        std::unique_ptr<TestSystem> t;
        bool started = false;
        explicit Relay(WorkFolder& folder) {
            folder.setOutputs({{QStringLiteral("Client A"), QString::number(port)}});
            folder.setSetting(QStringLiteral("LastBackUp"), QStringLiteral("15 Jan 2026 09:00:00"));
        }
        bool start(const WorkFolder& folder) {
            t = std::make_unique<TestSystem>(folder.path());
            t->clock.set(kStart);
            started = t->system->Form_Load();
            if (started)
                t->system->outputSockets.UpdateOutputClients();
            return started;
        }
        System& sys() { return *t->system; }
    };

    static void expectRefused(TestSystem& t, const QString& warningPart) {
        QCOMPARE(t.messageBoxes,
                 QStringList{QStringLiteral("Delayed Database failure. Closing application")});
        QCOMPARE(t.warningNumbers(), QList<int>{400});
        QVERIFY2(t.warnings[0].text.contains(warningPart), qPrintable(t.warnings[0].text));
        QCOMPARE(t->exitCode, 1);
        QVERIFY(t->IsUnloaded());
    }

private slots:
    // Every row on a readable page reaches the client; only the rows of the
    // bad page are lost, and the log says how many of each.
    void aDamagedPageCostsOnlyItsOwnRows_data() {
        QTest::addColumn<bool>("indexed");
        QTest::newRow("store with its indexes") << true;
        // Nothing but the table itself to find the rows behind the bad page.
        QTest::newRow("store without indexes") << false;
    }
    void aDamagedPageCostsOnlyItsOwnRows() {
        QFETCH(bool, indexed);
        WorkFolder folder;
        Relay relay(folder);
        if (!indexed) {
            QVERIFY(QFile::remove(folder.file(kStore)));
            folder.exec(kStore, QStringLiteral("PRAGMA journal_mode = WAL"));
            folder.exec(kStore, QStringLiteral("CREATE TABLE Delayed (MessID INTEGER NOT NULL, "
                                               "Created TEXT NOT NULL, Destination TEXT, "
                                               "Packet BLOB)"));
        }
        FillStore(folder.file(kStore), kRows);
        const int pageSize = PageSize(folder);
        const QByteArray whole = ReadFile(folder.file(kStore));
        const qint64 page = MiddleTablePage(whole, pageSize);
        QVERIFY(page > 1);
        // A table page's header counts its rows (bytes 3 and 4, big-endian).
        const int rowsOnPage =
            (uchar(whole.at(page * pageSize + 3)) << 8) | uchar(whole.at(page * pageSize + 4));
        QVERIFY(rowsOnPage > 0);
        Overwrite(folder.file(kStore), page * pageSize, pageSize);
        const QByteArray damagedBytes = ReadFile(folder.file(kStore));
        QVERIFY(IntegrityOf(folder, kStore) != QLatin1String("ok"));

        QVERIFY(relay.start(folder));
        QVERIFY(relay.t->warnings.isEmpty());

        // The damaged file is kept as it was, beside a whole new store.
        QCOMPARE(ReadFile(folder.file(kAside)), damagedBytes);
        QCOMPARE(IntegrityOf(folder, kStore), QStringLiteral("ok"));
        const int saved = folder.storedPackets();
        QCOMPARE(saved, kRows - rowsOnPage);
        qInfo("page %lld of %d bytes damaged: %d of %d rows saved", page, pageSize, saved, kRows);
        const QByteArray log = folder.systemLog();
        QVERIFY(log.contains("\tError\tSystem: Delayed Dbase was damaged ("));
        // An index names the rows of the bad page, so they can be counted;
        // the table alone cannot tell how many there were.
        const QString lost = indexed ? QStringLiteral("%1 rows").arg(kRows - saved)
                                     : QStringLiteral("an unknown number of rows");
        QVERIFY2(log.contains(QStringLiteral(" %1 rows saved into a fresh store made from "
                                             "empty_delayed.mdb; %2 could not be read. The "
                                             "damaged file is kept as %3.\r\n")
                                  .arg(saved)
                                  .arg(lost, folder.file(kAside))
                                  .toUtf8()),
                 log.constData());

        // The saved rows are delivered as any stored rows: oldest first, one a
        // second, each once, each as it was stored.
        LoopbackClient client(relay.port);
        QVERIFY(AcceptedOnOutput(relay.sys(), client, 0));
        for (int tick = 0; tick < 3 * kRows && relay.sys().delayedDb.gDelayedCount > 0; ++tick) {
            relay.t->clock.advanceSecs(1);
            relay.sys().tmrSystem_Timer();
            QCoreApplication::processEvents();
        }
        QTRY_COMPARE(client.received.count('\x03'), saved);
        QList<QByteArray> packets = client.received.split('\x03');
        packets.removeLast();
        QSet<QByteArray> distinct;
        int previous = -1;
        for (QByteArray packet : std::as_const(packets)) {
            packet += '\x03';
            const int n = packet.mid(packet.indexOf("number ") + 7).chopped(1).toInt();
            QCOMPARE(packet, PacketNumber(n));
            QVERIFY(n > previous);
            previous = n;
            distinct.insert(packet);
        }
        QCOMPARE(distinct.size(), saved);
        QCOMPARE(folder.storedPackets(), 0);
        QCOMPARE(folder.systemLog().count(" successfully sent from database.\r\n"), saved);
        QVERIFY(relay.t->warnings.isEmpty());
    }

    // A store whose first bytes are gone is no database at all any more: the
    // relay starts on a fresh store and says that nothing could be saved.
    void aStoreWithoutItsHeaderIsReplacedByAFreshOne_data() {
        QTest::addColumn<qint64>("length");
        QTest::newRow("first 100 bytes") << qint64(100);
        QTest::newRow("first page") << qint64(4096);
    }
    void aStoreWithoutItsHeaderIsReplacedByAFreshOne() {
        QFETCH(qint64, length);
        WorkFolder folder;
        Relay relay(folder);
        FillStore(folder.file(kStore), 50);
        Overwrite(folder.file(kStore), 0, length);
        const QByteArray damagedBytes = ReadFile(folder.file(kStore));

        QVERIFY(relay.start(folder));
        QVERIFY(relay.t->warnings.isEmpty());
        QCOMPARE(ReadFile(folder.file(kAside)), damagedBytes);
        QCOMPARE(IntegrityOf(folder, kStore), QStringLiteral("ok"));
        QCOMPARE(folder.storedPackets(), 0);
        QVERIFY2(folder.systemLog().contains(
                     "). 0 rows saved into a fresh store made from empty_delayed.mdb. The damaged "
                     "file is kept as " +
                     folder.file(kAside).toUtf8() + ".\r\n"),
                 folder.systemLog().constData());
        // The fresh store takes packets as the old one did.
        relay.sys().outputRules.RelayToOutputs("\x02"
                                               "after the repair\x03");
        QCOMPARE(folder.storedPackets(), 1);
    }

    // Someone's Access file where the store should be is not damage: the
    // relay refuses it by name and leaves it where it is.
    void anAccessFileIsStillRefused() {
        WorkFolder folder;
        Relay relay(folder);
        QFile jet(folder.file(kStore));
        QVERIFY(jet.open(QIODevice::WriteOnly | QIODevice::Truncate));
        const QByteArray bytes =
            QByteArray("\x00\x01\x00\x00", 4) + "Standard Jet DB" + QByteArray(4000, '\0');
        jet.write(bytes);
        jet.close();
        QVERIFY(!relay.start(folder));
        expectRefused(*relay.t, QStringLiteral("not a database this system can open"));
        QCOMPARE(ReadFile(folder.file(kStore)), bytes);
        QVERIFY(!QFile::exists(folder.file(kAside)));
    }

    // A healthy store is opened as it is, rows and all, and nothing is moved.
    void aWholeStoreIsLeftAsItIs() {
        WorkFolder folder;
        Relay relay(folder);
        FillStore(folder.file(kStore), 20);
        QVERIFY(relay.start(folder));
        QCOMPARE(folder.storedPackets(), 20);
        QVERIFY(!QFile::exists(folder.file(kAside)));
        QVERIFY(!folder.systemLog().contains("Delayed Dbase was damaged"));
    }

    void aStoreThatCannotBeWrittenStopsTheRelay_data() {
        QTest::addColumn<bool>("folderItself");
        QTest::newRow("read-only file") << false;
        QTest::newRow("read-only folder") << true;
    }
    void aStoreThatCannotBeWrittenStopsTheRelay() {
        QFETCH(bool, folderItself);
        WorkFolder folder;
        Relay relay(folder);
        FillStore(folder.file(kStore), 3);
        // With the folder read-only, SQLite could not even create the files it
        // reads through; another program holding the store open (the operator
        // looking at it) has them there already, and writing through them works
        // until the folder is needed.
        const QString holder = QUuid::createUuid().toString();
        QSqlDatabase held = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), holder);
        held.setDatabaseName(folder.file(kStore));
        QVERIFY(held.open());
        QSqlQuery(QStringLiteral("SELECT count(*) FROM Delayed"), held);
        {
            Unwritable unwritable(folderItself ? folder.path() : folder.file(kStore));
            if (!unwritable.ok())
                QSKIP("This file system cannot make a file unwritable for root (no immutable "
                      "attribute); the check is not shown here.");
            QVERIFY(!relay.start(folder));
            expectRefused(*relay.t, folderItself ? QStringLiteral("cannot be written")
                                                 : QStringLiteral("delayed.mdb cannot be written"));
            relay.t.reset();
        }
        held.close();
        held = QSqlDatabase();
        QSqlDatabase::removeDatabase(holder);
        QCOMPARE(folder.storedPackets(), 3);
    }
};

QTEST_GUILESS_MAIN(DelayedSalvageTest)
#include "delayed-salvage-test.moc"
