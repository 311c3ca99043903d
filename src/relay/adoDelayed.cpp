#include "relay/adoDelayed.h"

#include "config/CoreEvents.h"
#include "config/DatabaseFiles.h"
#include "config/ErrorCodes.h"
#include "config/SettingValues.h"
#include "config/adoQuorlan.h"
#include "logging/Logs.h"
#include "logging/gZelkorfile.h"
#include "platform/Error.h"
#include "platform/LocalPath.h"
#include "relay/DelayedSalvage.h"

#include <QFile>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryFile>

namespace {

const QString kDelayedConnectionString = QStringLiteral(
    "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=.\\delayed.mdb;Persist Security Info=False");

// Most stored rows the Delayed grid shows; above that only their count is shown.
constexpr int kDelayedRowsShown = 50;

// Newest first; MessID breaks ties within one millisecond. One row more than
// the grid shows tells a full grid from an overfull one.
const QString kListQuery =
    QStringLiteral("SELECT * FROM `Delayed` ORDER BY `Created` DESC, `MessID` DESC LIMIT ") +
    QString::number(kDelayedRowsShown + 1);

QSqlQuery Run(platform::Connection& cn, const QString& sql, const QVariantList& params = {}) {
    QSqlQuery query(cn.database());
    query.setForwardOnly(true);
    if (!query.prepare(sql))
        throw platform::Error(query.lastError().text());
    for (const QVariant& value : params)
        query.addBindValue(value);
    if (!query.exec())
        throw platform::Error(query.lastError().text());
    return query;
}

// Every commit of the store waits until it is on the disk, but for the one
// statement RunWithoutFlush runs.
const QString kFlushEachCommit = QStringLiteral("PRAGMA synchronous = FULL");
const QString kFlushWithNextCommit = QStringLiteral("PRAGMA synchronous = NORMAL");

QSqlQuery RunWithoutFlush(platform::Connection& cn, const QString& sql,
                          const QVariantList& params) {
    cn.Execute(kFlushWithNextCommit);
    try {
        QSqlQuery query = Run(cn, sql, params);
        cn.Execute(kFlushEachCommit);
        return query;
    } catch (const platform::Error&) {
        cn.Execute(kFlushEachCommit);
        throw;
    }
}

} // namespace

adoDelayed::adoDelayed(adoQuorlan& db, platform::Time time, ErrorCodes& warnings, Logs& logs,
                       CoreEvents& events, const QString& workDir, std::function<bool()> viewShown)
    : db_(db), time_(time), warnings_(warnings), logs_(logs), events_(events), workDir_(workDir),
      viewShown_(std::move(viewShown)) {}

qint64 adoDelayed::firstUnusedMessID() {
    const qint64 saved =
        WholeNumber64(db_.GetStartUpKey(QStringLiteral("MessID"), QStringLiteral("1000000")));
    try {
        return qMax(saved, LargestMessID() + 1);
    } catch (const platform::Error& error) {
        // A store that cannot be read must not end the start-up unreported;
        // the setting's value has to do.
        warnings_.ShowWarning(ErrorCode::DelayedList, error.text(), 0);
        return saved;
    }
}

void adoDelayed::saveMessID(qint64 next) {
    db_.SetStartUpKey(QStringLiteral("MessID"), QString::number(next));
}

// One time for the rows of one burst, as when each was stored in its turn.
void adoDelayed::stampCreated(QList<DelayedRecord>& rows) const {
    QString created;
    for (DelayedRecord& row : rows) {
        if (!row.Created.isEmpty())
            continue;
        if (created.isEmpty())
            created = time_.Now().toString(Qt::ISODateWithMs);
        row.Created = created;
    }
}

int adoDelayed::OpenDelayedDb() {
    // The file may be another (a compaction puts the template in place).
    oldest_.reset();
    oldestFor_.clear();
    try {
        cnDelayed.Close();
        cnDelayed.ConnectionString = kDelayedConnectionString;
        cnDelayed.Mode = platform::kModeReadWrite;
        cnDelayed.BaseFolder = workDir_;
        cnDelayed.Open();
        // A stored packet must survive a power cut the moment it is stored.
        cnDelayed.Execute(QStringLiteral("PRAGMA journal_mode = WAL"));
        cnDelayed.Execute(kFlushEachCommit);
        config::UpgradeSchema(cnDelayed, config::DatabaseKind::Delayed);
        return static_cast<int>(cnDelayed.State());
    } catch (const platform::Error& error) {
        cnDelayed.Close();
        warnings_.ShowWarning(ErrorCode::OpenDelayedDb, error.text(), 0);
        return 0;
    }
}

int adoDelayed::OpenDelayedDbAtStartUp() {
    try {
        const relay::SalvageReport salvage = relay::SalvageDamagedStore(
            platform::LocalPath(workDir_, QStringLiteral(".\\delayed.mdb")),
            platform::LocalPath(workDir_, QStringLiteral(".\\empty_delayed.mdb")), time_.Now());
        if (salvage.damaged) {
            QString text = QStringLiteral("System: Delayed Dbase was damaged (%1). %2 rows saved "
                                          "into a fresh store made from empty_delayed.mdb")
                               .arg(salvage.fault)
                               .arg(salvage.saved);
            if (salvage.unreadable > 0)
                text += QStringLiteral("; %1 rows could not be read").arg(salvage.unreadable);
            else if (salvage.uncountedStretches > 0)
                text += QStringLiteral("; an unknown number of rows could not be read");
            text += QStringLiteral(". The damaged file is kept as %1.").arg(salvage.damagedFile);
            // Written to the System log once it is open; a service's journal has it at once.
            logs_.LogError(text);
            events_.Notice(text);
        }
    } catch (const platform::Error& error) {
        warnings_.ShowWarning(ErrorCode::OpenDelayedDb, error.text(), 0);
        return 0;
    }
    if (OpenDelayedDb() != 1)
        return 0;
    try {
        proveWritable();
    } catch (const platform::Error& error) {
        cnDelayed.Close();
        warnings_.ShowWarning(ErrorCode::OpenDelayedDb, error.text(), 0);
        return 0;
    }
    noteWrite(true);
    return static_cast<int>(cnDelayed.State());
}

void adoDelayed::proveWritable() {
    const QString store = cnDelayed.FilePath();
    // SQLite creates the -wal and -shm files beside the store whenever it
    // opens it again, and the daily compaction puts the template in its place:
    // the folder must take new files.
    QTemporaryFile probe(QFileInfo(store).absolutePath() +
                         QStringLiteral("/.delayed-write-check-XXXXXX"));
    if (!probe.open())
        throw platform::Error(QStringLiteral("The folder of %1 cannot be written: %2")
                                  .arg(store, probe.errorString()));
    probe.close();
    // A read-only file opens and reads like any other and fails only at the
    // first write: write the schema version back as it is. (A transaction
    // rolled back never reaches the disk, so it proves nothing.)
    try {
        QSqlQuery version = Run(cnDelayed, QStringLiteral("PRAGMA user_version"));
        const int current = version.next() ? version.value(0).toInt() : 0;
        version = QSqlQuery();
        cnDelayed.Execute(QStringLiteral("PRAGMA user_version = %1").arg(current));
    } catch (const platform::Error& error) {
        throw platform::Error(QStringLiteral("%1 cannot be written: %2").arg(store, error.text()));
    }
}

int adoDelayed::CloseDelayedDb() {
    try {
        rsDelayed.reset();
        cnDelayed.Close();
        return static_cast<int>(cnDelayed.State());
    } catch (const platform::Error& error) {
        warnings_.ShowWarning(ErrorCode::CloseDelayedDb, error.text(), 0);
        return 0;
    }
}

void adoDelayed::ensureOpen() {
    if (cnDelayed.State() != platform::ObjectState::Open)
        OpenDelayedDb();
}

void adoDelayed::recount() {
    oldest_.reset();
    oldestFor_.clear();
    destinations_.clear();
    gDelayedCount = 0;
    QSqlQuery query = Run(cnDelayed, QStringLiteral("SELECT `Destination`, count(*) FROM `Delayed` "
                                                    "GROUP BY `Destination`"));
    while (query.next()) {
        const qint64 rows = query.value(1).toLongLong();
        destinations_.insert(query.value(0).toString(), rows);
        gDelayedCount += static_cast<qint32>(rows);
    }
}

void adoDelayed::OpenDelayedList() {
    if (cnDelayed.State() != platform::ObjectState::Open)
        return;
    try {
        auto rs = std::make_shared<platform::Recordset>();
        rs->CursorLocation = platform::kCursorOnClient;
        rs->CursorType = platform::kCursorDynamic;
        rs->LockType = platform::kLockReadOnly;
        rsDelayed = rs;
        rs->Open(kListQuery, cnDelayed);
        recount();
    } catch (const platform::Error& error) {
        warnings_.ShowWarning(ErrorCode::DelayedList, error.text(), 0);
    }
}

void adoDelayed::CloseDelayedList() {
    if (cnDelayed.State() == platform::ObjectState::Open && DelayedListOpen())
        rsDelayed->Close();
}

void adoDelayed::RefreshDelayedView() {
    if (!ViewShown()) {
        events_.TableShown(ShownTable::Delayed, nullptr, TableMode::Kept);
        return;
    }
    if (DelayedListOpen())
        rsDelayed->Requery();
    else
        OpenDelayedList();
    if (gDelayedCount <= kDelayedRowsShown) {
        events_.TableShown(ShownTable::Delayed, rsDelayed, TableMode::Showing);
        return;
    }
    // Too many rows to show: the count goes to the warning box instead.
    events_.TableShown(ShownTable::Delayed, nullptr, TableMode::Kept);
    events_.DelayedCountShown(
        time_.NowText() + QStringLiteral("\r\n\r\n\r\nThe delayed list is %1.").arg(gDelayedCount));
    events_.Changed();
}

bool adoDelayed::AddDelayed(const QByteArray& packet, const QString& destination, qint64 messID) {
    const QString created = time_.Now().toString(Qt::ISODateWithMs);
    try {
        ensureOpen();
        // Values are bound, never spliced into the statement: any byte of the
        // packet and any character of the destination is stored as it is.
        cnDelayed.Execute(
            QStringLiteral("INSERT INTO `Delayed` (MessID, Created, Destination, Packet) "
                           "VALUES (?, ?, ?, ?)"),
            {messID, created, destination, packet});
    } catch (const platform::Error& error) {
        noteWrite(false);
        warnings_.ShowWarning(ErrorCode::AddDelayed, error.text(), 0);
        return false;
    }
    noteWrite(true);
    countStored(destination);
    noteStoredCreated(created);
    showInserted({destination});
    return true;
}

bool adoDelayed::AddDelayedRows(const QList<DelayedRecord>& rows) {
    if (rows.isEmpty())
        return true;
    try {
        ensureOpen();
        QSqlDatabase db = cnDelayed.database();
        if (!db.transaction())
            throw platform::Error(db.lastError().text());
        try {
            QSqlQuery insert(db);
            if (!insert.prepare(
                    QStringLiteral("INSERT INTO `Delayed` (MessID, Created, Destination, Packet) "
                                   "VALUES (?, ?, ?, ?)")))
                throw platform::Error(insert.lastError().text());
            for (const DelayedRecord& row : rows) {
                insert.bindValue(0, row.MessID);
                insert.bindValue(1, row.Created);
                insert.bindValue(2, row.Destination);
                insert.bindValue(3, row.Packet);
                if (!insert.exec())
                    throw platform::Error(insert.lastError().text());
            }
        } catch (const platform::Error&) {
            db.rollback();
            throw;
        }
        if (!db.commit())
            throw platform::Error(db.lastError().text());
    } catch (const platform::Error& error) {
        noteWrite(false);
        warnings_.ShowWarning(ErrorCode::AddDelayed, error.text(), 0);
        return false;
    }
    noteWrite(true);
    QStringList destinations;
    destinations.reserve(rows.size());
    for (const DelayedRecord& row : rows) {
        destinations << row.Destination;
        countStored(row.Destination);
        noteStoredCreated(row.Created);
    }
    showInserted(destinations);
    return true;
}

void adoDelayed::DeleteDelayedRows(const QString& destination, const QList<qint64>& messIDs) {
    try {
        ensureOpen();
        QSqlDatabase db = cnDelayed.database();
        if (!db.transaction())
            throw platform::Error(db.lastError().text());
        qint64 deleted = 0;
        try {
            QSqlQuery remove(db);
            if (!remove.prepare(QStringLiteral("DELETE FROM `Delayed` WHERE (`MessID` = ?)")))
                throw platform::Error(remove.lastError().text());
            for (const qint64 messID : messIDs) {
                remove.bindValue(0, messID);
                if (!remove.exec())
                    throw platform::Error(remove.lastError().text());
                deleted += remove.numRowsAffected();
            }
        } catch (const platform::Error&) {
            db.rollback();
            throw;
        }
        if (!db.commit())
            throw platform::Error(db.lastError().text());
        noteWrite(true);
        oldest_.reset();
        oldestFor_.remove(destination);
        gDelayedCount = qMax<qint32>(0, gDelayedCount - static_cast<qint32>(deleted));
        if ((destinations_[destination] -= deleted) <= 0)
            destinations_.remove(destination);
        RefreshDelayedView();
    } catch (const platform::Error& error) {
        noteWrite(false);
        warnings_.ShowWarning(ErrorCode::DelayedList, error.text(), 0);
    }
}

QList<DelayedRecord> adoDelayed::StoredAfter(const QString& destination, qint64 messID, int limit) {
    QList<DelayedRecord> rows;
    if (cnDelayed.State() != platform::ObjectState::Open)
        return rows;
    QSqlQuery query = Run(cnDelayed,
                          QStringLiteral("SELECT MessID, Created, Packet FROM `Delayed` WHERE "
                                         "(`Destination` = ?) AND (`MessID` > ?) "
                                         "ORDER BY `MessID` LIMIT ?"),
                          {destination, messID, limit});
    while (query.next()) {
        DelayedRecord row;
        row.MessID = query.value(0).toLongLong();
        row.Created = query.value(1).toString();
        row.Packet = query.value(2).toByteArray();
        row.Destination = destination;
        rows << row;
    }
    return rows;
}

void adoDelayed::showInserted(const QStringList& destinations) {
    for (const QString& destination : destinations)
        oldestFor_.remove(destination);
    try {
        if (DelayedListOpen()) {
            for (const QString& destination : destinations)
                destinations_[destination] += 1;
            gDelayedCount += static_cast<qint32>(destinations.size());
            if (ViewShown())
                rsDelayed->Requery();
        } else {
            OpenDelayedList();
        }
        RefreshDelayedView();
    } catch (const platform::Error& error) {
        // The rows are stored; only the view of the store is behind.
        warnings_.ShowWarning(ErrorCode::DelayedList, error.text(), 0);
    }
}

// The row of a packet its client has been sent. Should a power cut undo the
// delete, the packet goes out once more; a flush of the disk for it would hold
// every live page behind that flush, once a second while a store drains. The
// next stored packet's flush takes the delete to the disk with it.
bool adoDelayed::DeleteDelayed(const DelayedRecord& record) {
    try {
        ensureOpen();
        QSqlQuery query =
            RunWithoutFlush(cnDelayed, QStringLiteral("DELETE FROM `Delayed` WHERE (`MessID` = ?)"),
                            {record.MessID});
        noteWrite(true);
        if (record.Created.isEmpty() || !oldest_ || record.Created == *oldest_)
            oldest_.reset();
        forgetOldest(record);
        if (query.numRowsAffected() > 0) {
            gDelayedCount = qMax(0, gDelayedCount - 1);
            if (--destinations_[record.Destination] <= 0)
                destinations_.remove(record.Destination);
        }
        RefreshDelayedView();
    } catch (const platform::Error& error) {
        noteWrite(false);
        warnings_.ShowWarning(ErrorCode::DelayedList, error.text(), 0);
        return false;
    }
    return true;
}

bool adoDelayed::ClearDelayed() {
    try {
        ensureOpen();
        cnDelayed.Execute(QStringLiteral("DELETE FROM `Delayed`"));
        oldest_ = QString();
        oldestFor_.clear();
        destinations_.clear();
        gDelayedCount = 0;
        RefreshDelayedView();
    } catch (const platform::Error& error) {
        warnings_.ShowWarning(ErrorCode::DelayedList, error.text(), 0);
        return false;
    }
    return true;
}

QList<qint64> adoDelayed::MessIDsFor(const QString& destination) {
    QList<qint64> messIDs;
    try {
        ensureOpen();
        QSqlQuery query =
            Run(cnDelayed, QStringLiteral("SELECT MessID FROM `Delayed` WHERE (`Destination` = ?)"),
                {destination});
        while (query.next())
            messIDs << query.value(0).toLongLong();
    } catch (const platform::Error&) {
        // The rows' identifiers are for the history alone; their deletion goes on.
    }
    return messIDs;
}

qint64 adoDelayed::DeleteDestination(const QString& destination) {
    try {
        ensureOpen();
        QSqlQuery query =
            Run(cnDelayed, QStringLiteral("DELETE FROM `Delayed` WHERE (`Destination` = ?)"),
                {destination});
        const qint64 rows = query.numRowsAffected();
        noteWrite(true);
        oldest_.reset();
        oldestFor_.remove(destination);
        gDelayedCount = qMax<qint32>(0, gDelayedCount - static_cast<qint32>(rows));
        destinations_.remove(destination);
        storedTotal_.remove(destination);
        RefreshDelayedView();
        return rows;
    } catch (const platform::Error& error) {
        warnings_.ShowWarning(ErrorCode::DelayedList, error.text(), 0);
        return 0;
    }
}

DelayedRecord adoDelayed::ReadDelayedRecord(platform::Recordset& rs) const {
    DelayedRecord record;
    if (rs.Eof())
        return record;
    record.MessID = rs.Field(QStringLiteral("MessID")).toLongLong();
    record.Destination = rs.Field(QStringLiteral("Destination")).toString();
    record.Packet = rs.Field(QStringLiteral("Packet")).toByteArray();
    record.Count = gDelayedCount;
    record.Created = rs.Field(QStringLiteral("Created")).toString();
    return record;
}

DelayedRecord adoDelayed::OldestFor(const QString& destination) {
    if (const auto known = oldestFor_.constFind(destination); known != oldestFor_.cend()) {
        DelayedRecord oldest = *known;
        oldest.Count = gDelayedCount;
        return oldest;
    }
    platform::Recordset rs;
    rs.Open(QStringLiteral("SELECT * FROM `Delayed` WHERE (`Destination` = ?) "
                           "ORDER BY `Created` ASC, `MessID` ASC LIMIT 1"),
            cnDelayed, {destination});
    DelayedRecord oldest = ReadDelayedRecord(rs);
    if (oldest.Count != 0)
        oldestFor_.insert(destination, oldest);
    return oldest;
}

// The deleted row is forgotten wherever it is known, whatever destination
// the caller named.
void adoDelayed::forgetOldest(const DelayedRecord& record) {
    oldestFor_.remove(record.Destination);
    oldestFor_.removeIf([&](const auto& known) { return known.value().MessID == record.MessID; });
}

QString adoDelayed::OldestCreated() {
    if (oldest_)
        return *oldest_;
    if (cnDelayed.State() != platform::ObjectState::Open)
        return {};
    try {
        // Read backwards along the index Delayed_Newest: one row, whatever the store holds.
        QSqlQuery query =
            Run(cnDelayed, QStringLiteral("SELECT `Created` FROM `Delayed` "
                                          "ORDER BY `Created` ASC, `MessID` ASC LIMIT 1"));
        oldest_ = query.next() ? query.value(0).toString() : QString();
        return *oldest_;
    } catch (const platform::Error&) {
        // Only a view asks: it shows no time, and asks again next time. A
        // store that cannot be read is reported by whatever must use it.
        return {};
    }
}

qint64 adoDelayed::LargestMessID() {
    if (cnDelayed.State() != platform::ObjectState::Open)
        return 0;
    QSqlQuery query = Run(cnDelayed, QStringLiteral("SELECT max(`MessID`) FROM `Delayed`"));
    return query.next() ? query.value(0).toLongLong() : 0;
}

bool adoDelayed::CheckDelayedCompaction() {
    if (!(gNextCompactCheck < time_.Now()))
        return false;
    try {
        gNextCompactCheck = time_.Now().addDays(1);
        logs_.LogError(QStringLiteral("System: Checking Delayed Dbase for compaction."));
        if (db_.gSysConnection.State() != platform::ObjectState::Open)
            return false;
        ensureOpen();
        QSqlQuery any = Run(cnDelayed, QStringLiteral("SELECT 1 FROM `Delayed` LIMIT 1"));
        if (any.next())
            return false;
        any = QSqlQuery();
        CloseDelayedDb();
        const QString store = platform::LocalPath(workDir_, QStringLiteral(".\\delayed.mdb"));
        // The template replaces the store in one rename, so a crash leaves
        // either the old store or the new one, never half of either.
        // A journal left beside the store belongs to the old file, not the template.
        QFile::remove(store + QStringLiteral("-wal"));
        QFile::remove(store + QStringLiteral("-shm"));
        if (gZelkorfile::ZelkorCopy(
                platform::LocalPath(workDir_, QStringLiteral(".\\empty_delayed.mdb")), store)) {
            logs_.LogError(QStringLiteral("System: Delayed Dbase successfully compacted."));
            OpenDelayedDb();
            return true;
        }
        logs_.LogError(
            QStringLiteral("System: Failed to compact Delayed Dbase. ZelkorCopy failed."));
        return false;
    } catch (const platform::Error& error) {
        warnings_.ShowWarning(ErrorCode::CheckDelayedCompaction, error.text(), 0);
        return false;
    }
}
