#include "web/HistoryJson.h"

#include "publish/JsonText.h"
#include "web/CsvText.h"

#include <QDateTime>
#include <QJsonArray>

namespace web {

namespace {

constexpr int kSecondsAMinute = 60;

QJsonValue NextJson(const std::optional<qint64>& next) {
    return next ? QJsonValue(*next) : QJsonValue(QJsonValue::Null);
}

QJsonObject PageFields(const history::PageRow& page) {
    return {
        {QStringLiteral("id"), page.id},
        {QStringLiteral("time"), HistoryTime(page.timeMs, page.offsetMinutes)},
        {QStringLiteral("carrier"), page.carrier},
        {QStringLiteral("rate"), page.rate},
        {QStringLiteral("frequency"), page.frequency},
        {QStringLiteral("function"), page.function},
        {QStringLiteral("address"), page.address},
        {QStringLiteral("type"), page.type},
        {QStringLiteral("text"), page.text},
    };
}

} // namespace

QString HistoryTime(qint64 timeMs, int offsetMinutes) {
    return publish::IsoTime(
        QDateTime::fromMSecsSinceEpoch(timeMs, Qt::OffsetFromUTC, offsetMinutes * kSecondsAMinute));
}

QJsonObject PagesJson(const history::PageResult& result) {
    QJsonArray pages;
    for (const history::PageRow& page : result.pages)
        pages << PageFields(page);
    return {{QStringLiteral("pages"), pages}, {QStringLiteral("next"), NextJson(result.next)}};
}

QJsonObject PageJson(const history::PageRow& page, const QList<history::TrailRow>& trail) {
    QJsonObject fields = PageFields(page);
    fields.insert(QStringLiteral("packet"), QString::fromLatin1(page.packet.toBase64()));
    QJsonArray events;
    for (const history::TrailRow& event : trail)
        events << QJsonObject{
            {QStringLiteral("destination"), event.destination},
            {QStringLiteral("event"), event.event},
            {QStringLiteral("time"), HistoryTime(event.timeMs, event.offsetMinutes)},
        };
    return {{QStringLiteral("page"), fields}, {QStringLiteral("trail"), events}};
}

QJsonObject AuditJson(const history::AuditResult& result) {
    QJsonArray rows;
    for (const history::AuditRow& row : result.rows)
        rows << QJsonObject{
            {QStringLiteral("id"), row.id},
            {QStringLiteral("time"), HistoryTime(row.timeMs, row.offsetMinutes)},
            {QStringLiteral("operator"), row.operatorName},
            {QStringLiteral("address"), row.address},
            {QStringLiteral("action"), row.action},
            {QStringLiteral("detail"), row.detail},
        };
    return {{QStringLiteral("rows"), rows}, {QStringLiteral("next"), NextJson(result.next)}};
}

QByteArray CsvHeader() {
    return QByteArrayLiteral("id,time,carrier,rate,frequency,function,address,type,text\r\n");
}

QByteArray CsvRow(const history::PageRow& page) {
    QByteArray row = QByteArray::number(page.id);
    for (const QString& field :
         {HistoryTime(page.timeMs, page.offsetMinutes), page.carrier, page.rate, page.frequency,
          page.function, page.address, page.type, page.text})
        row += ',' + CsvField(field);
    return row + QByteArrayLiteral("\r\n");
}

} // namespace web
