#include "history/TextQuery.h"

#include "platform/Error.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

namespace history {

namespace {

constexpr int kSqliteError = 1; // SQLITE_ERROR: the statement itself is at fault

bool IsWordCharacter(QChar c) {
    return c.isLetterOrNumber() || c == QLatin1Char('_');
}

// The prefix of the first * (outside quotes) with too few characters before
// it; empty when there is none.
QString ShortPrefix(const QString& text) {
    bool quoted = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == QLatin1Char('"'))
            quoted = !quoted;
        if (quoted || text[i] != QLatin1Char('*'))
            continue;
        qsizetype start = i;
        if (start > 0 && text[start - 1] == QLatin1Char('"'))
            --start; // a phrase's last word: "harbour st"*
        qsizetype end = start;
        while (start > 0 && IsWordCharacter(text[start - 1]))
            --start;
        if (end - start < kShortestPrefix)
            return text.mid(start, i + 1 - start);
    }
    return {};
}

void CheckParses(const QSqlDatabase& db, const QString& text) {
    QSqlQuery query(db);
    query.setForwardOnly(true);
    if (query.prepare(QStringLiteral("SELECT rowid FROM PageText WHERE PageText MATCH ? AND "
                                     "rowid = 0"))) {
        query.addBindValue(text);
        if (query.exec())
            return;
    }
    bool ok = false;
    const int code = query.lastError().nativeErrorCode().toInt(&ok) & 0xff;
    if (!ok || code != kSqliteError)
        throw platform::Error(
            QStringLiteral("The history cannot be read: %1").arg(query.lastError().text()));
    throw platform::Error(
        QStringLiteral("The search text is not valid: %1. Words are matched as they are; "
                       "put text with other characters in double quotes, e.g. \"45 Harbour St.\"")
            .arg(query.lastError().databaseText()));
}

} // namespace

void CheckTextQuery(const QSqlDatabase& db, const QString& text) {
    CheckParses(db, text);
    const QString prefix = ShortPrefix(text);
    if (!prefix.isEmpty())
        throw platform::Error(
            QStringLiteral("The search text is not valid: %1 is too short a prefix; give at "
                           "least %2 characters before the *, e.g. harb*")
                .arg(prefix)
                .arg(kShortestPrefix));
}

} // namespace history
