// What the framing shows and reports: window labels, the verbose trace, the
// decoder log, relayed packets, and errors raised by the modules it calls.

#include "app/System.h"
#include "decoder/SatelliteDecoder2.h"

#include <exception>
#include <new>

namespace {

constexpr long kRed = 0x0000FF;
constexpr long kButtonFace = 0x8000000F; // the window system's button-face colour

// Error numbers as the relay's first platform gave them.
constexpr int kOutOfMemory = 7;
constexpr int kInvalidCall = 5;

} // namespace

QByteArray SatelliteDecoder2::NowText() const {
    return sys_.NowText().toUtf8();
}

bool SatelliteDecoder2::Tracing() const {
    return sys_.window.chkInsertBatch.Value != 0;
}

void SatelliteDecoder2::SetLabel(Control& label, const QByteArray& caption, long colour) {
    const QLatin1String text(caption.constData(), caption.size());
    if (label.Caption == text && label.ForeColor == colour)
        return;
    label.Caption = text;
    label.ForeColor = colour;
    windowChanged_ = true;
}

QByteArray SatelliteDecoder2::ShowStatus(StatusKind kind, const QByteArray& text) {
    if (kind == StatusKind::Control) {
        SetLabel(sys_.window.lbControl, text, kRed);
        return text;
    }
    const QByteArray header = text.right(8);
    const bool f1 = header.startsWith("F1");
    Control& shown = f1 ? sys_.window.lbF1 : sys_.window.lbF2;
    Control& other = f1 ? sys_.window.lbF2 : sys_.window.lbF1;
    SetLabel(shown, header, kRed);
    if (other.ForeColor != kButtonFace) {
        other.ForeColor = kButtonFace;
        windowChanged_ = true;
    }
    return header;
}

void SatelliteDecoder2::ShowDecoderTrace(const QByteArray& text) {
    if (!Tracing())
        return;
    if (sys_.gRawLogEnabled)
        Guarded([&] { sys_.PrintRawTestFile(text); });
    QByteArray& held = sys_.logs.gDecoderLogText;
    held.prepend(NowText() + "  " + text + "\r\n");
    sys_.window.txbSatDecoder.Text = QString::fromUtf8(held);
    held.truncate(kTraceLimit);
    windowChanged_ = true;
}

void SatelliteDecoder2::Trace(const char* text) {
    if (Tracing())
        ShowDecoderTrace(QByteArray(text));
}

void SatelliteDecoder2::ShowWindowChanges() {
    KeepShownTrace();
    if (lbTestChanged_) {
        lbTestChanged_ = false;
        SetLabel(sys_.window.lbTest, lbTestTrace_.Text(), sys_.window.lbTest.ForeColor);
    }
    if (windowChanged_) {
        windowChanged_ = false;
        Guarded([this] { sys_.window.Changed(); });
    }
}

void SatelliteDecoder2::Relay(const QByteArray& packet) {
    Guarded([&] { sys_.outputRules.RelayToOutputs(packet); });
}

void SatelliteDecoder2::LogDecoder(const QByteArray& line) {
    Guarded([&] { sys_.logs.LogDecoder(line); });
}

void SatelliteDecoder2::Guarded(const std::function<void()>& call) {
    try {
        call();
    } catch (...) {
        LogCurrentError();
    }
}

void SatelliteDecoder2::LogCurrentError() {
    int number = kInvalidCall;
    QByteArray description = "Unknown error";
    try {
        throw;
    } catch (const std::bad_alloc&) {
        number = kOutOfMemory;
        description = "Out of memory";
    } catch (const std::exception& e) {
        description = e.what();
    } catch (...) {
    }
    try {
        sys_.logs.LogDecoder(sys_.dateTimeText.Time(sys_.Now().time()).toUtf8() + " " +
                             "Strip File error no: " + QByteArray::number(number) + " " +
                             description);
    } catch (...) {
        // Nowhere left to report it; the framing goes on.
    }
}
