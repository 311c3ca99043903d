#include "app/ConnectionStates.h"

#include "app/System.h"
#include "platform/Recordset.h"
#include "telstra/CarrierMonitor.h"

namespace app {

namespace {

const QString kConnected = QStringLiteral("Connected");
const QString kNotActive = QStringLiteral("Not active");
const QString kClosed = QStringLiteral("Closed");

bool Dialling(platform::SocketState state) {
    using S = platform::SocketState;
    return state == S::Connecting || state == S::ResolvingHost || state == S::HostResolved;
}

QString OutputState(const ConnectionEntry& entry, platform::SocketState socket) {
    if (!entry.Active)
        return kNotActive;
    if (socket == platform::SocketState::Connected)
        return kConnected;
    if (socket == platform::SocketState::Listening)
        return QStringLiteral("Listening for client");
    return kClosed;
}

// A connection that is up and brings no frames says since when.
QString CarrierState(const ConnectionEntry& entry, platform::SocketState socket,
                     const QDateTime& quietSince) {
    if (!entry.Active)
        return kNotActive;
    if (socket == platform::SocketState::Connected && quietSince.isValid())
        return QStringLiteral("Connected, no frames since ") + CarrierTimeText(quietSince);
    if (socket == platform::SocketState::Connected)
        return kConnected;
    if (socket == platform::SocketState::Listening)
        return QStringLiteral("Waiting for carrier call-in");
    if (Dialling(socket))
        return QStringLiteral("Dialling carrier");
    return kClosed;
}

// The state of each row the grid shows, found by the row's Description (the
// grid may be open for editing, with rows added or deleted). A state that
// did not change keeps its time.
template <typename StateOf>
bool Refresh(DataGrid& grid, int count, const QDateTime& now, const StateOf& stateOf) {
    QVector<RowState> states;
    const auto& rs = grid.DataSource;
    const int description = rs && rs->State() == platform::ObjectState::Open
                                ? rs->FieldIndex(QStringLiteral("Description"))
                                : -1;
    if (description >= 0) {
        for (long row = 0; row < rs->RecordCount(); ++row) {
            const QString name = rs->Value(row, description).toString();
            QString state;
            for (int i = 0; i < count && state.isEmpty(); ++i)
                state = stateOf(i, name);
            const RowState before = grid.RowStates.value(int(row));
            states << RowState{state, state == before.State ? before.Since : now};
        }
    }
    if (states == grid.RowStates)
        return false;
    grid.RowStates = states;
    return true;
}

} // namespace

void ShowConnectionStates(System& system) {
    frmQuorlan& window = system.window;
    const QDateTime now = system.Now();
    const frmOutputSockets& outputs = system.outputSockets;
    const frmDecSockets& carriers = system.decSockets;
    bool changed =
        Refresh(window.dgOutputs, system.db.gOutputCount, now, [&](int i, const QString& name) {
            const ConnectionEntry& entry = outputs.Entry(i);
            return entry.Description == name ? OutputState(entry, outputs.Socket(i).State())
                                             : QString();
        });
    changed |=
        Refresh(window.dgTelstra, system.db.gTelstraCount, now, [&](int i, const QString& name) {
            const ConnectionEntry& entry = carriers.Entry(i);
            const QDateTime quiet =
                carriers.Feed().Quiet(i) ? carriers.Feed().SilentSince(i) : QDateTime();
            return entry.Description == name
                       ? CarrierState(entry, carriers.Socket(i).State(), quiet)
                       : QString();
        });
    bool carrier = false;
    for (int i = 0; i < system.db.gTelstraCount; ++i)
        carrier = carrier || carriers.Socket(i).State() == platform::SocketState::Connected;
    changed |= carrier != window.CarrierConnected;
    window.CarrierConnected = carrier;
    if (changed)
        window.Changed();
}

} // namespace app
