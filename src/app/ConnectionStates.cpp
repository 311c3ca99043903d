#include "app/ConnectionStates.h"

#include "app/System.h"
#include "outputs/OutputState.h"
#include "platform/Recordset.h"
#include "telstra/CarrierMonitor.h"

namespace app {

namespace {

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
            return outputs.Entry(i).Description == name ? OutputState(outputs, i) : QString();
        });
    changed |=
        Refresh(window.dgTelstra, system.db.gTelstraCount, now, [&](int i, const QString& name) {
            return carriers.Entry(i).Description == name ? CarrierState(carriers, i) : QString();
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
