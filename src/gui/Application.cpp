#include "gui/Application.h"

#include "gui/MainWindow.h"

#include <QApplication>

bool BuiltWithWindow() {
    return true;
}

std::unique_ptr<QCoreApplication> CreateApplication(int& argc, char** argv, bool withWindow) {
    if (withWindow)
        return std::make_unique<QApplication>(argc, argv);
    return std::make_unique<QCoreApplication>(argc, argv);
}

std::unique_ptr<QObject> CreateMainWindow(frmQuorlan& model) {
    return std::make_unique<MainWindow>(model);
}
