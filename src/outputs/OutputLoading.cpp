// Loading the output connections from the Outputs table, at start-up and at
// every commit of the grid, with every change logged.

#include "app/System.h"
#include "config/LoaderSteps.h"
#include "outputs/frmOutputSockets.h"

namespace {

QString StatusName(int status) {
    return status == OutputSocket::PeerClosed ? QStringLiteral("PeerClosed")
                                              : QStringLiteral("Listening");
}

} // namespace

void frmOutputSockets::InitOutputClients() {
    ResizeEntries(sys_.db.gOutputCount, sys_.db.gOutputsLoaded, gOutputs, wskOutputs, sys_.Now(),
                  [this](int i) { ClosePort(i); });
}

void frmOutputSockets::LoadOutputClients() {
    Skipping([&] { InitOutputClients(); });
    auto rs = sys_.db.rsOutputs;
    if (!rs || rs->State() != platform::ObjectState::Open || rs->RecordCount() == 0)
        return;
    Skipping([&] { rs->MoveFirst(); });
    for (int i = 0; i < sys_.db.gOutputCount; ++i) {
        Skipping([&] {
            OutputSocket& e = gOutputs[i];
            const QString description = RowText(*rs, "Description");
            const QString match = RowText(*rs, "Match");
            const QString allowFrom = RowText(*rs, "AllowFrom");
            const QString raw = RowText(*rs, "RawOutput");
            const QString port = RowText(*rs, "Port");
            auto updateFields = [&] {
                UpdateTextField(i, e.Description, description, QStringLiteral("Description"));
                UpdateTextField(i, e.Match, match, QStringLiteral("Match"));
                UpdateTextField(i, e.AllowFrom, allowFrom, QStringLiteral("AllowFrom"));
                UpdateFlagField(i, e.RawOutput, raw, QStringLiteral("RawOutput"));
            };
            switch (e.Status) {
            case OutputSocket::Empty:
                log(QStringLiteral("System: Load port ") + port);
                e.Status = OutputSocket::Valid;
                e.Port = port;
                e.Description = description;
                e.Match = match;
                e.AllowFrom = allowFrom;
                e.RawOutput = raw == QLatin1String("Y");
                e.StatusTime = sys_.Now();
                log(QStringLiteral("System: [Empty status] requires a new socket on [") +
                    QString::number(i) + QStringLiteral("]  ") + e.Description);
                break;
            case OutputSocket::Valid:
                e.StatusTime = sys_.Now();
                updateFields();
                if (UpdatePortField(i, e.Port, port, QStringLiteral("Port"))) {
                    log(QStringLiteral("System: [Valid status] requires port change on socket [") +
                        QString::number(i) + QStringLiteral("]  ") + e.Description);
                    releaseOldPort(i);
                }
                break;
            case OutputSocket::Connected:
                updateFields();
                if (UpdatePortField(i, e.Port, port, QStringLiteral("Port"))) {
                    log(QStringLiteral(
                            "System: [Connected status] requires port change on socket [") +
                        QString::number(i) + QStringLiteral("]  ") + e.Description);
                    e.Status = OutputSocket::UpdatePending;
                    ClosePort(i);
                }
                break;
            case OutputSocket::UpdatePending:
                updateFields();
                e.StatusTime = sys_.Now();
                if (UpdatePortField(i, e.Port, port, QStringLiteral("Port")))
                    releaseOldPort(i);
                e.Status = OutputSocket::Valid;
                break;
            default:
                // Listening or PeerClosed: an output waiting for its client,
                // the common case, takes an edit like any other.
                updateFields();
                if (UpdatePortField(i, e.Port, port, QStringLiteral("Port"))) {
                    log(QStringLiteral("System: [") + StatusName(e.Status) +
                        QStringLiteral(" status] requires port change on socket [") +
                        QString::number(i) + QStringLiteral("]  ") + e.Description);
                    e.StatusTime = sys_.Now();
                    releaseOldPort(i);
                }
                break;
            }
        });
        Skipping([&] { rs->MoveNext(); });
    }
}

// The socket still listens on the port the output had: it is closed, and the
// next heartbeat listens on the new one.
void frmOutputSockets::releaseOldPort(int i) {
    if (wskOutputs[i].State() != platform::SocketState::Closed)
        ClosePort(i);
}

void frmOutputSockets::RequestUpdateOutputClients() {
    for (int i = 0; i < sys_.db.gOutputCount; ++i)
        gOutputs[i].Status = OutputSocket::UpdatePending;
}

void frmOutputSockets::CheckOuputsPostUpdate() {
    if (auto rs = sys_.db.rsOutputs)
        ApplyActiveColumn(
            *rs, sys_.db.gOutputCount, gOutputs, [this](int i) { ClosePort(i); },
            [this](const QString& text) { log(text); });
}

void frmOutputSockets::UpdateTextField(int i, QString& field, const QString& newValue,
                                       const QString& fieldName) {
    if (newValue == field)
        return;
    field = newValue;
    log(UpdatedFieldLine(i, gOutputs[i].Description, fieldName, newValue));
}

bool frmOutputSockets::UpdatePortField(int i, QString& field, const QString& newValue,
                                       const QString& fieldName) {
    if (newValue == field)
        return false;
    field = newValue;
    log(UpdatedFieldLine(i, gOutputs[i].Description, fieldName, newValue) + QLatin1Char('.'));
    return true;
}

void frmOutputSockets::UpdateFlagField(int i, bool& field, const QString& newValue,
                                       const QString& fieldName) {
    if ((!field && newValue == QLatin1String("Y")) || (field && newValue == QLatin1String("N"))) {
        field = !field;
        log(QStringLiteral("System: Updated socket [") + QString::number(i) +
            QStringLiteral("]  ") + gOutputs[i].Description + QStringLiteral(" Field  [") +
            fieldName + QStringLiteral("]  To ") + newValue);
    }
}
