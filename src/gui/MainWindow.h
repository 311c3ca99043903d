#pragma once

#include <QMainWindow>
#include <QSize>

class frmQuorlan;
class QLabel;

// The Qt Widgets view of the window model.
class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit MainWindow(frmQuorlan& model);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void render();

    frmQuorlan& model_;
    QLabel* startDate_ = nullptr;
    QSize appliedSize_;
};

// 15 twips make one pixel.
inline int Pixels(int twips) {
    return twips / 15;
}
