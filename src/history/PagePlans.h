#pragma once

#include "history/HistorySearch.h"

namespace history {

// A range of addresses with no more pages than this is searched on its index
// entries; a busier one by walking the pages (or the text index) newest
// first, where, at 10 million pages, at least one page in a hundred is the
// range's, so that a page of answers comes soon.
constexpr int kFewPagesInRange = 100000;

// FindPages, with the bound between the two ways of searching a range of
// addresses given: both must answer alike, which the tests check.
PageResult FindPagesPlanned(const QSqlDatabase& db, const PageQuery& query, int fewPagesInRange);

} // namespace history
