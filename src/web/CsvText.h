#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

namespace web {

// A field of a CSV line: quoted, with its quotes doubled, when it holds a
// comma, a quote or a line break; UTF-8.
QByteArray CsvField(const QString& text);

struct CsvRecords {
    QList<QStringList> records;
    QString problem; // set when the text is not CSV that can be read
};

// The records of a CSV text (UTF-8, lines ended by CRLF or LF, quoted fields
// as CsvField writes them), at most `maxRecords` of them.
CsvRecords ReadCsv(const QByteArray& text, qsizetype maxRecords);

} // namespace web
