#pragma once

#include "history/ArchiveRecords.h"

#include <QObject>
#include <QString>
#include <functional>
#include <memory>

namespace history {

class ArchiveStatements;

// One write the relay's thread asks for: a batch, and a step of retention.
struct WriteJob {
    ArchiveBatch batch;
    // Pages and audit rows older than this (UTC ms) go, a step at a time; 0: none.
    qint64 deleteBeforeMs = 0;
};

// What became of a job.
struct WriteReport {
    bool written = false; // the batch (and any held before it) is in the archive
    QString failure;      // why not, or why the retention step failed
    bool damaged = false; // SQLite found the file damaged
    qint64 journal = 0;   // journal generations up to this one are written
    size_t held = 0;      // records kept for the next attempt
    qint64 pages = 0;     // pages the batch added
    qint64 deleted = 0;   // pages the retention step deleted
    bool moreToDelete = false;
};

// The archive's writer, on a thread of its own: each job is one transaction
// (the batch, with what a failed attempt left), then a retention step in a
// transaction of its own, and the pages that step freed given back. The
// archive's commits are not flushed to the disk each time (synchronous
// NORMAL, WAL): the relay's journal covers a process that dies, and a power
// cut may lose the last moments of the history, never the store's packets.
class ArchiveWriter : public QObject {
    Q_OBJECT
public:
    using Reply = std::function<void(const WriteReport&)>;
    ArchiveWriter(QString path, Reply reply);
    ~ArchiveWriter() override;

    // Runs on the writer's thread; the report goes to `reply`.
    void Write(WriteJob job);
    // The same, returning the report (for the last job at shutdown).
    WriteReport WriteNow(WriteJob job);
    // Closes the archive (on the writer's thread, before it ends).
    void Close();

private:
    void writeBatch(WriteReport& report);
    void deleteOlder(qint64 beforeMs, WriteReport& report);
    void failed(const QString& text, const QString& code, WriteReport& report);

    QString path_;
    Reply reply_;
    std::unique_ptr<ArchiveStatements> statements_;
    ArchiveBatch held_; // what failed to be written, tried again first
};

} // namespace history
