#include "outputs/ClientQueue.h"

#include <algorithm>

void ClientQueue::Queue(QueuedPacket packet) {
    queued_.push_back(std::move(packet));
}

void ClientQueue::StartSend(const QDateTime& now) {
    // Bytes begin to wait now, not at the last heartbeat.
    if (sending_.empty() && queued_.empty())
        progressTime_ = now;
    for (QueuedPacket& packet : queued_)
        sending_.push_back(std::move(packet));
    queued_.clear();
}

SendCompletion ClientQueue::CompleteSend(qint64 unacknowledged) {
    SendCompletion done;
    for (QueuedPacket& packet : sending_) {
        if (packet.storedMessID != 0) {
            done.stored.push_back(packet);
            // Its row is deleted now; should the peer not get it after all,
            // it is stored again as a new row.
            packet.storedMessID = 0;
        } else if (packet.mark.pageID != 0) {
            done.sent.push_back(packet.mark);
        }
        writtenBytes_ += packet.packet.size();
        written_.push_back(std::move(packet));
    }
    sending_.clear();
    dropAcknowledged(unacknowledged, done.taken);
    return done;
}

std::vector<TrailMark> ClientQueue::Acknowledged(qint64 unacknowledged) {
    std::vector<TrailMark> taken;
    // During a send the peer's count mixes written bytes with those in flight.
    if (sending_.empty())
        dropAcknowledged(unacknowledged, taken);
    return taken;
}

// The written packets the peer has acknowledged leave the queue: only the
// tail of `unacknowledged` bytes may still be lost with the connection.
void ClientQueue::dropAcknowledged(qint64 unacknowledged, std::vector<TrailMark>& taken) {
    while (!written_.empty() && writtenBytes_ - written_.front().packet.size() >= unacknowledged) {
        if (written_.front().mark.Any())
            taken.push_back(written_.front().mark);
        writtenBytes_ -= written_.front().packet.size();
        written_.pop_front();
    }
}

QByteArray ClientQueue::DropSend(qint64 wentOut) {
    sending_.clear();
    written_.clear();
    writtenBytes_ = 0;
    while (!queued_.empty() && queued_.front().packet.size() <= wentOut) {
        wentOut -= queued_.front().packet.size();
        queued_.pop_front();
    }
    std::erase_if(queued_, [](const QueuedPacket& packet) { return packet.storedMessID != 0; });
    QByteArray pending;
    for (const QueuedPacket& packet : queued_)
        pending += packet.packet;
    return pending;
}

std::vector<QueuedPacket> ClientQueue::TakeUndelivered(qint64 notAcknowledged) {
    std::vector<QueuedPacket> handed(written_.begin(), written_.end());
    handed.insert(handed.end(), sending_.begin(), sending_.end());
    auto first = handed.end();
    for (qint64 bytes = 0; first != handed.begin() && bytes < notAcknowledged;) {
        --first;
        bytes += first->packet.size();
    }
    std::vector<QueuedPacket> undelivered(first, handed.end());
    undelivered.insert(undelivered.end(), queued_.begin(), queued_.end());
    queued_.clear();
    DropSend();
    return undelivered;
}

bool ClientQueue::CarriesStoredRow() const {
    auto stored = [](const QueuedPacket& packet) { return packet.storedMessID != 0; };
    return std::any_of(sending_.begin(), sending_.end(), stored) ||
           std::any_of(queued_.begin(), queued_.end(), stored);
}

bool ClientQueue::Stalled(qint64 acknowledged, qint64 waiting, const QDateTime& now) {
    if (waiting == 0 || acknowledged != acknowledged_ || !progressTime_.isValid()) {
        acknowledged_ = acknowledged;
        progressTime_ = now;
        return false;
    }
    return progressTime_.addSecs(kStalledClientSeconds) <= now;
}
