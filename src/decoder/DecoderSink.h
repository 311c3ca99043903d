#pragma once

#include <QByteArray>

// All the decoder asks of the rest of the relay: somewhere for its packets,
// its log lines and its trace, labels to show its progress on, the operator's
// trace switch, the data-gap countdown and the time. The relay implements it;
// the decoder's tests and benchmark record or count instead.
class DecoderSink {
public:
    // The framing labels of the window: lbControl, lbF1, lbF2 and lbTest.
    enum class StatusLabel { Control, F1, F2, ByteTrace };

    virtual ~DecoderSink() = default;

    // A page or a frame notice for the clients.
    virtual void RelayPacket(const QByteArray& packet) = 0;
    // A line for the decoder log, which stamps it.
    virtual void LogDecoder(const QByteArray& line) = 0;
    // A line of the verbose trace; sent only while Tracing().
    virtual void ShowTrace(const QByteArray& text) = 0;
    // A label now shows `caption` in `colour`; sent only when that changed.
    virtual void ShowStatus(StatusLabel label, const QByteArray& caption, long colour) = 0;
    // Once after a burst of ShowTrace and ShowStatus.
    virtual void WindowChanged() = 0;
    // The operator's batch-logic switch: every byte read goes to the trace.
    virtual bool Tracing() const = 0;
    // A block has started: the gap before the carrier's next data is timed.
    virtual void StartDataGapCountdown() = 0;
    // Now, as the relay writes a time and a date with time.
    virtual QByteArray TimeText() const = 0;
    virtual QByteArray DateTimeText() const = 0;
};
