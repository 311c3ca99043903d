#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QtGlobal>

namespace sim {

// One page to send. type: 'A' alphanumeric, 'N' numeric, 'T' tone only.
struct Page {
    quint32 ric = 0;
    char function = 'A'; // 'A'..'D'
    char type = 'A';
    QByteArray text;
};

struct PageListResult {
    QList<Page> pages;
    QString error; // empty when the whole list was read
};

// A page list: one page a line, "RIC FUNCTION TYPE TEXT", fields separated by
// blanks or tabs, the text running from after the one blank that follows the
// type to the end of the line. Blank lines and lines whose first non-blank
// character is '#' are skipped. Errors name the line.
PageListResult ParsePageList(const QByteArray& content);

} // namespace sim
