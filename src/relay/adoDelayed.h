#pragma once

#include "platform/Connection.h"
#include "platform/Recordset.h"
#include "relay/DelayedRecord.h"

#include <QDateTime>
#include <QHash>
#include <memory>

class System;

// The delayed store delayed.mdb, where packets wait for a client that is away.
//
// The list the window shows (rsDelayed) holds at most 51 rows, newest first:
// the grid shows up to 50 and only the count above that. The count and the
// rows per destination are kept as the store changes, so storing, resending
// and pruning cost the same at a hundred rows and at a hundred thousand.
class adoDelayed {
public:
    qint64 gMessID = 0;          // the next stored packet's identifier
    QDateTime gNextCompactCheck; // when the store is next checked for compaction

    explicit adoDelayed(System& system);

    platform::Connection cnDelayed;
    std::shared_ptr<platform::Recordset> rsDelayed;
    qint32 gDelayedCount = 0;

    int OpenDelayedDb();
    // OpenDelayedDb for start-up: a damaged store is first replaced by what
    // could be saved of it, and a store that cannot be written fails here
    // rather than with the first packet it should have kept.
    int OpenDelayedDbAtStartUp();
    int CloseDelayedDb();
    void OpenDelayedList();
    void CloseDelayedList();
    bool DelayedListOpen() const {
        return rsDelayed && rsDelayed->State() == platform::ObjectState::Open;
    }
    void RefreshDelayedView();

    // Stores one packet; false (after warning 402) when it could not be stored.
    // A row that was inserted counts as stored even when showing it fails.
    bool AddDelayed(const QByteArray& packet, const QString& destination, qint64 messID);
    // Stores many rows in one transaction (Created as given); false (after
    // warning 402) when none could be stored.
    bool AddDelayedRows(const QList<DelayedRecord>& rows);
    void DeleteDelayed(const DelayedRecord& record);
    // Deletes rows of one destination by identifier, in one transaction.
    void DeleteDelayedRows(const QString& destination, const QList<qint64>& messIDs);
    // Up to `limit` rows of a destination with identifiers above `messID`, in
    // identifier order (the order they were stored in).
    QList<DelayedRecord> StoredAfter(const QString& destination, qint64 messID, int limit);
    void ClearDelayed();
    // Deletes every row of one destination in one statement; returns how many.
    qint64 DeleteDestination(const QString& destination);
    DelayedRecord ReadDelayedRecord(platform::Recordset& rs) const;
    bool CheckDelayedCompaction();

    // The oldest stored row for one destination (Count 0 when there is none).
    DelayedRecord OldestFor(const QString& destination);
    // Destinations that have rows, oldest row first.
    QStringList StoredDestinations() const { return destinations_.keys(); }
    qint64 RowsFor(const QString& destination) const { return destinations_.value(destination); }
    // The largest identifier in the store, or 0.
    qint64 LargestMessID();

private:
    void recount();
    void proveWritable();
    void ensureOpen();
    // One destination for each row stored.
    void showInserted(const QStringList& destinations);

    System& sys_;
    QHash<QString, qint64> destinations_;
};
