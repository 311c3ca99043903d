// The Publishers table: the MQTT brokers, shown and edited in their grid like
// the Outputs table, and read into rows for the publishers.

#include "config/adoQuorlan.h"
#include "platform/Error.h"

namespace {

const QString kPublishersQuery =
    QStringLiteral("SELECT * FROM `Publishers` ORDER BY `Description`");

} // namespace

void adoQuorlan::OpenPublishers(int lockType) {
    if (gSysConnection.State() != platform::ObjectState::Open)
        return;
    try {
        rsPublishers = OpenRecordset(kPublishersQuery, lockType);
    } catch (const platform::Error& error) {
        warn(ErrorCode::OpenPublishers, error.text());
    }
}

QList<publish::PublisherRow> adoQuorlan::PublisherRows() {
    QList<publish::PublisherRow> rows;
    if (gSysConnection.State() != platform::ObjectState::Open)
        return rows;
    try {
        // A recordset of its own: the grid's may be open for editing.
        const auto rs = OpenRecordset(kPublishersQuery, platform::kLockReadOnly);
        if (rs->RecordCount() == 0)
            return rows;
        for (rs->MoveFirst(); !rs->Eof(); rs->MoveNext()) {
            publish::PublisherRow row;
            for (int i = 0; i < rs->FieldCount(); ++i)
                row.insert(rs->FieldName(i), rs->Field(rs->FieldName(i)).toString());
            rows << row;
        }
    } catch (const platform::Error& error) {
        warn(ErrorCode::OpenPublishers, error.text());
    }
    return rows;
}
