#pragma once

#include "history/HistorySearch.h"
#include "history/HistorySql.h"
#include "history/PageRows.h"

#include <QList>
#include <QSqlDatabase>

namespace history {

// The addresses from..to that have pages, lowest first: one step on the
// address index for each, at most `most` + 1 of them.
QList<qint64> AddressesIn(const QSqlDatabase& db, qint64 from, qint64 to, int most);

// The pages of `addresses` whose text matches, newest first, until `wanted`.
// The IDs are taken in windows, newest first, each larger than the one
// before: in each, the text index's IDs are checked against a set of the
// addresses' IDs of the window, both read by SQLite alone; so a search with
// many answers ends in its first window and one with none reads each list once.
QList<PageRow> TextRowsAt(const QSqlDatabase& db, const QString& text,
                          const QList<qint64>& addresses, const IdWindow& window,
                          const RowConditions& conditions, int wanted, qint64 smallestWindow);

} // namespace history
