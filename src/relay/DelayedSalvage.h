#pragma once

#include <QDateTime>
#include <QString>

namespace relay {

// What start-up found in the delayed store and what became of it.
struct SalvageReport {
    bool damaged = false;
    QString fault;         // SQLite's first complaint about the damaged file
    qint64 saved = 0;      // rows copied into the fresh store
    qint64 unreadable = 0; // rows the damaged file knows of but could not give back
    // Stretches of the table that could not be read and that no index told
    // the rows of: rows were lost there, how many is not known.
    qint64 uncountedStretches = 0;
    QString damagedFile; // where the damaged file was moved
};

// Runs SQLite's integrity check on the delayed store. A damaged store (a bad
// page, or a header that no longer makes it a database) is moved aside as
// "<store>.damaged-<yyyyMMdd-HHmmss>" and replaced by a copy of the template
// holding every row that can still be read.
//
// Left alone, for the ordinary opening to report: a missing store, an Access
// file, a missing template, and a store that cannot be read for any reason
// other than damage (no permission, locked, disk errors).
//
// Raises platform::Error when a damaged store cannot be replaced.
SalvageReport SalvageDamagedStore(const QString& store, const QString& templateFile,
                                  const QDateTime& now);

} // namespace relay
