// The Watches table: the test pages a site watches for, shown and edited in
// their grid like the other tables, and read into rows for the watches.

#include "config/adoQuorlan.h"
#include "platform/Error.h"

namespace {

const QString kWatchesQuery = QStringLiteral("SELECT * FROM `Watches` ORDER BY `Description`");

} // namespace

void adoQuorlan::OpenWatches(int lockType) {
    if (gSysConnection.State() != platform::ObjectState::Open)
        return;
    try {
        rsWatches = OpenRecordset(kWatchesQuery, lockType);
    } catch (const platform::Error& error) {
        warn(ErrorCode::OpenWatches, error.text());
    }
}

QList<QHash<QString, QString>> adoQuorlan::WatchRows() {
    QList<QHash<QString, QString>> rows;
    if (gSysConnection.State() != platform::ObjectState::Open)
        return rows;
    try {
        // A recordset of its own: the grid's may be open for editing.
        const auto rs = OpenRecordset(kWatchesQuery, platform::kLockReadOnly);
        for (long row = 0; row < rs->RecordCount(); ++row) {
            QHash<QString, QString> values;
            for (int i = 0; i < rs->FieldCount(); ++i)
                values.insert(rs->FieldName(i), rs->Value(row, i).toString());
            rows << values;
        }
    } catch (const platform::Error& error) {
        warn(ErrorCode::OpenWatches, error.text());
    }
    return rows;
}
