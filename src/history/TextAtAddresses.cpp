#include "history/TextAtAddresses.h"

#include <algorithm>

namespace history {

namespace {

// The first window is this part of the IDs searched (or the smallest window),
// and each next one kWindowGrowth times the one before.
constexpr qint64 kFirstWindowPart = 256;
constexpr qint64 kWindowGrowth = 4;

// The window narrowed to the IDs the archive has.
IdWindow HeldIds(const QSqlDatabase& db, IdWindow window) {
    QSqlQuery query =
        Read(db, QStringLiteral("SELECT (SELECT min(ID) FROM Pages), (SELECT max(ID) FROM Pages)"));
    if (!NextRow(query) || query.value(0).isNull())
        return {0, 0};
    window.low = std::max(window.low, query.value(0).toLongLong());
    window.high = std::min(window.high, query.value(1).toLongLong() + 1);
    return window;
}

QList<PageRow> RowsInWindow(const QSqlDatabase& db, const QString& text,
                            const QList<qint64>& addresses, const IdWindow& window,
                            const RowConditions& conditions, int wanted) {
    QVariantList values = {text, window.low, window.high};
    for (const qint64 address : addresses)
        values << address;
    values << window.low << window.high;
    values += conditions.values;
    values << wanted;
    QSqlQuery query = Read(
        db,
        QStringLiteral("SELECT %1 FROM PageText CROSS JOIN Pages AS p ON p.ID = PageText.rowid "
                       "WHERE PageText MATCH ? AND PageText.rowid >= ? AND PageText.rowid < ? "
                       // The + keeps the set a set: handed to the text index, it would
                       // be one lookup of the index for each ID.
                       "AND +PageText.rowid IN (SELECT ID FROM Pages INDEXED BY Pages_Address "
                       "WHERE Address IN (%2) AND ID >= ? AND ID < ?) "
                       "AND %3 ORDER BY PageText.rowid DESC LIMIT ?")
            .arg(PageColumns(), Placeholders(int(addresses.size())), conditions.sql),
        values);
    return PagesFrom(query);
}

} // namespace

QList<qint64> AddressesIn(const QSqlDatabase& db, qint64 from, qint64 to, int most) {
    QSqlQuery query = Read(
        db,
        QStringLiteral(
            "WITH RECURSIVE Held(Address) AS ("
            "SELECT (SELECT min(Address) FROM Pages WHERE Address BETWEEN ? AND ?) "
            "UNION ALL SELECT (SELECT min(Address) FROM Pages AS p WHERE p.Address > "
            "Held.Address AND p.Address <= ?) FROM Held WHERE Held.Address IS NOT NULL LIMIT ?) "
            "SELECT Address FROM Held WHERE Address IS NOT NULL"),
        {from, to, to, most + 2});
    QList<qint64> addresses;
    while (NextRow(query))
        addresses << query.value(0).toLongLong();
    return addresses;
}

QList<PageRow> TextRowsAt(const QSqlDatabase& db, const QString& text,
                          const QList<qint64>& addresses, const IdWindow& asked,
                          const RowConditions& conditions, int wanted, qint64 smallestWindow) {
    const IdWindow held = HeldIds(db, asked);
    QList<PageRow> rows;
    qint64 size = std::max(smallestWindow, (held.high - held.low) / kFirstWindowPart);
    for (qint64 high = held.high; high > held.low && rows.size() < wanted;) {
        const IdWindow window{std::max(held.low, high - size), high};
        rows += RowsInWindow(db, text, addresses, window, conditions, wanted - int(rows.size()));
        high = window.low;
        size *= kWindowGrowth;
    }
    return rows;
}

} // namespace history
