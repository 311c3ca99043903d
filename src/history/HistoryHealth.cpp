// How the archive stands, for the operator and monitoring: one warning when
// it begins to fail, one line when it is written again, its health check and
// its figures.

#include "history/HistoryArchive.h"

#include "config/ErrorCodes.h"
#include "logging/Logs.h"

namespace history {

void HistoryArchive::trouble(const QString& reason) {
    noteTrouble();
    fail(reason);
}

void HistoryArchive::noteTrouble() {
    ++troubles_;
    lastTrouble_ = time_.Now();
}

// The warning is given once for as long as the failure lasts, whatever
// number of pages, attempts and reasons it meets.
void HistoryArchive::fail(const QString& reason) {
    lastTrouble_ = time_.Now();
    writtenClean_ = false;
    if (failure_ == reason)
        return;
    const bool began = failure_.isEmpty();
    failure_ = reason;
    if (!began)
        return;
    since_ = time_.Now();
    warnings_.ShowWarning(ErrorCode::HistoryArchive,
                          reason + QStringLiteral(". Pages are relayed as ever; the history "
                                                  "keeps in memory what waits and tries again."),
                          0);
}

void HistoryArchive::maybeRecovered() {
    if (failure_.isEmpty() || !unavailable_.isEmpty() || !writtenClean_ ||
        troubles_ != troublesAtHandOver_ ||
        time_.Now() < lastTrouble_.addSecs(kRecoveredAfterSeconds))
        return;
    recovered();
}

void HistoryArchive::recovered() {
    QString text = QStringLiteral("System: history.mdb is written again");
    if (dropped_ > 0)
        text += QStringLiteral("; %1 records of the history were dropped meanwhile").arg(dropped_);
    logs_.LogError(text);
    warnings_.Ended(AlarmCondition::HistoryWritten, 0);
    failure_.clear();
    dropped_ = 0;
    since_ = time_.Now();
}

void HistoryArchive::WriteMetrics(platform::MetricsText& text) const {
    using Type = platform::MetricsText::Type;
    text.Family("ombrix_history_pages_total", Type::Counter,
                "Pages handed to the history archive since start");
    text.Sample(static_cast<double>(pagesTotal_));
    text.Family("ombrix_history_records_dropped_total", Type::Counter,
                "Pages, trail events and audit rows the history dropped: too many waited to be "
                "written");
    text.Sample(static_cast<double>(droppedTotal_));
}

void HistoryArchive::AppendChecks(QList<health::Check>& checks) const {
    health::Check check{QStringLiteral("history"), health::Status::Ok, QStringLiteral("Written"),
                        since_};
    if (!failure_.isEmpty()) {
        check.status = health::Status::Degraded;
        check.state = failure_;
    } else if (days_ == 0) {
        check.state = QStringLiteral("Off (HistoryDays is 0)");
    }
    checks << check;
}

} // namespace history
