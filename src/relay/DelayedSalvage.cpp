#include "relay/DelayedSalvage.h"

#include "config/DatabaseFiles.h"
#include "logging/gZelkorfile.h"
#include "platform/Connection.h"
#include "platform/Error.h"

#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QUrl>
#include <QUuid>
#include <filesystem>
#include <limits>
#include <optional>
#include <set>

namespace relay {

namespace {

constexpr int kSqliteCorrupt = 11;
constexpr int kSqliteNotADatabase = 26;

// Only what SQLite calls damage moves a store aside: a store that is merely
// locked or unreadable for lack of permission is whole and must stay put.
bool IsDamage(const QSqlError& error) {
    bool ok = false;
    const int code = error.nativeErrorCode().toInt(&ok) & 0xff; // primary of an extended code
    return ok && (code == kSqliteCorrupt || code == kSqliteNotADatabase);
}

QString OneLine(QString text) {
    text.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return text.simplified().left(200);
}

// The damaged file, opened read-only: it is evidence for the operator, and a
// read-write close would fold its journal into it.
class ReadOnlyStore {
public:
    explicit ReadOnlyStore(const QString& path)
        : name_(QStringLiteral("ombrix-salvage-") + QUuid::createUuid().toString(QUuid::Id128)) {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name_);
        db.setDatabaseName(
            QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()).toString(QUrl::FullyEncoded) +
            QStringLiteral("?mode=ro"));
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_URI;QSQLITE_BUSY_TIMEOUT=5000"));
        opened_ = db.open();
    }
    ~ReadOnlyStore() { close(); }
    ReadOnlyStore(const ReadOnlyStore&) = delete;
    ReadOnlyStore& operator=(const ReadOnlyStore&) = delete;

    bool opened() const { return opened_; }
    QSqlDatabase db() const { return QSqlDatabase::database(name_, false); }
    void close() {
        if (name_.isEmpty())
            return;
        platform::CloseDatabase(name_);
        name_.clear();
    }

private:
    QString name_;
    bool opened_ = false;
};

// SQLite's first complaint, or nothing when the store is whole (or cannot be
// read for a reason that is not damage).
std::optional<QString> Fault(const QSqlDatabase& db) {
    QSqlQuery check(db);
    check.setForwardOnly(true);
    if (!check.exec(QStringLiteral("PRAGMA integrity_check")) || !check.next()) {
        const QSqlError error = check.lastError();
        return IsDamage(error) ? std::optional(OneLine(error.databaseText())) : std::nullopt;
    }
    const QString first = check.value(0).toString();
    if (first == QLatin1String("ok"))
        return std::nullopt;
    return OneLine(first);
}

// Row ids of the Delayed table, found by walking the table in row id order.
// A page that cannot be read ends the walk only for the rows it holds: the
// walk goes on at the first row id behind it.
class TableWalk {
public:
    explicit TableWalk(const QSqlDatabase& db) : seek_(db) { seek_.setForwardOnly(true); }

    // Stretches of row ids [first, end) the walk could not read.
    QList<std::pair<qint64, qint64>> gaps;

    void collect(const QSqlDatabase& db, std::set<qint64>& ids) {
        // ">=" rather than ">": a seek past the last row of a bad page still
        // lands on that page, and the first row of the next one must not be
        // stepped over.
        if (!seek_.prepare(QStringLiteral(
                "SELECT rowid FROM Delayed WHERE rowid >= ? ORDER BY rowid LIMIT 1")))
            return;
        QSqlQuery walk(db);
        walk.setForwardOnly(true);
        if (!walk.prepare(
                QStringLiteral("SELECT rowid FROM Delayed WHERE rowid >= ? ORDER BY rowid")))
            return;
        qint64 from = std::numeric_limits<qint64>::min();
        for (;;) {
            walk.bindValue(0, from);
            bool failed = !walk.exec();
            while (!failed && walk.next()) {
                const qint64 rowid = walk.value(0).toLongLong();
                ids.insert(rowid);
                if (rowid == kMax)
                    return;
                from = rowid + 1;
            }
            failed = failed || walk.lastError().isValid();
            walk.finish();
            if (!failed)
                return;
            const std::optional<qint64> resume = firstReadableFrom(from);
            gaps.append({from, resume.value_or(kMax)});
            if (!resume)
                return;
            from = *resume;
        }
    }

private:
    static constexpr qint64 kMax = std::numeric_limits<qint64>::max();

    // Whether a walk that starts at `rowid` can take its first step.
    bool canSeek(qint64 rowid) {
        seek_.bindValue(0, rowid);
        const bool ok = seek_.exec() && (seek_.next() || !seek_.lastError().isValid());
        seek_.finish();
        return ok;
    }

    // The smallest row id behind `bad` from which the walk can go on: found
    // by leaps of doubling length, then halving back, so a bad page costs
    // some dozens of seeks however many rows it held.
    std::optional<qint64> firstReadableFrom(qint64 bad) {
        qint64 leap = 1;
        qint64 good = 0;
        for (;;) {
            if (leap > kMax - bad)
                return std::nullopt; // nothing readable behind it
            const qint64 probe = bad + leap;
            if (canSeek(probe)) {
                good = probe;
                break;
            }
            bad = probe;
            if (leap <= kMax / 2)
                leap *= 2;
        }
        while (good - bad > 1) {
            const qint64 middle = bad + (good - bad) / 2;
            if (canSeek(middle))
                good = middle;
            else
                bad = middle;
        }
        return good;
    }

    QSqlQuery seek_;
};

// Row ids as each index of the table lists them: an index lives on pages of
// its own, so it still names rows that sit behind a bad page of the table.
void CollectFromIndexes(const QSqlDatabase& db, std::set<qint64>& ids) {
    QSqlQuery indexes(db);
    indexes.setForwardOnly(true);
    if (!indexes.exec(QStringLiteral(
            "SELECT name FROM sqlite_master WHERE type = 'index' AND tbl_name = 'Delayed'")))
        return;
    QStringList names;
    while (indexes.next())
        names << indexes.value(0).toString();
    indexes.finish();
    for (QString name : std::as_const(names)) {
        QSqlQuery scan(db);
        scan.setForwardOnly(true);
        name.replace(QLatin1Char('"'), QStringLiteral("\"\""));
        if (!scan.exec(QStringLiteral("SELECT rowid FROM Delayed INDEXED BY \"%1\"").arg(name)))
            continue;
        while (scan.next())
            ids.insert(scan.value(0).toLongLong());
    }
}

void Remove(const QString& path) {
    if (QFileInfo::exists(path) && !QFile::remove(path))
        throw platform::Error(QStringLiteral("Cannot remove %1").arg(path));
}

std::filesystem::path Native(const QString& path) {
    return std::filesystem::path(QFile::encodeName(path).toStdString());
}

// Replaces `to` if it exists, in one step.
void Rename(const QString& from, const QString& to) {
    std::error_code error;
    std::filesystem::rename(Native(from), Native(to), error);
    if (error)
        throw platform::Error(QStringLiteral("Cannot move %1 to %2: %3")
                                  .arg(from, to, QString::fromStdString(error.message())));
}

// Copies the rows with these ids into the fresh store, one at a time, so that
// a row that cannot be read costs only itself.
void CopyRows(const QSqlDatabase& damaged, const std::set<qint64>& ids, const QString& freshPath,
              SalvageReport& report) {
    platform::Connection fresh;
    fresh.ConnectionString = QStringLiteral("Data Source=") + freshPath;
    fresh.Open();
    // No journal file tied to the temporary name: the file is renamed into
    // place once closed, and the ordinary opening turns WAL back on.
    fresh.Execute(QStringLiteral("PRAGMA journal_mode = DELETE"));
    config::UpgradeSchema(fresh, config::DatabaseKind::Delayed);

    {
        QSqlDatabase out = fresh.database();
        if (!out.transaction())
            throw platform::Error(out.lastError().text());
        QSqlQuery read(damaged);
        read.setForwardOnly(true);
        QSqlQuery write(out);
        if (!write.prepare(QStringLiteral(
                "INSERT INTO Delayed (MessID, Created, Destination, Packet) VALUES (?, ?, ?, ?)")))
            throw platform::Error(write.lastError().text());
        if (!read.prepare(QStringLiteral(
                "SELECT MessID, Created, Destination, Packet FROM Delayed WHERE rowid = ?"))) {
            // No table to read from: every row it may have held is lost.
            report.unreadable = static_cast<qint64>(ids.size());
        } else {
            for (const qint64 id : ids) {
                read.bindValue(0, id);
                const bool found = read.exec() && read.next();
                if (!found) {
                    if (read.lastError().isValid())
                        ++report.unreadable;
                    read.finish();
                    continue;
                }
                for (int column = 0; column < 4; ++column)
                    write.bindValue(column, read.value(column));
                read.finish();
                // A row whose bytes no longer make a stored packet (no identifier,
                // a repeated one) is as lost as one that could not be read.
                if (write.exec())
                    ++report.saved;
                else
                    ++report.unreadable;
            }
        }
        if (!out.commit())
            throw platform::Error(out.lastError().text());
    }
    // Closed only once no statement holds it.
    fresh.Close();
}

} // namespace

SalvageReport SalvageDamagedStore(const QString& store, const QString& templateFile,
                                  const QDateTime& now) {
    SalvageReport report;
    if (!QFileInfo(store).isFile() || !QFileInfo(templateFile).isFile() ||
        platform::IsAccessFile(store))
        return report;

    ReadOnlyStore damaged(store);
    if (!damaged.opened())
        return report;
    const std::optional<QString> fault = Fault(damaged.db());
    if (!fault)
        return report;
    report.damaged = true;
    report.fault = *fault;

    // The rows go into a copy of the template beside the store, which takes
    // the store's name only when it is complete: a crash on the way leaves
    // the damaged store where it was, to be salvaged again at the next start.
    const QString fresh = store + QStringLiteral(".salvage");
    Remove(fresh);
    Remove(fresh + QStringLiteral("-journal"));
    if (!gZelkorfile::ZelkorCopy(templateFile, fresh))
        throw platform::Error(QStringLiteral("Cannot copy %1 to %2").arg(templateFile, fresh));

    std::set<qint64> ids;
    TableWalk walk(damaged.db());
    walk.collect(damaged.db(), ids);
    std::set<qint64> indexed;
    CollectFromIndexes(damaged.db(), indexed);
    for (const auto& [from, to] : std::as_const(walk.gaps))
        if (indexed.lower_bound(from) == indexed.lower_bound(to))
            ++report.uncountedStretches;
    ids.merge(indexed);
    CopyRows(damaged.db(), ids, fresh, report);
    damaged.close();

    // The damaged file gets its new name as a second link first, so that the
    // store's name always belongs to one file or the other. It keeps its
    // write-ahead log, which must not stay beside the fresh store: SQLite would
    // play it into the wrong file. The shared-memory index is rebuilt from
    // the log by whoever opens the damaged file.
    report.damagedFile = config::AsideName(store, now);
    std::error_code linkError;
    std::filesystem::create_hard_link(Native(store), Native(report.damagedFile), linkError);
    if (linkError) // a file system without hard links: a moment without a store
        Rename(store, report.damagedFile);
    const QString wal = store + QStringLiteral("-wal");
    if (QFileInfo(wal).size() > 0)
        Rename(wal, report.damagedFile + QStringLiteral("-wal"));
    else
        Remove(wal);
    Remove(store + QStringLiteral("-shm"));
    Rename(fresh, store);
    return report;
}

} // namespace relay
