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
