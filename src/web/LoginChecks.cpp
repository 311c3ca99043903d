#include "web/LoginChecks.h"

#include "config/Operators.h"
#include "web/LowPriority.h"

#include <QFutureWatcher>
#include <QPromise>
#include <memory>

namespace web {

LoginChecks::LoginChecks(QObject* parent) : QObject(parent) {
    pool_.setMaxThreadCount(kThreads);
}

// The pool waits for the checks still running: each is a fraction of a second.
LoginChecks::~LoginChecks() = default;

bool LoginChecks::Start(const QString& stored, const QString& password,
                        std::function<void(bool)> done) {
    if (inFlight_ >= kMaxInFlight)
        return false;
    ++inFlight_;
    auto promise = std::make_shared<QPromise<bool>>();
    auto* watcher = new QFutureWatcher<bool>(this);
    connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher, done = std::move(done)] {
        --inFlight_;
        const bool matches = watcher->future().resultCount() > 0 && watcher->result();
        watcher->deleteLater();
        done(matches);
    });
    promise->start();
    watcher->setFuture(promise->future());
    pool_.start([promise, stored, password] {
        LowerThisThread(kNice);
        promise->addResult(config::OperatorPasswordMatches(password, stored));
        promise->finish();
    });
    return true;
}

} // namespace web
