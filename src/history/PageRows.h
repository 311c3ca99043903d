#pragma once

#include "history/HistorySearch.h"
#include "history/HistorySql.h"

#include <QString>
#include <QVariantList>

class QSqlQuery;

namespace history {

// The columns of a page as every search reads them, from Pages AS p.
QString PageColumns();
// A row read with PageColumns().
PageRow PageFromRow(const QSqlQuery& query);
// Every row of a query of PageColumns().
QList<PageRow> PagesFrom(QSqlQuery& query);

// What a page row itself must satisfy, as SQL on Pages AS p with its values:
// the ID window, the time range, the addresses, function, type and carrier.
// Every plan checks all of them, whatever its index already narrowed.
struct RowConditions {
    QString sql;
    QVariantList values;
};
RowConditions PageConditions(const PageQuery& query, const IdWindow& window);

} // namespace history
