#pragma once

#include "history/HistorySearch.h"
#include "web/QueryParams.h"

#include <QString>
#include <optional>

namespace web {

// The filters of GET /api/history and /api/history.csv, and of GET
// /api/audit, read from a request's query and bounded: an address is A or
// A-B in digits; from and to are ISO 8601 (to excluded); function is A to D,
// type A, N or T; before is a page's id; limit 1 to history::kMaxSearchLimit
// (history::kDefaultSearchLimit when not given). What cannot be used is
// PARAMS' problem.
history::PageQuery PageQueryOf(QueryParams& params);
history::AuditQuery AuditQueryOf(QueryParams& params);

// The id of GET /api/history/<id>: none when PATH is not of that form, 0
// when its id is not a whole number that can be a page's.
std::optional<qint64> PageIdOf(const QString& path);

} // namespace web
