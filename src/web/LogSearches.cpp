#include "web/LogSearches.h"

#include "web/LowPriority.h"

#include <QFutureWatcher>
#include <QPromise>

namespace web {

LogSearches::LogSearches(QObject* parent) : QObject(parent) {
    pool_.setMaxThreadCount(kThreads);
}

LogSearches::~LogSearches() {
    cancelled_->store(true);
    pool_.waitForDone();
}

bool LogSearches::Start(const logfiles::LogPlace& place, const logsearch::Query& query,
                        const platform::DateTimeText& texts,
                        std::function<void(const logsearch::Result&)> done) {
    if (inFlight_ >= kMaxInFlight)
        return false;
    ++inFlight_;
    auto promise = std::make_shared<QPromise<logsearch::Result>>();
    auto* watcher = new QFutureWatcher<logsearch::Result>(this);
    connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher, done = std::move(done)] {
        --inFlight_;
        const logsearch::Result result =
            watcher->future().resultCount() > 0 ? watcher->result() : logsearch::Result{{}, true};
        watcher->deleteLater();
        done(result);
    });
    promise->start();
    watcher->setFuture(promise->future());
    // Copies: the worker shares nothing with the relay but the stop flag.
    pool_.start([promise, place, query, texts, cancelled = cancelled_] {
        LowerThisThread(kNice);
        promise->addResult(
            logsearch::SearchSystemLog(logfiles::SystemLogFiles(place), query, texts, *cancelled));
        promise->finish();
    });
    return true;
}

} // namespace web
