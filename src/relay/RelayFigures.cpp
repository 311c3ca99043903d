#include "relay/RelayFigures.h"

#include <QList>

namespace relay {

namespace {

constexpr char kSTX = '\x02';
constexpr char kCR = '\r';
constexpr QByteArrayView kRelayRate = "2000";
constexpr QByteArrayView kNoticeAddress = "1234566";
constexpr QByteArrayView kIdleAddress = "1234568";
// Fields a packet's kind is read from: rate, frequency, function, address.
constexpr int kFieldsRead = 4;

// The first lines of a packet, without copying: as many as it has, up to kFieldsRead.
int SplitFields(const QByteArray& packet, std::array<QByteArrayView, kFieldsRead>& fields) {
    if (packet.isEmpty() || packet.front() != kSTX)
        return 0;
    const QByteArrayView rest = QByteArrayView(packet).sliced(1);
    qsizetype start = 0;
    int count = 0;
    while (count < kFieldsRead) {
        const qsizetype end = rest.indexOf(kCR, start);
        if (end < 0)
            break;
        fields[count++] = rest.sliced(start, end - start);
        start = end + 1;
    }
    return count;
}

} // namespace

void RelayFigures::Count(const QByteArray& packet) {
    std::array<QByteArrayView, kFieldsRead> fields{};
    const int count = SplitFields(packet, fields);
    if (count < 2)
        return; // not a packet the relay makes
    if (fields[0] != kRelayRate) {
        countPage(fields[0], fields[1]);
        return;
    }
    // The idle message: "2000", "1234568", text; or laid out as a page.
    if (fields[1] == kIdleAddress || (count == kFieldsRead && fields[3] == kIdleAddress)) {
        ++idle_;
        return;
    }
    if (count < kFieldsRead || fields[3] != kNoticeAddress)
        return;
    if (fields[1] == "1")
        ++firstStarts_;
    else if (fields[1] == "2")
        ++secondStarts_;
    else
        ++batchEnds_;
}

void RelayFigures::countPage(QByteArrayView rate, QByteArrayView frequency) {
    for (int k = 0; k < pageKinds_; ++k) {
        if (pages_[k].rate == rate && pages_[k].frequency == frequency) {
            ++pages_[k].count;
            return;
        }
    }
    if (pageKinds_ == kPageKinds) {
        ++otherPages_;
        return;
    }
    pages_[pageKinds_++] = {rate.toByteArray(), frequency.toByteArray(), 1};
}

void RelayFigures::Dispatched(Clock::time_point arrival, Clock::time_point sent) {
    const double seconds = std::chrono::duration<double>(sent - arrival).count();
    ++dispatches_;
    dispatchSeconds_ += seconds;
    for (size_t b = 0; b < kBuckets.size(); ++b) {
        if (seconds <= kBuckets[b]) {
            ++inBucket_[b];
            return;
        }
    }
}

void RelayFigures::WriteMetrics(platform::MetricsText& text) const {
    using Type = platform::MetricsText::Type;
    text.Family("ombrix_pages_relayed_total", Type::Counter,
                "Pages relayed to the outputs, by the frequency and data rate of their block");
    for (int k = 0; k < pageKinds_; ++k)
        text.Sample(static_cast<double>(pages_[k].count),
                    {{"frequency", QString::fromLatin1(pages_[k].frequency)},
                     {"rate", QString::fromLatin1(pages_[k].rate)}});
    if (otherPages_ > 0)
        text.Sample(static_cast<double>(otherPages_),
                    {{"frequency", QStringLiteral("other")}, {"rate", QStringLiteral("other")}});
    text.Family("ombrix_frame_notices_total", Type::Counter,
                "Frame notices relayed: start of a block on frequency 1 or 2, end of a batch");
    text.Sample(static_cast<double>(firstStarts_), {{"kind", QStringLiteral("f1_start")}});
    text.Sample(static_cast<double>(secondStarts_), {{"kind", QStringLiteral("f2_start")}});
    text.Sample(static_cast<double>(batchEnds_), {{"kind", QStringLiteral("end_of_batch")}});
    text.Family("ombrix_idle_messages_total", Type::Counter,
                "Idle messages relayed (NO data on Relay Input), the operator's included");
    text.Sample(static_cast<double>(idle_));
    text.Family("ombrix_dispatch_seconds", Type::Histogram,
                "Seconds from the arrival of the carrier's bytes to the send of their packet to "
                "the last client that could take it");
    qint64 cumulative = 0;
    for (size_t b = 0; b < kBuckets.size(); ++b) {
        cumulative += inBucket_[b];
        text.Sample("_bucket", static_cast<double>(cumulative), {},
                    QByteArray::number(kBuckets[b], 'g', 6));
    }
    text.Sample("_bucket", static_cast<double>(dispatches_), {}, "+Inf");
    text.Sample("_sum", dispatchSeconds_);
    text.Sample("_count", static_cast<double>(dispatches_));
}

} // namespace relay
