#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <optional>

class QSqlDatabase;

namespace history {

// Most pages or audit rows one search answers.
constexpr int kMaxSearchLimit = 200;
constexpr int kDefaultSearchLimit = 50;
// Longest full-text or audit search text taken, in characters.
constexpr int kMaxSearchTextLength = 256;

// What the History page asks for. Unset fields do not filter.
struct PageQuery {
    std::optional<qint64> addressFrom; // one address: both ends equal
    std::optional<qint64> addressTo;
    QString text;                 // full-text syntax (words, "phrases", OR, NOT, prefix*)
    std::optional<qint64> fromMs; // UTC milliseconds, inclusive
    std::optional<qint64> toMs;   // UTC milliseconds, exclusive
    QString function;
    QString type;
    QString carrier;
    std::optional<qint64> before;    // only pages with a smaller ID (the "next" of a search)
    int limit = kDefaultSearchLimit; // 1 to kMaxSearchLimit
};

struct PageRow {
    qint64 id = 0;
    qint64 timeMs = 0;     // UTC milliseconds
    int offsetMinutes = 0; // the UTC offset the page was relayed under
    QString carrier;
    QString rate;
    QString frequency;
    QString function;
    QString address; // as the packet carries it (seven digits)
    QString type;
    QString text; // one character per byte of the page text
    QByteArray packet;
};

struct PageResult {
    QList<PageRow> pages;       // newest first
    std::optional<qint64> next; // pass as `before` for the next (older) results; none when no more
};

struct TrailRow {
    QString destination;
    QString event; // TrailEventName
    qint64 timeMs = 0;
    int offsetMinutes = 0;
};

struct AuditQuery {
    QString text; // in the operator, address, action or detail; empty: any
    std::optional<qint64> fromMs;
    std::optional<qint64> toMs;
    std::optional<qint64> before;
    int limit = kDefaultSearchLimit;
};

struct AuditRow {
    qint64 id = 0;
    qint64 timeMs = 0;
    int offsetMinutes = 0;
    QString operatorName;
    QString address;
    QString action;
    QString detail;
};

struct AuditResult {
    QList<AuditRow> rows; // newest first
    std::optional<qint64> next;
};

// Opens history.mdb read-only as Qt connection `connectionName`, with a page
// cache of its own sized for searches; close it with platform::CloseDatabase.
// Raises platform::Error when the file cannot be opened (a missing file is not
// created).
QSqlDatabase OpenReader(const QString& path, const QString& connectionName);

// Searches of history.mdb on an open connection (a reader's own, off the
// relay's thread). Every value reaches SQL bound; a full-text query that does
// not parse, or a text longer than kMaxSearchTextLength, raises platform::Error
// with a text fit for the operator; so does a failing read. A limit outside 1
// to kMaxSearchLimit is taken as the nearest of the two.
PageResult FindPages(const QSqlDatabase& db, const PageQuery& query);
std::optional<PageRow> FindPage(const QSqlDatabase& db, qint64 id);
// The page's trail, oldest first.
QList<TrailRow> FindTrail(const QSqlDatabase& db, qint64 pageID);
AuditResult FindAudit(const QSqlDatabase& db, const AuditQuery& query);

} // namespace history
