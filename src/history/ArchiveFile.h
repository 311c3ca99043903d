#pragma once

#include <QDateTime>
#include <QString>

namespace history {

// What start-up made of history.mdb.
struct ArchiveOpening {
    bool ready = false; // open, of the current schema, and writable
    QString failure;    // why it cannot be used this run
    // A damaged archive moved aside (with the fault SQLite found), a fresh
    // one being made in its place.
    QString setAside;
    QString fault;
    qint64 lastPageID = 0; // the largest page identifier it holds (or held)
};

// Makes history.mdb ready for a run: created when missing; set aside and
// started afresh when it is damaged (no database any more, or found damaged
// by the last run); brought up to the current schema; proven writable. A
// file that cannot be read or written for any other reason (no permission,
// a full disk) is left as it is and said so in `failure`.
//
// Whole-file checks are not run here: on an archive of millions of pages
// they would hold the start for minutes. Damage found while writing is noted
// beside the file (MarkDamaged) and dealt with at the next start.
ArchiveOpening PrepareArchive(const QString& path, const QDateTime& now);

// Notes that the archive at `path` was found damaged.
void MarkDamaged(const QString& path);

// Whether an SQLite error code (as the Qt driver gives it) means damage.
bool IsDamage(const QString& nativeErrorCode);

} // namespace history
