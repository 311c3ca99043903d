#include "relay/DelayedPage.h"

#include "platform/Error.h"
#include "relay/adoDelayed.h"

#include <QSqlError>
#include <QSqlQuery>
#include <algorithm>

namespace relay {

namespace {

// The orders of the window's grid (newest first) and its reverse; MessID
// breaks ties within one millisecond. The page's identifiers are found along
// an index of the store that holds them (Delayed_Newest, or
// Delayed_Destination for one destination), so a page deep in a large store
// costs a walk of that index, not a sort of the table nor a read of the rows
// it skips; only the page's own rows are read.
QString PageSql(const DelayedPageQuery& query) {
    const bool newest = query.order == DelayedPageQuery::Order::Newest;
    const QString direction = newest ? QStringLiteral("DESC") : QStringLiteral("ASC");
    const QString where =
        query.destination.isEmpty() ? QString() : QStringLiteral("WHERE `Destination` = ? ");
    return QStringLiteral("SELECT d.`MessID`, d.`Created`, d.`Destination`, d.`Packet` FROM "
                          "(SELECT `MessID` AS id, `Created` AS created FROM `Delayed` %1"
                          "ORDER BY `Created` %2, `MessID` %2 LIMIT ? OFFSET ?) AS page "
                          "CROSS JOIN `Delayed` AS d ON d.`MessID` = page.id "
                          "ORDER BY page.created %2, page.id %2")
        .arg(where, direction);
}

QList<DelayedRecord> ReadRows(adoDelayed& store, const DelayedPageQuery& query) {
    QSqlQuery sql(store.cnDelayed.database());
    sql.setForwardOnly(true);
    if (!sql.prepare(PageSql(query)))
        throw platform::Error(sql.lastError().text());
    if (!query.destination.isEmpty())
        sql.addBindValue(query.destination);
    sql.addBindValue(query.limit);
    sql.addBindValue(query.offset);
    if (!sql.exec())
        throw platform::Error(sql.lastError().text());
    QList<DelayedRecord> rows;
    while (sql.next()) {
        DelayedRecord row;
        row.MessID = sql.value(0).toLongLong();
        row.Created = sql.value(1).toString();
        row.Destination = sql.value(2).toString();
        row.Packet = sql.value(3).toByteArray();
        rows << row;
    }
    return rows;
}

} // namespace

DelayedPage ReadDelayedPage(adoDelayed& store, const DelayedPageQuery& query) {
    DelayedPage page;
    // The store keeps its rows per destination as it changes: no count of
    // the table for each page.
    for (const QString& destination : store.StoredDestinations()) {
        const qint64 rows = store.RowsFor(destination);
        page.counts << qMakePair(destination, rows);
        if (query.destination.isEmpty() || query.destination == destination)
            page.total += rows;
    }
    std::sort(page.counts.begin(), page.counts.end());
    if (store.cnDelayed.State() != platform::ObjectState::Open || page.total <= query.offset)
        return page;
    // A page in the second half is read from the other end: the walk of the
    // index is at most half the store.
    if (query.offset <= page.total / 2) {
        page.rows = ReadRows(store, query);
        return page;
    }
    DelayedPageQuery reversed = query;
    reversed.order = query.order == DelayedPageQuery::Order::Newest
                         ? DelayedPageQuery::Order::Oldest
                         : DelayedPageQuery::Order::Newest;
    const qint64 end = page.total - query.offset; // the page ends here in the reversed order
    reversed.offset = qMax<qint64>(0, end - query.limit);
    reversed.limit = int(end - reversed.offset);
    page.rows = ReadRows(store, reversed);
    std::reverse(page.rows.begin(), page.rows.end());
    return page;
}

} // namespace relay
