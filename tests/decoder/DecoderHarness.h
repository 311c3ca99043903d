#pragma once

// A stream decoder on a recording sink: the packets it relays, the lines of
// its decoder log, its trace and its labels, for the decoder's tests.

#include "RecordingSink.h"
#include "decoder/SatelliteDecoder2.h"

#include <memory>

class DecoderHarness {
public:
    DecoderHarness() { restart(); }

    RecordingSink sink;
    QList<QByteArray>& packets = sink.packets;
    std::unique_ptr<SatelliteDecoder2> decoder;

    // A fresh decoder on the same sink, with nothing relayed yet.
    void restart() {
        packets.clear();
        decoder = std::make_unique<SatelliteDecoder2>(sink);
    }

    // One arrival: the bytes go into the buffer and the framing runs once.
    void feed(const QByteArray& bytes) {
        decoder->AppendToSatBuffer(bytes);
        decoder->FrameStream();
    }

    // Decoder-log lines written since the harness was made, before the log stamps them.
    QList<QByteArray> decoderLog() const { return sink.lines; }

    // What a framing label shows.
    const RecordingSink::Label& label(DecoderSink::StatusLabel which) const {
        return sink.label(which);
    }

    // Packets other than frame notices.
    QList<QByteArray> pages() const {
        QList<QByteArray> found;
        for (const QByteArray& packet : packets)
            if (!packet.contains("\r1234566\r"))
                found << packet;
        return found;
    }
};

// The packet a client expects for a page.
inline QByteArray PagePacket(const char* rate, const char* frequency, const char* function,
                             const char* address, const char* type, const QByteArray& text) {
    return QByteArray("\x02") + rate + "\r" + frequency + "\r" + function + "\r" + address + "\r" +
           type + "\r" + text + "\x03";
}

inline const QByteArray kF1Start("\x02"
                                 "2000\r1\r1\r1234566\rA\rF1 SOT\x03");
inline const QByteArray kF2Start("\x02"
                                 "2000\r2\r1\r1234566\rA\rF2 SOT\x03");
inline const QByteArray kEndOfBatch("\x02"
                                    "2000\r0\r0\r1234566\rA\rEOB\x03");
