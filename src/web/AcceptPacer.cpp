#include "web/AcceptPacer.h"

#include <QTcpServer>

namespace web {

namespace {

// Qt's own number of accepted connections waiting to be taken.
constexpr int kMaxPending = 30;

} // namespace

AcceptPacer::AcceptPacer(std::function<QDateTime()> now, QObject* parent)
    : QObject(parent), now_(std::move(now)), budget_(now_()) {
    resume_.setSingleShot(true);
    connect(&resume_, &QTimer::timeout, this, &AcceptPacer::Resume);
}

bool AcceptPacer::Accepted(QTcpServer* listener) {
    const QDateTime now = now_();
    const bool covered = budget_.Take(now);
    if (budget_.Spent(now))
        pause(listener);
    return covered;
}

// Qt accepts every connection the kernel holds in one go, whether accepting
// was paused meanwhile or not; only a full queue of pending connections stops
// it before the next accept. So the queue's size goes to nothing, too.
void AcceptPacer::pause(QTcpServer* listener) {
    listener->setMaxPendingConnections(0);
    listener->pauseAccepting();
    if (!paused_.contains(listener))
        paused_ << listener;
    if (!resume_.isActive())
        resume_.start(int(budget_.MsecsToNext(now_())));
}

void AcceptPacer::Resume() {
    const QDateTime now = now_();
    paused_.removeAll(nullptr);
    if (paused_.isEmpty())
        return;
    if (budget_.Spent(now)) {
        if (!resume_.isActive())
            resume_.start(int(budget_.MsecsToNext(now)));
        return;
    }
    for (const QPointer<QTcpServer>& listener : std::as_const(paused_)) {
        listener->setMaxPendingConnections(kMaxPending);
        listener->resumeAccepting();
    }
    paused_.clear();
}

} // namespace web
