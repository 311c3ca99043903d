// What the framing shows and reports: framing labels, the verbose trace, the
// decoder log, relayed packets, and errors raised by the modules it calls.

#include "decoder/SatelliteDecoder2.h"

#include <exception>
#include <new>

namespace {

using Label = DecoderSink::StatusLabel;

constexpr long kRed = 0x0000FF;
constexpr long kButtonFace = 0x8000000F; // the window system's button-face colour
constexpr long kBlack = 0x000000;        // the byte trace keeps the window's text colour

// Error numbers as the relay's first platform gave them.
constexpr int kOutOfMemory = 7;
constexpr int kInvalidCall = 5;

} // namespace

QByteArray SatelliteDecoder2::NowText() const {
    return sink_.DateTimeText();
}

void SatelliteDecoder2::ChangeLabel(Label label, const QByteArray& caption, long colour) {
    LabelShown& now = shown(label);
    if (now.set && now.colour == colour && now.caption == caption)
        return;
    now = {caption, colour, true};
    sink_.ShowStatus(label, caption, colour);
    windowChanged_ = true;
}

// A label the decoder has not set yet has the caption the window gave it:
// none, for the frequency labels.
void SatelliteDecoder2::SetLabelColour(Label label, long colour) {
    SetLabel(label, QByteArray(shown(label).caption), colour);
}

QByteArray SatelliteDecoder2::ShowStatus(StatusKind kind, const QByteArray& text) {
    if (kind == StatusKind::Control) {
        SetLabel(Label::Control, text, kRed);
        return text;
    }
    QByteArray header = text.right(8);
    const bool f1 = header.startsWith("F1");
    SetLabel(f1 ? Label::F1 : Label::F2, header, kRed);
    SetLabelColour(f1 ? Label::F2 : Label::F1, kButtonFace);
    return header;
}

void SatelliteDecoder2::ShowDecoderTrace(const QByteArray& text) {
    if (!Tracing())
        return;
    Guarded([&] { sink_.ShowTrace(text); });
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
        SetLabel(Label::ByteTrace, lbTestTrace_.Text(), kBlack);
    }
    if (windowChanged_) {
        windowChanged_ = false;
        Guarded([this] { sink_.WindowChanged(); });
    }
}

void SatelliteDecoder2::Relay(const QByteArray& packet) {
    Guarded([&] { sink_.RelayPacket(packet); });
}

void SatelliteDecoder2::LogDecoder(const QByteArray& line) {
    Guarded([&] { sink_.LogDecoder(line); });
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
        sink_.LogDecoder(sink_.TimeText() + " " +
                         "Strip File error no: " + QByteArray::number(number) + " " + description);
    } catch (...) {
        // Nowhere left to report it; the framing goes on.
    }
}
