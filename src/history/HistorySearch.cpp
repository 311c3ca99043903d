#include "history/HistorySearch.h"

#include "history/HistorySql.h"
#include "history/PageIds.h"
#include "history/PagePlans.h"
#include "history/PageRows.h"
#include "history/TextAtAddresses.h"
#include "history/TextQuery.h"
#include "platform/Error.h"

#include <QSqlDatabase>
#include <algorithm>

namespace history {

namespace {

// Page IDs looked up at a time when an index gives them.
constexpr int kMostIdsPerRead = 500;

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

// The pages of `ids` that meet every condition, newest first, until `wanted`.
QList<PageRow> RowsOf(const QSqlDatabase& db, PageIds& ids, const RowConditions& conditions,
                      int wanted) {
    QList<PageRow> rows;
    int chunk = wanted;
    while (rows.size() < wanted) {
        const QList<qint64> next = ids.Next(chunk);
        if (next.isEmpty())
            break;
        QSqlQuery query = Read(db,
                               QStringLiteral("SELECT %1 FROM Pages AS p WHERE p.ID IN (SELECT "
                                              "value FROM json_each(?)) AND %2 ORDER BY p.ID DESC")
                                   .arg(PageColumns(), conditions.sql),
                               QVariantList{NumberList(next)} + conditions.values);
        rows += PagesFrom(query);
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
    return PagesFrom(query);
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
    return PagesFrom(query);
}

// One address, or a range with few pages, on the address index; a busy range
// by walking the pages.
QList<PageRow> AddressRows(const QSqlDatabase& db, const PageQuery& query, const IdWindow& window,
                           const RowConditions& conditions, int wanted,
                           const SearchBounds& bounds) {
    const qint64 from = *query.addressFrom;
    const qint64 to = *query.addressTo;
    if (from != to && !FewPagesIn(db, from, to, bounds.fewPagesInRange))
        return ScanRows(db, conditions, wanted);
    AddressIds addresses(db, from, to, window);
    return RowsOf(db, addresses, conditions, wanted);
}

// Text at an address or a range: the few pages of a quiet address each looked
// for in the text index; the addresses' pages and the text's together (see
// TextAtAddressIds); a range of very many addresses by walking its text's pages.
QList<PageRow> TextAndAddressRows(const QSqlDatabase& db, const PageQuery& query,
                                  const QString& text, const IdWindow& window,
                                  const RowConditions& conditions, int wanted,
                                  const SearchBounds& bounds) {
    const qint64 from = *query.addressFrom;
    const qint64 to = *query.addressTo;
    if (FewPagesIn(db, from, to, bounds.fewPagesToMatch)) {
        AddressIds addresses(db, from, to, window);
        MatchingIds matching(db, addresses, text, window);
        return RowsOf(db, matching, conditions, wanted);
    }
    const QList<qint64> addresses = AddressesIn(db, from, to, bounds.mostAddresses);
    if (addresses.size() > bounds.mostAddresses)
        return TextRows(db, text, window, conditions, wanted);
    TextAtAddressIds matching(db, text, addresses, window, bounds.smallestWindow);
    return RowsOf(db, matching, conditions, wanted);
}

QList<PageRow> SearchPages(const QSqlDatabase& db, const PageQuery& query, const QString& text,
                           const IdWindow& window, const SearchBounds& bounds) {
    const RowConditions conditions = PageConditions(query, window);
    const int wanted = query.limit + 1; // one more tells whether there is a next
    if (query.addressFrom && text.isEmpty())
        return AddressRows(db, query, window, conditions, wanted, bounds);
    if (query.addressFrom)
        return TextAndAddressRows(db, query, text, window, conditions, wanted, bounds);
    if (!text.isEmpty())
        return TextRows(db, text, window, conditions, wanted);
    return ScanRows(db, conditions, wanted);
}

} // namespace

PageResult FindPages(const QSqlDatabase& db, const PageQuery& query) {
    return FindPagesPlanned(db, query, {});
}

PageResult FindPagesPlanned(const QSqlDatabase& db, const PageQuery& asked,
                            const SearchBounds& bounds) {
    const PageQuery query = Normalized(asked);
    const QString text = SearchText(query.text);
    if (!text.isEmpty())
        CheckTextQuery(db, text);
    const IdWindow window =
        TimeWindow(db, QStringLiteral("Pages"), query.fromMs, query.toMs, query.before);
    PageResult result;
    if (window.Empty())
        return result;
    result.pages = SearchPages(db, query, text, window, bounds);
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
