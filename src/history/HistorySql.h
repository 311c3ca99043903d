#pragma once

#include <QList>
#include <QSqlQuery>
#include <QString>
#include <QVariantList>
#include <limits>
#include <optional>

class QSqlDatabase;

namespace history {

// A read on a search's connection, forward only (no row is kept behind the
// cursor), with `values` bound in order. Raises platform::Error when the file
// cannot be read.
QSqlQuery Read(const QSqlDatabase& db, const QString& sql, const QVariantList& values = {});

// Steps to the next row; raises platform::Error when the read fails midway.
bool NextRow(QSqlQuery& query);

// A search text as taken: trimmed; raises platform::Error when it is longer
// than kMaxSearchTextLength.
QString SearchText(const QString& text);

// A list of numbers bound as one value, a JSON array, for
// "IN (SELECT value FROM json_each(?))": binding hundreds of values one by one
// costs the driver time that grows with the square of their number.
QString NumberList(const QList<qint64>& numbers);

// The IDs a search may answer: low <= ID < high.
struct IdWindow {
    qint64 low = std::numeric_limits<qint64>::min();
    qint64 high = std::numeric_limits<qint64>::max();
    bool Empty() const { return low >= high; }
};

// Rows of Pages and Audit are numbered as they come, so their IDs grow with
// their times: the rows of [fromMs, toMs) lie between the first ID at or after
// fromMs and the first at or after toMs, both found on the table's Time index
// in one step each. `before` bounds it from above too. (A clock set back can
// give a later row an earlier time; the searches check each row's Time as
// well, so such a row may be missed at the window's edge, never shown wrongly.)
IdWindow TimeWindow(const QSqlDatabase& db, const QString& table, std::optional<qint64> fromMs,
                    std::optional<qint64> toMs, std::optional<qint64> before);

} // namespace history
