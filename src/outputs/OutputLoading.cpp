// Loading the output connections from the Outputs table, at start-up and at
// every commit of the grid, with every change logged.

#include "config/adoQuorlan.h"
#include "outputs/frmOutputSockets.h"

namespace {

QString StatusName(int status) {
    return status == OutputSocket::PeerClosed ? QStringLiteral("PeerClosed")
                                              : QStringLiteral("Listening");
}

} // namespace

ConnectionTable<OutputSocket, kOutputSlots> frmOutputSockets::connectionTable() {
    return ConnectionTable<OutputSocket, kOutputSlots>({
        .entries = gOutputs,
        .sockets = wskOutputs,
        .table = {db_.gOutputCount, db_.gOutputsLoaded, db_.rsOutputs},
        .time = time_,
        .close = [this](int i) { ClosePort(i); },
        .log = [this](const QString& text) { log(text); },
        .portLineEnd = QStringLiteral("."),
    });
}

void frmOutputSockets::LoadOutputClients() {
    auto table = connectionTable();
    table.Load([&](int i, OutputSocket& e, const platform::Recordset& rs) {
        const QString description = RowText(rs, "Description");
        const QString match = RowText(rs, "Match");
        const QString allowFrom = RowText(rs, "AllowFrom");
        const QString route = RowText(rs, "Route");
        const QString raw = RowText(rs, "RawOutput");
        const QString port = RowText(rs, "Port");
        auto updateFields = [&] {
            table.UpdateTextField(i, e.Description, description, QStringLiteral("Description"));
            table.UpdateTextField(i, e.Match, match, QStringLiteral("Match"));
            table.UpdateTextField(i, e.AllowFrom, allowFrom, QStringLiteral("AllowFrom"));
            table.UpdateTextField(i, e.Route, route, QStringLiteral("Route"));
            table.UpdateFlagField(i, e.RawOutput, raw, QStringLiteral("RawOutput"));
        };
        auto updatePort = [&] {
            return table.UpdatePortField(i, e.Port, port, QStringLiteral("Port"));
        };
        switch (e.Status) {
        case OutputSocket::Empty:
            log(QStringLiteral("System: Load port ") + port);
            e.Status = OutputSocket::Valid;
            e.Port = port;
            e.Description = description;
            e.Match = match;
            e.AllowFrom = allowFrom;
            e.Route = route;
            e.RawOutput = raw == QLatin1String("Y");
            e.StatusTime = time_.Now();
            log(QStringLiteral("System: [Empty status] requires a new socket on [") +
                QString::number(i) + QStringLiteral("]  ") + e.Description);
            break;
        case OutputSocket::Valid:
            e.StatusTime = time_.Now();
            updateFields();
            if (updatePort()) {
                log(QStringLiteral("System: [Valid status] requires port change on socket [") +
                    QString::number(i) + QStringLiteral("]  ") + e.Description);
                releaseOldPort(i);
            }
            break;
        case OutputSocket::Connected:
            updateFields();
            if (updatePort()) {
                log(QStringLiteral("System: [Connected status] requires port change on socket [") +
                    QString::number(i) + QStringLiteral("]  ") + e.Description);
                e.Status = OutputSocket::UpdatePending;
                ClosePort(i);
            }
            break;
        case OutputSocket::UpdatePending:
            updateFields();
            e.StatusTime = time_.Now();
            if (updatePort())
                releaseOldPort(i);
            e.Status = OutputSocket::Valid;
            break;
        default:
            // Listening or PeerClosed: an output waiting for its client, the
            // common case, takes an edit like any other.
            updateFields();
            if (updatePort()) {
                log(QStringLiteral("System: [") + StatusName(e.Status) +
                    QStringLiteral(" status] requires port change on socket [") +
                    QString::number(i) + QStringLiteral("]  ") + e.Description);
                e.StatusTime = time_.Now();
                releaseOldPort(i);
            }
            break;
        }
    });
    bindFigures();
    RouteOutputs();
}

// A route that does not parse lets no page through until it is mended: its
// client never gets every page by mistake.
void frmOutputSockets::RouteOutputs() {
    for (int i = 0; i < db_.gOutputCount; ++i) {
        OutputSocket& e = gOutputs[i];
        const routing::Route::Parsed parsed = routing::Route::Parse(e.Route, db_.Aliases());
        e.Routed = parsed.route ? *parsed.route : routing::Route::Nothing();
        if (!parsed.route)
            warnings_.ShowWarning(ErrorCode::ListenOnPort,
                                  QStringLiteral("The route of output %1 does not parse: %2. "
                                                 "The output gets no pages until it is mended.")
                                      .arg(e.Description, parsed.problem),
                                  i);
    }
}

// A row's figures follow its Description, wherever the row now stands (a
// node moved from map to map keeps its place in memory); those of a
// Description no row has any more go.
void frmOutputSockets::bindFigures() {
    std::map<QString, OutputFigures> inUse;
    figures_.fill(&unbound_);
    for (int i = 0; i < db_.gOutputCount; ++i) {
        const OutputSocket& e = gOutputs[i];
        if (e.Status == OutputSocket::Empty)
            continue;
        auto it = inUse.find(e.Description);
        if (it == inUse.end()) {
            auto old = figuresByDescription_.find(e.Description);
            it = old != figuresByDescription_.end()
                     ? inUse.insert(figuresByDescription_.extract(old)).position
                     : inUse.try_emplace(e.Description).first;
        }
        figures_[i] = &it->second;
        const bool connected =
            wskOutputs.Exists(i) && wskOutputs[i].State() == platform::SocketState::Connected;
        if (!it->second.since.isValid())
            it->second.NoteConnected(connected, time_.Now());
    }
    figuresByDescription_.swap(inUse);
}

// The socket still listens on the port the output had: it is closed, and the
// next heartbeat listens on the new one.
void frmOutputSockets::releaseOldPort(int i) {
    if (wskOutputs[i].State() != platform::SocketState::Closed)
        ClosePort(i);
}

void frmOutputSockets::RequestUpdateOutputClients() {
    connectionTable().RequestUpdate();
}

void frmOutputSockets::CheckOuputsPostUpdate() {
    connectionTable().CheckPostUpdate();
}
