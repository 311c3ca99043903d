#include "telstra/CarrierMonitor.h"

#include "telstra/frmDecSockets.h"

#include <QStringList>

namespace {

using Type = platform::MetricsText::Type;

constexpr double kMsPerSecond = 1000.0;

bool InUse(const frmDecSockets& carriers, int i) {
    const TelstraSocket& e = carriers.Entry(i);
    return e.Status != TelstraSocket::Empty && e.Active;
}

} // namespace

health::Status CarrierStatus(const frmDecSockets& carriers) {
    int up = 0;
    int quiet = 0;
    for (int i = 0; i < carriers.CarrierCount(); ++i) {
        if (!carriers.Carrying(i))
            continue;
        ++up;
        if (carriers.Feed().Quiet(i))
            ++quiet;
    }
    if (up == 0 || quiet == up)
        return health::Status::Failing;
    return quiet > 0 ? health::Status::Degraded : health::Status::Ok;
}

QString CarrierTimeText(const QDateTime& when) {
    return when.time().toString(QStringLiteral("hh:mm:ss"));
}

QString CarrierState(const frmDecSockets& carriers, int i) {
    using S = platform::SocketState;
    const TelstraSocket& entry = carriers.Entry(i);
    const S socket = carriers.Socket(i).State();
    if (!entry.Active)
        return QStringLiteral("Not active");
    if (socket == S::Connected && carriers.Feed().Quiet(i) &&
        carriers.Feed().SilentSince(i).isValid())
        return QStringLiteral("Connected, no frames since ") +
               CarrierTimeText(carriers.Feed().SilentSince(i));
    if (socket == S::Connected)
        return QStringLiteral("Connected");
    if (socket == S::Listening)
        return QStringLiteral("Waiting for carrier call-in");
    if (socket == S::Connecting || socket == S::ResolvingHost || socket == S::HostResolved)
        return QStringLiteral("Dialling carrier");
    return QStringLiteral("Closed");
}

void CarrierMonitor::WriteMetrics(platform::MetricsText& text) const {
    writeCarriers(text);
    writeDecoder(text);
}

void CarrierMonitor::writeCarriers(platform::MetricsText& text) const {
    const int rows = carriers_.CarrierCount();
    const FeedWatch& feed = carriers_.Feed();
    const auto label = [&](int i) { return carriers_.Entry(i).Description; };
    text.Family("ombrix_carrier_connected", Type::Gauge,
                "1 while the connection of a Telstra row is up, else 0");
    for (int i = 0; i < rows; ++i)
        text.Sample(carriers_.Carrying(i) ? 1 : 0, {{"carrier", label(i)}});
    text.Family("ombrix_carrier_bytes_total", Type::Counter,
                "Bytes received on the connections of a Telstra row");
    for (int i = 0; i < rows; ++i)
        text.Sample(double(feed.Bytes(i)), {{"carrier", label(i)}});
    text.Family("ombrix_carrier_last_frame_timestamp_seconds", Type::Gauge,
                "When a block marker last came from a Telstra row (0: none since the start)");
    for (int i = 0; i < rows; ++i) {
        const QDateTime last = feed.LastFrame(i);
        text.Sample(last.isValid() ? double(last.toMSecsSinceEpoch()) / kMsPerSecond : 0,
                    {{"carrier", label(i)}});
    }
}

void CarrierMonitor::writeDecoder(platform::MetricsText& text) const {
    const DecoderCounts& counts = carriers_.Counts();
    text.Family("ombrix_decoder_bad_headers_total", Type::Counter,
                "Block headers whose frequency byte is neither F1's nor F2's");
    text.Sample(double(counts.badHeaders));
    text.Family("ombrix_decoder_bad_syncs_total", Type::Counter,
                "Sync codewords missing after a preamble or between batches");
    text.Sample(double(counts.badSyncs));
    text.Family("ombrix_decoder_pages_total", Type::Counter,
                "Pages decoded, by the type they are relayed as (A text, N numeric, T tone)");
    text.Sample(double(counts.alphaPages), {{"type", QStringLiteral("A")}});
    text.Sample(double(counts.numericPages), {{"type", QStringLiteral("N")}});
    text.Sample(double(counts.tonePages), {{"type", QStringLiteral("T")}});
}

// The status as it stands now; its time of change as last noted, or now when
// the change has not been noted yet.
void CarrierMonitor::AppendChecks(QList<health::Check>& checks) const {
    const health::Status status = CarrierStatus(carriers_);
    const FeedWatch& feed = carriers_.Feed();
    const QDateTime since =
        status == feed.Status() && feed.StatusSince().isValid() ? feed.StatusSince() : time_.Now();
    checks << health::Check{QStringLiteral("carrier"), status, stateText(), since};
}

QString CarrierMonitor::rowState(int i) const {
    if (!carriers_.Carrying(i))
        return QStringLiteral("not connected");
    const FeedWatch& feed = carriers_.Feed();
    if (feed.Quiet(i))
        return QStringLiteral("connected, no frames since ") + CarrierTimeText(feed.SilentSince(i));
    if (!feed.LastFrame(i).isValid())
        return QStringLiteral("connected, no frame yet");
    return QStringLiteral("connected, last frame ") + CarrierTimeText(feed.LastFrame(i));
}

// One row in use: its state alone; several: each named.
QString CarrierMonitor::stateText() const {
    QStringList states;
    QStringList named;
    for (int i = 0; i < carriers_.CarrierCount(); ++i) {
        if (!InUse(carriers_, i))
            continue;
        states << rowState(i);
        named << carriers_.Entry(i).Description + QStringLiteral(": ") + states.last();
    }
    if (states.isEmpty())
        return QStringLiteral("no carrier row is active");
    return states.size() == 1 ? states.first() : named.join(QStringLiteral("; "));
}
