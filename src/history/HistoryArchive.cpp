// The archive's life on the relay's thread: start-up, the hand-over of each
// batch to the writer's thread, what the writer reports, and shutdown.

#include "history/HistoryArchive.h"

#include "history/ArchiveFile.h"
#include "logging/Logs.h"
#include "platform/ProcessSettings.h"

#include <QDir>
#include <QFileInfo>

namespace history {

namespace {

constexpr qint64 kMsPerDay = qint64{24} * 60 * 60 * 1000;

} // namespace

HistoryArchive::HistoryArchive(platform::Time time, ErrorCodes& warnings, Logs& logs)
    : time_(time), warnings_(warnings), logs_(logs) {}

HistoryArchive::~HistoryArchive() {
    Stop();
}

void HistoryArchive::Start(const QString& workDir, qint32 days) {
    path_ = QDir(workDir).filePath(QStringLiteral("history.mdb"));
    days_ = days;
    since_ = time_.Now();
    const ArchiveOpening opening = PrepareArchive(path_, time_.Now());
    if (!opening.setAside.isEmpty())
        logs_.LogError(QStringLiteral("System: history.mdb was damaged (%1). It is kept as %2; a "
                                      "fresh history.mdb was started.")
                           .arg(opening.fault, opening.setAside));
    if (!opening.ready) {
        unavailable_ = opening.failure;
        fail(QStringLiteral("history.mdb cannot be used until the next start: ") + opening.failure);
        return;
    }
    // The journal lies beside the file itself, should history.mdb be a link.
    journal_ = std::make_unique<ArchiveJournal>(QFileInfo(path_).canonicalFilePath());
    std::vector<PageRecord> left = journal_->Read();
    nextID_ = opening.lastPageID + 1;
    for (const PageRecord& page : left)
        nextID_ = std::max(nextID_, page.id + 1);
    batch_.pages = std::move(left);
    batch_.journal = journal_->Newest();
    if (days_ > 0)
        startWriter();
}

void HistoryArchive::startWriter() {
    if (writer_ || !journal_ || stopped_)
        return;
    writer_ = new ArchiveWriter(path_, [this](const WriteReport& report) {
        // From the writer's thread; dropped should the archive be gone.
        QMetaObject::invokeMethod(
            this, [this, report] { written(report); }, Qt::QueuedConnection);
    });
    writer_->moveToThread(&thread_);
    // On a busy machine the pages go out first and the history waits.
    connect(&thread_, &QThread::started, writer_, [] { platform::RunOnlyWhenIdle(); });
    thread_.setObjectName(QStringLiteral("history writer"));
    thread_.start();
    journal_->Prepare();
}

void HistoryArchive::SetDays(qint32 days) {
    days_ = days;
    if (days_ > 0)
        startWriter();
}

bool HistoryArchive::retentionDue() const {
    return days_ > 0 &&
           (moreToDelete_ || !nextRetentionCheck_.isValid() || nextRetentionCheck_ <= time_.Now());
}

void HistoryArchive::Tick() {
    if (!writer_ || busy_ || stopped_)
        return;
    maybeRecovered();
    if (!failure_.isEmpty() && nextAttempt_.isValid() && time_.Now() < nextAttempt_)
        return;
    if (batch_.Empty() && inWriter_ == 0 && !retentionDue())
        return;
    handOver();
}

void HistoryArchive::handOver() {
    auto job = std::make_shared<WriteJob>();
    job->batch = std::exchange(batch_, {});
    job->batch.journal = std::max(job->batch.journal, journal_->Seal());
    journal_->Prepare();
    handedJournal_ = std::max(handedJournal_, job->batch.journal);
    retentionHanded_ = retentionDue();
    if (retentionHanded_)
        job->deleteBeforeMs = time_.Now().toMSecsSinceEpoch() - days_ * kMsPerDay;
    inWriter_ += job->batch.Records();
    troublesAtHandOver_ = troubles_;
    busy_ = true;
    ArchiveWriter* writer = writer_;
    QMetaObject::invokeMethod(
        writer, [writer, job] { writer->Write(std::move(*job)); }, Qt::QueuedConnection);
}

void HistoryArchive::written(const WriteReport& report) {
    if (stopped_)
        return;
    busy_ = false;
    inWriter_ = report.held;
    if (report.written && report.journal > 0)
        journal_->Remove(report.journal);
    if (report.damaged && !damageNoted_) {
        damageNoted_ = true;
        MarkDamaged(path_);
    }
    if (!report.failure.isEmpty()) {
        fail(report.damaged ? QStringLiteral("history.mdb is damaged (%1); it is set aside and "
                                             "started afresh at the next start")
                                  .arg(report.failure)
                            : QStringLiteral("history.mdb cannot be written: ") + report.failure);
        nextAttempt_ = time_.Now().addSecs(kRetrySeconds);
        return;
    }
    writtenClean_ = troubles_ == troublesAtHandOver_;
    maybeRecovered();
    if (retentionHanded_) {
        moreToDelete_ = report.moreToDelete;
        if (!moreToDelete_)
            nextRetentionCheck_ = time_.Now().addSecs(kRetentionCheckSeconds);
    }
    if (batch_.Records() >= kLargeBatch)
        handOver();
}

void HistoryArchive::Stop() {
    if (stopped_)
        return;
    stopped_ = true;
    if (!writer_)
        return;
    auto job = std::make_shared<WriteJob>();
    job->batch = std::exchange(batch_, {});
    job->batch.journal = std::max(job->batch.journal, journal_->Seal());
    journal_->Close();
    WriteReport report;
    ArchiveWriter* writer = writer_;
    // Shutdown may wait: the last batch is written before the logs close.
    QMetaObject::invokeMethod(
        writer,
        [writer, job, &report] {
            report = writer->WriteNow(std::move(*job));
            writer->Close();
        },
        Qt::BlockingQueuedConnection);
    thread_.quit();
    thread_.wait();
    delete writer_;
    writer_ = nullptr;
    // Written, the last batch had all before it written too: also one whose
    // report was still on its way, which would have left its journal behind
    // to be read again at the next start.
    const qint64 journal = std::max(report.journal, handedJournal_);
    if (report.written && journal > 0)
        journal_->Remove(journal);
    if (!report.failure.isEmpty())
        logs_.LogError(QStringLiteral("System: history.mdb could not be written at shutdown (%1); "
                                      "its pages are written at the next start.")
                           .arg(report.failure));
}

} // namespace history
