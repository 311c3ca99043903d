// The tables of the system database that the window's grids show and the
// connection loaders walk.

#include "config/Limits.h"
#include "config/adoQuorlan.h"
#include "platform/Error.h"

std::shared_ptr<platform::Recordset> adoQuorlan::OpenRecordset(const QString& sql, int lockType,
                                                               const QVariantList& params) {
    auto rs = std::make_shared<platform::Recordset>();
    rs->CursorLocation = platform::kCursorOnClient;
    rs->CursorType = platform::kCursorDynamic;
    rs->LockType = lockType;
    rs->Open(sql, gSysConnection, params);
    return rs;
}

void adoQuorlan::OpenErrorCode(int errorNumber) {
    if (gSysConnection.State() != platform::ObjectState::Open)
        return;
    try {
        rsErrorCode.reset();
        rsErrorCode =
            OpenRecordset(QStringLiteral("SELECT * FROM `ErrorCodes` WHERE (`ErrorNumber` = ?)"),
                          platform::kLockReadOnly, {errorNumber});
    } catch (const platform::Error& error) {
        warn(ErrorCode::OpenErrorCode, error.text());
    }
}

void adoQuorlan::OpenErrorCodes(int lockType) {
    if (gSysConnection.State() != platform::ObjectState::Open)
        return;
    try {
        rsErrorCodes = std::make_shared<platform::Recordset>();
        rsErrorCodes = OpenRecordset(
            QStringLiteral("SELECT * FROM `ErrorCodes` ORDER BY `ErrorNumber` ASC"), lockType);
    } catch (const platform::Error& error) {
        warn(ErrorCode::OpenErrorCodes, error.text());
    }
}

void adoQuorlan::OpenTelstra(int lockType) {
    gTelstraLoaded = gTelstraCount;
    if (gSysConnection.State() != platform::ObjectState::Open)
        return;
    try {
        rsTelstra = std::make_shared<platform::Recordset>();
        rsTelstra = OpenRecordset(QStringLiteral("SELECT * FROM `Telstra` ORDER BY `Description`"),
                                  lockType);
        gTelstraCount = static_cast<int>(rsTelstra->RecordCount());
        if (gTelstraCount > kMaxTelstra) {
            gTelstraCount = kMaxTelstra;
            const QString text =
                QStringLiteral("System: No of Telstra sockets in database is greater than MAX "
                               "Allowed of [") +
                QString::number(kMaxTelstra) +
                QStringLiteral("]. Only the maximum no of sockets will be operational.");
            logLine_(LogPane::Telstra, text);
            events_.InfoShown(text);
        }
    } catch (const platform::Error& error) {
        warn(ErrorCode::OpenTelstra, error.text());
    }
}

void adoQuorlan::OpenOutputs(int lockType) {
    gOutputsLoaded = gOutputCount;
    if (gSysConnection.State() != platform::ObjectState::Open)
        return;
    try {
        rsOutputs = std::make_shared<platform::Recordset>();
        rsOutputs = OpenRecordset(QStringLiteral("SELECT * FROM `Outputs` ORDER BY `Description`"),
                                  lockType);
        gOutputCount = static_cast<int>(rsOutputs->RecordCount());
        if (gOutputCount > kMaxOutputs) {
            gOutputCount = kMaxOutputs;
            const QString text = QStringLiteral("System: No of outputs in database is greater than "
                                                "MAX Allowed output sockets of [") +
                                 QString::number(kMaxOutputs) + QStringLiteral("]");
            logLine_(LogPane::Outputs, text);
            events_.InfoShown(text);
        }
    } catch (const platform::Error& error) {
        warn(ErrorCode::OpenOutputs, error.text());
    }
}
