// A quiet feed: a carrier connection that stays up and brings no frames is
// told once (warning 112), and so is its end, when frames come again.

#include "config/ErrorCodes.h"
#include "config/adoQuorlan.h"
#include "logging/Logs.h"
#include "telstra/CarrierMonitor.h"
#include "telstra/DecoderInput.h"
#include "telstra/frmDecSockets.h"

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

// Frames belong to the connection whose bytes the decoder took last.
void frmDecSockets::frameStream() {
    const quint64 markers = decoder_.Counts().blockMarkers;
    decoder_.FrameStream();
    if (decoder_.Counts().blockMarkers == markers || lastFeed_ < 0)
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
