// What the window does when the operator acts on it.

#include "app/System.h"
#include "app/frmQuorlan.h"
#include "platform/Error.h"

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
        if (tab == 4)
            sys_.delayedDb.RefreshDelayedView();
        else
            sys_.delayedDb.CloseDelayedList();
    });
    Changed();
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
    sys_.gNextCompactCheck = sys_.Now();
}

void frmQuorlan::mnuMinimise_Click() {
    WindowState = 1;
    Changed();
}

bool frmQuorlan::HasClickHandler(const QString& name) const {
    static const QStringList handled = {QStringLiteral("cmdGeneralEdit"),
                                        QStringLiteral("cmdClearWarning"),
                                        QStringLiteral("cmdDoneInfo")};
    return handled.contains(name);
}

void frmQuorlan::Click(const QString& name) {
    if (name == QLatin1String("cmdGeneralEdit"))
        cmdGeneralEdit_Click();
    else if (name == QLatin1String("cmdClearWarning"))
        cmdClearWarning_Click();
    else if (name == QLatin1String("cmdDoneInfo"))
        cmdDoneInfo_Click();
}

void frmQuorlan::CheckBoxClick(const QString& name, int value) {
    for (Control* control : Controls())
        if (control->Name == name && control->kind == Control::Kind::CheckBox)
            control->Value = value;
    Changed();
}

void frmQuorlan::MenuClick(const QString& name) {
    if (name == QLatin1String("mnuForceBackup"))
        mnuForceBackup_Click();
    else if (name == QLatin1String("mnuCheckDelayedDbase"))
        mnuCheckDelayedDbase_Click();
    else if (name == QLatin1String("mnuMinimise"))
        mnuMinimise_Click();
    else if (name == QLatin1String("mnuExit"))
        mnuExit_Click();
}
