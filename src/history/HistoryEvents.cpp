// What the relay's thread tells the archive: pages, the trail's events and
// the audit's rows, each gathered in memory for the next batch.

#include "history/HistoryArchive.h"

#include "publish/PageMessage.h"

namespace history {

Stamp HistoryArchive::now() {
    const QDateTime time = time_.Now();
    if (time != stampedAt_) {
        stampedAt_ = time;
        stamp_ = StampOf(time);
    }
    return stamp_;
}

bool HistoryArchive::room(size_t limit) {
    if (batch_.Records() + inWriter_ < limit)
        return true;
    ++dropped_;
    ++droppedTotal_;
    noteTrouble();
    if (failure_.isEmpty())
        fail(QStringLiteral("The history cannot keep up: more than %1 records wait to be "
                            "written, and further ones are dropped")
                 .arg(kMaxWaiting));
    return false;
}

// A batch that has grown large goes now rather than at the tick, so that a
// burst is written in pieces of a bounded size.
void HistoryArchive::added() {
    if (batch_.Records() >= kLargeBatch && !busy_ && failure_.isEmpty())
        handOver();
}

// Frame notices, idle and dummy messages are not pages; the rule is the
// publishers' own, so that what is published is what is archived.
qint64 HistoryArchive::ArchivePage(const QByteArray& packet, const QString& carrier) {
    if (!accepting() || !publish::ReadPage(packet) || !room(kMaxWaiting + kPagesBeyond))
        return 0;
    PageRecord page{nextID_++, now(), carrier, packet};
    if (!journal_->Append(page))
        trouble(journal_->Failure());
    const qint64 id = page.id;
    batch_.pages.push_back(std::move(page));
    ++pagesTotal_;
    added();
    return id;
}

void HistoryArchive::PageEvent(qint64 pageID, const QString& destination, TrailEvent event,
                               qint64 messID) {
    if (pageID == 0 || !accepting() || !room())
        return;
    batch_.trail.push_back({TrailRecord::Kind::Page, event, now(), pageID, messID, 0, destination});
    added();
}

void HistoryArchive::CopyEvent(qint64 messID, TrailEvent event) {
    if (messID == 0 || !accepting() || !room())
        return;
    batch_.trail.push_back({TrailRecord::Kind::Copy, event, now(), 0, messID, 0, {}});
    added();
}

void HistoryArchive::CopyStoredAgain(qint64 messID, qint64 newMessID) {
    if (messID == 0 || newMessID == 0 || !accepting() || !room())
        return;
    batch_.trail.push_back(
        {TrailRecord::Kind::CopyAgain, TrailEvent::Stored, now(), 0, messID, newMessID, {}});
    added();
}

void HistoryArchive::AllCopiesDeleted() {
    if (!accepting() || !room())
        return;
    batch_.trail.push_back({TrailRecord::Kind::AllCopies, TrailEvent::Deleted, now(), 0, 0, 0, {}});
    added();
}

void HistoryArchive::Record(const AuditEntry& entry) {
    if (!accepting() || !room())
        return;
    batch_.audit.push_back({now(), entry});
    added();
}

} // namespace history
