#include "history/HistorySearch.h"
#include "history/HistorySql.h"

#include <QSqlQuery>
#include <algorithm>

namespace history {

namespace {

// A page's trail has a few rows for each destination; this bounds a damaged
// or hostile file's.
constexpr int kMostTrailRows = 1000;

// A LIKE pattern that finds `text` anywhere, its own % and _ taken as they are.
QString ContainsPattern(const QString& text) {
    QString escaped = text;
    escaped.replace(QLatin1Char('\\'), QLatin1String("\\\\"))
        .replace(QLatin1Char('%'), QLatin1String("\\%"))
        .replace(QLatin1Char('_'), QLatin1String("\\_"));
    return QLatin1Char('%') + escaped + QLatin1Char('%');
}

AuditRow AuditFromRow(const QSqlQuery& query) {
    AuditRow row;
    row.id = query.value(0).toLongLong();
    row.timeMs = query.value(1).toLongLong();
    row.offsetMinutes = query.value(2).toInt();
    row.operatorName = query.value(3).toString();
    row.address = query.value(4).toString();
    row.action = query.value(5).toString();
    row.detail = query.value(6).toString();
    return row;
}

} // namespace

QList<TrailRow> FindTrail(const QSqlDatabase& db, qint64 pageID) {
    QSqlQuery query = Read(db,
                           QStringLiteral("SELECT Destination, Event, Time, Offset FROM Trail "
                                          "WHERE PageID = ? ORDER BY Time, rowid LIMIT ?"),
                           {pageID, kMostTrailRows});
    QList<TrailRow> rows;
    while (NextRow(query))
        rows << TrailRow{query.value(0).toString(), query.value(1).toString(),
                         query.value(2).toLongLong(), query.value(3).toInt()};
    return rows;
}

AuditResult FindAudit(const QSqlDatabase& db, const AuditQuery& asked) {
    const int limit = std::clamp(asked.limit, 1, kMaxSearchLimit);
    const QString text = SearchText(asked.text);
    const IdWindow window =
        TimeWindow(db, QStringLiteral("Audit"), asked.fromMs, asked.toMs, asked.before);
    AuditResult result;
    if (window.Empty())
        return result;
    QString sql = QStringLiteral(
        "SELECT ID, Time, Offset, Operator, Address, Action, Detail FROM Audit NOT INDEXED "
        "WHERE ID >= ? AND ID < ? AND Time >= ? AND Time < ?");
    QVariantList values = {window.low, window.high,
                           asked.fromMs.value_or(std::numeric_limits<qint64>::min()),
                           asked.toMs.value_or(std::numeric_limits<qint64>::max())};
    if (!text.isEmpty()) {
        sql += QStringLiteral(" AND (Operator LIKE ? ESCAPE '\\' OR Address LIKE ? ESCAPE '\\' "
                              "OR Action LIKE ? ESCAPE '\\' OR Detail LIKE ? ESCAPE '\\')");
        const QString pattern = ContainsPattern(text);
        values << pattern << pattern << pattern << pattern;
    }
    sql += QStringLiteral(" ORDER BY ID DESC LIMIT ?");
    values << limit + 1;
    QSqlQuery query = Read(db, sql, values);
    while (NextRow(query))
        result.rows << AuditFromRow(query);
    if (result.rows.size() > limit) {
        result.rows.resize(limit);
        result.next = result.rows.last().id;
    }
    return result;
}

} // namespace history
