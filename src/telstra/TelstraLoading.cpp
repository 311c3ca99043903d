// Loading the carrier connections from the Telstra table, at start-up, at a
// commit of the grid and when they are all enabled or disabled.

#include "config/LoaderSteps.h"
#include "config/adoQuorlan.h"
#include "telstra/frmDecSockets.h"

void frmDecSockets::InitTelstraClients() {
    ResizeEntries(db_.gTelstraCount, db_.gTelstraLoaded, gTelstra, wskDecoder, time_.Now(),
                  [this](int i) { CloseTelstraPort(i); });
}

void frmDecSockets::LoadTelstraClients() {
    Skipping([&] { InitTelstraClients(); });
    auto rs = db_.rsTelstra;
    if (!rs || rs->State() != platform::ObjectState::Open || rs->RecordCount() == 0)
        return;
    Skipping([&] { rs->MoveFirst(); });
    for (int i = 0; i < db_.gTelstraCount; ++i) {
        Skipping([&] {
            TelstraSocket& e = gTelstra[i];
            auto updateAll = [&] {
                UpdateTextField(i, e.PSAP, RowText(*rs, "PSAP"), QStringLiteral("PSAP"));
                UpdateTextField(i, e.Agency, RowText(*rs, "Agency"), QStringLiteral("Agency"));
                UpdateTextField(i, e.ServiceID, RowText(*rs, "ServiceID"),
                                QStringLiteral("ServiceID"));
                UpdateTextField(i, e.Paired, RowText(*rs, "Paired"), QStringLiteral("Paired"));
                UpdateTextField(i, e.TServer, RowText(*rs, "TServer"), QStringLiteral("TServer"));
                UpdateTextField(i, e.Match, RowText(*rs, "Match"), QStringLiteral("Match"));
                UpdateTextField(i, e.Description, RowText(*rs, "Description"),
                                QStringLiteral("Description"));
                return UpdatePortField(i, e.Port, RowText(*rs, "Port"), QStringLiteral("Port"));
            };
            switch (e.Status) {
            case TelstraSocket::Empty:
                log(QStringLiteral("System: Load port ") + RowText(*rs, "Port"));
                e.Status = TelstraSocket::Valid;
                e.Port = RowText(*rs, "Port");
                e.Description = RowText(*rs, "Description");
                e.Match = RowText(*rs, "Match");
                e.PSAP = RowText(*rs, "PSAP");
                e.Agency = RowText(*rs, "Agency");
                e.ServiceID = RowText(*rs, "ServiceID");
                e.Paired = RowText(*rs, "Paired");
                e.TServer = RowText(*rs, "TServer");
                break;
            case TelstraSocket::Listening:
                if (updateAll()) {
                    log(QStringLiteral("System: Update requires socket changes on [") +
                        QString::number(i) + QStringLiteral("]  ") + e.Description);
                    CloseTelstraPort(i);
                }
                e.Status = TelstraSocket::Valid;
                break;
            case TelstraSocket::Valid:
            case TelstraSocket::UpdatePending:
                updateAll();
                e.StatusTime = time_.Now();
                break;
            default: // Connected and Closed keep their values
                break;
            }
        });
        Skipping([&] { rs->MoveNext(); });
    }
}

void frmDecSockets::RequestUpdateTelstraClients() {
    for (int i = 0; i < db_.gTelstraCount; ++i)
        gTelstra[i].Status = TelstraSocket::UpdatePending;
}

void frmDecSockets::CheckTelstraPostUpdate() {
    if (auto rs = db_.rsTelstra)
        ApplyActiveColumn(
            *rs, db_.gTelstraCount, gTelstra, [this](int i) { CloseTelstraPort(i); },
            [this](const QString& text) { log(text); });
}

void frmDecSockets::UpdateTextField(int i, QString& field, const QString& newValue,
                                    const QString& fieldName) {
    if (newValue == field)
        return;
    field = newValue;
    log(UpdatedFieldLine(i, gTelstra[i].Description, fieldName, newValue));
}

bool frmDecSockets::UpdatePortField(int i, QString& field, const QString& newValue,
                                    const QString& fieldName) {
    if (newValue == field)
        return false;
    UpdateTextField(i, field, newValue, fieldName);
    return true;
}
