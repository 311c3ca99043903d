#pragma once

#include "history/HistorySql.h"
#include "history/PageIds.h"

#include <QList>
#include <QSqlDatabase>
#include <QString>

namespace history {

// The addresses from..to that have pages, lowest first: one step on the
// address index for each, at most `most` + 1 of them.
QList<qint64> AddressesIn(const QSqlDatabase& db, qint64 from, qint64 to, int most);

// The pages of `addresses` whose text matches, newest first. SQLite merges
// the two lists of IDs, the addresses' from their index (sorted first when
// there are several addresses) and the text index's, both newest first; it
// does so in windows of IDs, newest first, each larger than the one before,
// so that a search with many answers sorts few IDs and one with none reads
// each list once.
class TextAtAddressIds final : public PageIds {
public:
    TextAtAddressIds(const QSqlDatabase& db, const QString& text, const QList<qint64>& addresses,
                     const IdWindow& window, qint64 smallestWindow);
    QList<qint64> Next(int count) override;

private:
    QList<qint64> Merged(qint64 low, qint64 high, int count) const;

    QSqlDatabase db_;
    QString text_;
    QList<qint64> addresses_;
    IdWindow held_;        // the IDs still to search: low <= ID < high
    qint64 windowLow_ = 0; // the current window's floor
    qint64 windowSize_ = 0;
};

} // namespace history
