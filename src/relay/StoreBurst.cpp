#include "relay/StoreBurst.h"

#include "history/PageTrail.h"
#include "logging/Logs.h"
#include "outputs/frmOutputSockets.h"
#include "relay/adoDelayed.h"

int StoreBurst::Add(int index, const QByteArray& packet, TrailMark mark) {
    DelayedRecord row;
    row.Destination = outputs_.Entry(index).Description;
    row.Packet = packet;
    rows_ << row;
    marks_ << mark;
    return static_cast<int>(rows_.size() - 1);
}

bool StoreBurst::Commit() {
    if (rows_.isEmpty())
        return true;
    if (!store_.StoreRows(rows_))
        return false;
    stored_ = true;
    countAfter_ = store_.gDelayedCount;
    return true;
}

void StoreBurst::Tell(int place) const {
    const DelayedRecord& row = rows_[place];
    const QByteArray failed = QByteArray("System: TCP failed ") + row.Destination.toUtf8();
    if (!stored_) {
        // Not stored (ErrorCode::AddDelayed said why): say so with the packet itself,
        // rather than claim a stored record.
        logs_.LogOutput(failed + ". Could not store the packet, it is lost: " + row.Packet);
        return;
    }
    // The count each line shows goes up packet by packet, as it did when
    // every packet was stored on its own.
    const qint64 later = rows_.size() - 1 - place;
    logs_.LogOutput(failed + ". Add record to dbase. Delayed Ct " +
                    QByteArray::number(countAfter_ - later));
    const TrailMark& mark = marks_[place];
    if (mark.pageID != 0)
        trail_.PageEvent(mark.pageID, row.Destination, history::TrailEvent::Stored, row.MessID);
    else if (mark.copyID != 0)
        trail_.CopyStoredAgain(mark.copyID, row.MessID);
}
