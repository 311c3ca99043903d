// A quiet feed: a carrier connection that stays up and brings no frames is
// told once (warning 112), and so is its end, when frames come again.

#include "config/ErrorCodes.h"
#include "config/adoQuorlan.h"
#include "logging/Logs.h"
#include "telstra/CarrierMonitor.h"
#include "telstra/DecoderInput.h"
#include "telstra/frmDecSockets.h"

namespace {

quint64 PagesDecoded(const DecoderCounts& counts) {
    return counts.alphaPages + counts.numericPages + counts.tonePages;
}

} // namespace

int frmDecSockets::CarrierCount() const {
    return db_.gTelstraCount;
}

bool frmDecSockets::Carrying(int i) const {
    const TelstraSocket& e = gTelstra[size_t(i)];
    return i < db_.gTelstraCount && e.Status != TelstraSocket::Empty && e.Active &&
           wskDecoder.Exists(i) && wskDecoder[i].State() == platform::SocketState::Connected;
}

const DecoderCounts& frmDecSockets::Counts() const {
    return decoder_.Counts();
}

// Frames and pages belong to the connection whose bytes the decoder took last.
void frmDecSockets::frameStream() {
    const quint64 markers = decoder_.Counts().blockMarkers;
    const quint64 pages = PagesDecoded(decoder_.Counts());
    decoder_.FrameStream();
    if (lastFeed_ < 0)
        return;
    if (const quint64 found = PagesDecoded(decoder_.Counts()) - pages; found > 0)
        feed_.PagesFound(lastFeed_, qint64(found), time_.Now());
    if (decoder_.Counts().blockMarkers == markers)
        return;
    const std::optional<qint64> quietFor = feed_.FramesFound(lastFeed_, time_.Now());
    warnings_.Ended(AlarmCondition::CarrierFrames, lastFeed_);
    if (!quietFor)
        return;
    log(QStringLiteral("System: Frames from %1 again after %2 s")
            .arg(gTelstra[size_t(lastFeed_)].Description)
            .arg(*quietFor));
    noteHealth();
}

void frmDecSockets::CheckFeedSilence() {
    const QDateTime now = time_.Now();
    for (int i = 0; i < kTelstraSlots; ++i) {
        const TelstraSocket& e = gTelstra[size_t(i)];
        if (i >= db_.gTelstraCount || e.Status == TelstraSocket::Empty || !e.Active) {
            feed_.Forget(i);
            continue;
        }
        if (feed_.Check(i, Carrying(i), now, feedSilenceSeconds_))
            warnings_.ShowWarning(ErrorCode::FeedSilence,
                                  QStringLiteral("The carrier is connected but sends no frames: ") +
                                      e.Description,
                                  i);
    }
    noteHealth();
}

void frmDecSockets::noteHealth() {
    feed_.NoteStatus(CarrierStatus(*this), time_.Now());
}
