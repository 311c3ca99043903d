#include "history/PageRows.h"

#include <QSqlQuery>
#include <QStringList>

namespace history {

namespace {

constexpr int kAddressDigits = 7;

void AddEqual(QStringList& sql, QVariantList& values, const QString& column, const QString& value) {
    if (value.isEmpty())
        return;
    // Functions, types and carrier names are short words an operator types
    // in any case.
    sql << QStringLiteral("p.%1 = ? COLLATE NOCASE").arg(column);
    values << value;
}

} // namespace

QString PageColumns() {
    return QStringLiteral("p.ID, p.Time, p.Offset, p.Carrier, p.Rate, p.Frequency, p.Function, "
                          "p.Address, p.Type, p.Text, p.Packet");
}

PageRow PageFromRow(const QSqlQuery& query) {
    PageRow row;
    row.id = query.value(0).toLongLong();
    row.timeMs = query.value(1).toLongLong();
    row.offsetMinutes = query.value(2).toInt();
    row.carrier = query.value(3).toString();
    row.rate = query.value(4).toString();
    row.frequency = query.value(5).toString();
    row.function = query.value(6).toString();
    if (!query.value(7).isNull())
        row.address = QStringLiteral("%1").arg(query.value(7).toLongLong(), kAddressDigits, 10,
                                               QLatin1Char('0'));
    row.type = query.value(8).toString();
    row.text = query.value(9).toString();
    row.packet = query.value(10).toByteArray();
    return row;
}

QList<PageRow> PagesFrom(QSqlQuery& query) {
    QList<PageRow> rows;
    while (NextRow(query))
        rows << PageFromRow(query);
    return rows;
}

RowConditions PageConditions(const PageQuery& query, const IdWindow& window) {
    QStringList sql = {QStringLiteral("p.ID >= ?"), QStringLiteral("p.ID < ?")};
    QVariantList values = {window.low, window.high};
    if (query.fromMs) {
        sql << QStringLiteral("p.Time >= ?");
        values << *query.fromMs;
    }
    if (query.toMs) {
        sql << QStringLiteral("p.Time < ?");
        values << *query.toMs;
    }
    if (query.addressFrom) {
        sql << QStringLiteral("p.Address BETWEEN ? AND ?");
        values << *query.addressFrom << query.addressTo.value_or(*query.addressFrom);
    }
    AddEqual(sql, values, QStringLiteral("Function"), query.function);
    AddEqual(sql, values, QStringLiteral("Type"), query.type);
    AddEqual(sql, values, QStringLiteral("Carrier"), query.carrier);
    return {sql.join(QStringLiteral(" AND ")), values};
}

} // namespace history
