#pragma once

#include <QString>
#include <QVariantMap>

namespace platform {
class Connection;
}

namespace config {

enum class DatabaseKind { System, Delayed };

// Schema version this program writes and expects (PRAGMA user_version).
int CurrentSchemaVersion(DatabaseKind kind);

// Brings an older file up to date in one transaction; a file of the current
// version is left untouched. Raises platform::Error on failure.
void UpgradeSchema(platform::Connection& connection, DatabaseKind kind);

// Creates the working folder's three database files for `ombrix init`. Refuses,
// without touching anything, when any of them exists. Returns "" or the reason.
QString CreateWorkFolder(const QString& folder, bool demo, const QString& nowText);

} // namespace config
