#pragma once

#include "relay/DelayedRecord.h"

#include <QList>
#include <QPair>
#include <QString>

class adoDelayed;

namespace relay {

// One page of the delayed store as an operator browses it: whatever the
// number of rows, only the page is read, through the store's indexes.
struct DelayedPageQuery {
    static constexpr int kMaxRows = 50;

    enum class Order { Newest, Oldest };

    QString destination; // "" for every destination
    qint64 offset = 0;   // rows of the order skipped
    int limit = kMaxRows;
    Order order = Order::Newest;
};

struct DelayedPage {
    qint64 total = 0;                     // rows of the destination asked for, or of all
    QList<QPair<QString, qint64>> counts; // rows of each destination that has any
    QList<DelayedRecord> rows;            // Count is not set
};

// Reads a page on the store's own connection; no rows when the store is not
// open. Raises platform::Error when the store cannot be read.
DelayedPage ReadDelayedPage(adoDelayed& store, const DelayedPageQuery& query);

} // namespace relay
