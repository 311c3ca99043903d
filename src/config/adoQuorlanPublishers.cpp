// The Publishers table: the MQTT brokers, shown and edited in their grid like
// the Outputs table, and read into rows for the publishers.

#include "app/System.h"
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
        sys_.ShowWarning(ErrorCode::OpenPublishers, error.text(), 0);
    }
}

void adoQuorlan::EditPublishers() {
    try {
        if (rsPublishers && rsPublishers->State() == platform::ObjectState::Open)
            rsPublishers->Close();
        sys_.window.dgPublishers.DataSource.reset();
        OpenPublishers(3);
        if (sys_.display.Bind(sys_.window.dgPublishers, rsPublishers, colours::DarkRed))
            sys_.display.SetPublishersColumns(rsPublishers->FieldCount());
    } catch (const platform::Error& error) {
        sys_.ShowWarning(ErrorCode::OpenPublishers, error.text(), 0);
    }
}

bool adoQuorlan::CommitPublishers() {
    try {
        if (!rsPublishers || rsPublishers->LockType == 1)
            return false;
        rsPublishers->Update();
        rsPublishers->Close();
        sys_.window.dgPublishers.DataSource.reset();
        OpenPublishers(1);
        sys_.display.Bind(sys_.window.dgPublishers, rsPublishers, colours::Blue);
        // A table that did not reopen raises here, and the commit has failed.
        sys_.display.SetPublishersColumns(rsPublishers->FieldCount());
        sys_.LoadPublishers();
        return true;
    } catch (const platform::Error& error) {
        sys_.ShowWarning(ErrorCode::CommitPublishers, error.text(), 0);
        return false;
    }
}

QList<publish::PublisherRow> adoQuorlan::PublisherRows() {
    QList<publish::PublisherRow> rows;
    if (gSysConnection.State() != platform::ObjectState::Open)
        return rows;
    try {
        // A recordset of its own: the grid's may be open for editing.
        const auto rs = OpenRecordset(kPublishersQuery, 1);
        if (rs->RecordCount() == 0)
            return rows;
        for (rs->MoveFirst(); !rs->Eof(); rs->MoveNext()) {
            publish::PublisherRow row;
            for (int i = 0; i < rs->FieldCount(); ++i)
                row.insert(rs->FieldName(i), rs->Field(rs->FieldName(i)).toString());
            rows << row;
        }
    } catch (const platform::Error& error) {
        sys_.ShowWarning(ErrorCode::OpenPublishers, error.text(), 0);
    }
    return rows;
}
