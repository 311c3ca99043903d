#pragma once

// A decoder sink for the decoder's tests and fuzz target: it keeps what the
// decoder relays, logs, traces and shows, at the time the relay's tests run
// at (15 January 2026, 10:00:00).

#include "decoder/DecoderSink.h"

#include <QByteArray>
#include <QList>
#include <array>
#include <functional>

struct RecordingSink final : DecoderSink {
    struct Label {
        QByteArray caption;
        long colour = 0;
    };

    QList<QByteArray> packets; // relayed, in order
    QList<QByteArray> lines;   // decoder-log lines, without the log's stamp
    QList<QByteArray> traces;  // trace lines, oldest first
    std::array<Label, 4> labels;
    bool tracing = false; // the operator's batch-logic switch
    int dataGapCountdowns = 0;
    int windowChanges = 0;
    // Runs after a packet is recorded: a test makes relaying fail with it.
    std::function<void(const QByteArray&)> onRelay;

    const Label& label(StatusLabel which) const { return labels[size_t(which)]; }

    void RelayPacket(const QByteArray& packet) override {
        packets << packet;
        if (onRelay)
            onRelay(packet);
    }
    void LogDecoder(const QByteArray& line) override { lines << line; }
    void ShowTrace(const QByteArray& text) override { traces << text; }
    void ShowStatus(StatusLabel which, const QByteArray& caption, long colour) override {
        labels[size_t(which)] = {caption, colour};
    }
    void WindowChanged() override { ++windowChanges; }
    bool Tracing() const override { return tracing; }
    void StartDataGapCountdown() override { ++dataGapCountdowns; }
    QByteArray TimeText() const override { return "10:00:00"; }
    QByteArray DateTimeText() const override { return "15 Jan 2026 10:00:00"; }
};
