#pragma once

#include "web/HttpReply.h"

#include <QByteArray>
#include <QString>

namespace config {
class Commands;
}

namespace web {

class WebConsoleHost;

// The Aliases table as a CSV file, out and in:
//   GET /api/aliases.csv -> text/csv, a header line "Address,Function,Name,Agency" and the
//       table's rows as stored, in Name order;
//   POST /api/aliases.csv with such a file (the header first; its columns in any order) ->
//       200 {"ok":true} once the table holds exactly the file's rows; 400 with the reason
//       (the line, and what is wrong with it) and nothing changed for a file that is not
//       such CSV, has more than kMaxAliasRows rows, or a row that cannot be used.
HttpReply ExportAliases(WebConsoleHost& host);
// `commands` replaces the rows (and records who did, when audited); a refusal's
// reason is also left in `refusal`.
HttpReply ImportAliases(config::Commands& commands, const QByteArray& csv, QString* refusal);

inline constexpr qsizetype kMaxAliasRows = 20'000;

} // namespace web
