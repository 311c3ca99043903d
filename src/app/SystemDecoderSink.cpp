#include "app/SystemDecoderSink.h"

#include "app/System.h"

void SystemDecoderSink::RelayPacket(const QByteArray& packet) {
    sys_.outputRules.RelayToOutputs(packet);
}

void SystemDecoderSink::LogDecoder(const QByteArray& line) {
    sys_.logs.LogDecoder(line);
}

void SystemDecoderSink::ShowTrace(const QByteArray& text) {
    if (sys_.logs.gRawLogEnabled)
        sys_.PrintRawTestFile(text);
    sys_.logs.ShowDecoderTrace(text);
}

Control& SystemDecoderSink::labelControl(StatusLabel label) {
    switch (label) {
    case StatusLabel::Control:
        return sys_.window.lbControl;
    case StatusLabel::F1:
        return sys_.window.lbF1;
    case StatusLabel::F2:
        return sys_.window.lbF2;
    case StatusLabel::ByteTrace:
        break;
    }
    return sys_.window.lbTest;
}

void SystemDecoderSink::ShowStatus(StatusLabel label, const QByteArray& caption, long colour) {
    Control& control = labelControl(label);
    control.Caption = QLatin1String(caption.constData(), caption.size());
    control.ForeColor = colour;
}

void SystemDecoderSink::WindowChanged() {
    sys_.window.Changed();
}

bool SystemDecoderSink::Tracing() const {
    return sys_.window.chkInsertBatch.Value != 0;
}

void SystemDecoderSink::StartDataGapCountdown() {
    sys_.StartSAT10mSTimer();
}

QByteArray SystemDecoderSink::TimeText() const {
    return sys_.dateTimeText.Time(sys_.Now().time()).toUtf8();
}

QByteArray SystemDecoderSink::DateTimeText() const {
    return sys_.NowText().toUtf8();
}
