#pragma once

#include <QCoreApplication>
#include <memory>

class frmQuorlan;

// The operator window as the command line sees it. A service build links
// gui/Headless.cpp in place of the widgets, and so runs without Qt Widgets
// and without a display server's libraries.

// Whether this build has the operator window.
bool BuiltWithWindow();

// A widget application when the window is wanted, else a core one.
std::unique_ptr<QCoreApplication> CreateApplication(int& argc, char** argv, bool withWindow);

// The operator window rendering the model; destroyed with the returned object.
std::unique_ptr<QObject> CreateMainWindow(frmQuorlan& model);
