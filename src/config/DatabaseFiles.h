#pragma once

#include <QDateTime>
#include <QString>
#include <QVariantMap>

namespace platform {
class Connection;
}

namespace config {

enum class DatabaseKind { System, Delayed, History };

// Schema version this program writes and expects (PRAGMA user_version).
int CurrentSchemaVersion(DatabaseKind kind);

// Brings an older file up to date in one transaction; a file of the current
// version is left untouched. Raises platform::Error on failure.
void UpgradeSchema(platform::Connection& connection, DatabaseKind kind);

// Creates one database file of the kind, of the current schema version, where
// none is (a file there is an error). Raises platform::Error on failure.
void CreateDatabaseFile(const QString& path, DatabaseKind kind);

// Creates the working folder's database files for `ombrix init`: Ombrixsys.mdb,
// delayed.mdb, empty_delayed.mdb and history.mdb. Refuses, without touching
// anything, when any of them exists. Returns "" or the reason.
QString CreateWorkFolder(const QString& folder, bool demo, const QString& nowText);

// Where a damaged database file at `path` is set aside: its name with
// ".damaged-yyyyMMdd-HHmmss" of `now`, and "-2", "-3"... while that is taken.
QString AsideName(const QString& path, const QDateTime& now);

} // namespace config
