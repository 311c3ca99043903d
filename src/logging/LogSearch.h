#pragma once

#include "logging/LogFiles.h"
#include "platform/DateTimeText.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <atomic>
#include <optional>

// A search of the System log, today's file and its back-ups, newest line
// first. A line of the System log is "<date and time>\t<tag>\t<message>",
// the tag being the line's kind: Error (the relay's events, warnings and the
// console's commands: the error pane), Input (the carrier side) or Output
// (the clients' side). The files' headers, banners and back-up notes carry
// no tag, and some no time.
//
// The search reads each file from its end, a block at a time, and stops at
// its limit: it never holds more than a block, a line and the lines found.
// It runs on a worker thread: everything it is given is a copy.

namespace logsearch {

// The tags a line of the System log carries.
const QList<QByteArray>& Tags();

struct Query {
    static constexpr int kDefaultLimit = 200;
    static constexpr int kMaxLimit = 1000;
    // Bytes read at most, over all files: a search over years of back-ups
    // ends there, said as truncated.
    static constexpr qint64 kMaxScannedBytes = qint64(512) * 1024 * 1024;

    QByteArray text;                   // a plain substring, any case ("" for every line)
    QByteArray tag;                    // one of Tags() ("" for any line)
    std::optional<QDateTime> from, to; // both inclusive; a line without a time is then left out
    int limit = kDefaultLimit;
};

struct FoundLine {
    QString file;
    std::optional<QDateTime> time; // as the line gives it, in local time
    QByteArray tag;                // "" for a line without one
    QByteArray text;               // the line after its time and tag
};

struct Result {
    QList<FoundLine> lines; // newest first
    bool truncated = false; // more lines would match, or not every file was read
};

Result SearchSystemLog(const QList<logfiles::LogFile>& files, const Query& query,
                       const platform::DateTimeText& texts, const std::atomic<bool>& cancelled);

} // namespace logsearch
