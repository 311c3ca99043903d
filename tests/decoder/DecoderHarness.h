#pragma once

// A relay with a stream decoder on a real work folder, the packets it relays
// and the lines of its decoder log, for the decoder's tests.

#include "WorkFolder.h"
#include "decoder/SatelliteDecoder2.h"

#include <QFile>
#include <memory>

class DecoderHarness {
public:
    DecoderHarness() {
        if (!t->Form_Load())
            throw std::runtime_error("start-up failed");
        restart();
    }

    WorkFolder folder;
    TestSystem t{folder.path()};
    std::unique_ptr<SatelliteDecoder2> decoder;
    QList<QByteArray> packets;

    // A fresh decoder on the same system, with nothing relayed yet.
    void restart() {
        QObject::disconnect(&t->outputRules, nullptr, nullptr, nullptr);
        packets.clear();
        decoder = std::make_unique<SatelliteDecoder2>(*t.system);
        QObject::connect(&t->outputRules, &OutputRules::relayed,
                         [this](const QByteArray& packet) { packets << packet; });
    }

    // One arrival: the bytes go into the buffer and the framing runs once.
    void feed(const QByteArray& bytes) {
        decoder->AppendToSatBuffer(bytes);
        decoder->FrameStream();
    }

    // Decoder-log lines written since start-up, without their time stamps.
    QList<QByteArray> decoderLog() const {
        QFile file(folder.file(QStringLiteral("LOGS/DECODE.log")));
        if (!file.open(QIODevice::ReadOnly))
            return {};
        QList<QByteArray> lines = file.readAll().split('\n');
        QList<QByteArray> messages;
        for (qsizetype i = 7; i < lines.size(); ++i) {
            QByteArray line = lines[i];
            if (line.endsWith('\r'))
                line.chop(1);
            if (!line.isEmpty())
                messages << line.mid(line.indexOf('\t') + 1);
        }
        return messages;
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
