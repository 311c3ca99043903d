#include "relay/PageWatches.h"

#include "config/ErrorCodes.h"
#include "logging/Logs.h"

#include <QSet>
#include <algorithm>

namespace relay {

namespace {

constexpr char kStx = '\x02';
constexpr char kCr = '\r';
constexpr int kMaxAddressDigits = 7;
constexpr qint64 kSecondsPerMinute = 60;

// The function letter and address of a page packet (STX rate CR frequency CR
// function CR address CR ...). Frame notices and idle messages carry the rate
// "2000": they are the relay's own, not pages.
bool PageAddress(const QByteArray& packet, char& function, qint32& ric) {
    if (packet.isEmpty() || packet.front() != kStx)
        return false;
    const qsizetype rateEnd = packet.indexOf(kCr, 1);
    if (rateEnd < 0 || (rateEnd == 5 && qstrncmp(packet.constData() + 1, "2000", 4) == 0))
        return false;
    const qsizetype frequencyEnd = packet.indexOf(kCr, rateEnd + 1);
    if (frequencyEnd < 0 || frequencyEnd + 2 >= packet.size() || packet[frequencyEnd + 2] != kCr)
        return false;
    function = packet[frequencyEnd + 1];
    ric = 0;
    qsizetype at = frequencyEnd + 3;
    for (int digits = 0; at < packet.size() && packet[at] != kCr; ++at, ++digits) {
        const char c = packet[at];
        if (c < '0' || c > '9' || digits == kMaxAddressDigits)
            return false;
        ric = ric * 10 + (c - '0');
    }
    return at < packet.size();
}

bool SameWatch(const Watch& a, const Watch& b) {
    return a.description == b.description && a.ric == b.ric && a.function == b.function;
}

} // namespace

PageWatches::PageWatches(platform::Time time, ErrorCodes& warnings, Logs& logs)
    : time_(time), warnings_(warnings), logs_(logs) {}

void PageWatches::reportRow(int row, const QString& reason) {
    logs_.LogError(QStringLiteral("System: ") + reason);
    warnings_.ShowWarning(ErrorCode::LoadWatches, reason, row);
}

void PageWatches::Load(const QList<WatchRow>& rows) {
    const QDateTime now = time_.Now();
    if (rows.size() > kMaxWatches)
        logs_.LogError(
            QStringLiteral("System: No of watches in database is greater than MAX Allowed of [%1]")
                .arg(kMaxWatches));
    std::vector<Watched> kept;
    QSet<QString> described;
    for (int i = 0; i < rows.size() && i < kMaxWatches; ++i) {
        const auto read = ReadWatchRow(rows[i]);
        if (const QString* reason = std::get_if<QString>(&read)) {
            reportRow(i, *reason);
            continue;
        }
        const Watch& watch = std::get<Watch>(read);
        if (described.contains(watch.description)) {
            reportRow(i, QStringLiteral("Watch %1: a second row with this Description is not used")
                             .arg(watch.description));
            continue;
        }
        described.insert(watch.description);
        if (!watch.active)
            continue;
        Watched watched{watch, i, now, false, false, now};
        for (const Watched& before : watches_)
            if (SameWatch(before.watch, watch))
                watched = Watched{
                    watch, i, before.countedFrom, before.seen, before.missed, before.statusSince};
        kept.push_back(watched);
    }
    watches_ = std::move(kept);
    byAddress_.clear();
    for (int i = 0; i < int(watches_.size()); ++i)
        byAddress_.emplace_back(watches_[size_t(i)].watch.ric, i);
    std::sort(byAddress_.begin(), byAddress_.end());
}

void PageWatches::Relayed(const QByteArray& packet) {
    if (byAddress_.empty())
        return;
    char function = 0;
    qint32 ric = 0;
    if (!PageAddress(packet, function, ric))
        return;
    const auto first =
        std::lower_bound(byAddress_.begin(), byAddress_.end(), std::pair<qint32, int>(ric, 0));
    for (auto it = first; it != byAddress_.end() && it->first == ric; ++it) {
        Watched& watched = watches_[size_t(it->second)];
        if (watched.watch.function == 0 || watched.watch.function == function)
            seen(watched);
    }
}

void PageWatches::seen(Watched& watched) {
    const QDateTime now = time_.Now();
    if (watched.missed) {
        logs_.LogError(QStringLiteral("System: Test page %1 (%2) seen again after %3 min")
                           .arg(watched.watch.description, watched.watch.address)
                           .arg(watched.countedFrom.secsTo(now) / kSecondsPerMinute));
        watched.missed = false;
        watched.statusSince = now;
    }
    watched.countedFrom = now;
    watched.seen = true;
    // Also for a miss warned of before a restart, which the watch forgot.
    warnings_.Ended(AlarmCondition::WatchedPageSeen, watched.row);
}

void PageWatches::Check() {
    const QDateTime now = time_.Now();
    for (Watched& watched : watches_) {
        if (watched.missed)
            continue;
        const qint64 allowed =
            (qint64(watched.watch.everyMinutes) + kGraceMinutes) * kSecondsPerMinute;
        if (watched.countedFrom.secsTo(now) <= allowed)
            continue;
        watched.missed = true;
        watched.statusSince = now;
        warnings_.ShowWarning(
            ErrorCode::WatchTestPages,
            QStringLiteral("Test page %1 (%2) not seen since %3")
                .arg(watched.watch.description, watched.watch.address, sinceText(watched)),
            watched.row);
    }
}

// Its last page, or when the watch was loaded if none has come since.
QString PageWatches::sinceText(const Watched& watched) const {
    return time_.texts().DateTime(watched.countedFrom);
}

void PageWatches::AppendChecks(QList<health::Check>& checks) const {
    for (const Watched& watched : watches_) {
        QString state;
        if (watched.missed)
            state = QStringLiteral("not seen since ") + sinceText(watched);
        else if (watched.seen)
            state = QStringLiteral("last seen ") + sinceText(watched);
        else
            state = QStringLiteral("waiting since ") + sinceText(watched);
        checks << health::Check{QStringLiteral("watch:") + watched.watch.description,
                                watched.missed ? health::Status::Degraded : health::Status::Ok,
                                state, watched.statusSince};
    }
}

} // namespace relay
