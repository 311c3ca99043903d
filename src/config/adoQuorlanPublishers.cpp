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
        rows = RowsOf(kPublishersQuery);
    } catch (const platform::Error& error) {
        warn(ErrorCode::OpenPublishers, error.text());
    }
    return rows;
}
