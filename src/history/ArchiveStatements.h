#pragma once

#include "history/ArchiveRecords.h"
#include "platform/Connection.h"
#include "platform/Error.h"

#include <QSqlQuery>

namespace history {

// The statements the writer runs on history.mdb, prepared once on its own
// connection (on the writer's thread). Failures raise StatementError.
class ArchiveStatements {
public:
    // Pages (with their trail, copies and full-text entries) deleted in one
    // retention step at most, and audit rows likewise.
    static constexpr int kPagesPerStep = 500;
    // Free pages of the file kept for the rows to come (10 MiB of 4 KiB
    // pages): what retention frees is taken again by the next days' pages,
    // and only room beyond this goes back to the file system, at most
    // kVacuumPagesPerStep pages a step (after HistoryDays was lowered, say).
    static constexpr qint64 kFreePagesKept = 2560;
    static constexpr qint64 kVacuumPagesPerStep = 2000;

    // The writer's page cache.
    static constexpr int kCacheKiB = 128;

    explicit ArchiveStatements(const QString& path);

    void Begin();
    void Commit();
    void Rollback();

    // Inserts a page and its full-text entry; false when it was there already
    // (a page of the journal written before the relay died).
    bool InsertPage(const PageRecord& page);
    void Trail(const TrailRecord& event);
    void Audit(const AuditRecord& row);

    struct Deleted {
        qint64 pages = 0;
        qint64 audit = 0;
    };
    // One retention step, in a transaction of its own.
    Deleted DeleteOlder(qint64 beforeMs);
    // Gives free pages beyond kFreePagesKept back to the file system.
    void Vacuum();

private:
    QSqlQuery prepare(const QString& sql);
    void exec(QSqlQuery& query);
    void pageEvent(qint64 pageID, const QString& destination, TrailEvent event, Stamp time,
                   qint64 messID);
    void copyEvent(const TrailRecord& event);
    void allCopiesDeleted(Stamp time);

    platform::Connection connection_;
    QSqlQuery insertPage_, insertText_, insertTrail_, insertCopy_, findCopy_, deleteOpen_,
        insertAudit_;
    QSqlQuery oldPages_, deleteText_, deletePageCopies_, deletePageTrail_, deletePage_,
        deleteAudit_;
};

// A failed statement, with SQLite's code, so that damage can be told apart.
class StatementError : public platform::Error {
public:
    StatementError(const QString& text, QString code)
        : platform::Error(text), code_(std::move(code)) {}
    const QString& code() const { return code_; }

private:
    QString code_;
};

} // namespace history
