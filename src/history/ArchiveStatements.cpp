#include "history/ArchiveStatements.h"

#include "publish/PageMessage.h"

#include <QSqlError>

namespace history {

namespace {

// A byte text as the history keeps it: one character per byte (byte 0xE9 is
// U+00E9), so that nothing is lost and the full-text index can read it.
QString ByteText(const QByteArray& bytes) {
    QString text = QString::fromLatin1(bytes);
    return text.isNull() ? QStringLiteral("") : text;
}

QVariant MessIDValue(qint64 messID) {
    return messID != 0 ? QVariant(messID) : QVariant();
}

} // namespace

ArchiveStatements::ArchiveStatements(const QString& path) {
    connection_.ConnectionString = QStringLiteral("Data Source=") + path;
    connection_.Open();
    // A commit waits for no flush of the disk; the checkpoints do.
    connection_.Execute(QStringLiteral("PRAGMA synchronous = NORMAL"));
    // The writer appends at the end of its tables and indexes: a small cache
    // serves it, and the relay's memory stays what it was without a history.
    connection_.Execute(QStringLiteral("PRAGMA cache_size = -%1").arg(kCacheKiB));
    insertPage_ = prepare(QStringLiteral(
        "INSERT OR IGNORE INTO Pages (ID, Time, Offset, Carrier, Rate, Frequency, Function, "
        "Address, Type, Text, Packet) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"));
    insertText_ = prepare(QStringLiteral("INSERT INTO PageText (rowid, Text) VALUES (?, ?)"));
    insertTrail_ = prepare(QStringLiteral("INSERT INTO Trail (PageID, Destination, Event, Time, "
                                          "Offset, MessID) VALUES (?, ?, ?, ?, ?, ?)"));
    insertCopy_ = prepare(QStringLiteral(
        "INSERT OR REPLACE INTO Copies (MessID, PageID, Destination) VALUES (?, ?, ?)"));
    findCopy_ = prepare(QStringLiteral("SELECT PageID, Destination FROM Copies WHERE MessID = ?"));
    // The copies still in the store: those with no event that ended them.
    deleteOpen_ = prepare(
        QStringLiteral("INSERT INTO Trail (PageID, Destination, Event, Time, Offset, MessID) "
                       "SELECT c.PageID, c.Destination, 'deleted', ?, ?, c.MessID FROM Copies c "
                       "WHERE NOT EXISTS (SELECT 1 FROM Trail t WHERE t.MessID = c.MessID "
                       "AND t.Event IN ('resent', 'acknowledged', 'pruned', 'deleted'))"));
    insertAudit_ = prepare(QStringLiteral("INSERT INTO Audit (Time, Offset, Operator, Address, "
                                          "Action, Detail) VALUES (?, ?, ?, ?, ?, ?)"));
    oldPages_ =
        prepare(QStringLiteral("SELECT ID, Text FROM Pages WHERE Time < ? ORDER BY Time LIMIT ?"));
    deleteText_ = prepare(
        QStringLiteral("INSERT INTO PageText (PageText, rowid, Text) VALUES ('delete', ?, ?)"));
    deletePageCopies_ = prepare(QStringLiteral("DELETE FROM Copies WHERE PageID = ?"));
    deletePageTrail_ = prepare(QStringLiteral("DELETE FROM Trail WHERE PageID = ?"));
    deletePage_ = prepare(QStringLiteral("DELETE FROM Pages WHERE ID = ?"));
    deleteAudit_ = prepare(QStringLiteral("DELETE FROM Audit WHERE ID IN (SELECT ID FROM Audit "
                                          "WHERE Time < ? ORDER BY Time LIMIT ?)"));
}

QSqlQuery ArchiveStatements::prepare(const QString& sql) {
    QSqlQuery query(connection_.database());
    query.setForwardOnly(true);
    if (!query.prepare(sql))
        throw StatementError(query.lastError().text(), query.lastError().nativeErrorCode());
    return query;
}

void ArchiveStatements::exec(QSqlQuery& query) {
    if (!query.exec())
        throw StatementError(query.lastError().text(), query.lastError().nativeErrorCode());
}

void ArchiveStatements::Begin() {
    QSqlDatabase db = connection_.database();
    if (!db.transaction())
        throw StatementError(db.lastError().text(), db.lastError().nativeErrorCode());
}

void ArchiveStatements::Commit() {
    QSqlDatabase db = connection_.database();
    if (!db.commit())
        throw StatementError(db.lastError().text(), db.lastError().nativeErrorCode());
}

void ArchiveStatements::Rollback() {
    connection_.database().rollback();
}

bool ArchiveStatements::InsertPage(const PageRecord& page) {
    const publish::PageFields fields =
        publish::ReadPage(page.packet).value_or(publish::PageFields{});
    bool isNumber = false;
    const qint64 address = fields.address.toLongLong(&isNumber);
    const QString text = ByteText(fields.text);
    const QVariant values[] = {page.id,
                               page.time.ms,
                               page.time.offsetMinutes,
                               page.carrier,
                               ByteText(fields.rate),
                               ByteText(fields.frequency),
                               ByteText(fields.function),
                               isNumber ? QVariant(address) : QVariant(),
                               ByteText(fields.type),
                               text,
                               page.packet};
    for (int i = 0; i < int(std::size(values)); ++i)
        insertPage_.bindValue(i, values[i]);
    exec(insertPage_);
    if (insertPage_.numRowsAffected() != 1)
        return false;
    if (!text.isEmpty()) {
        insertText_.bindValue(0, page.id);
        insertText_.bindValue(1, text);
        exec(insertText_);
    }
    return true;
}

void ArchiveStatements::pageEvent(qint64 pageID, const QString& destination, TrailEvent event,
                                  Stamp time, qint64 messID) {
    if (event == TrailEvent::Stored && messID != 0) {
        insertCopy_.bindValue(0, messID);
        insertCopy_.bindValue(1, pageID);
        insertCopy_.bindValue(2, destination);
        exec(insertCopy_);
    }
    insertTrail_.bindValue(0, pageID);
    insertTrail_.bindValue(1, destination);
    insertTrail_.bindValue(2, TrailEventName(event));
    insertTrail_.bindValue(3, time.ms);
    insertTrail_.bindValue(4, time.offsetMinutes);
    insertTrail_.bindValue(5, MessIDValue(messID));
    exec(insertTrail_);
}

// An event of a copy finds its page through Copies; a copy of no archived
// page (stored before the archive, or its page deleted) has no trail.
void ArchiveStatements::copyEvent(const TrailRecord& event) {
    findCopy_.bindValue(0, event.messID);
    exec(findCopy_);
    if (!findCopy_.next()) {
        findCopy_.finish();
        return;
    }
    const qint64 pageID = findCopy_.value(0).toLongLong();
    const QString destination = findCopy_.value(1).toString();
    findCopy_.finish();
    if (event.kind == TrailRecord::Kind::CopyAgain)
        pageEvent(pageID, destination, TrailEvent::Stored, event.time, event.newMessID);
    else
        pageEvent(pageID, destination, event.event, event.time, event.messID);
}

void ArchiveStatements::allCopiesDeleted(Stamp time) {
    deleteOpen_.bindValue(0, time.ms);
    deleteOpen_.bindValue(1, time.offsetMinutes);
    exec(deleteOpen_);
}

void ArchiveStatements::Trail(const TrailRecord& event) {
    switch (event.kind) {
    case TrailRecord::Kind::Page:
        pageEvent(event.pageID, event.destination, event.event, event.time, event.messID);
        break;
    case TrailRecord::Kind::Copy:
    case TrailRecord::Kind::CopyAgain:
        copyEvent(event);
        break;
    case TrailRecord::Kind::AllCopies:
        allCopiesDeleted(event.time);
        break;
    }
}

void ArchiveStatements::Audit(const AuditRecord& row) {
    insertAudit_.bindValue(0, row.time.ms);
    insertAudit_.bindValue(1, row.time.offsetMinutes);
    insertAudit_.bindValue(2, row.entry.operatorName);
    insertAudit_.bindValue(3, row.entry.address);
    insertAudit_.bindValue(4, row.entry.action);
    insertAudit_.bindValue(5, row.entry.detail);
    exec(insertAudit_);
}

// A page's trail, copies and full-text entry go with it. The full-text index
// keeps no copy of the text: it is told the text it indexed to forget it.
ArchiveStatements::Deleted ArchiveStatements::DeleteOlder(qint64 beforeMs) {
    Deleted deleted;
    Begin();
    try {
        oldPages_.bindValue(0, beforeMs);
        oldPages_.bindValue(1, kPagesPerStep);
        exec(oldPages_);
        std::vector<std::pair<qint64, QString>> pages;
        while (oldPages_.next())
            pages.emplace_back(oldPages_.value(0).toLongLong(), oldPages_.value(1).toString());
        oldPages_.finish();
        for (const auto& [id, text] : pages) {
            if (!text.isEmpty()) {
                deleteText_.bindValue(0, id);
                deleteText_.bindValue(1, text);
                exec(deleteText_);
            }
            for (QSqlQuery* query : {&deletePageCopies_, &deletePageTrail_, &deletePage_}) {
                query->bindValue(0, id);
                exec(*query);
            }
        }
        deleted.pages = static_cast<qint64>(pages.size());
        deleteAudit_.bindValue(0, beforeMs);
        deleteAudit_.bindValue(1, kPagesPerStep);
        exec(deleteAudit_);
        deleted.audit = deleteAudit_.numRowsAffected();
        Commit();
    } catch (const platform::Error&) {
        Rollback();
        throw;
    }
    return deleted;
}

void ArchiveStatements::Vacuum() {
    QSqlQuery count = prepare(QStringLiteral("PRAGMA freelist_count"));
    exec(count);
    const qint64 excess = (count.next() ? count.value(0).toLongLong() : 0) - kFreePagesKept;
    count.finish();
    if (excess > 0)
        connection_.Execute(QStringLiteral("PRAGMA incremental_vacuum(%1)")
                                .arg(std::min(excess, kVacuumPagesPerStep)));
}

} // namespace history
