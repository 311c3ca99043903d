#pragma once

#include "history/HistorySearch.h"

namespace history {

// Where a search of addresses changes its way. At 10 million pages, a range
// with more than fewPagesInRange pages has one page in a hundred or more and
// is found soonest by walking the pages newest first; a quieter one by
// sorting its index entries. With a text, an address or range of at most
// fewPagesToMatch pages has each page looked for in the text index (a step of
// about half a millisecond); a busier one is searched a window of IDs at a
// time, the first of at least smallestWindow IDs; a range of more than
// mostAddresses addresses by walking its text's pages.
struct SearchBounds {
    int fewPagesInRange = 100000;
    int fewPagesToMatch = 64;
    int mostAddresses = 2000;
    qint64 smallestWindow = 4096;
};

// FindPages with the bounds given: every way must answer alike, which the
// tests check.
PageResult FindPagesPlanned(const QSqlDatabase& db, const PageQuery& query,
                            const SearchBounds& bounds);

} // namespace history
