// The decoder input feed: what the carrier connections receive goes, logged
// raw, into the decoder's buffer and through the framing at once.

#include "config/CoreEvents.h"
#include "config/ErrorCodes.h"
#include "logging/Logs.h"
#include "logging/PeerBytes.h"
#include "platform/Error.h"
#include "platform/HeldSends.h"
#include "platform/YieldToWoken.h"
#include "telstra/DecoderInput.h"
#include "telstra/frmDecSockets.h"

#include <QScopeGuard>

void frmDecSockets::wskDecoder_DataArrival(int i, qint64) {
    // Set for as long as this read's packets are relayed.
    struct Arrival {
        std::optional<ArrivalTime>& time;
        explicit Arrival(std::optional<ArrivalTime>& t) : time(t) {
            time = std::chrono::steady_clock::now();
        }
        ~Arrival() { time.reset(); }
        Arrival(const Arrival&) = delete;
        Arrival& operator=(const Arrival&) = delete;
    } arrival(bytesArrived_);
    // Spelled out for the raw log only once the pages are on their way.
    QDateTime received;
    try {
        RxData = wskDecoder[i].GetData();
        received = time_.Now();
        gTelstra[i].StatusTime = received;
        feed_.Received(i, RxData.size());
        lastFeed_ = i;
        decoder_.AppendToSatBuffer(RxData);
        ResetSAT10mSTimer();
    } catch (const platform::Error& error) {
        warnings_.ShowWarning(ErrorCode::DecoderDataArrival, error.text(), i);
        try {
            CloseTelstraSocket(i);
        } catch (const platform::Error&) {
        }
        return;
    }
    // The raw line and the buffer's count are written once the read's pages
    // are with the clients: they are the operator's, and a block's bytes take
    // a while to spell out.
    const QString buffered = QString::number(decoder_.SatBufferLength());
    const auto tellRead = qScopeGuard([&] { tellReceived(i, received, buffered); });
    // Every packet of one read (a block's notice and its page) is on its way
    // to the clients before the first line that tells of them is written.
    const Logs::LineBatch lines(logs_);
    // A notice the read ended on goes out after the clients had their pages.
    const platform::HeldSendScope held;
    const platform::YieldScope yields; // ends first: the clients read before the lines go out
    frameStream();
}

void frmDecSockets::tellReceived(int i, const QDateTime& receivedAt, const QString& buffered) {
    if (logs_.gRawLogEnabled)
        // The carrier's bytes would break the file's lines: shown as codes.
        logs_.gRawLog.AddLog(time_.texts().DateTime(receivedAt).toUtf8() + '\t' +
                             QByteArray::number(i) + '\t' + EscapedPeerBytes(RxData));
    events_.StatusChanged(StatusText::SatBufferCount, buffered);
    events_.Changed();
}

void frmDecSockets::tmrSATInput_Timer() {
    try {
        if (decoder_.SatBufferLength() > 0)
            frameStream();
    } catch (const std::exception& error) {
        logs_.LogDecoder(time_.TimeText() + QStringLiteral("Timer SAT INPUT Error") +
                         QString::fromLocal8Bit(error.what()));
    }
}

void frmDecSockets::tmrSaTData_Timer() {
    SatCountdown -= static_cast<int>(kSatInputInterval.count());
    if (SatCountdown < 0)
        tmrSaTData.stop();
}

void frmDecSockets::ResetSAT10mSTimer() {
    SatCountdown = kDataGapMilliseconds;
}

void frmDecSockets::StartSAT10mSTimer() {
    SatCountdown = kDataGapMilliseconds;
    if (!tmrSaTData.isActive() && tmrSATInput.isActive()) // the timers run once start-up is done
        tmrSaTData.start();
}
