// The block-start and preamble searches and the byte reading they share.

#include "decoder/SatelliteDecoder2.h"

void SatelliteDecoder2::TraceByte(int byte) {
    ShowDecoderTrace('<' + QByteArray::number(byte, 16).toUpper() + '>');
}

void SatelliteDecoder2::KeepShownTrace() {
    if (!byteTraceRead_)
        return;
    lbTestTrace_ = gByteTrace;
    byteTraceRead_ = false;
    lbTestChanged_ = true;
}

void SatelliteDecoder2::EmptyByteTrace() {
    KeepShownTrace();
    gByteTrace.Empty();
}

int SatelliteDecoder2::MatchByte(int expected, int ifNoData, int ifMatch, int ifMismatch) {
    gLastChar = NextChar();
    if (gLastChar < 0)
        return ifNoData;
    gByteTrace.Append(gLastChar);
    byteTraceRead_ = true;
    return gLastChar == expected ? ifMatch : ifMismatch;
}

void SatelliteDecoder2::StartNewStream() {
    // Between blocks the marker that ended one starts the next; a new stream's
    // own marker would then be taken for a bad header and its first block lost.
    if (gFrameState != FrameState::Unset && gFrameState != FrameState::GETSTART &&
        gFrameState != FrameState::GETFREQ)
        LogDecoder(QByteArray("New carrier connection: block cut off in ") +
                   FrameStateName(gFrameState));
    gFrameState = FrameState::GETSTART;
    gSubState = 0;
    gMarkerBytePending = false;
}

bool SatelliteDecoder2::FindBatchStart() {
    switch (gSubState) {
    case 0:
        ShowStatus(StatusKind::Control, "SEARCH");
        gSubState = 1;
        return false;
    case 1:
        gSubState = MatchByte(0x29, 1, 2, 1);
        return false;
    case 2:
        gSubState = MatchByte(0x29, 2, 3, 1);
        return false;
    case 3:
        gSubState = MatchByte(0x29, 3, 4, 1);
        return false;
    case 4:
        gSubState = MatchByte(0x52, 4, 5, 1);
        return false;
    case 5:
        // The marker's fifth byte is read and not judged.
        gSubState = MatchByte(0x04, 5, 1, 1);
        if (gLastChar < 0)
            return false;
        if (Tracing())
            ShowDecoderTrace('[' + NowText() +
                             " Found batch SBATCH = " + QByteArray::number(gSubState) + ']');
        return true;
    default:
        ShowStatus(StatusKind::Control, "CORRUPTION");
        LogDecoder("Corruption waiting for start of batch @ " + QByteArray::number(gSubState));
        if (Tracing())
            ShowDecoderTrace('[' + NowText() +
                             " corruption SBATCH = " + QByteArray::number(gSubState) + ']');
        gSubState = 1;
        return false;
    }
}

int SatelliteDecoder2::FindPreambleSync() {
    switch (gSubState) {
    case 0:
        gSubState = MatchByte(0xAA, 0, 6, 7);
        if (gSubState == 6) {
            Trace("[Found PREAMBLE inverted]");
            gPreambleByte = 170;
            preambleLength_ = 1;
        }
        return 0;
    case 7:
        gSubState = MatchByte(0x55, 7, 6, 0);
        if (gSubState == 6) {
            Trace("[Found PREAMBLE]");
            gPreambleByte = 85;
            preambleLength_ = 1;
        }
        return 0;
    case 6:
        gSubState = ContinuePreamble();
        return 0;
    case 1:
        // The byte that ended the preamble may be the sync's first.
        gSubState = gLastChar == 0x83 ? 2 : 0;
        return 0;
    case 2:
        gSubState = MatchByte(0x2D, 2, 3, 5);
        return 0;
    case 3:
        gSubState = MatchByte(0xEA, 3, 4, 5);
        return 0;
    case 4:
        gSubState = MatchByte(0x27, 4, 1, 5);
        return gSubState == 1 ? 1 : 0;
    case 5:
        LogDecoder("BAD SYNC.");
        return 2;
    default:
        gSubState = 0;
        return 0;
    }
}

// A preamble is 72 bytes; one that goes on for thousands means the carrier's
// transmitter is stuck, which nothing else would tell the operator. Said at
// 8 KiB and at each doubling, so that the log stays small however long it lasts.
void SatelliteDecoder2::noteLongPreamble() {
    ++preambleLength_;
    if (preambleLength_ < kLongPreamble || (preambleLength_ & (preambleLength_ - 1)) != 0)
        return;
    LogDecoder("Preamble longer than " + QByteArray::number(preambleLength_) +
               " bytes: is the carrier's transmitter stuck?");
}

int SatelliteDecoder2::ContinuePreamble() {
    // A preamble cut by the end of an arrival goes on with the next one.
    const int next = MatchByte(gPreambleByte, 6, 6, 1);
    if (next == 6 && gLastChar >= 0) {
        ShowStatus(StatusKind::Control, QByteArrayLiteral("PREAMBLE")); // every preamble byte
        noteLongPreamble();
    }
    return next;
}
