#include "telstra/FeedWatch.h"

namespace {

constexpr qint64 kMsPerSecond = 1000;

} // namespace

void FeedWatch::count(Feed& feed, const QDateTime& now) {
    if (feed.countedTo.isValid() && feed.countedTo < now)
        feed.silentMs += feed.countedTo.msecsTo(now);
    if (feed.countedTo.isValid())
        feed.countedTo = now;
}

void FeedWatch::Connected(int i, const QDateTime& now) {
    Feed& feed = feeds_[size_t(i)];
    count(feed, now);
    feed.countedTo = now;
    if (!feed.silentSince.isValid())
        feed.silentSince = now;
}

void FeedWatch::Closed(int i, const QDateTime& now) {
    Feed& feed = feeds_[size_t(i)];
    count(feed, now);
    feed.countedTo = QDateTime();
}

std::optional<qint64> FeedWatch::FramesFound(int i, const QDateTime& now) {
    Feed& feed = feeds_[size_t(i)];
    const QDateTime silentSince = feed.silentSince;
    feed.lastFrame = now;
    feed.silentSince = now;
    feed.silentMs = 0;
    if (feed.countedTo.isValid())
        feed.countedTo = now;
    if (!feed.quiet)
        return std::nullopt;
    feed.quiet = false;
    return silentSince.secsTo(now);
}

bool FeedWatch::Check(int i, bool connected, const QDateTime& now, qint64 limitSeconds) {
    Feed& feed = feeds_[size_t(i)];
    if (!connected) {
        // Gone without a close the watch was told of: counted to its last check.
        feed.countedTo = QDateTime();
        return false;
    }
    count(feed, now);
    if (!feed.countedTo.isValid())
        Connected(i, now);
    if (feed.quiet || limitSeconds <= 0 || feed.silentMs < limitSeconds * kMsPerSecond)
        return false;
    feed.quiet = true;
    return true;
}

void FeedWatch::Forget(int i) {
    Feed& feed = feeds_[size_t(i)];
    feed.silentSince = QDateTime();
    feed.countedTo = QDateTime();
    feed.silentMs = 0;
    feed.quiet = false;
}

void FeedWatch::NoteStatus(health::Status status, const QDateTime& now) {
    if (status == status_ && statusSince_.isValid())
        return;
    status_ = status;
    statusSince_ = now;
}
