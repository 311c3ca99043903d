// What the window does when the operator acts on it.

#include "app/System.h"
#include "app/frmQuorlan.h"
#include "config/SettingValues.h"
#include "outputs/DummyMessage.h"
#include "platform/Error.h"

#include <QHash>

void frmQuorlan::guarded(const char* handler, const std::function<void()>& body) {
    try {
        body();
    } catch (const std::exception& error) {
        const QString text = dynamic_cast<const platform::Error*>(&error)
                                 ? static_cast<const platform::Error&>(error).text()
                                 : QString::fromLocal8Bit(error.what());
        sys_.logs.LogError(
            QStringLiteral("System: %1 failed: %2").arg(QLatin1String(handler), text));
    }
}

void frmQuorlan::Form_Resize() {
    guarded("Form_Resize", [&] { sys_.display.Form_Resize(); });
}

void frmQuorlan::SSTab1_Click(int tab) {
    SSTab1.Value = tab;
    guarded("SSTab1_Click", [&] {
        if (tab == kDelayedTab)
            sys_.delayedDb.RefreshDelayedView();
        else
            sys_.delayedDb.CloseDelayedList();
    });
    ChangedNow();
}

void frmQuorlan::cmdGeneralEdit_Click() {
    QString message;
    if (cmdGeneralEdit.Caption == QLatin1String("Edit")) {
        cmdGeneralEdit.Caption = QStringLiteral("Commit");
        sys_.db.EditStartUp();
        message = QStringLiteral("Event: StartUp database opened for edit");
    } else {
        sys_.db.CommitStartUp();
        cmdGeneralEdit.Caption = QStringLiteral("Edit");
        message = QStringLiteral("Event: StartUp database commited");
    }
    Changed();
    sys_.logs.LogError(message);
}

void frmQuorlan::cmdClearWarning_Click() {
    frmeSystemError.Visible = false;
    Changed();
}

void frmQuorlan::cmdDoneInfo_Click() {
    frmeInfoBox.Visible = false;
    Changed();
}

void frmQuorlan::mnuForceBackup_Click() {
    sys_.logs.gNextBackUp = sys_.Now();
}

void frmQuorlan::mnuCheckDelayedDbase_Click() {
    sys_.delayedDb.gNextCompactCheck = sys_.Now();
}

void frmQuorlan::mnuMinimise_Click() {
    WindowState = 1;
    Changed();
}

void frmQuorlan::cmdEditOuputs_Click() {
    if (cmdEditOuputs.Caption == QLatin1String("Edit")) {
        cmdEditOuputs.Caption = QStringLiteral("Commit");
        guarded("cmdEditOuputs_Click", [&] { sys_.db.EditOutputs(); });
        Changed();
        sys_.logs.LogOutput(QStringLiteral("Event: Outputs opened for EDIT"));
        return;
    }
    // A commit that fails leaves the button on Commit, so the operator can
    // correct the grid and try again.
    if (!sys_.db.CommitOutputs())
        return;
    cmdEditOuputs.Caption = QStringLiteral("Edit");
    Changed();
    sys_.logs.LogOutput(QStringLiteral("Event: Outputs database commited"));
}

void frmQuorlan::cmdEditPublishers_Click() {
    if (cmdEditPublishers.Caption == QLatin1String("Edit")) {
        cmdEditPublishers.Caption = QStringLiteral("Commit");
        sys_.db.EditPublishers();
        Changed();
        sys_.logs.LogOutput(QStringLiteral("Event: Publishers opened for EDIT"));
        return;
    }
    // As for the outputs: a failed commit keeps the button on Commit.
    if (!sys_.db.CommitPublishers())
        return;
    cmdEditPublishers.Caption = QStringLiteral("Edit");
    Changed();
    sys_.logs.LogOutput(QStringLiteral("Event: Publishers table committed"));
}

void frmQuorlan::cmdOpenTelstra_Click() {
    if (cmdOpenTelstra.Caption == QLatin1String("Edit")) {
        cmdOpenTelstra.Caption = QStringLiteral("Commit");
        sys_.db.EditTelstra();
        Changed();
        sys_.logs.LogInput(QStringLiteral("Event: Telstra opened for EDIT"));
        return;
    }
    if (!sys_.db.CommitTelstra())
        return;
    cmdOpenTelstra.Caption = QStringLiteral("Edit");
    Changed();
    sys_.logs.LogInput(QStringLiteral("Event: Telstra database commited"));
}

void frmQuorlan::cmdEnable_Click() {
    // The caption names the next action.
    if (cmdEnable.Caption != QLatin1String("Enable Soc")) {
        cmdEnable.Caption = QStringLiteral("Enable Soc");
        sys_.db.DisableTelstra();
    } else {
        cmdEnable.Caption = QStringLiteral("Disable Soc");
        sys_.db.EnableTelstra();
    }
    Changed();
}

void frmQuorlan::chkEnableLogs_Click() {
    sys_.logs.gRawLogEnabled = chkEnableLogs.Value != 0;
    sys_.db.SetStartUpKey(QStringLiteral("RawLogEnabled"), BooleanWord(sys_.logs.gRawLogEnabled));
}

void frmQuorlan::cmdSendDummy_Click() {
    sys_.outputRules.RelayToOutputs(DummyMessage(sys_.dateTimeText.Time(sys_.Now().time()),
                                                 sys_.gIncomingPktType, sys_.gServerID));
}

void frmQuorlan::cmdDeleteDelayed_Click() {
    sys_.delayedDb.ClearDelayed();
}

qint64 frmQuorlan::StoredPackets() const {
    return sys_.delayedDb.gDelayedCount;
}

void frmQuorlan::showPane(const Control& pane) {
    txbInfo.Text = pane.Text;
    txbInfo.Bytes = pane.Bytes;
    frmeInfoBox.Visible = true;
    Changed();
}

namespace {

using Handler = void (frmQuorlan::*)();

const QHash<QString, Handler>& ClickHandlers() {
    static const QHash<QString, Handler> handlers = {
        {QStringLiteral("cmdGeneralEdit"), &frmQuorlan::cmdGeneralEdit_Click},
        {QStringLiteral("cmdClearWarning"), &frmQuorlan::cmdClearWarning_Click},
        {QStringLiteral("cmdDoneInfo"), &frmQuorlan::cmdDoneInfo_Click},
        {QStringLiteral("cmdEditOuputs"), &frmQuorlan::cmdEditOuputs_Click},
        {QStringLiteral("cmdEditPublishers"), &frmQuorlan::cmdEditPublishers_Click},
        {QStringLiteral("cmdOpenTelstra"), &frmQuorlan::cmdOpenTelstra_Click},
        {QStringLiteral("cmdEnable"), &frmQuorlan::cmdEnable_Click},
        {QStringLiteral("cmdSendDummy"), &frmQuorlan::cmdSendDummy_Click},
        {QStringLiteral("cmdDeleteDelayed"), &frmQuorlan::cmdDeleteDelayed_Click},
        {QStringLiteral("chkEnableLogs"), &frmQuorlan::chkEnableLogs_Click},
        {QStringLiteral("txbLogErrors"), &frmQuorlan::txbLogErrors_DblClick},
        {QStringLiteral("txbLogOutputs"), &frmQuorlan::txbLogOutputs_DblClick},
        {QStringLiteral("txbLogTelstra"), &frmQuorlan::txbLogTelstra_DblClick},
        {QStringLiteral("mnuForceBackup"), &frmQuorlan::mnuForceBackup_Click},
        {QStringLiteral("mnuCheckDelayedDbase"), &frmQuorlan::mnuCheckDelayedDbase_Click},
        {QStringLiteral("mnuMinimise"), &frmQuorlan::mnuMinimise_Click},
        {QStringLiteral("mnuExit"), &frmQuorlan::mnuExit_Click},
    };
    return handlers;
}

} // namespace

bool frmQuorlan::HasClickHandler(const QString& name) const {
    // The batch-logic box has no handler: the decoder reads its state.
    return ClickHandlers().contains(name) || name == QLatin1String("chkInsertBatch");
}

// The operator sees what a command did at once, not at the next coalesced
// notice.
void frmQuorlan::Click(const QString& name) {
    Refusal.clear();
    if (const Handler handler = ClickHandlers().value(name))
        guarded(qPrintable(name), [&] { (this->*handler)(); });
    ChangedNow();
}

void frmQuorlan::DblClick(const QString& name) {
    Click(name);
}

void frmQuorlan::MenuClick(const QString& name) {
    Click(name);
}

void frmQuorlan::CheckBoxClick(const QString& name, int value) {
    for (Control* control : Controls())
        if (control->Name == name && control->kind == Control::Kind::CheckBox)
            control->Value = value;
    Click(name);
}
