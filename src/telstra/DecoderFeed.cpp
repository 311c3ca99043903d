// The decoder input feed: what the carrier connections receive goes, logged
// raw, into the decoder's buffer and through the framing at once.

#include "app/System.h"
#include "logging/PeerBytes.h"
#include "platform/Error.h"
#include "telstra/frmDecSockets.h"

void frmDecSockets::wskDecoder_DataArrival(int i, qint64) {
    try {
        RxData = wskDecoder[i].GetData();
        if (sys_.logs.gRawLogEnabled)
            // The carrier's bytes would break the file's lines: shown as codes.
            sys_.logs.gRawLog.AddLog(sys_.NowText().toUtf8() + '\t' + QByteArray::number(i) + '\t' +
                                     EscapedPeerBytes(RxData));
        gTelstra[i].StatusTime = sys_.Now();
        lastFeed_ = i;
        sys_.decoder.AppendToSatBuffer(RxData);
        sys_.window.txbSATBufferCtr.Text = QString::number(sys_.decoder.SatBufferLength());
        sys_.window.Changed();
        ResetSAT10mSTimer();
    } catch (const platform::Error& error) {
        sys_.ShowWarning(ErrorCode::DecoderDataArrival, error.text(), i);
        try {
            CloseTelstraSocket(i);
        } catch (const platform::Error&) {
        }
        return;
    }
    sys_.decoder.FrameStream();
}

void frmDecSockets::tmrSATInput_Timer() {
    try {
        if (sys_.decoder.SatBufferLength() > 0)
            sys_.decoder.FrameStream();
    } catch (const std::exception& error) {
        sys_.logs.LogDecoder(sys_.dateTimeText.Time(sys_.Now().time()) +
                             QStringLiteral("Timer SAT INPUT Error") +
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
