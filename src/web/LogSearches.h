#pragma once

#include "logging/LogFiles.h"
#include "logging/LogSearch.h"
#include "platform/DateTimeText.h"

#include <QObject>
#include <QThreadPool>
#include <atomic>
#include <functional>
#include <memory>

namespace web {

// Searches of the System log, off the relay's thread: a search reads files
// of hundreds of megabytes, which on the relay's one thread would hold every
// page. One low-priority thread runs them, one after the other; each gets
// copies of what it needs and hands its lines back on the relay's loop. Only
// a few wait at once for the whole console.
class LogSearches : public QObject {
    Q_OBJECT
public:
    static constexpr int kThreads = 1;
    static constexpr int kMaxInFlight = 2;
    static constexpr int kNice = 10;

    explicit LogSearches(QObject* parent = nullptr);
    // Stops the search running (it checks between lines) and waits for it.
    ~LogSearches() override;

    // Starts a search of the System log at PLACE; DONE gets the lines later,
    // on this object's thread. False, at once, when kMaxInFlight are running.
    bool Start(const logfiles::LogPlace& place, const logsearch::Query& query,
               const platform::DateTimeText& texts,
               std::function<void(const logsearch::Result&)> done);
    int InFlight() const { return inFlight_; }

private:
    std::shared_ptr<std::atomic<bool>> cancelled_ = std::make_shared<std::atomic<bool>>(false);
    QThreadPool pool_;
    int inFlight_ = 0;
};

} // namespace web
