#include "config/adoQuorlan.h"

#include "app/System.h"
#include "config/DatabaseFiles.h"
#include "platform/Error.h"

namespace {

const QString kSysConnectionString = QStringLiteral(
    "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=.\\Ombrixsys.mdb;Persist Security Info=False");

} // namespace

adoQuorlan::adoQuorlan(System& system) : sys_(system) {}

int adoQuorlan::OpenSysDatabase() {
    try {
        gSysConnection.Close();
        gSysConnection.ConnectionString = kSysConnectionString;
        gSysConnection.Mode = 3;
        gSysConnection.BaseFolder = sys_.workDir;
        gSysConnection.Open();
        config::UpgradeSchema(gSysConnection, config::DatabaseKind::System);
        return static_cast<int>(gSysConnection.State());
    } catch (const platform::Error& error) {
        gSysConnection.Close();
        sys_.ShowWarning(ErrorCode::OpenSysDatabase, error.text(), 0);
        return 0;
    }
}

int adoQuorlan::CloseSysDatabase() {
    try {
        if (gSysConnection.State() == platform::ObjectState::Open) {
            gRsSetting.reset();
            gSysConnection.Close();
        }
        return static_cast<int>(gSysConnection.State());
    } catch (const platform::Error& error) {
        sys_.ShowWarning(ErrorCode::CloseSysDatabase, error.text(), 0);
        return 0;
    }
}

std::shared_ptr<platform::Recordset> adoQuorlan::openSetting(const QString& key, int lockType) {
    // The key is bound as a value, so any character in it (an apostrophe too)
    // reads and writes like any other.
    auto rs = std::make_shared<platform::Recordset>();
    rs->CursorLocation = 3;
    rs->CursorType = 2;
    rs->LockType = lockType;
    rs->Open(QStringLiteral("SELECT * FROM `Startup` WHERE (`Key_Description` = ?)"),
             gSysConnection, {key});
    gRsSetting = rs;
    return rs;
}

QString adoQuorlan::GetStartUpKey(const QString& key, const QString& defaultValue) {
    if (gSysConnection.State() != platform::ObjectState::Open)
        return {};
    try {
        auto rs = openSetting(key, 1);
        if (rs->Eof())
            return defaultValue;
        const QVariant value = rs->Field(QStringLiteral("Key_Data"));
        return value.isValid() ? value.toString() : QString();
    } catch (const platform::Error& error) {
        sys_.ShowWarning(ErrorCode::GetStartUpKey, error.text(), 0);
        return {};
    }
}

QString adoQuorlan::SetStartUpKey(const QString& key, const QString& value) {
    if (gSysConnection.State() != platform::ObjectState::Open)
        return {};
    try {
        auto rs = openSetting(key, 2);
        if (rs->Eof())
            return QStringLiteral("BAD");
        rs->SetField(QStringLiteral("Key_Data"), value);
        rs->Update();
        rs->Close();
        return {};
    } catch (const platform::Error& error) {
        sys_.ShowWarning(ErrorCode::SetStartUpKey, error.text(), 0);
        return {};
    }
}

void adoQuorlan::OpenStartUp(int lockType) {
    try {
        if (gSysConnection.State() != platform::ObjectState::Open)
            return;
        auto rs = std::make_shared<platform::Recordset>();
        rs->CursorLocation = 3;
        rs->CursorType = 2;
        rs->LockType = lockType;
        gRsStartUp = rs;
        rs->Open(QStringLiteral("SELECT * FROM `StartUp`"), gSysConnection);
    } catch (const platform::Error& error) {
        sys_.ShowWarning(ErrorCode::OpenStartUp, error.text(), 0);
    }
}

void adoQuorlan::bindStartUpGrid(long foreColor) {
    if (sys_.display.Bind(sys_.window.dgStartup, gRsStartUp, foreColor))
        sys_.display.SetStartupColumns(gRsStartUp->FieldCount());
}

void adoQuorlan::EditStartUp() {
    // A failure while closing or reopening leaves the grid detached; OpenStartUp
    // reports its own failure as warning 302.
    try {
        if (gRsStartUp && gRsStartUp->State() == platform::ObjectState::Open)
            gRsStartUp->Close();
    } catch (const platform::Error&) {
    }
    sys_.window.dgStartup.DataSource.reset();
    OpenStartUp(3);
    bindStartUpGrid(colours::DarkRed);
}

void adoQuorlan::CommitStartUp() {
    if (!gRsStartUp || gRsStartUp->LockType == 1)
        return;
    // Each statement is skipped on failure, as the operator expects the grid back
    // read-only whatever happened; a failed save loses the unsaved edits.
    try {
        gRsStartUp->Update();
    } catch (const platform::Error&) {
    }
    try {
        gRsStartUp->Close();
    } catch (const platform::Error&) {
    }
    sys_.window.dgStartup.DataSource.reset();
    OpenStartUp(1);
    bindStartUpGrid(colours::Blue);
}
