#pragma once

// A history.mdb made from the built-in schema script, for the history's tests
// and benchmark; rows go in with plain SQL, as the archive writes them.

#include <QFile>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>
#include <QVariant>
#include <stdexcept>

// The statements of a schema script as start-up runs them: comment lines
// dropped, split at a ';' that ends a line.
inline QStringList HistorySchemaStatements() {
    QFile file(QStringLiteral(":/db/history-schema-1.sql"));
    if (!file.open(QIODevice::ReadOnly))
        throw std::runtime_error("no built-in history schema");
    QStringList lines;
    for (const QString& line : QString::fromUtf8(file.readAll()).split(QLatin1Char('\n')))
        if (!line.trimmed().startsWith(QLatin1String("--")))
            lines << line;
    static const QRegularExpression end(QStringLiteral(";\\s*$"),
                                        QRegularExpression::MultilineOption);
    QStringList statements;
    for (const QString& part : lines.join(QLatin1Char('\n')).split(end))
        if (!part.trimmed().isEmpty())
            statements << part.trimmed();
    return statements;
}

// Runs a statement with its values bound; throws with the engine's text.
inline QSqlQuery RunHistorySql(const QSqlDatabase& db, const QString& sql,
                               const QVariantList& values = {}) {
    QSqlQuery query(db);
    if (!query.prepare(sql))
        throw std::runtime_error(
            (sql + QStringLiteral(": ") + query.lastError().text()).toStdString());
    for (const QVariant& value : values)
        query.addBindValue(value);
    if (!query.exec())
        throw std::runtime_error(
            (sql + QStringLiteral(": ") + query.lastError().text()).toStdString());
    return query;
}

// Creates the tables of history.mdb in the open, empty database.
inline void CreateHistoryTables(const QSqlDatabase& db) {
    for (const QString& statement : HistorySchemaStatements())
        RunHistorySql(db, statement);
    RunHistorySql(db, QStringLiteral("PRAGMA user_version = 1"));
}

// A page as the archive writes it; the packet is made from the fields when
// none is given.
struct HistoryPage {
    qint64 id = 0;
    qint64 timeMs = 0;
    int offsetMinutes = 600;
    QString carrier = QStringLiteral("Sat Feed 1");
    QString rate = QStringLiteral("1200");
    QString frequency = QStringLiteral("1");
    QString function = QStringLiteral("D");
    QVariant address; // a number, or null
    QString type = QStringLiteral("A");
    QByteArray text;
    QByteArray packet;
};

inline QByteArray HistoryPacket(const HistoryPage& page) {
    const QByteArray address = page.address.isNull()
                                   ? QByteArray()
                                   : QStringLiteral("%1")
                                         .arg(page.address.toLongLong(), 7, 10, QLatin1Char('0'))
                                         .toLatin1();
    return '\x02' + page.rate.toLatin1() + '\r' + page.frequency.toLatin1() + '\r' +
           page.function.toLatin1() + '\r' + address + '\r' + page.type.toLatin1() + '\r' +
           page.text + '\x03';
}

// The page's row and its text in the full-text index; the text is one
// character per byte.
inline void AddHistoryPage(const QSqlDatabase& db, const HistoryPage& page) {
    const QString text = QString::fromLatin1(page.text);
    RunHistorySql(db,
                  QStringLiteral("INSERT INTO Pages (ID, Time, Offset, Carrier, Rate, Frequency, "
                                 "Function, Address, Type, Text, Packet) VALUES (?, ?, ?, ?, ?, "
                                 "?, ?, ?, ?, ?, ?)"),
                  {page.id, page.timeMs, page.offsetMinutes, page.carrier, page.rate,
                   page.frequency, page.function, page.address, page.type, text,
                   page.packet.isEmpty() ? HistoryPacket(page) : page.packet});
    RunHistorySql(db, QStringLiteral("INSERT INTO PageText (rowid, Text) VALUES (?, ?)"),
                  {page.id, text});
}

inline void AddTrailRow(const QSqlDatabase& db, qint64 pageID, const QString& destination,
                        const QString& event, qint64 timeMs, int offsetMinutes = 600) {
    RunHistorySql(db,
                  QStringLiteral("INSERT INTO Trail (PageID, Destination, Event, Time, Offset) "
                                 "VALUES (?, ?, ?, ?, ?)"),
                  {pageID, destination, event, timeMs, offsetMinutes});
}

struct HistoryAudit {
    qint64 id = 0;
    qint64 timeMs = 0;
    QString operatorName;
    QString address;
    QString action;
    QString detail;
    int offsetMinutes = 600;
};

inline void AddAuditRow(const QSqlDatabase& db, const HistoryAudit& row) {
    RunHistorySql(db,
                  QStringLiteral("INSERT INTO Audit (ID, Time, Offset, Operator, Address, Action, "
                                 "Detail) VALUES (?, ?, ?, ?, ?, ?, ?)"),
                  {row.id, row.timeMs, row.offsetMinutes, row.operatorName, row.address, row.action,
                   row.detail});
}
