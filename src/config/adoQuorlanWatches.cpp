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
        rows = RowsOf(kWatchesQuery);
    } catch (const platform::Error& error) {
        warn(ErrorCode::OpenWatches, error.text());
    }
    return rows;
}
