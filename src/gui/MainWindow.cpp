#include "gui/MainWindow.h"

#include "app/frmQuorlan.h"

#include <QCloseEvent>
#include <QLabel>
#include <QMessageBox>

MainWindow::MainWindow(frmQuorlan& model) : model_(model) {
    startDate_ = new QLabel(this);
    startDate_->setMargin(12);
    setCentralWidget(startDate_);
    model_.messageBoxHandler = [this](const QString& text) {
        QMessageBox::information(isVisible() ? this : nullptr, windowTitle(), text);
    };
    connect(&model_, &frmQuorlan::changed, this, &MainWindow::render);
    render();
}

void MainWindow::render() {
    setWindowTitle(model_.Caption);
    startDate_->setText(model_.lbStartDate.Caption);
    // Only a size the model sets is applied, so the operator's own resizing stays.
    const QSize wanted(model_.Width, model_.Height);
    if (wanted != appliedSize_ && !wanted.isEmpty()) {
        appliedSize_ = wanted;
        resize(Pixels(model_.Width), Pixels(model_.Height));
    }
    setVisible(model_.Visible);
}

void MainWindow::closeEvent(QCloseEvent* event) {
    model_.messageBoxHandler = nullptr;
    model_.Unload();
    event->accept();
}
