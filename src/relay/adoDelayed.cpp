#include "relay/adoDelayed.h"

#include "app/System.h"
#include "config/DatabaseFiles.h"
#include "platform/Error.h"

namespace {

const QString kDelayedConnectionString = QStringLiteral(
    "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=.\\delayed.mdb;Persist Security Info=False");

} // namespace

adoDelayed::adoDelayed(System& system) : sys_(system) {}

int adoDelayed::OpenDelayedDb() {
    try {
        cnDelayed.Close();
        cnDelayed.ConnectionString = kDelayedConnectionString;
        cnDelayed.Mode = 3;
        cnDelayed.BaseFolder = sys_.workDir;
        cnDelayed.Open();
        // A stored packet must survive a power cut the moment it is stored.
        cnDelayed.Execute(QStringLiteral("PRAGMA journal_mode = WAL"));
        cnDelayed.Execute(QStringLiteral("PRAGMA synchronous = FULL"));
        config::UpgradeSchema(cnDelayed, config::DatabaseKind::Delayed);
        return cnDelayed.State();
    } catch (const platform::Error& error) {
        cnDelayed.Close();
        sys_.ShowWarning(400, error.text(), 0);
        return 0;
    }
}

int adoDelayed::CloseDelayedDb() {
    try {
        cnDelayed.Close();
        return cnDelayed.State();
    } catch (const platform::Error& error) {
        sys_.ShowWarning(401, error.text(), 0);
        return 0;
    }
}

void adoDelayed::OpenDelayedList() {
    if (cnDelayed.State() != 1)
        return;
    try {
        auto rs = std::make_shared<platform::Recordset>();
        rs->CursorLocation = 3;
        rs->CursorType = 2;
        rs->LockType = 1;
        rsDelayed = rs;
        rs->Open(QStringLiteral("SELECT * FROM `Delayed` ORDER BY `Created` DESC"), cnDelayed);
        gDelayedCount = static_cast<qint32>(rs->RecordCount());
    } catch (const platform::Error& error) {
        sys_.ShowWarning(404, error.text(), 0);
    }
}

void adoDelayed::CloseDelayedList() {
    if (cnDelayed.State() == 1 && rsDelayed && rsDelayed->State() == 1)
        rsDelayed->Close();
}

void adoDelayed::RefreshDelayedView() {
    frmQuorlan& w = sys_.window;
    if (w.SSTab1.Value != 4) {
        w.dgDelayed.DataSource.reset();
        w.Changed();
        return;
    }
    if (rsDelayed && rsDelayed->State() == 1)
        rsDelayed->Requery();
    else
        OpenDelayedList();
    w.dgDelayed.DataSource.reset();
    const bool open = rsDelayed && rsDelayed->State() == 1;
    const long count = open ? rsDelayed->RecordCount() : 0;
    if (count <= 50) {
        if (open) {
            sys_.display.Bind(w.dgDelayed, rsDelayed, colours::Blue);
            sys_.display.SetDelayedColumns(rsDelayed->FieldCount());
        }
    } else {
        // Too many rows to show: the count goes to the warning box instead.
        w.frmeSystemError.Visible = true;
        w.txbSystemError.Text = sys_.NowText() +
                                QStringLiteral("\r\n\r\n\r\nThe delayed list is ") +
                                QString::number(count) + QStringLiteral(".");
    }
    w.Changed();
}
