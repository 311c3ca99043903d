#pragma once

#include "platform/MetricsText.h"

#include <QByteArray>
#include <array>
#include <chrono>

namespace relay {

// The packets relay dispatch handed out, told apart as a client tells them
// apart: the rate "2000" marks the relay's own packets, the address 1234566
// a frame notice among them, the address 1234568 the idle message; every
// other packet is a page, counted by the rate and frequency its decoder gave
// it. And how long dispatch took, from the carrier's bytes to the sends.
// Plain counters on the relay's thread: no lock, no allocation per packet.
class RelayFigures final : public platform::MetricsSource {
public:
    using Clock = std::chrono::steady_clock;

    // A packet relay dispatch handed out.
    void Count(const QByteArray& packet);
    // The packet of carrier bytes that arrived at `arrival` has been sent to
    // every client that could take it.
    void Dispatched(Clock::time_point arrival, Clock::time_point sent);

    void WriteMetrics(platform::MetricsText& text) const override;

    // The buckets' upper bounds, 100 microseconds to 1 second.
    static constexpr std::array<double, 13> kBuckets{
        0.0001, 0.00025, 0.0005, 0.001, 0.0025, 0.005, 0.01, 0.025, 0.05, 0.1, 0.25, 0.5, 1.0};
    // Kinds of rate and frequency counted one by one; a decoder makes two of
    // each. Further kinds, from a stream the decoder never meant, share "other".
    static constexpr int kPageKinds = 8;

private:
    struct PageKind {
        QByteArray rate;
        QByteArray frequency;
        qint64 count = 0;
    };
    void countPage(QByteArrayView rate, QByteArrayView frequency);

    std::array<PageKind, kPageKinds> pages_{};
    int pageKinds_ = 0;
    qint64 otherPages_ = 0;
    qint64 firstStarts_ = 0;  // F1 SOT
    qint64 secondStarts_ = 0; // F2 SOT
    qint64 batchEnds_ = 0;    // EOB
    qint64 idle_ = 0;
    std::array<qint64, kBuckets.size()> inBucket_{};
    qint64 dispatches_ = 0;
    double dispatchSeconds_ = 0;
};

} // namespace relay
