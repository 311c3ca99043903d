// The block-start and preamble searches and the byte reading they share.

#include "decoder/SatelliteDecoder2.h"

#include "decoder/StreamBytes.h"

using namespace decoder;

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
    gSubState = kAnnounceSearch;
    gMarkerBytePending = false;
}

bool SatelliteDecoder2::FindBatchStart() {
    switch (gSubState) {
    case kAnnounceSearch:
        ShowStatus(StatusKind::Control, "SEARCH");
        gSubState = kMarkerFirst;
        return false;
    case kMarkerFirst:
        gSubState = MatchByte(kMarkerByte, kMarkerFirst, kMarkerSecond, kMarkerFirst);
        return false;
    case kMarkerSecond:
        gSubState = MatchByte(kMarkerByte, kMarkerSecond, kMarkerThird, kMarkerFirst);
        return false;
    case kMarkerThird:
        gSubState = MatchByte(kMarkerByte, kMarkerThird, kMarkerLast, kMarkerFirst);
        return false;
    case kMarkerLast:
        gSubState = MatchByte(kMarkerLastByte, kMarkerLast, kMarkerFifth, kMarkerFirst);
        return false;
    case kMarkerFifth:
        // The marker's fifth byte is read and not judged.
        gSubState = MatchByte(kMarkerFifthByte, kMarkerFifth, kMarkerFirst, kMarkerFirst);
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
        gSubState = kMarkerFirst;
        return false;
    }
}

SatelliteDecoder2::SyncSearch SatelliteDecoder2::FindPreambleSync() {
    switch (gSubState) {
    case kPreambleInverted:
        gSubState =
            MatchByte(kInvertedPreambleByte, kPreambleInverted, kInPreamble, kPreambleUpright);
        if (gSubState == kInPreamble) {
            Trace("[Found PREAMBLE inverted]");
            gPreambleByte = kInvertedPreambleByte;
            preambleLength_ = 1;
        }
        return SyncSearch::Going;
    case kPreambleUpright:
        gSubState = MatchByte(kPreambleByte, kPreambleUpright, kInPreamble, kPreambleInverted);
        if (gSubState == kInPreamble) {
            Trace("[Found PREAMBLE]");
            gPreambleByte = kPreambleByte;
            preambleLength_ = 1;
        }
        return SyncSearch::Going;
    case kInPreamble:
        gSubState = ContinuePreamble();
        return SyncSearch::Going;
    case kSyncFirst:
        // The byte that ended the preamble may be the sync's first.
        gSubState = gLastChar == kSyncBytes[0] ? kSyncSecond : kPreambleInverted;
        return SyncSearch::Going;
    case kSyncSecond:
        gSubState = MatchByte(kSyncBytes[1], kSyncSecond, kSyncThird, kBadSync);
        return SyncSearch::Going;
    case kSyncThird:
        gSubState = MatchByte(kSyncBytes[2], kSyncThird, kSyncLast, kBadSync);
        return SyncSearch::Going;
    case kSyncLast:
        gSubState = MatchByte(kSyncBytes[3], kSyncLast, kSyncFirst, kBadSync);
        return gSubState == kSyncFirst ? SyncSearch::Found : SyncSearch::Going;
    case kBadSync:
        LogDecoder("BAD SYNC.");
        return SyncSearch::Failed;
    default:
        gSubState = kPreambleInverted;
        return SyncSearch::Going;
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
    const int next = MatchByte(gPreambleByte, kInPreamble, kInPreamble, kSyncFirst);
    if (next == kInPreamble && gLastChar >= 0) {
        ShowStatus(StatusKind::Control, QByteArrayLiteral("PREAMBLE")); // every preamble byte
        noteLongPreamble();
    }
    return next;
}
