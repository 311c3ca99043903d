#pragma once

#include <QCoreApplication>
#include <memory>

class frmQuorlan;

// A widget application when the window is wanted, else a core one.
std::unique_ptr<QCoreApplication> CreateApplication(int& argc, char** argv, bool withWindow);

// The operator window rendering the model; destroyed with the returned object.
std::unique_ptr<QObject> CreateMainWindow(frmQuorlan& model);
