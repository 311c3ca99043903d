#pragma once

#include "config/HealthCheck.h"
#include "history/ArchiveJournal.h"
#include "history/ArchiveRecords.h"
#include "history/ArchiveWriter.h"
#include "history/AuditTrail.h"
#include "history/PageTrail.h"
#include "platform/MetricsText.h"
#include "platform/Time.h"

#include <QDateTime>
#include <QObject>
#include <QThread>
#include <memory>

class ErrorCodes;
class Logs;

namespace history {

// The history archive, history.mdb, as the relay's thread sees it: every
// relayed page gets the archive's next identifier, and the page, the trail's
// events and the audit rows are gathered in memory and handed to the writer's
// thread once a second (at once when a batch is large), where each batch is
// one transaction. Nothing here waits for the disk: a page costs its
// journal's write (no flush) and an event a place in memory.
//
// Failures never stop relaying: the archive that cannot be written (a full
// disk, no permission, damage) is one warning (ErrorCode::HistoryArchive),
// its health check is degraded while it lasts, and what could not be written
// waits in memory and is tried again every kRetrySeconds. At most kMaxWaiting
// records wait (pages kPagesBeyond more); further ones are dropped and
// counted, never waited for. The
// failure ends (one line in the System log) once a batch is written and a
// minute has passed without trouble.
class HistoryArchive final : public QObject,
                             public PageTrail,
                             public AuditTrail,
                             public platform::MetricsSource,
                             public health::CheckSource {
    Q_OBJECT
public:
    static constexpr size_t kMaxWaiting = 100000;
    // Pages are what the history is for: they may wait beyond kMaxWaiting by
    // this many more, while trail events and audit rows are dropped.
    static constexpr size_t kPagesBeyond = 50000;
    static constexpr size_t kLargeBatch = 5000;
    static constexpr qint64 kRetrySeconds = 10;
    // A failure is over once batches are written and a minute has passed
    // without trouble, so that an archive that keeps falling behind is one
    // warning, not one each time it catches up for a moment.
    static constexpr qint64 kRecoveredAfterSeconds = 60;
    static constexpr qint64 kRetentionCheckSeconds = 60;

    HistoryArchive(platform::Time time, ErrorCodes& warnings, Logs& logs);
    ~HistoryArchive() override;
    HistoryArchive(const HistoryArchive&) = delete;
    HistoryArchive& operator=(const HistoryArchive&) = delete;

    // Start-up: history.mdb in `workDir` made ready (created when missing, a
    // damaged one set aside), the pages a killed relay left in the journal
    // taken up, and the writer started unless `days` is 0.
    void Start(const QString& workDir, qint32 days);
    // HistoryDays: 0 turns the archive off (nothing written, nothing deleted).
    void SetDays(qint32 days);
    QString Path() const { return path_; }

    // The packet relayed now: a page gets its identifier (its place is in the
    // journal before this returns); 0 for a frame notice, an idle message, or
    // when the archive is off or full.
    qint64 ArchivePage(const QByteArray& packet, const QString& carrier);

    void PageEvent(qint64 pageID, const QString& destination, TrailEvent event,
                   qint64 messID = 0) override;
    void CopyEvent(qint64 messID, TrailEvent event) override;
    void AllCopiesDeleted() override;
    void CopyStoredAgain(qint64 messID, qint64 newMessID) override;
    void Record(const AuditEntry& entry) override;

    // The one-second tick: hands what was gathered to the writer, with a
    // retention step when one is due.
    void Tick();
    // Shutdown: what waits is written, then the writer stops (this waits).
    void Stop();
    // Nothing waits to be written and the writer is idle.
    bool Settled() const { return !busy_ && batch_.Empty() && inWriter_ == 0; }

    // ombrix_history_pages_total, ombrix_history_records_dropped_total; the
    // check "history".
    void WriteMetrics(platform::MetricsText& text) const override;
    void AppendChecks(QList<health::Check>& checks) const override;

private:
    bool accepting() const { return writer_ != nullptr && days_ > 0 && !stopped_; }
    // Whether one more record may wait (a page, or an event or audit row).
    bool room(size_t limit = kMaxWaiting);
    void added();
    Stamp now();
    void startWriter();
    bool retentionDue() const;
    void handOver();
    void written(const WriteReport& report);
    void trouble(const QString& reason);
    void noteTrouble();
    void fail(const QString& reason);
    void maybeRecovered();
    void recovered();

    platform::Time time_;
    ErrorCodes& warnings_;
    Logs& logs_;
    QString path_;
    qint32 days_ = 0;
    QString unavailable_; // why start-up could not make the archive ready
    std::unique_ptr<ArchiveJournal> journal_;
    QThread thread_;
    ArchiveWriter* writer_ = nullptr; // lives on thread_
    bool stopped_ = false;

    ArchiveBatch batch_;
    bool busy_ = false;   // a job is with the writer
    size_t inWriter_ = 0; // records handed over and not yet written
    qint64 nextID_ = 1;
    QDateTime nextAttempt_;        // while failing: the next hand-over
    QDateTime nextRetentionCheck_; // null: at the next hand-over
    bool retentionHanded_ = false; // the job with the writer has a retention step
    bool moreToDelete_ = false;
    bool damageNoted_ = false;

    QString failure_;      // the failure of the moment, "" while written
    QDateTime since_;      // when the check last changed
    quint64 troubles_ = 0; // pages the journal could not take, records dropped
    quint64 troublesAtHandOver_ = 0;
    qint64 handedJournal_ = 0; // the newest journal generation handed to the writer
    QDateTime lastTrouble_;
    bool writtenClean_ = false; // the last batch was written, with no trouble meanwhile
    qint64 dropped_ = 0;        // records dropped in this failure
    qint64 droppedTotal_ = 0;
    qint64 pagesTotal_ = 0;
    // The stamp of the clock's last "now": a local time's UTC milliseconds
    // and offset cost microseconds to work out, and fifty clients' events of
    // one page share one moment.
    QDateTime stampedAt_;
    Stamp stamp_;
};

} // namespace history
