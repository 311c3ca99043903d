#include "config/adoQuorlan.h"

#include "config/DatabaseFiles.h"
#include "config/ErrorCodes.h"
#include "platform/Error.h"

namespace {

const QString kSysConnectionString = QStringLiteral(
    "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=.\\Ombrixsys.mdb;Persist Security Info=False");

} // namespace

adoQuorlan::adoQuorlan(const QString& workDir, CoreEvents& events, LogLine logLine)
    : workDir_(workDir), events_(events), logLine_(std::move(logLine)) {}

void adoQuorlan::warn(ErrorCode site, const QString& platformText) {
    if (warnings_)
        warnings_->ShowWarning(site, platformText, 0);
}

int adoQuorlan::OpenSysDatabase() {
    try {
        gSysConnection.Close();
        gSysConnection.ConnectionString = kSysConnectionString;
        gSysConnection.Mode = platform::kModeReadWrite;
        gSysConnection.BaseFolder = workDir_;
        gSysConnection.Open();
        config::UpgradeSchema(gSysConnection, config::DatabaseKind::System);
        return static_cast<int>(gSysConnection.State());
    } catch (const platform::Error& error) {
        gSysConnection.Close();
        warn(ErrorCode::OpenSysDatabase, error.text());
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
        warn(ErrorCode::CloseSysDatabase, error.text());
        return 0;
    }
}

std::shared_ptr<platform::Recordset> adoQuorlan::openSetting(const QString& key, int lockType) {
    // The key is bound as a value, so any character in it (an apostrophe too)
    // reads and writes like any other.
    auto rs = std::make_shared<platform::Recordset>();
    rs->CursorLocation = platform::kCursorOnClient;
    rs->CursorType = platform::kCursorDynamic;
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
        auto rs = openSetting(key, platform::kLockReadOnly);
        if (rs->Eof())
            return defaultValue;
        const QVariant value = rs->Field(QStringLiteral("Key_Data"));
        return value.isValid() ? value.toString() : QString();
    } catch (const platform::Error& error) {
        warn(ErrorCode::GetStartUpKey, error.text());
        return {};
    }
}

QString adoQuorlan::SetStartUpKey(const QString& key, const QString& value) {
    if (gSysConnection.State() != platform::ObjectState::Open)
        return {};
    try {
        auto rs = openSetting(key, platform::kLockPessimistic);
        if (rs->Eof())
            return QStringLiteral("BAD");
        rs->SetField(QStringLiteral("Key_Data"), value);
        rs->Update();
        rs->Close();
        return {};
    } catch (const platform::Error& error) {
        warn(ErrorCode::SetStartUpKey, error.text());
        return {};
    }
}

void adoQuorlan::OpenStartUp(int lockType) {
    try {
        if (gSysConnection.State() != platform::ObjectState::Open)
            return;
        auto rs = std::make_shared<platform::Recordset>();
        rs->CursorLocation = platform::kCursorOnClient;
        rs->CursorType = platform::kCursorDynamic;
        rs->LockType = lockType;
        gRsStartUp = rs;
        rs->Open(QStringLiteral("SELECT * FROM `StartUp`"), gSysConnection);
    } catch (const platform::Error& error) {
        warn(ErrorCode::OpenStartUp, error.text());
    }
}

QList<QHash<QString, QString>> adoQuorlan::RowsOf(const QString& sql) {
    const auto rs = OpenRecordset(sql, platform::kLockReadOnly);
    QList<QHash<QString, QString>> rows;
    for (long row = 0; row < rs->RecordCount(); ++row) {
        QHash<QString, QString> values;
        for (int i = 0; i < rs->FieldCount(); ++i)
            values.insert(rs->FieldName(i), rs->Value(row, i).toString());
        rows << values;
    }
    return rows;
}
