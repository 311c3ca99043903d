#pragma once

#include "history/HistorySearch.h"

#include <QByteArray>
#include <QJsonObject>
#include <QString>

namespace web {

// The answers of the history's API, as the console's pages and scripts read them:
//   {"pages": [{"id", "time", "carrier", "rate", "frequency", "function",
//     "address", "type", "text"}], "next": <id or null>}
//   {"page": {... as above, "packet": base64}, "trail": [{"destination", "event", "time"}]}
//   {"rows": [{"id", "time", "operator", "address", "action", "detail"}], "next": <id or null>}
// Times are ISO 8601 with milliseconds and the offset the row was written
// with; a text's bytes are the code points of their values.
QJsonObject PagesJson(const history::PageResult& result);
QJsonObject PageJson(const history::PageRow& page, const QList<history::TrailRow>& trail);
QJsonObject AuditJson(const history::AuditResult& result);

// A moment of the history: UTC milliseconds shown at the offset it was written with.
QString HistoryTime(qint64 timeMs, int offsetMinutes);

// The CSV export: the header row "id,time,carrier,rate,frequency,function,
// address,type,text", then a row a page, CR LF after each, UTF-8; a field
// with a comma, a quote, a CR or an LF is quoted and its quotes doubled
// (RFC 4180).
QByteArray CsvHeader();
QByteArray CsvRow(const history::PageRow& page);

} // namespace web
