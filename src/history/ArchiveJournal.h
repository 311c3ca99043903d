#pragma once

#include "history/ArchiveRecords.h"

#include <QByteArray>
#include <QString>
#include <set>
#include <vector>

namespace history {

// The pages the archive has been handed and may not have written yet, in
// files beside it ("history.mdb-pending-<generation>"). A page is appended
// before any client is sent its bytes, with one write and no flush of the
// disk: a relay killed outright leaves every page a client got in the
// archive or in these files, and the next start writes them in. (A power cut
// may take the newest of them: nothing here waits for the disk.)
//
// Each handing over of a batch to the writer ends a generation; the writer
// reports the generations it has written, whose files then go.
class ArchiveJournal {
public:
    explicit ArchiveJournal(QString archivePath) : archive_(std::move(archivePath)) {}
    ~ArchiveJournal();
    ArchiveJournal(const ArchiveJournal&) = delete;
    ArchiveJournal& operator=(const ArchiveJournal&) = delete;

    // Start-up: the pages of the files a previous run left, oldest first, up
    // to the first record that was not written whole. New generations follow
    // the newest of them, which `Newest` tells.
    std::vector<PageRecord> Read();
    qint64 Newest() const { return generation_ - 1; }

    // Appends a page to the current generation; false (with the reason in
    // Failure) when it could not be written whole, which leaves the file as
    // it was.
    bool Append(const PageRecord& page);
    QString Failure() const { return failure_; }
    // Creates the current generation's file ahead of its first page, which
    // then costs one write rather than the making of a file. A failure is
    // left for Append to meet and report.
    void Prepare();
    // Ends the current generation; returns it, or 0 when it holds no page.
    qint64 Seal();
    // Closes the current generation's file, and deletes it when it holds no
    // page.
    void Close() { close(); }
    // Deletes the files of the generations up to `generation`.
    void Remove(qint64 generation);

private:
    QString fileOf(qint64 generation) const;
    bool open();
    void close();

    QString archive_;
    qint64 generation_ = 1; // the generation pages are appended to
    int fd_ = -1;           // its file, once it has a page
    qint64 size_ = 0;       // bytes of whole records in it
    std::set<qint64> files_;
    QByteArray record_; // reused for each page
    QString failure_;
};

} // namespace history
