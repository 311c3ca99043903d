#include "web/HistorySearches.h"

#include "history/HistorySearch.h"
#include "platform/Connection.h"
#include "platform/Error.h"
#include "web/LowPriority.h"

#include <QFutureWatcher>
#include <QPromise>
#include <QScopeGuard>
#include <QSqlDatabase>
#include <QUuid>
#include <memory>

namespace web {

namespace {

HttpReply RunOn(const QString& file, const HistorySearches::Search& search) {
    const QString name =
        QStringLiteral("history-search-") + QUuid::createUuid().toString(QUuid::Id128);
    try {
        QSqlDatabase db = history::OpenReader(file, name);
        const auto close = qScopeGuard([&] {
            db = QSqlDatabase();
            platform::CloseDatabase(name);
        });
        return search(db);
    } catch (const platform::Error& error) {
        return HttpReply::Error(Status::ServiceUnavailable,
                                QStringLiteral("The history cannot be read: %1").arg(error.text()));
    } catch (const std::exception& error) {
        return HttpReply::Error(Status::InternalServerError, QString::fromLocal8Bit(error.what()));
    }
}

} // namespace

HistorySearches::HistorySearches(QObject* parent) : QObject(parent) {
    pool_.setMaxThreadCount(kThreads);
}

HistorySearches::~HistorySearches() {
    pool_.waitForDone();
}

bool HistorySearches::Start(const QString& file, Search search,
                            std::function<void(const HttpReply&)> done) {
    if (inFlight_ >= kMaxInFlight)
        return false;
    ++inFlight_;
    auto promise = std::make_shared<QPromise<HttpReply>>();
    auto* watcher = new QFutureWatcher<HttpReply>(this);
    connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher, done = std::move(done)] {
        --inFlight_;
        const HttpReply reply =
            watcher->future().resultCount() > 0
                ? watcher->result()
                : HttpReply::Error(Status::ServiceUnavailable, QStringLiteral("search stopped"));
        watcher->deleteLater();
        done(reply);
    });
    promise->start();
    watcher->setFuture(promise->future());
    // The worker shares nothing with the relay: the file's name and the
    // search's values go in as copies, the answer comes back.
    pool_.start([promise, file, search = std::move(search)] {
        LowerThisThread(kNice);
        promise->addResult(RunOn(file, search));
        promise->finish();
    });
    return true;
}

} // namespace web
