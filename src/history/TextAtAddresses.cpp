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

TextAtAddressIds::TextAtAddressIds(const QSqlDatabase& db, const QString& text,
                                   const QList<qint64>& addresses, const IdWindow& window,
                                   qint64 smallestWindow)
    : db_(db), text_(text), addresses_(addresses), held_(HeldIds(db, window)) {
    windowSize_ = std::max(smallestWindow, (held_.high - held_.low) / kFirstWindowPart);
    windowLow_ = std::max(held_.low, held_.high - windowSize_);
}

QList<qint64> TextAtAddressIds::Next(int count) {
    QList<qint64> ids;
    while (ids.size() < count && !held_.Empty()) {
        const int asked = count - int(ids.size());
        const QList<qint64> merged = Merged(windowLow_, held_.high, asked);
        ids += merged;
        if (merged.size() == asked) {
            held_.high = merged.last();
            continue;
        }
        // The window is done: on to the next, larger one below it.
        held_.high = windowLow_;
        windowSize_ *= kWindowGrowth;
        windowLow_ = std::max(held_.low, held_.high - windowSize_);
    }
    return ids;
}

QList<qint64> TextAtAddressIds::Merged(qint64 low, qint64 high, int count) const {
    // ORDER BY on the compound makes SQLite merge the two sorted lists, where
    // it would otherwise put one of them in a temporary table ID by ID.
    QSqlQuery query = Read(
        db_,
        QStringLiteral("SELECT ID FROM Pages INDEXED BY Pages_Address WHERE Address IN (SELECT "
                       "value FROM json_each(?)) AND ID >= ? AND ID < ? INTERSECT SELECT rowid "
                       "FROM PageText WHERE PageText MATCH ? AND rowid >= ? AND rowid < ? ORDER "
                       "BY 1 DESC LIMIT ?"),
        {NumberList(addresses_), low, high, text_, low, high, count});
    QList<qint64> ids;
    while (NextRow(query))
        ids << query.value(0).toLongLong();
    return ids;
}

} // namespace history
