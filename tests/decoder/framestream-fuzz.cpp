// Arbitrary bytes into the stream framing. It must never crash, every call
// must return (it waits only for more input, so nothing may stay in the
// buffer), and every packet it relays must have the six-field layout.
//
// With clang this is a libFuzzer target; configure a separate build folder:
//   cmake -S . -B build-fuzz -G Ninja -DCMAKE_CXX_COMPILER=clang++
//     -DCMAKE_BUILD_TYPE=RelWithDebInfo -DOMBRIX_WERROR=OFF
//     -DCMAKE_CXX_FLAGS="-fsanitize=fuzzer-no-link,address,undefined"
//   cmake --build build-fuzz --target framestream-fuzz
//   build-fuzz/tests/framestream-fuzz -max_total_time=600 -timeout=10 CORPUS_DIR
// Elsewhere it is a long run of random inputs built from pieces of real
// streams: build/tests/framestream-fuzz [seconds] [seed]
// Neither is run by ctest.

#include "RecordingSink.h"
#include "decoder/SatelliteDecoder2.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>

namespace {

void CheckPacket(const QByteArray& packet) {
    if (!packet.startsWith('\x02') || !packet.endsWith('\x03') || packet.count('\r') < 5) {
        std::fprintf(stderr, "malformed packet\n");
        std::abort();
    }
}

// The first byte says how the rest is cut into arrivals, whether the verbose
// trace is on and whether relaying fails (so that the error path runs too);
// the rest is the stream.
void RunOne(const uint8_t* data, size_t size) {
    if (size == 0)
        return;
    const uint8_t control = data[0];
    RecordingSink sink;
    sink.tracing = (control & 1) != 0;
    const bool relayFails = (control & 2) != 0;
    sink.onRelay = [relayFails](const QByteArray& packet) {
        CheckPacket(packet);
        if (relayFails)
            throw std::runtime_error("relay refused");
    };
    const size_t piece = (control >> 2) == 0 ? size : size_t(control >> 2);
    SatelliteDecoder2 decoder(sink);
    for (size_t at = 1; at < size; at += piece) {
        const size_t length = std::min(piece, size - at);
        decoder.AppendToSatBuffer(
            QByteArray(reinterpret_cast<const char*>(data + at), qsizetype(length)));
        decoder.FrameStream();
        if (decoder.SatBufferLength() != 0) {
            std::fprintf(stderr, "FrameStream returned with input left\n");
            std::abort();
        }
    }
    decoder.FrameStream(); // a timer tick with nothing new
}

} // namespace

#ifdef OMBRIX_LIBFUZZER

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    RunOne(data, size);
    return 0;
}

#else

#include <QElapsedTimer>
#include <QRandomGenerator>

namespace {

// Pieces of real streams, so that random inputs reach every state.
QByteArray Piece(QRandomGenerator& random) {
    static const QByteArray kPieces[] = {
        QByteArray("\x29\x29\x29\x52\x04", 5),
        QByteArray("\x29\x29\x29\x29\x52", 5),
        QByteArray("2001"),
        QByteArray("0000"),
        QByteArray("\x83\x2D\xEA\x27", 4),
        QByteArray("\x85\x76\x3E\x68", 4), // idle, complemented
        QByteArray(4, '\0'),
        QByteArray("\xD6\xD6\xD6\xAD", 4),
    };
    const int kind = random.bounded(12);
    if (kind < 8)
        return kPieces[kind];
    if (kind < 10)
        return QByteArray(random.bounded(1, 20), char(kind == 8 ? 0xAA : 0x55));
    QByteArray bytes(random.bounded(1, 68), '\0');
    for (char& byte : bytes)
        byte = char(random.bounded(256));
    return bytes;
}

QByteArray RandomInput(QRandomGenerator& random) {
    QByteArray input(1, char(random.bounded(256)));
    const int pieces = random.bounded(1, 120);
    for (int i = 0; i < pieces; ++i)
        input += Piece(random);
    return input;
}

} // namespace

int main(int argc, char** argv) {
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 60;
    const quint32 seed = argc > 2 ? quint32(std::strtoul(argv[2], nullptr, 10)) : 1;
    QRandomGenerator random(seed);
    QElapsedTimer timer;
    timer.start();
    qint64 runs = 0;
    qint64 bytes = 0;
    while (timer.elapsed() < qint64(seconds) * 1000) {
        const QByteArray input = RandomInput(random);
        RunOne(reinterpret_cast<const uint8_t*>(input.constData()), size_t(input.size()));
        ++runs;
        bytes += input.size();
    }
    std::printf("%lld inputs (%lld bytes) in %.0f s, seed %u: no crash, no input left behind\n",
                static_cast<long long>(runs), static_cast<long long>(bytes),
                timer.elapsed() / 1000.0, seed);
    return 0;
}

#endif
