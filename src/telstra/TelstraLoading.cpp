// Loading the carrier connections from the Telstra table, at start-up, at a
// commit of the grid and when they are all enabled or disabled.

#include "config/adoQuorlan.h"
#include "telstra/frmDecSockets.h"

ConnectionTable<TelstraSocket, kTelstraSlots> frmDecSockets::connectionTable() {
    return ConnectionTable<TelstraSocket, kTelstraSlots>({
        .entries = gTelstra,
        .sockets = wskDecoder,
        .table = {db_.gTelstraCount, db_.gTelstraLoaded, db_.rsTelstra},
        .time = time_,
        .close = [this](int i) { CloseTelstraPort(i); },
        .log = [this](const QString& text) { log(text); },
        .portLineEnd = {},
    });
}

void frmDecSockets::LoadTelstraClients() {
    auto table = connectionTable();
    table.Load([&](int i, TelstraSocket& e, const platform::Recordset& rs) {
        auto updateAll = [&] {
            table.UpdateTextField(i, e.PSAP, RowText(rs, "PSAP"), QStringLiteral("PSAP"));
            table.UpdateTextField(i, e.Agency, RowText(rs, "Agency"), QStringLiteral("Agency"));
            table.UpdateTextField(i, e.ServiceID, RowText(rs, "ServiceID"),
                                  QStringLiteral("ServiceID"));
            table.UpdateTextField(i, e.Paired, RowText(rs, "Paired"), QStringLiteral("Paired"));
            table.UpdateTextField(i, e.TServer, RowText(rs, "TServer"), QStringLiteral("TServer"));
            table.UpdateTextField(i, e.Match, RowText(rs, "Match"), QStringLiteral("Match"));
            table.UpdateTextField(i, e.Description, RowText(rs, "Description"),
                                  QStringLiteral("Description"));
            return table.UpdatePortField(i, e.Port, RowText(rs, "Port"), QStringLiteral("Port"));
        };
        switch (e.Status) {
        case TelstraSocket::Empty:
            log(QStringLiteral("System: Load port ") + RowText(rs, "Port"));
            e.Status = TelstraSocket::Valid;
            e.Port = RowText(rs, "Port");
            e.Description = RowText(rs, "Description");
            e.Match = RowText(rs, "Match");
            e.PSAP = RowText(rs, "PSAP");
            e.Agency = RowText(rs, "Agency");
            e.ServiceID = RowText(rs, "ServiceID");
            e.Paired = RowText(rs, "Paired");
            e.TServer = RowText(rs, "TServer");
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
}

void frmDecSockets::RequestUpdateTelstraClients() {
    connectionTable().RequestUpdate();
}

void frmDecSockets::CheckTelstraPostUpdate() {
    connectionTable().CheckPostUpdate();
}
