#include "web/AliasesApi.h"

#include "config/AliasRows.h"
#include "config/Commands.h"
#include "platform/Error.h"
#include "web/CsvText.h"
#include "web/WebConsoleHost.h"

namespace web {

HttpReply ExportAliases(WebConsoleHost& host) {
    QList<QHash<QString, QString>> rows;
    try {
        rows = host.AliasRows();
    } catch (const platform::Error& error) {
        return HttpReply::Error(Status::InternalServerError, error.text());
    }
    const QStringList& columns = config::AliasColumns();
    QByteArray csv = columns.join(QLatin1Char(',')).toUtf8() + "\r\n";
    for (const QHash<QString, QString>& row : std::as_const(rows)) {
        QByteArrayList fields;
        for (const QString& column : columns)
            fields << CsvField(row.value(column));
        csv += fields.join(',') + "\r\n";
    }
    HttpReply reply = HttpReply::Json(Status::Ok, csv);
    reply.contentType = "text/csv; charset=utf-8";
    return reply;
}

namespace {

HttpReply Refused(const QString& reason, QString* refusal) {
    *refusal = reason;
    return HttpReply::Error(Status::BadRequest, reason);
}

} // namespace

HttpReply ImportAliases(config::Commands& commands, const QByteArray& csv, QString* refusal) {
    const CsvRecords read = ReadCsv(csv, kMaxAliasRows + 1);
    if (!read.problem.isEmpty())
        return Refused(QStringLiteral("Not imported: ") + read.problem, refusal);
    if (read.records.isEmpty())
        return Refused(QStringLiteral("Not imported: the file has no header line"), refusal);
    // The header names the columns; one the table does not have is refused,
    // so that a file of another table is not read as this one.
    QStringList header;
    for (const QString& name : read.records.front())
        header << name.trimmed();
    QList<qsizetype> at;
    for (const QString& column : config::AliasColumns())
        at << header.indexOf(column);
    for (const QString& name : std::as_const(header))
        if (!config::AliasColumns().contains(name))
            return Refused(QStringLiteral("Not imported: the header names \"%1\"; the columns "
                                          "are Address, Function, Name, Agency")
                               .arg(name),
                           refusal);
    QList<QHash<QString, QString>> rows;
    for (qsizetype line = 1; line < read.records.size(); ++line) {
        QHash<QString, QString> row;
        for (qsizetype c = 0; c < at.size(); ++c)
            if (at[c] >= 0)
                row.insert(config::AliasColumns()[c], read.records[line].value(at[c]));
        rows << row;
    }
    const QString refused = commands.ImportAliases(rows);
    if (!refused.isEmpty())
        return Refused(refused, refusal);
    return HttpReply::Json(Status::Ok, QByteArrayLiteral("{\"ok\":true}"));
}

} // namespace web
