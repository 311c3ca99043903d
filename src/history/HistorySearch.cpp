#include "history/HistorySearch.h"

#include "history/HistorySql.h"
#include "history/PageIds.h"
#include "history/PagePlans.h"
#include "history/PageRows.h"
#include "platform/Error.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <algorithm>

namespace history {

namespace {

// Page IDs looked up at a time when an index gives them (a bound list).
constexpr int kMostIdsPerRead = 500;
constexpr int kSqliteError = 1; // SQLITE_ERROR: the statement itself is at fault

// A query the text index cannot parse is the operator's to mend; say so in
// words, apart from a file that cannot be read.
void CheckTextParses(const QSqlDatabase& db, const QString& text) {
    QSqlQuery query(db);
    query.setForwardOnly(true);
    if (query.prepare(QStringLiteral("SELECT rowid FROM PageText WHERE PageText MATCH ? AND "
                                     "rowid = 0"))) {
        query.addBindValue(text);
        if (query.exec())
            return;
    }
    bool ok = false;
    const int code = query.lastError().nativeErrorCode().toInt(&ok) & 0xff;
    if (!ok || code != kSqliteError)
        throw platform::Error(
            QStringLiteral("The history cannot be read: %1").arg(query.lastError().text()));
    throw platform::Error(
        QStringLiteral("The search text is not valid: %1. Words are matched as they are; "
                       "put text with other characters in double quotes, e.g. \"45 Harbour St.\"")
            .arg(query.lastError().databaseText()));
}

// The query with its addresses in order: one address is a range of one.
PageQuery Normalized(PageQuery query) {
    if (query.addressTo && !query.addressFrom)
        query.addressFrom = 0;
    if (query.addressFrom && !query.addressTo)
        query.addressTo = query.addressFrom;
    if (query.addressFrom && *query.addressFrom > *query.addressTo)
        std::swap(*query.addressFrom, *query.addressTo);
    query.limit = std::clamp(query.limit, 1, kMaxSearchLimit);
    return query;
}

QList<PageRow> ReadRows(QSqlQuery& query) {
    QList<PageRow> rows;
    while (NextRow(query))
        rows << PageFromRow(query);
    return rows;
}

// The pages of `ids` that meet every condition, newest first, until `wanted`.
QList<PageRow> RowsOf(const QSqlDatabase& db, PageIds& ids, const RowConditions& conditions,
                      int wanted) {
    QList<PageRow> rows;
    int chunk = wanted;
    while (rows.size() < wanted) {
        const QList<qint64> next = ids.Next(chunk);
        if (next.isEmpty())
            break;
        QVariantList values(next.begin(), next.end());
        values += conditions.values;
        QSqlQuery query =
            Read(db,
                 QStringLiteral("SELECT %1 FROM Pages AS p WHERE p.ID IN (%2) AND "
                                "%3 ORDER BY p.ID DESC")
                     .arg(PageColumns(), Placeholders(int(next.size())), conditions.sql),
                 values);
        rows += ReadRows(query);
        chunk = std::min(chunk * 2, kMostIdsPerRead);
    }
    return rows.mid(0, wanted);
}

// Pages newest first from the table itself: for searches that no index narrows
// much, which therefore find their pages soon.
QList<PageRow> ScanRows(const QSqlDatabase& db, const RowConditions& conditions, int wanted) {
    QSqlQuery query = Read(db,
                           QStringLiteral("SELECT %1 FROM Pages AS p NOT INDEXED WHERE %2 ORDER BY "
                                          "p.ID DESC LIMIT ?")
                               .arg(PageColumns(), conditions.sql),
                           conditions.values + QVariantList{wanted});
    return ReadRows(query);
}

// Pages newest first as the text index gives them.
QList<PageRow> TextRows(const QSqlDatabase& db, const QString& text, const IdWindow& window,
                        const RowConditions& conditions, int wanted) {
    QSqlQuery query = Read(
        db,
        QStringLiteral("SELECT %1 FROM PageText CROSS JOIN Pages AS p ON p.ID = PageText.rowid "
                       "WHERE PageText MATCH ? AND PageText.rowid >= ? AND PageText.rowid < ? "
                       "AND %2 ORDER BY PageText.rowid DESC LIMIT ?")
            .arg(PageColumns(), conditions.sql),
        QVariantList{text, window.low, window.high} + conditions.values + QVariantList{wanted});
    return ReadRows(query);
}

QList<PageRow> SearchPages(const QSqlDatabase& db, const PageQuery& query, const QString& text,
                           const IdWindow& window, int fewPagesInRange) {
    const RowConditions conditions = PageConditions(query, window);
    const int wanted = query.limit + 1; // one more tells whether there is a next
    if (query.addressFrom &&
        (*query.addressFrom == *query.addressTo ||
         FewPagesIn(db, *query.addressFrom, *query.addressTo, fewPagesInRange))) {
        AddressIds addresses(db, *query.addressFrom, *query.addressTo, window);
        if (text.isEmpty())
            return RowsOf(db, addresses, conditions, wanted);
        MatchingIds matching(db, addresses, text, window);
        return RowsOf(db, matching, conditions, wanted);
    }
    if (!text.isEmpty())
        return TextRows(db, text, window, conditions, wanted);
    return ScanRows(db, conditions, wanted);
}

} // namespace

PageResult FindPages(const QSqlDatabase& db, const PageQuery& query) {
    return FindPagesPlanned(db, query, kFewPagesInRange);
}

PageResult FindPagesPlanned(const QSqlDatabase& db, const PageQuery& asked, int fewPagesInRange) {
    const PageQuery query = Normalized(asked);
    const QString text = SearchText(query.text);
    if (!text.isEmpty())
        CheckTextParses(db, text);
    const IdWindow window =
        TimeWindow(db, QStringLiteral("Pages"), query.fromMs, query.toMs, query.before);
    PageResult result;
    if (window.Empty())
        return result;
    result.pages = SearchPages(db, query, text, window, fewPagesInRange);
    if (result.pages.size() > query.limit) {
        result.pages.resize(query.limit);
        result.next = result.pages.last().id;
    }
    return result;
}

std::optional<PageRow> FindPage(const QSqlDatabase& db, qint64 id) {
    QSqlQuery query = Read(
        db, QStringLiteral("SELECT %1 FROM Pages AS p WHERE p.ID = ?").arg(PageColumns()), {id});
    if (!NextRow(query))
        return std::nullopt;
    return PageFromRow(query);
}

} // namespace history
