#pragma once

#include "decoder/ByteTrace.h"
#include "decoder/Codeword.h"
#include "decoder/DecoderCounts.h"
#include "decoder/DecoderSink.h"
#include "decoder/POCSAG.h"
#include "decoder/PageState.h"

#include <QByteArray>
#include <array>

// Finds the structure of the carrier's byte stream (block start marker,
// header with frequency and rate, preamble, sync codeword, batches of 16
// codewords) and turns the codewords into pages: each finished page goes, by
// way of its sink, to relay dispatch and to the decoder log. Progress shows on
// the framing labels and, when the operator enables batch logic, byte by byte
// in the trace.
class SatelliteDecoder2 {
public:
    enum class FrameState {
        Unset, // never run
        GETSTART,
        GETFREQ,
        GETNEXT1,
        GETNEXT2,
        GETBAUD,
        GETSYNC,
        GETCODE4,
        GETCODE3,
        GETCODE2,
        GETCODE1,
        GETDATA,
    };
    enum class StatusKind { Control, HEADER };

    explicit SatelliteDecoder2(DecoderSink& sink);

    // Received bytes go in here; only FrameStream takes them out.
    void AppendToSatBuffer(const QByteArray& bytes);
    // Bytes received and not yet consumed.
    qsizetype SatBufferLength() const { return gSatBuffer.size() - gSatRead; }

    // Consumes the buffer; returns only when it needs more bytes.
    void FrameStream();
    // A new carrier connection: its stream opens with a block marker, and
    // cannot go on with a block the last connection left half sent.
    void StartNewStream();
    // Finishes the page in progress: relays it and writes its decoder-log line.
    void FlushPage();
    // Digits that may go out as a numeric page.
    static bool IsNumericText(const QByteArray& text);
    static const char* FrameStateName(FrameState state);

    FrameState gFrameState = FrameState::Unset;
    // Steps of the block-start search: each byte of the marker in turn.
    enum BatchStep : int {
        kAnnounceSearch = 0, // shows SEARCH, then looks for the marker
        kMarkerFirst = 1,
        kMarkerSecond = 2,
        kMarkerThird = 3,
        kMarkerLast = 4,
        kMarkerFifth = 5, // read and not judged
    };
    // Steps of the preamble and sync search.
    enum SyncStep : int {
        kPreambleInverted = 0, // the preamble's first byte, inverted
        kSyncFirst = 1,        // the byte that ended the preamble
        kSyncSecond = 2,
        kSyncThird = 3,
        kSyncLast = 4,
        kBadSync = 5,
        kInPreamble = 6,
        kPreambleUpright = 7, // the preamble's first byte as sent
    };
    // Step of the block-start search (BatchStep) or of the preamble and sync
    // search (SyncStep). The two searches share it: a sync found leaves
    // kSyncFirst, where the next block's search starts at kMarkerFirst, and
    // the decoder log shows it as a number.
    int gSubState = kAnnounceSearch;
    int gLastChar = -1; // last byte taken; -1 when the last attempt found none
    ByteTrace gByteTrace;
    int gPreambleByte = 0;
    Codeword gCodeword{};
    // 1..16 data, kSyncSlot the sync slot
    static constexpr int kSyncSlot = 17;
    int gCodewordPos = 0;
    bool gZeroCodeword = false;
    QByteArray gHeaderSync; // e.g. "F1 1200 " once the header is read
    QByteArray gRate;       // "1200" or "512"
    QByteArray gFrequency;  // "1" or "2"

    PageState page;
    POCSAG pocsag{page};
    DecoderCounts counts;

    // Most characters a page collects before it is relayed in parts, so that a
    // broken transmission without address or idle codewords cannot take all memory.
    static constexpr int kLongestPageText = 10000;

private:
    // One step of the state machine; false when it has to wait for bytes.
    bool step();
    bool GetStart();
    bool GetFreq();
    bool GetHeaderByte(FrameState next);
    bool GetBaud();
    bool GetSync();
    bool GetCodeByte(int element, FrameState next);
    void TakeCodeBytes(int element);
    bool GetData();
    void DecodeCodeword();
    const QByteArray& ChoosePageType(QByteArray& digits);
    void CountPage();
    void GiveBackDigits(QByteArray&& digits);

    // Searches and byte reading.
    bool FindBatchStart();
    enum class SyncSearch { Going, Found, Failed };
    SyncSearch FindPreambleSync();
    int ContinuePreamble();
    void noteLongPreamble();
    // Both run for every byte of the stream: kept inline, with the trace of
    // the byte out of line.
    int NextChar() {
        if (!HasInput())
            return -1;
        const int byte = static_cast<unsigned char>(gSatBuffer.constData()[gSatRead]);
        ++gSatRead;
        if (Tracing())
            TraceByte(byte);
        return byte;
    }
    bool ReadByte() {
        gLastChar = NextChar();
        if (gLastChar < 0)
            return false;
        gByteTrace.Append(gLastChar);
        byteTraceRead_ = true;
        return true;
    }
    void TraceByte(int byte);
    int MatchByte(int expected, int ifNoData, int ifMatch, int ifMismatch);
    bool HasInput() const { return gSatRead < gSatBuffer.size(); }
    void EmptyByteTrace();
    // Notes what lbTest shows: the trace as it was at the last byte read.
    void KeepShownTrace();
    void CompactSatBuffer();

    // Labels, trace, logs and relay.
    QByteArray ShowStatus(StatusKind kind, const QByteArray& text);
    void ShowDecoderTrace(const QByteArray& text);
    void Trace(const char* text);
    bool Tracing() const { return inFrameStream_ ? tracing_ : sink_.Tracing(); }
    QByteArray NowText() const;
    void SetLabel(DecoderSink::StatusLabel label, const QByteArray& caption, long colour) {
        // Most calls show again the caption object shown last ("DATA" before
        // every codeword): the same bytes need no comparing.
        const LabelShown& now = shown(label);
        if (now.set && now.colour == colour && now.caption.constData() == caption.constData() &&
            now.caption.size() == caption.size())
            return;
        ChangeLabel(label, caption, colour);
    }
    void ChangeLabel(DecoderSink::StatusLabel label, const QByteArray& caption, long colour);
    void SetLabelColour(DecoderSink::StatusLabel label, long colour);
    void ShowWindowChanges();
    void Relay(const QByteArray& packet);
    void LogDecoder(const QByteArray& line);
    // Runs a call into another module so that an error it raises is logged and
    // the framing goes on with its next statement.
    template <typename Call> void Guarded(const Call& call) {
        try {
            call();
        } catch (...) {
            LogCurrentError();
        }
    }
    void LogCurrentError();

    // What a framing label shows since the decoder last set it.
    struct LabelShown {
        QByteArray caption;
        long colour = 0;
        bool set = false;
    };
    LabelShown& shown(DecoderSink::StatusLabel label) { return labelsShown_[size_t(label)]; }

    DecoderSink& sink_;
    std::array<LabelShown, 4> labelsShown_;
    QByteArray gSatBuffer;
    qsizetype gSatRead = 0; // bytes before this offset are consumed
    // The end-of-block marker was recognised before its fifth byte arrived.
    bool gMarkerBytePending = false;
    static constexpr qint64 kLongPreamble = 8192;
    qint64 preambleLength_ = 0; // bytes of the preamble in progress
    bool inFrameStream_ = false;
    // The trace switch as FrameStream found it: nothing the framing calls can
    // change it, and asking the sink for every byte would slow the search.
    bool tracing_ = false;
    bool windowChanged_ = false;
    // What lbTest shows: gByteTrace as it was at the last byte read; turned
    // into the caption once per call.
    ByteTrace lbTestTrace_;
    bool byteTraceRead_ = false;
    bool lbTestChanged_ = false;
};
