#pragma once

#include "config/HealthCheck.h"
#include "platform/Connection.h"
#include "platform/MetricsText.h"
#include "platform/Recordset.h"
#include "platform/Time.h"
#include "relay/DelayedRecord.h"

#include <QDateTime>
#include <QHash>
#include <functional>
#include <memory>
#include <optional>

class adoQuorlan;
class CoreEvents;
class ErrorCodes;
class Logs;

// The delayed store delayed.mdb, where packets wait for a client that is away.
//
// The list the window shows (rsDelayed) holds at most 51 rows, newest first:
// the grid shows up to 50 and only the count above that. The count and the
// rows per destination are kept as the store changes, so storing, resending
// and pruning cost the same at a hundred rows and at a hundred thousand.
class adoDelayed final : public platform::MetricsSource, public health::CheckSource {
public:
    // The next stored packet's identifier: one series for the rows of the TCP
    // outputs and of the brokers alike, taken and saved here and nowhere else.
    qint64 gMessID = 0;
    QDateTime gNextCompactCheck; // when the store is next checked for compaction

    // `workDir` is the folder of the store as it stands when the store is
    // opened; `viewShown` says whether the operator has the Delayed view in
    // front of him: the list is kept fresh only then.
    adoDelayed(adoQuorlan& db, platform::Time time, ErrorCodes& warnings, Logs& logs,
               CoreEvents& events, const QString& workDir, std::function<bool()> viewShown);

    // Start-up: the series goes on from the saved counter, and above every
    // stored row (a process killed between storing a packet and saving the
    // counter must not hand out that packet's identifier again).
    void LoadMessID() {
        gMessID = firstUnusedMessID();
        messIDLoaded_ = true;
    }
    // Shutdown. A counter that was never read must not overwrite the saved
    // one: it would lower it, and identifiers would repeat.
    void SaveMessID() {
        if (messIDLoaded_)
            saveMessID(gMessID);
    }
    // Stores rows in one transaction under the next identifiers of the series,
    // which it writes into `rows` (a row without a Created time is stamped
    // now); false (after ErrorCode::AddDelayed) when none could be stored.
    bool StoreRows(QList<DelayedRecord>& rows) {
        for (qsizetype i = 0; i < rows.size(); ++i)
            rows[i].MessID = gMessID + i;
        stampCreated(rows);
        if (!AddDelayedRows(rows))
            return false;
        // The rows are in the store: their identifiers are used, whatever fails after.
        gMessID += rows.size();
        saveMessID(gMessID);
        return true;
    }

    bool ViewShown() const { return viewShown_(); }

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

    // Stores one packet; false (after ErrorCode::AddDelayed) when it could not be stored.
    // A row that was inserted counts as stored even when showing it fails.
    bool AddDelayed(const QByteArray& packet, const QString& destination, qint64 messID);
    // Stores many rows in one transaction (identifiers and Created as given);
    // false (after ErrorCode::AddDelayed) when none could be stored.
    bool AddDelayedRows(const QList<DelayedRecord>& rows);
    // False (after ErrorCode::DelayedList) when the row could not be deleted.
    bool DeleteDelayed(const DelayedRecord& record);
    // Deletes rows of one destination by identifier, in one transaction.
    void DeleteDelayedRows(const QString& destination, const QList<qint64>& messIDs);
    // Up to `limit` rows of a destination with identifiers above `messID`, in
    // identifier order (the order they were stored in).
    QList<DelayedRecord> StoredAfter(const QString& destination, qint64 messID, int limit);
    // Deletes every row; false (after ErrorCode::DelayedList) when it could not.
    bool ClearDelayed();
    // Deletes every row of one destination in one statement; returns how many.
    qint64 DeleteDestination(const QString& destination);
    // The identifiers of one destination's rows (empty when they cannot be read).
    QList<qint64> MessIDsFor(const QString& destination);
    DelayedRecord ReadDelayedRecord(platform::Recordset& rs) const;
    bool CheckDelayedCompaction();

    // The oldest stored row for one destination (Count 0 when there is none).
    DelayedRecord OldestFor(const QString& destination);
    // Destinations that have rows, oldest row first.
    QStringList StoredDestinations() const { return destinations_.keys(); }
    qint64 RowsFor(const QString& destination) const { return destinations_.value(destination); }
    // The largest identifier in the store, or 0.
    qint64 LargestMessID();
    // The Created time of the oldest stored row; "" when the store is empty.
    // Kept as rows are stored; read again (from the store's index on
    // Created) only after a delete may have taken the oldest row.
    QString OldestCreated();

    // Packets stored for a destination since start.
    qint64 StoredTotalFor(const QString& destination) const {
        return storedTotal_.value(destination);
    }
    // ombrix_store_rows and ombrix_store_bytes; the check "store": failing
    // while the last write to the store failed.
    void WriteMetrics(platform::MetricsText& text) const override;
    void AppendChecks(QList<health::Check>& checks) const override;

private:
    void recount();
    void proveWritable();
    void ensureOpen();
    // One destination for each row stored.
    void showInserted(const QStringList& destinations);
    qint64 firstUnusedMessID();
    void saveMessID(qint64 next);
    void stampCreated(QList<DelayedRecord>& rows) const;
    void forgetOldest(const DelayedRecord& record);
    void noteWrite(bool written);
    void countStored(const QString& destination) { ++storedTotal_[destination]; }
    void noteStoredCreated(const QString& created) {
        if (oldest_ && (oldest_->isEmpty() || created < *oldest_))
            oldest_ = created;
    }

    adoQuorlan& db_;
    platform::Time time_;
    ErrorCodes& warnings_;
    Logs& logs_;
    CoreEvents& events_;
    const QString& workDir_;
    std::function<bool()> viewShown_;
    bool messIDLoaded_ = false;
    QHash<QString, qint64> destinations_;
    QHash<QString, qint64> storedTotal_; // by destination, while it has an output
    bool writeFailed_ = false;
    QDateTime writtenSince_;        // when writeFailed_ last changed
    std::optional<QString> oldest_; // OldestCreated; none: to be read again
    // OldestFor by destination, read once and forgotten when a row of that
    // destination is stored or deleted: the resend asks for every output
    // each second, and a backlog would otherwise cost a query for each.
    QHash<QString, DelayedRecord> oldestFor_;
};
