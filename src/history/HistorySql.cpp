#include "history/HistorySql.h"

#include "history/HistorySearch.h"

#include "platform/Error.h"

#include <QSqlDatabase>
#include <QSqlError>

namespace history {

namespace {

[[noreturn]] void Fail(const QSqlError& error) {
    throw platform::Error(
        QStringLiteral("The history cannot be read: %1")
            .arg(error.databaseText().isEmpty() ? error.text() : error.databaseText()));
}

std::optional<qint64> FirstIdFrom(const QSqlDatabase& db, const QString& table, qint64 timeMs) {
    // Table and index names are this file's own; the time is bound.
    QSqlQuery query = Read(db,
                           QStringLiteral("SELECT ID FROM %1 INDEXED BY %1_Time WHERE Time >= ? "
                                          "ORDER BY Time LIMIT 1")
                               .arg(table),
                           {timeMs});
    if (!NextRow(query))
        return std::nullopt;
    return query.value(0).toLongLong();
}

} // namespace

QSqlQuery Read(const QSqlDatabase& db, const QString& sql, const QVariantList& values) {
    QSqlQuery query(db);
    query.setForwardOnly(true);
    if (!query.prepare(sql))
        Fail(query.lastError());
    for (int i = 0; i < values.size(); ++i)
        query.bindValue(i, values[i]);
    if (!query.exec())
        Fail(query.lastError());
    return query;
}

bool NextRow(QSqlQuery& query) {
    if (query.next())
        return true;
    if (query.lastError().isValid())
        Fail(query.lastError());
    return false;
}

QString SearchText(const QString& text) {
    QString trimmed = text.trimmed();
    if (trimmed.size() > kMaxSearchTextLength)
        throw platform::Error(
            QStringLiteral("The search text is too long: at most %1 characters are taken.")
                .arg(kMaxSearchTextLength));
    return trimmed;
}

QString NumberList(const QList<qint64>& numbers) {
    QString text = QStringLiteral("[");
    for (qsizetype i = 0; i < numbers.size(); ++i) {
        if (i)
            text += QLatin1Char(',');
        text += QString::number(numbers[i]);
    }
    return text + QLatin1Char(']');
}

IdWindow TimeWindow(const QSqlDatabase& db, const QString& table, std::optional<qint64> fromMs,
                    std::optional<qint64> toMs, std::optional<qint64> before) {
    IdWindow window;
    if (before)
        window.high = *before;
    if (fromMs) {
        const std::optional<qint64> first = FirstIdFrom(db, table, *fromMs);
        if (!first)
            return {0, 0};
        window.low = *first;
    }
    if (toMs) {
        const std::optional<qint64> end = FirstIdFrom(db, table, *toMs);
        if (end)
            window.high = std::min(window.high, *end);
    }
    return window;
}

} // namespace history
