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

std::vector<QueuedPacket> ClientQueue::CompleteSend(qint64 unacknowledged) {
    std::vector<QueuedPacket> stored;
    for (QueuedPacket& packet : sending_) {
        if (packet.storedMessID != 0) {
            stored.push_back(packet);
            // Its row is deleted now; should the peer not get it after all,
            // it is stored again as a new row.
            packet.storedMessID = 0;
        }
        writtenBytes_ += packet.packet.size();
        written_.push_back(std::move(packet));
    }
    sending_.clear();
    while (!written_.empty() && writtenBytes_ - written_.front().packet.size() >= unacknowledged) {
        writtenBytes_ -= written_.front().packet.size();
        written_.pop_front();
    }
    return stored;
}

QByteArray ClientQueue::DropSend() {
    sending_.clear();
    written_.clear();
    writtenBytes_ = 0;
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
