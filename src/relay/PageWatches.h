#pragma once

#include "config/HealthCheck.h"
#include "platform/Time.h"
#include "relay/WatchRow.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <utility>
#include <vector>

class ErrorCodes;
class Logs;

namespace relay {

// The test pages a site sends at fixed times, watched as pages are relayed:
// a watch whose page has not been relayed within its EveryMinutes plus one
// minute (counted from when it was loaded, then from its last page) raises
// warning 113 once for the miss, and writes a line when its page comes
// again. Each active watch is a health check, degraded while it misses.
class PageWatches final : public health::CheckSource {
public:
    PageWatches(platform::Time time, ErrorCodes& warnings, Logs& logs);

    // The rows of the Watches table, at start-up and at each commit: a bad row
    // is reported (warning 114) and left out. A watch that a commit leaves as
    // it was keeps what it has seen.
    void Load(const QList<WatchRow>& rows);
    // Every packet handed to dispatch: an address lookup, no allocation.
    void Relayed(const QByteArray& packet);
    // The timer's check for watches whose page is late.
    void Check();

    void AppendChecks(QList<health::Check>& checks) const override;

    // A minute's grace beyond each watch's interval: a page sent on the
    // minute may be relayed a little after it.
    static constexpr int kGraceMinutes = 1;

private:
    struct Watched {
        Watch watch;
        int row = 0;           // its row in the table, for the warning
        QDateTime countedFrom; // loaded, or its page last relayed
        bool seen = false;     // its page has been relayed since it was loaded
        bool missed = false;
        QDateTime statusSince; // when it last became missed or well
    };
    void reportRow(int row, const QString& reason);
    void seen(Watched& watched);
    QString sinceText(const Watched& watched) const;

    platform::Time time_;
    ErrorCodes& warnings_;
    Logs& logs_;
    std::vector<Watched> watches_;                  // the active ones
    std::vector<std::pair<qint32, int>> byAddress_; // address, index in watches_; sorted
};

} // namespace relay
