// The service build's stand-in for the operator window: a core application
// and no view, so the program needs neither Qt Widgets nor a display.

#include "gui/Application.h"

bool BuiltWithWindow() {
    return false;
}

std::unique_ptr<QCoreApplication> CreateApplication(int& argc, char** argv, bool /*withWindow*/) {
    return std::make_unique<QCoreApplication>(argc, argv);
}

std::unique_ptr<QObject> CreateMainWindow(frmQuorlan& /*model*/) {
    return nullptr;
}
