// What the window does when the operator acts on it.

#include "app/System.h"
#include "app/frmQuorlan.h"
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
    Refusal = config::EditOrCommit(Commands(), config::EditedTable::StartUp);
}

void frmQuorlan::cmdClearWarning_Click() {
    Commands().ClearWarning();
}

void frmQuorlan::cmdDoneInfo_Click() {
    frmeInfoBox.Visible = false;
    Changed();
}

void frmQuorlan::mnuForceBackup_Click() {
    Commands().ForceBackUp();
}

void frmQuorlan::mnuCheckDelayedDbase_Click() {
    Commands().CheckStore();
}

void frmQuorlan::mnuMinimise_Click() {
    WindowState = 1;
    Changed();
}

void frmQuorlan::cmdEditOuputs_Click() {
    Refusal = config::EditOrCommit(Commands(), config::EditedTable::Outputs);
}

void frmQuorlan::cmdEditPublishers_Click() {
    Refusal = config::EditOrCommit(Commands(), config::EditedTable::Publishers);
}

void frmQuorlan::cmdEditAliases_Click() {
    Refusal = config::EditOrCommit(Commands(), config::EditedTable::Aliases);
}

void frmQuorlan::cmdEditWatches_Click() {
    Refusal = config::EditOrCommit(Commands(), config::EditedTable::Watches);
}

void frmQuorlan::cmdOpenTelstra_Click() {
    Refusal = config::EditOrCommit(Commands(), config::EditedTable::Telstra);
}

void frmQuorlan::cmdEnable_Click() {
    Commands().SetCarriersActive(!Commands().CarriersActive());
}

void frmQuorlan::chkEnableLogs_Click() {
    Commands().SetRawLogging(chkEnableLogs.Value != 0);
}

void frmQuorlan::chkInsertBatch_Click() {
    Commands().SetDecoderTrace(chkInsertBatch.Value != 0);
}

void frmQuorlan::cmdSendDummy_Click() {
    Commands().SendIdleMessage();
}

void frmQuorlan::cmdDeleteDelayed_Click() {
    Commands().DeleteStoredPackets();
}

qint64 frmQuorlan::StoredPackets() const {
    return sys_.commands.StoredPackets();
}

config::Commands& frmQuorlan::Commands() {
    return sys_.auditedCommands;
}

history::OperatorAudit& frmQuorlan::Audit() {
    return sys_.operatorAudit;
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
        {QStringLiteral("cmdEditWatches"), &frmQuorlan::cmdEditWatches_Click},
        {QStringLiteral("cmdEditAliases"), &frmQuorlan::cmdEditAliases_Click},
        {QStringLiteral("cmdOpenTelstra"), &frmQuorlan::cmdOpenTelstra_Click},
        {QStringLiteral("cmdEnable"), &frmQuorlan::cmdEnable_Click},
        {QStringLiteral("cmdSendDummy"), &frmQuorlan::cmdSendDummy_Click},
        {QStringLiteral("cmdDeleteDelayed"), &frmQuorlan::cmdDeleteDelayed_Click},
        {QStringLiteral("chkEnableLogs"), &frmQuorlan::chkEnableLogs_Click},
        {QStringLiteral("chkInsertBatch"), &frmQuorlan::chkInsertBatch_Click},
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
    return ClickHandlers().contains(name);
}

// The operator sees what a command did at once, not at the next coalesced
// notice.
void frmQuorlan::Click(const QString& name) {
    const Handler handler = ClickHandlers().value(name);
    Run(name, [&] {
        if (handler)
            (this->*handler)();
        return Refusal;
    });
}

QString frmQuorlan::Run(const QString& name, const std::function<QString()>& command) {
    Refusal.clear();
    guarded(qPrintable(name), [&] { Refusal = command(); });
    ChangedNow();
    return Refusal;
}

void frmQuorlan::EditingChanged(config::EditedTable table) {
    Control& button = EditButton(table);
    button.Caption = Commands().Editing(table) ? QStringLiteral("Commit") : QStringLiteral("Edit");
}

// The caption names the next action.
void frmQuorlan::CarriersChanged(bool active) {
    cmdEnable.Caption = active ? QStringLiteral("Disable Soc") : QStringLiteral("Enable Soc");
}

Control& frmQuorlan::EditButton(config::EditedTable table) {
    switch (table) {
    case config::EditedTable::Outputs:
        return cmdEditOuputs;
    case config::EditedTable::Telstra:
        return cmdOpenTelstra;
    case config::EditedTable::Publishers:
        return cmdEditPublishers;
    case config::EditedTable::Watches:
        return cmdEditWatches;
    case config::EditedTable::Aliases:
        return cmdEditAliases;
    case config::EditedTable::StartUp:
        break;
    }
    return cmdGeneralEdit;
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
