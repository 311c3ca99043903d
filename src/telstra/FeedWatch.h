#pragma once

#include "config/HealthCheck.h"
#include "config/Limits.h"
#include "telstra/MinuteCounts.h"

#include <QDateTime>
#include <array>
#include <optional>

// Whether each carrier connection brings frames: a carrier may keep its
// connection up, even send bytes, and send no block marker at all. Silence is
// the time a connection of the row was up without a frame being found: it
// starts when a connection comes up (the time before it, with no connection,
// does not count) and ends with the next frame. Once it reaches the limit,
// the row is quiet (one episode, whatever reconnections happen in it) until a
// frame comes again.
class FeedWatch {
public:
    // A connection of row i came up, or went down.
    void Connected(int i, const QDateTime& now);
    void Closed(int i, const QDateTime& now);
    void Received(int i, qint64 bytes) { feeds_[size_t(i)].bytes += quint64(bytes); }
    // Frames were found in row i's bytes: when that ends a quiet episode,
    // the seconds since the last frame (or the first connection without one).
    std::optional<qint64> FramesFound(int i, const QDateTime& now);
    // The check of row i, at each heartbeat: true when its quiet episode
    // begins now. A limit of 0 or less never begins one.
    bool Check(int i, bool connected, const QDateTime& now, qint64 limitSeconds);
    // Row i is no longer in use (removed or not active): its silence ends
    // without a word. Its counts stay: they belong to the relay's run.
    void Forget(int i);

    bool Quiet(int i) const { return feeds_[size_t(i)].quiet; }
    // The last frame, or the first connection after the start when no frame
    // has come yet; null before either.
    QDateTime SilentSince(int i) const { return feeds_[size_t(i)].silentSince; }
    // The last frame of row i since the start; null when none came.
    QDateTime LastFrame(int i) const { return feeds_[size_t(i)].lastFrame; }
    quint64 Bytes(int i) const { return feeds_[size_t(i)].bytes; }
    // Pages decoded from row i's bytes, minute by minute over the last hour.
    void PagesFound(int i, qint64 pages, const QDateTime& now) {
        feeds_[size_t(i)].pages.Add(now, pages);
    }
    const MinuteCounts& Pages(int i) const { return feeds_[size_t(i)].pages; }

    // The carriers' health as last noted, and when it last changed.
    void NoteStatus(health::Status status, const QDateTime& now);
    health::Status Status() const { return status_; }
    QDateTime StatusSince() const { return statusSince_; }

private:
    struct Feed {
        QDateTime lastFrame;
        QDateTime silentSince;
        QDateTime countedTo; // null while no connection is up
        qint64 silentMs = 0; // time connected without a frame, up to countedTo
        bool quiet = false;
        quint64 bytes = 0;
        MinuteCounts pages;
    };
    void count(Feed& feed, const QDateTime& now);

    std::array<Feed, kTelstraSlots> feeds_{};
    health::Status status_ = health::Status::Failing;
    QDateTime statusSince_;
};
