#pragma once

#include "app/Controls.h"
#include "config/Commands.h"
#include "history/OperatorAudit.h"

#include <QObject>
#include <QStringList>
#include <QTimer>
#include <QVector>
#include <functional>

class System;

// The operator window as a model: every control's state lives here and the
// core writes only to it. A view (Qt Widgets today) renders it and turns the
// operator's actions into calls of its handlers; headless runs have no view.
class frmQuorlan : public QObject {
    Q_OBJECT
public:
    explicit frmQuorlan(System& system);

    QString Caption;
    int Left = 0;
    int Top = 0;
    int Width = 0;
    int Height = 0;
    bool Visible = false;
    int WindowState = 0; // 0 normal, 1 minimised

    // Pop-up boxes on the window itself.
    Control frmeInfoBox, txbInfo, cmdDoneInfo;
    Control frmeSystemError, txbSystemError, cmdClearWarning;

    // The tab control; Value is the index of the tab shown.
    Control SSTab1;
    static constexpr int kNoTab = -1; // on the window itself, above the tabs
    static constexpr int kInputTab = 0;
    static constexpr int kOutputsTab = 1;
    static constexpr int kSystemLogsTab = 2;
    static constexpr int kConfigTab = 3;
    static constexpr int kDelayedTab = 4;
    static constexpr int kDecoderTab = 5;
    QStringList TabCaptions;
    // False while no carrier connection is up: the views mark the Input tab.
    bool CarrierConnected = false;

    DataGrid dgTelstra, dgOutputs, dgStartup, dgErrorCodes, dgDelayed, dgPublishers, dgWatches,
        dgAliases;

    Control txbLogTelstra, txbLogOutputs, txbLogErrors, txbSatDecoder;
    Control txbBytesTotal, txbSATBufferCtr, txbPointer;
    Control lbTest, lbControl, lbTxData, lbSATBufferCtr, lbF1, lbF2, lbStartDate, Label3;
    Control cmdOpenTelstra, cmdEditOuputs, cmdGeneralEdit, cmdEditPublishers, lbPublishers;
    Control cmdEditWatches, lbWatches;
    Control cmdEditAliases, lbAliases;
    Control cmdEnable, cmdSendDummy, cmdDeleteDelayed;
    Control chkEnableLogs;
    Control frmeBatchControl, chkInsertBatch;

    struct MenuItem {
        QString Name;
        QString Caption;
        QVector<MenuItem> Items;
    };
    QVector<MenuItem> Menus;

    // Every control, in the order a view creates them (frames before their contents).
    QVector<Control*> Controls();
    QVector<DataGrid*> Grids();

    // Tells the views that controls changed; the core calls it after each
    // change. A burst of changes (log lines, grid rows, labels) makes one
    // notice, at most one every kNotifyInterval and always one after the
    // burst; with no view attached it costs nothing.
    void Changed();
    // Tells the views at once: what an operator's command did, a warning.
    void ChangedNow();
    static constexpr int kNotifyInterval = 50; // milliseconds

    // A modal message box with an OK button where there is a view; standard
    // error in headless mode.
    void MsgBox(const QString& text);
    std::function<void(const QString&)> messageBoxHandler;
    bool HasView() const { return static_cast<bool>(messageBoxHandler); }

    // Handlers the view calls.
    void Form_Resize();
    void Unload() { emit unloadRequested(); }
    void SSTab1_Click(int tab);
    void cmdGeneralEdit_Click();
    void cmdEditOuputs_Click();
    void cmdEditPublishers_Click();
    void cmdEditWatches_Click();
    void cmdEditAliases_Click();
    void cmdOpenTelstra_Click();
    void cmdEnable_Click();
    void chkEnableLogs_Click();
    void chkInsertBatch_Click();
    void cmdSendDummy_Click();
    void cmdDeleteDelayed_Click();
    // How many packets the delayed store holds: what "Delete ALL" would
    // delete, for the views to name when they ask first.
    qint64 StoredPackets() const;
    void txbLogErrors_DblClick() { showPane(txbLogErrors); }
    void txbLogOutputs_DblClick() { showPane(txbLogOutputs); }
    void txbLogTelstra_DblClick() { showPane(txbLogTelstra); }
    void DblClick(const QString& name);
    void cmdClearWarning_Click();
    void cmdDoneInfo_Click();
    void mnuForceBackup_Click();
    void mnuCheckDelayedDbase_Click();
    void mnuMinimise_Click();
    void mnuExit_Click() { Unload(); }
    // Menu choices, buttons and check boxes by the control's name, for views that
    // build themselves from the model. Controls whose handlers are not built
    // yet report false, and a view shows them disabled.
    void MenuClick(const QString& name);
    bool HasClickHandler(const QString& name) const;
    void Click(const QString& name);
    void CheckBoxClick(const QString& name, int value);
    // Why the command that Click ran last was refused ("" when it was not),
    // as the warning box shows it: the console's API answers with it.
    QString Refusal;

    // The operator's commands, for the views that give them other than by a
    // control's handler (the console's API).
    config::Commands& Commands();
    // Who gives the commands, for the audit: the console's operators sign in
    // and act there in their own names; the window's are "window".
    history::OperatorAudit& Audit();
    // Runs an operator's command as Click runs a handler: what it raises is
    // logged under NAME, its refusal kept in Refusal and returned, and the
    // views told at once.
    QString Run(const QString& name, const std::function<QString()>& command);
    // The captions follow the commands' state: a table's button offers
    // Commit while the table is open for editing, Edit otherwise; the Enable
    // button offers to switch the carriers the other way.
    void EditingChanged(config::EditedTable table);
    void CarriersChanged(bool active);
    Control& EditButton(config::EditedTable table);

signals:
    void changed();
    void unloadRequested();

private:
    void design();
    // Runs a handler so that nothing it raises crosses the event loop.
    void guarded(const char* handler, const std::function<void()>& body);
    void showPane(const Control& pane);

    bool Watched() const;
    void notifyPending();

    System& sys_;
    QTimer notifyTimer_;
    bool notifyPending_ = false;
};
