#include "history/ArchiveWriter.h"

#include "history/ArchiveFile.h"
#include "history/ArchiveStatements.h"

namespace history {

void ArchiveBatch::Append(ArchiveBatch&& later) {
    auto move = [](auto& to, auto& from) {
        if (to.empty()) {
            to = std::move(from);
            return;
        }
        to.insert(to.end(), std::make_move_iterator(from.begin()),
                  std::make_move_iterator(from.end()));
    };
    move(pages, later.pages);
    move(trail, later.trail);
    move(audit, later.audit);
    journal = std::max(journal, later.journal);
}

ArchiveWriter::ArchiveWriter(QString path, Reply reply)
    : path_(std::move(path)), reply_(std::move(reply)) {}

ArchiveWriter::~ArchiveWriter() = default;

void ArchiveWriter::Close() {
    statements_.reset();
}

void ArchiveWriter::Write(WriteJob job) {
    const WriteReport report = WriteNow(std::move(job));
    if (reply_)
        reply_(report);
}

WriteReport ArchiveWriter::WriteNow(WriteJob job) {
    held_.Append(std::move(job.batch));
    WriteReport report;
    writeBatch(report);
    if (report.written && job.deleteBeforeMs > 0)
        deleteOlder(job.deleteBeforeMs, report);
    report.held = held_.Records();
    return report;
}

void ArchiveWriter::failed(const QString& text, const QString& code, WriteReport& report) {
    report.failure = text;
    report.damaged = IsDamage(code);
    // The connection may be what failed (a file replaced, a damaged page in
    // its cache): the next attempt opens the archive again.
    statements_.reset();
}

void ArchiveWriter::writeBatch(WriteReport& report) {
    try {
        if (!statements_)
            statements_ = std::make_unique<ArchiveStatements>(path_);
        if (held_.Empty()) {
            report.written = true;
            return;
        }
        statements_->Begin();
        try {
            for (const PageRecord& page : held_.pages)
                report.pages += statements_->InsertPage(page) ? 1 : 0;
            for (const TrailRecord& event : held_.trail)
                statements_->Trail(event);
            for (const AuditRecord& row : held_.audit)
                statements_->Audit(row);
            statements_->Commit();
        } catch (const platform::Error&) {
            statements_->Rollback();
            throw;
        }
        report.written = true;
        report.journal = held_.journal;
        held_ = {};
    } catch (const StatementError& error) {
        report.pages = 0;
        failed(error.text(), error.code(), report);
    } catch (const platform::Error& error) {
        report.pages = 0;
        failed(error.text(), {}, report);
    }
}

void ArchiveWriter::deleteOlder(qint64 beforeMs, WriteReport& report) {
    try {
        const ArchiveStatements::Deleted deleted = statements_->DeleteOlder(beforeMs);
        report.deleted = deleted.pages;
        report.moreToDelete = deleted.pages == ArchiveStatements::kPagesPerStep ||
                              deleted.audit == ArchiveStatements::kPagesPerStep;
        statements_->Vacuum();
    } catch (const StatementError& error) {
        failed(error.text(), error.code(), report);
    } catch (const platform::Error& error) {
        failed(error.text(), {}, report);
    }
}

} // namespace history
