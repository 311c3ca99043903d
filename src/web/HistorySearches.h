#pragma once

#include "web/HttpReply.h"

#include <QObject>
#include <QString>
#include <QThreadPool>
#include <functional>

class QSqlDatabase;

namespace web {

// Searches of history.mdb, off the relay's thread: a search of millions of
// pages reads the disk, and on the relay's one thread it would hold every
// page. One low-priority thread runs them, one after the other, each on a
// read-only connection of its own opened for it; the answer, made there,
// is handed back on the relay's loop. Only a few wait at once for the whole
// console.
class HistorySearches : public QObject {
    Q_OBJECT
public:
    static constexpr int kThreads = 1;
    static constexpr int kMaxInFlight = 2;
    static constexpr int kNice = 10;

    // Runs on the worker with the open connection; what it answers goes back.
    using Search = std::function<HttpReply(const QSqlDatabase&)>;

    explicit HistorySearches(QObject* parent = nullptr);
    // Waits for the search running.
    ~HistorySearches() override;

    // Opens FILE read-only and runs SEARCH on it; DONE gets its answer later,
    // on this object's thread (503 when the file cannot be opened). False, at
    // once, when kMaxInFlight are running.
    bool Start(const QString& file, Search search, std::function<void(const HttpReply&)> done);
    int InFlight() const { return inFlight_; }

private:
    QThreadPool pool_;
    int inFlight_ = 0;
};

} // namespace web
