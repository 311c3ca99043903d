#include "decoder/SatelliteDecoder2.h"

#include "decoder/MessagePacket.h"

namespace {

// Codewords as stored, i.e. after complementing the received bytes.
bool IsIdleCodeword(const Codeword& cw) {
    return cw[4] == 0x7A && cw[3] == 0x89 && cw[2] == 0xC1;
}

bool IsSyncCodeword(const Codeword& cw) {
    return cw[4] == 0x7C && cw[3] == 0xD2 && cw[2] == 0x15 && cw[1] == 0xD8;
}

// The next block's start marker 29 29 29 52 where a sync codeword belongs.
bool IsEndOfBatch(const Codeword& cw) {
    return cw[4] == 0xD6 && cw[3] == 0xD6 && cw[2] == 0xD6 && cw[1] == 0xAD;
}

// Shown before every codeword: one object, which the label compares by its
// data alone, and nothing built on the stack a codeword.
const QByteArray kDataCaption = QByteArrayLiteral("DATA");

// Once consumed bytes take this much room, they are dropped from the buffer.
constexpr qsizetype kCompactAfter = qsizetype{64} * 1024;

} // namespace

SatelliteDecoder2::SatelliteDecoder2(DecoderSink& sink) : sink_(sink) {}

const char* SatelliteDecoder2::FrameStateName(FrameState state) {
    switch (state) {
    case FrameState::Unset:
        return "";
    case FrameState::GETSTART:
        return "GETSTART";
    case FrameState::GETFREQ:
        return "GETFREQ";
    case FrameState::GETNEXT1:
        return "GETNEXT1";
    case FrameState::GETNEXT2:
        return "GETNEXT2";
    case FrameState::GETBAUD:
        return "GETBAUD";
    case FrameState::GETSYNC:
        return "GETSYNC";
    case FrameState::GETCODE4:
        return "GETCODE4";
    case FrameState::GETCODE3:
        return "GETCODE3";
    case FrameState::GETCODE2:
        return "GETCODE2";
    case FrameState::GETCODE1:
        return "GETCODE1";
    case FrameState::GETDATA:
        return "GETDATA";
    }
    return "";
}

void SatelliteDecoder2::AppendToSatBuffer(const QByteArray& bytes) {
    gSatBuffer.append(bytes);
}

void SatelliteDecoder2::CompactSatBuffer() {
    if (gSatRead >= gSatBuffer.size()) {
        gSatBuffer.clear();
        gSatRead = 0;
    } else if (gSatRead >= kCompactAfter) {
        gSatBuffer.remove(0, gSatRead);
        gSatRead = 0;
    }
}

void SatelliteDecoder2::FrameStream() {
    inFrameStream_ = true;
    tracing_ = sink_.Tracing();
    bool again = true;
    while (again) {
        const qsizetype readBefore = gSatRead;
        try {
            again = step();
        } catch (...) {
            LogCurrentError();
            // A step that failed before taking its byte would fail on it again.
            if (gSatRead == readBefore && HasInput())
                ++gSatRead;
            again = HasInput();
        }
    }
    inFrameStream_ = false;
    CompactSatBuffer();
    ShowWindowChanges();
}

bool SatelliteDecoder2::step() {
    switch (gFrameState) {
    case FrameState::Unset:
        gFrameState = FrameState::GETSTART;
        return true;
    case FrameState::GETSTART:
        return GetStart();
    case FrameState::GETFREQ:
        return GetFreq();
    case FrameState::GETNEXT1:
        return GetHeaderByte(FrameState::GETNEXT2);
    case FrameState::GETNEXT2:
        return GetHeaderByte(FrameState::GETBAUD);
    case FrameState::GETBAUD:
        return GetBaud();
    case FrameState::GETSYNC:
        return GetSync();
    case FrameState::GETCODE4:
        gZeroCodeword = true;
        ShowStatus(StatusKind::Control, kDataCaption);
        return GetCodeByte(4, FrameState::GETCODE3);
    case FrameState::GETCODE3:
        return GetCodeByte(3, FrameState::GETCODE2);
    case FrameState::GETCODE2:
        return GetCodeByte(2, FrameState::GETCODE1);
    case FrameState::GETCODE1:
        return GetCodeByte(1, FrameState::GETDATA);
    case FrameState::GETDATA:
        return GetData();
    }
    return false;
}

bool SatelliteDecoder2::GetStart() {
    if (!FindBatchStart())
        return HasInput();
    ++counts.blockMarkers;
    Guarded([this] { sink_.StartDataGapCountdown(); });
    EmptyByteTrace();
    gHeaderSync = NowText() + "\tHeader Sync: ";
    gFrameState = FrameState::GETFREQ;
    ShowStatus(StatusKind::Control, "HEADER");
    return true;
}

bool SatelliteDecoder2::GetFreq() {
    if (gMarkerBytePending) {
        if (!ReadByte())
            return false;
        gMarkerBytePending = false;
    }
    if (!ReadByte())
        return false;
    if (gLastChar == '2') {
        gFrameState = FrameState::GETNEXT1;
        gHeaderSync += "F2 ";
        gFrequency = "2";
        Trace("[Found F2]");
        Relay(decoder::F2StartNotice());
    } else if (gLastChar == '0') {
        gHeaderSync += "F1 ";
        gFrequency = "1";
        gFrameState = FrameState::GETNEXT1;
        Trace("[Found F1]");
        Relay(decoder::F1StartNotice());
    } else {
        gFrequency = "1";
        ++counts.badHeaders;
        LogDecoder("B A D   H E A D E R");
        gFrameState = FrameState::GETSTART;
        Trace("[Found BAD HEADER back to start]");
    }
    return true;
}

bool SatelliteDecoder2::GetHeaderByte(FrameState next) {
    if (!ReadByte())
        return false;
    gFrameState = next;
    return true;
}

bool SatelliteDecoder2::GetBaud() {
    if (!ReadByte())
        return false;
    if (gLastChar == '1') {
        Trace("[Found 1200]");
        gHeaderSync += "1200 ";
        gRate = "1200";
    } else {
        Trace("[Found 512]");
        gHeaderSync += "0512 ";
        gRate = "512";
    }
    gFrameState = FrameState::GETSYNC;
    gHeaderSync = ShowStatus(StatusKind::HEADER, gHeaderSync);
    EmptyByteTrace();
    return true;
}

bool SatelliteDecoder2::GetSync() {
    switch (FindPreambleSync()) {
    case SyncSearch::Going:
        return HasInput();
    case SyncSearch::Found:
        Trace("[Found SYNC]");
        EmptyByteTrace();
        gFrameState = FrameState::GETCODE4;
        gCodewordPos = 0;
        ShowStatus(StatusKind::Control, "SYNC");
        return true;
    case SyncSearch::Failed:
        break;
    }
    gFrameState = FrameState::GETSTART;
    ++counts.badSyncs;
    Trace("[BAD NO SYNC back to Start]");
    gSubState = kMarkerFirst;
    LogDecoder("Failed to SYNC return to start");
    return true;
}

// Goes on with the codeword's next bytes while the arrival has them: one
// step a codeword instead of one a byte, each byte taken as its own step
// would take it.
bool SatelliteDecoder2::GetCodeByte(int element, FrameState next) {
    static_assert(int(FrameState::GETCODE1) + 1 == int(FrameState::GETDATA) &&
                      int(FrameState::GETCODE4) + 3 == int(FrameState::GETCODE1),
                  "the codeword's byte states follow each other");
    if (!Tracing() && gSatBuffer.size() - gSatRead >= element) {
        TakeCodeBytes(element);
        return true;
    }
    for (;;) {
        if (!ReadByte())
            return false;
        // The carrier sends every codeword bit complemented.
        gCodeword[element] = 255 - gLastChar;
        gFrameState = next;
        if (gCodeword[element] != 255)
            gZeroCodeword = false;
        if (element == 1)
            return true;
        --element;
        next = FrameState(int(next) + 1);
    }
}

// The rest of a codeword, from `element` down, when the buffer holds it and
// no byte is traced: what reading them one by one does, without the checks.
void SatelliteDecoder2::TakeCodeBytes(int element) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(gSatBuffer.constData()) + gSatRead;
    gSatRead += element;
    bool zero = true;
    for (int i = 0; element >= 1; ++i, --element) {
        gByteTrace.Append(bytes[i]);
        // The carrier sends every codeword bit complemented.
        gCodeword[size_t(element)] = 255 - bytes[i];
        zero = zero && bytes[i] == 0;
        gLastChar = bytes[i];
    }
    if (!zero)
        gZeroCodeword = false;
    byteTraceRead_ = true;
    gFrameState = FrameState::GETDATA;
}

bool SatelliteDecoder2::GetData() {
    gFrameState = FrameState::GETCODE4;
    gCodewordPos += 1;
    EmptyByteTrace();
    if (gCodewordPos == kSyncSlot) {
        gCodewordPos = 0;
        if (IsSyncCodeword(gCodeword)) {
            // another batch follows
        } else if (IsEndOfBatch(gCodeword)) {
            ++counts.blockMarkers;
            gFrameState = FrameState::GETFREQ;
            ShowStatus(StatusKind::Control, "HEADER");
            // The marker's fifth byte carries nothing; when it has not arrived
            // yet, the header step skips it first.
            if (!ReadByte())
                gMarkerBytePending = true;
        } else {
            gFrameState = FrameState::GETSTART;
            // Four zero bytes are the carrier's end of a batch, not a fault.
            if (!gZeroCodeword)
                ++counts.badSyncs;
            Trace("[NO SYNC back to Start]");
        }
    } else {
        DecodeCodeword();
    }
    if (gZeroCodeword) {
        ShowStatus(StatusKind::Control, "END Batch ");
        Trace("[Found EOB]");
        Relay(decoder::EndOfBatchNotice());
    }
    return true;
}

void SatelliteDecoder2::DecodeCodeword() {
    // An address ends the page before it: the page goes out with its own
    // address and function.
    if (gCodeword[4] < 128 && !IsIdleCodeword(gCodeword))
        FlushPage();
    if (pocsag.ProcessCodeword(gCodewordPos, gCodeword)) {
        FlushPage();
        return;
    }
    if (page.gMessageText.size() >= kLongestPageText)
        FlushPage();
}
