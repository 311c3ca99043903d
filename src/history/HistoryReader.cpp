#include "history/HistorySearch.h"
#include "history/HistorySql.h"

#include "platform/Connection.h"
#include "platform/Error.h"

#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QUrl>

namespace history {

namespace {

// SQLite's own page cache for a reader: the upper levels of the indexes and
// the text index's recent segments stay in it; the file's other pages come
// from the system's cache. It bounds what a search adds to the relay's memory.
constexpr int kReaderCacheKiB = 16 * 1024;
constexpr int kBusyTimeoutMs = 5000;

} // namespace

QSqlDatabase OpenReader(const QString& path, const QString& connectionName) {
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connectionName);
    db.setDatabaseName(
        QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()).toString(QUrl::FullyEncoded) +
        QStringLiteral("?mode=ro"));
    db.setConnectOptions(
        QStringLiteral("QSQLITE_OPEN_URI;QSQLITE_BUSY_TIMEOUT=%1").arg(kBusyTimeoutMs));
    if (!db.open()) {
        const QString failure = db.lastError().text();
        db = QSqlDatabase();
        platform::CloseDatabase(connectionName);
        throw platform::Error(QStringLiteral("%1: %2").arg(path, failure));
    }
    try {
        // Mapped pages would count as the process's own memory, page by page
        // as a search touches them; read them through the cache instead.
        Read(db, QStringLiteral("PRAGMA mmap_size = 0"));
        Read(db, QStringLiteral("PRAGMA cache_size = -%1").arg(kReaderCacheKiB));
    } catch (const platform::Error&) {
        db = QSqlDatabase();
        platform::CloseDatabase(connectionName);
        throw;
    }
    return db;
}

} // namespace history
