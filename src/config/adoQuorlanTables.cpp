// The tables of the system database that the window's grids show and the
// connection loaders walk.

#include "app/System.h"
#include "config/Limits.h"
#include "config/LoaderSteps.h"
#include "config/SettingValues.h"
#include "config/adoQuorlan.h"
#include "platform/Error.h"

std::shared_ptr<platform::Recordset> adoQuorlan::OpenRecordset(const QString& sql, int lockType,
                                                               const QVariantList& params) {
    auto rs = std::make_shared<platform::Recordset>();
    rs->CursorLocation = 3;
    rs->CursorType = 2;
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
            OpenRecordset(QStringLiteral("SELECT * FROM `ErrorCodes` WHERE (`ErrorNumber` = ?)"), 1,
                          {errorNumber});
    } catch (const platform::Error& error) {
        sys_.ShowWarning(ErrorCode::OpenErrorCode, error.text(), 0);
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
        sys_.ShowWarning(ErrorCode::OpenErrorCodes, error.text(), 0);
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
            sys_.logs.LogInput(text);
            sys_.display.ShowInfoBox(text);
        }
    } catch (const platform::Error& error) {
        sys_.ShowWarning(ErrorCode::OpenTelstra, error.text(), 0);
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
            sys_.logs.LogOutput(text);
            sys_.display.ShowInfoBox(text);
        }
    } catch (const platform::Error& error) {
        sys_.ShowWarning(ErrorCode::OpenOutputs, error.text(), 0);
    }
}

void adoQuorlan::EditOutputs() {
    if (rsOutputs && rsOutputs->State() == platform::ObjectState::Open)
        rsOutputs->Close();
    sys_.window.dgOutputs.DataSource.reset();
    OpenOutputs(3);
    if (sys_.display.Bind(sys_.window.dgOutputs, rsOutputs, colours::DarkRed))
        sys_.display.SetOutputsColumns(rsOutputs->FieldCount());
}

bool adoQuorlan::CommitOutputs() {
    try {
        if (!rsOutputs || rsOutputs->LockType == 1)
            return false;
        refuseUnusablePorts(*rsOutputs, QStringLiteral("Outputs"));
        rsOutputs->Update();
        rsOutputs->Close();
        sys_.window.dgOutputs.DataSource.reset();
        OpenOutputs(1);
        sys_.display.Bind(sys_.window.dgOutputs, rsOutputs, colours::Blue);
        // A table that did not reopen (OpenOutputs reported why) raises here, so
        // the commit is reported as failed and the button stays on Commit.
        sys_.display.SetOutputsColumns(rsOutputs->FieldCount());
        sys_.outputSockets.LoadOutputClients();
        sys_.outputSockets.RequestUpdateOutputClients();
        sys_.outputSockets.CheckOuputsPostUpdate();
        sys_.outputRules.CheckDuplicatePorts();
        return true;
    } catch (const platform::Error& error) {
        sys_.ShowWarning(ErrorCode::CommitOutputs, error.text(), 0);
        return false;
    }
}

void adoQuorlan::refuseUnusablePorts(const platform::Recordset& rs, const QString& table) {
    const int port = rs.FieldIndex(QStringLiteral("Port"));
    const int description = rs.FieldIndex(QStringLiteral("Description"));
    if (port < 0)
        return;
    for (long row = 0; row < rs.RecordCount(); ++row) {
        const QString problem = PortProblem(rs.Value(row, port).toString());
        if (problem.isEmpty())
            continue;
        const QString name = description < 0 ? QString() : rs.Value(row, description).toString();
        const QString reason =
            QStringLiteral("%1 row %2 (\"%3\"): %4. Nothing was saved: correct it and commit "
                           "again.")
                .arg(table)
                .arg(row + 1)
                .arg(name, problem);
        sys_.window.Refusal = reason;
        throw platform::Error(reason);
    }
}

void adoQuorlan::EditTelstra() {
    // A failure here (the table gone, the database closed) is reported like one
    // while opening the table.
    try {
        if (rsTelstra && rsTelstra->State() == platform::ObjectState::Open)
            rsTelstra->Close();
        sys_.window.dgTelstra.DataSource.reset();
        OpenTelstra(3);
        if (sys_.display.Bind(sys_.window.dgTelstra, rsTelstra, colours::DarkRed))
            sys_.display.SetTelstraColumns(rsTelstra->FieldCount());
    } catch (const platform::Error& error) {
        sys_.ShowWarning(ErrorCode::OpenTelstra, error.text(), 0);
    }
}

bool adoQuorlan::CommitTelstra() {
    try {
        if (!rsTelstra || rsTelstra->LockType == 1)
            return false;
        rsTelstra->Update();
        rsTelstra->Close();
        sys_.window.dgTelstra.DataSource.reset();
        OpenTelstra(1);
        sys_.display.Bind(sys_.window.dgTelstra, rsTelstra, colours::Blue);
        // As for the Outputs table: a table that did not reopen fails the commit.
        sys_.display.SetTelstraColumns(rsTelstra->FieldCount());
        sys_.decSockets.LoadTelstraClients();
        sys_.decSockets.RequestUpdateTelstraClients();
        sys_.decSockets.CheckTelstraPostUpdate();
        return true;
    } catch (const platform::Error& error) {
        sys_.ShowWarning(ErrorCode::CommitTelstra, error.text(), 0);
        return false;
    }
}

void adoQuorlan::setAllTelstraActive(bool active) {
    Skipping([&] {
        if (rsTelstra && rsTelstra->State() == platform::ObjectState::Open)
            rsTelstra->Close();
    });
    sys_.window.dgTelstra.DataSource.reset();
    Skipping([&] { OpenTelstra(3); });
    Skipping([&] { rsTelstra->MoveFirst(); });
    const QString letter = active ? QStringLiteral("Y") : QStringLiteral("N");
    for (int i = 0; i < gTelstraCount; ++i) {
        Skipping([&] {
            if (sys_.decSockets.Entry(i).Active != active)
                rsTelstra->SetField(QStringLiteral("Active"), letter);
        });
        Skipping([&] { rsTelstra->Update(); });
        Skipping([&] { rsTelstra->MoveNext(); });
    }
    Skipping([&] {
        sys_.display.Bind(sys_.window.dgTelstra, rsTelstra, sys_.window.dgTelstra.ForeColor);
    });
    Skipping([&] { sys_.decSockets.LoadTelstraClients(); });
    Skipping([&] { sys_.decSockets.RequestUpdateTelstraClients(); });
    Skipping([&] { sys_.decSockets.CheckTelstraPostUpdate(); });
}

void adoQuorlan::EnableTelstra() {
    setAllTelstraActive(true);
}

void adoQuorlan::DisableTelstra() {
    setAllTelstraActive(false);
}
