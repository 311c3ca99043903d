#include "relay/StoreBurst.h"

#include "app/System.h"
#include "platform/Error.h"

StoreBurst::StoreBurst(System& system) : sys_(system) {}

int StoreBurst::Add(int index, const QByteArray& packet) {
    DelayedRecord row;
    row.Destination = sys_.outputSockets.Entry(index).Description;
    row.Packet = packet;
    rows_ << row;
    return static_cast<int>(rows_.size() - 1);
}

bool StoreBurst::Commit() {
    if (rows_.isEmpty())
        return true;
    // Identifiers in the order the packets came, as when each was stored alone.
    const QString created = sys_.Now().toString(Qt::ISODateWithMs);
    for (qsizetype i = 0; i < rows_.size(); ++i) {
        rows_[i].MessID = sys_.delayedDb.gMessID + i;
        rows_[i].Created = created;
    }
    adoDelayed& store = sys_.delayedDb;
    if (!store.AddDelayedRows(rows_))
        return false;
    stored_ = true;
    countAfter_ = store.gDelayedCount;
    // The rows are in the store: their identifiers are used, whatever fails after.
    sys_.delayedDb.gMessID += rows_.size();
    try {
        if (store.DelayedListOpen())
            sys_.display.SetDelayedColumns(store.rsDelayed->FieldCount());
    } catch (const platform::Error& error) {
        sys_.ShowWarning(ErrorCode::DelayedList, error.text(), 0);
    }
    sys_.db.SetStartUpKey(QStringLiteral("MessID"), QString::number(sys_.delayedDb.gMessID));
    return true;
}

void StoreBurst::Tell(int place) const {
    const DelayedRecord& row = rows_[place];
    const QByteArray failed = QByteArray("System: TCP failed ") + row.Destination.toUtf8();
    if (!stored_) {
        // Not stored (warning 402 said why): say so with the packet itself,
        // rather than claim a stored record.
        sys_.logs.LogOutput(failed + ". Could not store the packet, it is lost: " + row.Packet);
        return;
    }
    // The count each line shows goes up packet by packet, as it did when
    // every packet was stored on its own.
    const qint64 later = rows_.size() - 1 - place;
    sys_.logs.LogOutput(failed + ". Add record to dbase. Delayed Ct " +
                        QByteArray::number(countAfter_ - later));
}

void StoreBurst::TellAll() const {
    for (int place = 0; place < rows_.size(); ++place)
        Tell(place);
}
