#pragma once

#include "decoder/DecoderSink.h"

class System;
struct Control;

// The decoder's sink in the relay: packets go to relay dispatch, lines to the
// decoder log, the trace to the decoder pane (and to the raw test file while
// raw logging is on), the labels to the window.
class SystemDecoderSink final : public DecoderSink {
public:
    explicit SystemDecoderSink(System& system) : sys_(system) {}

    void RelayPacket(const QByteArray& packet) override;
    void LogDecoder(const QByteArray& line) override;
    void ShowTrace(const QByteArray& text) override;
    void ShowStatus(StatusLabel label, const QByteArray& caption, long colour) override;
    void WindowChanged() override;
    bool Tracing() const override;
    void StartDataGapCountdown() override;
    QByteArray TimeText() const override;
    QByteArray DateTimeText() const override;

private:
    Control& labelControl(StatusLabel label);

    System& sys_;
};
