#pragma once

// Kept free of QtWidgets and QtGui headers: those declare an X11 `Display`
// type that collides with the window module of the same name.

#include <QCoreApplication>
#include <memory>

class frmQuorlan;

// A widget application when the window is wanted, else a core one.
std::unique_ptr<QCoreApplication> CreateApplication(int& argc, char** argv, bool withWindow);

// The operator window rendering the model; destroyed with the returned object.
std::unique_ptr<QObject> CreateMainWindow(frmQuorlan& model);
