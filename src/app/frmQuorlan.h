#pragma once

#include "app/Controls.h"

#include <QObject>
#include <functional>

// The operator window as a model: every control's state lives here and the
// core writes only to it. A view (Qt Widgets today) renders it and turns the
// operator's actions into calls of its handlers; headless runs have no view.
class frmQuorlan : public QObject {
    Q_OBJECT
public:
    explicit frmQuorlan(QObject* parent = nullptr);

    QString Caption;
    int Width = 0;
    int Height = 0;
    bool Visible = false;

    Control lbStartDate;
    Control SSTab1; // Value is the index of the tab shown
    Control chkEnableLogs;
    Control cmdEnable;
    Control cmdGeneralEdit;

    // Log panes, newest line first.
    Control txbLogErrors;
    Control txbLogTelstra;
    Control txbLogOutputs;
    Control txbSatDecoder;

    DataGrid dgTelstra;
    DataGrid dgOutputs;
    DataGrid dgStartup;
    DataGrid dgErrorCodes;
    DataGrid dgDelayed;

    // Tells the view that controls changed; the core calls it after each change.
    void Changed() { emit changed(); }

    // A modal message box with an OK button where there is a view; standard
    // error in headless mode.
    void MsgBox(const QString& text);
    std::function<void(const QString&)> messageBoxHandler;

    // Closing the window: the view calls this, the system runs its shutdown.
    void Unload() { emit unloadRequested(); }

signals:
    void changed();
    void unloadRequested();
};
