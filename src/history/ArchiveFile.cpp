#include "history/ArchiveFile.h"

#include "config/DatabaseFiles.h"
#include "platform/Connection.h"
#include "platform/Error.h"

#include <QFile>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QUuid>
#include <filesystem>

namespace history {

namespace {

constexpr int kSqliteCorrupt = 11;
constexpr int kSqliteNotADatabase = 26;

QString MarkerOf(const QString& path) {
    return path + QStringLiteral("-damaged");
}

// A query's failure, with SQLite's code, for telling damage apart.
class Failed : public platform::Error {
public:
    explicit Failed(const QSqlError& error)
        : platform::Error(error.text()), code_(error.nativeErrorCode()) {}
    const QString& code() const { return code_; }

private:
    QString code_;
};

QSqlQuery Run(const QSqlDatabase& db, const QString& sql) {
    QSqlQuery query(db);
    query.setForwardOnly(true);
    if (!query.exec(sql))
        throw Failed(query.lastError());
    return query;
}

qint64 LargestPageID(const QSqlDatabase& db) {
    QSqlQuery query = Run(db, QStringLiteral("SELECT max(ID) FROM Pages"));
    return query.next() ? query.value(0).toLongLong() : 0;
}

// A read-only file opens and reads like any other and fails only at the
// first write: the schema version is written back as it is.
void ProveWritable(const QSqlDatabase& db) {
    QSqlQuery version = Run(db, QStringLiteral("PRAGMA user_version"));
    const int current = version.next() ? version.value(0).toInt() : 0;
    version = QSqlQuery();
    Run(db, QStringLiteral("PRAGMA user_version = %1").arg(current));
}

void Rename(const QString& from, const QString& to) {
    std::error_code error;
    std::filesystem::rename(QFile::encodeName(from).toStdString(),
                            QFile::encodeName(to).toStdString(), error);
    if (error)
        throw platform::Error(QStringLiteral("Cannot move %1 to %2: %3")
                                  .arg(from, to, QString::fromStdString(error.message())));
}

// The damaged file and its journal go aside together: SQLite would play the
// journal into the fresh file. The largest identifier it still tells is kept,
// so that the fresh archive's pages do not take the same numbers.
void SetAside(const QString& path, const QDateTime& now, ArchiveOpening& opening) {
    {
        platform::Connection damaged;
        damaged.ConnectionString = QStringLiteral("Data Source=") + path;
        damaged.Mode = platform::kModeRead;
        try {
            damaged.Open();
            opening.lastPageID = LargestPageID(damaged.database());
        } catch (const platform::Error&) {
            // Nothing can be read of it: the numbers start again.
        }
    }
    opening.setAside = config::AsideName(path, now);
    Rename(path, opening.setAside);
    const QString wal = path + QStringLiteral("-wal");
    if (QFileInfo(wal).size() > 0)
        Rename(wal, opening.setAside + QStringLiteral("-wal"));
    else
        QFile::remove(wal);
    QFile::remove(path + QStringLiteral("-shm"));
    QFile::remove(MarkerOf(path));
}

// Opens the archive and proves it; raises Failed or platform::Error.
qint64 OpenAndProve(const QString& path) {
    platform::Connection archive;
    archive.ConnectionString = QStringLiteral("Data Source=") + path;
    archive.Open();
    config::UpgradeSchema(archive, config::DatabaseKind::History);
    const qint64 last = LargestPageID(archive.database());
    ProveWritable(archive.database());
    return last;
}

bool OpenFailureIsDamage(const QString& path) {
    // The connection hides SQLite's code: open the file plainly to read it.
    const QString name =
        QStringLiteral("ombrix-history-probe-") + QUuid::createUuid().toString(QUuid::Id128);
    bool damage = false;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(path);
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
        if (db.open()) {
            QSqlQuery probe(db);
            if (!probe.exec(QStringLiteral("SELECT count(*) FROM sqlite_master")))
                damage = IsDamage(probe.lastError().nativeErrorCode());
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    return damage;
}

} // namespace

bool IsDamage(const QString& nativeErrorCode) {
    bool ok = false;
    const int code = nativeErrorCode.toInt(&ok) & 0xff; // the primary of an extended code
    return ok && (code == kSqliteCorrupt || code == kSqliteNotADatabase);
}

void MarkDamaged(const QString& path) {
    QFile marker(MarkerOf(path));
    if (marker.open(QIODevice::WriteOnly))
        marker.write("Found damaged while writing; set aside at the next start.\n");
}

ArchiveOpening PrepareArchive(const QString& path, const QDateTime& now) {
    ArchiveOpening opening;
    try {
        if (QFileInfo::exists(MarkerOf(path)) && QFileInfo::exists(path)) {
            opening.fault = QStringLiteral("found damaged while it was written");
            SetAside(path, now, opening);
        } else if (QFileInfo::exists(path) && OpenFailureIsDamage(path)) {
            opening.fault = QStringLiteral("it is no database any more");
            SetAside(path, now, opening);
        }
        if (!QFileInfo::exists(path))
            config::CreateDatabaseFile(path, config::DatabaseKind::History);
        try {
            opening.lastPageID = std::max(opening.lastPageID, OpenAndProve(path));
        } catch (const Failed& error) {
            // Damage that the schema or the newest page shows: aside now.
            if (!IsDamage(error.code()) || !opening.setAside.isEmpty())
                throw;
            opening.fault = error.text();
            SetAside(path, now, opening);
            config::CreateDatabaseFile(path, config::DatabaseKind::History);
            opening.lastPageID = std::max(opening.lastPageID, OpenAndProve(path));
        }
        opening.ready = true;
    } catch (const platform::Error& error) {
        opening.failure = error.text();
    }
    return opening;
}

} // namespace history
