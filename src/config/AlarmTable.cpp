#include "config/AlarmTable.h"

#include "platform/Connection.h"
#include "platform/Error.h"
#include "publish/JsonText.h"

#include <QSqlError>
#include <QSqlQuery>

namespace config {

namespace {

const QString kColumns = QStringLiteral("ID, Code, Entry, Text, Count, FirstSeen, LastSeen, "
                                        "AcknowledgedBy, AcknowledgedAt, ClearedAt");
const QString kActive = QStringLiteral("AcknowledgedAt IS NULL AND ClearedAt IS NULL");

QSqlQuery Run(const platform::Connection& c, const QString& sql, const QVariantList& params = {}) {
    QSqlQuery query(c.database());
    query.setForwardOnly(true);
    if (!query.prepare(sql))
        throw platform::Error(query.lastError().text());
    for (const QVariant& value : params)
        query.addBindValue(value);
    if (!query.exec())
        throw platform::Error(query.lastError().text());
    return query;
}

QVariant TimeValue(const QDateTime& time) {
    return time.isValid() ? QVariant(publish::IsoTime(time))
                          : QVariant(QMetaType::fromType<QString>());
}

QVariant TextValue(const QString& text) {
    return text.isEmpty() ? QVariant(QMetaType::fromType<QString>()) : QVariant(text);
}

QDateTime ReadTime(const QVariant& value) {
    return value.isNull()
               ? QDateTime()
               : QDateTime::fromString(value.toString(), Qt::ISODateWithMs).toLocalTime();
}

Alarm ReadRow(const QSqlQuery& query) {
    Alarm alarm;
    alarm.id = query.value(0).toLongLong();
    alarm.code = query.value(1).toInt();
    alarm.entry = query.value(2).toInt();
    alarm.text = query.value(3).toString();
    alarm.count = query.value(4).toLongLong();
    alarm.firstSeen = ReadTime(query.value(5));
    alarm.lastSeen = ReadTime(query.value(6));
    alarm.acknowledgedBy = query.value(7).toString();
    alarm.acknowledgedAt = ReadTime(query.value(8));
    alarm.clearedAt = ReadTime(query.value(9));
    return alarm;
}

void ReadInto(QList<Alarm>& rows, QSqlQuery query) {
    while (query.next())
        rows << ReadRow(query);
}

} // namespace

StoredAlarms ReadAlarms(const platform::Connection& c, int inactive) {
    StoredAlarms stored;
    ReadInto(
        stored.rows,
        Run(c,
            QStringLiteral("SELECT %1 FROM Alarms WHERE %2 ORDER BY ID").arg(kColumns, kActive)));
    ReadInto(stored.rows,
             Run(c,
                 QStringLiteral("SELECT %1 FROM Alarms WHERE NOT (%2) ORDER BY ID DESC LIMIT ?")
                     .arg(kColumns, kActive),
                 {inactive}));
    QSqlQuery largest = Run(c, QStringLiteral("SELECT max(ID) FROM Alarms"));
    if (largest.next())
        stored.largestId = largest.value(0).toLongLong();
    return stored;
}

void WriteAlarms(const platform::Connection& c, const QList<Alarm>& alarms) {
    QSqlDatabase db = c.database();
    if (!db.transaction())
        throw platform::Error(db.lastError().text());
    try {
        QSqlQuery write(db);
        if (!write.prepare(
                QStringLiteral(
                    "INSERT INTO Alarms (%1) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?) "
                    "ON CONFLICT (ID) DO UPDATE SET Text = excluded.Text, Count = excluded.Count, "
                    "LastSeen = excluded.LastSeen, AcknowledgedBy = excluded.AcknowledgedBy, "
                    "AcknowledgedAt = excluded.AcknowledgedAt, ClearedAt = excluded.ClearedAt")
                    .arg(kColumns)))
            throw platform::Error(write.lastError().text());
        for (const Alarm& alarm : alarms) {
            const QVariantList values{alarm.id,
                                      alarm.code,
                                      alarm.entry,
                                      alarm.text,
                                      alarm.count,
                                      TimeValue(alarm.firstSeen),
                                      TimeValue(alarm.lastSeen),
                                      TextValue(alarm.acknowledgedBy),
                                      TimeValue(alarm.acknowledgedAt),
                                      TimeValue(alarm.clearedAt)};
            for (int i = 0; i < values.size(); ++i)
                write.bindValue(i, values[i]);
            if (!write.exec())
                throw platform::Error(write.lastError().text());
        }
    } catch (const platform::Error&) {
        db.rollback();
        throw;
    }
    if (!db.commit()) {
        const QString text = db.lastError().text();
        db.rollback();
        throw platform::Error(text);
    }
}

// SQLite reads the offset of each text, so rows written under another offset
// (a change of daylight saving) compare as the moments they are.
qint64 DeleteAlarmsBefore(const platform::Connection& c, const QDateTime& before) {
    QSqlQuery query =
        Run(c, QStringLiteral("DELETE FROM Alarms WHERE julianday(LastSeen) < julianday(?)"),
            {publish::IsoTime(before)});
    return query.numRowsAffected();
}

} // namespace config
