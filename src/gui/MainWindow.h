#pragma once

#include <QHash>
#include <QMainWindow>
#include <functional>
#include <optional>

class frmQuorlan;
class QTabWidget;
class QTableView;
struct Control;
class GridColumnWidths;
class RecordsetTableModel;
struct Spread;
class WarningBand;
class QPlainTextEdit;

// The Qt Widgets view of the window model: it builds one widget per control,
// places it by the model's twips (15 twips = 1 pixel), redraws on every change
// and turns the operator's actions into calls of the model's handlers.
class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit MainWindow(frmQuorlan& model);
    ~MainWindow() override;

    QWidget* widget(const QString& controlName) const { return widgets_.value(controlName); }
    QTabWidget* tabs() const { return tabs_; }

    // Asks the operator a yes-or-no question before a command that cannot be
    // undone; true for yes. A modal question box unless replaced.
    std::function<bool(const QString& question)> askOperator;

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void build();
    void buildMenus();
    QWidget* create(Control& control);
    void connectActions(Control& control, QWidget* widget);
    void render();
    void renderControl(const Control& control, const Spread& spread, const WarningBand& band);
    void showPaneText(QPlainTextEdit& pane, const Control& control);
    void renderGrids();
    void markInputTab();
    void deleteDelayedAfterAsking();
    QWidget* parentFor(const Control& control);

    frmQuorlan& model_;
    QWidget* canvas_ = nullptr;
    QTabWidget* tabs_ = nullptr;
    QHash<QString, QWidget*> widgets_;
    QHash<QString, RecordsetTableModel*> gridModels_;
    QHash<QString, GridColumnWidths*> columnWidths_;
    QHash<const Control*, QByteArray> paneBytes_; // what each log pane shows now
    std::optional<bool> carrierShown_;            // what the Input tab's mark shows
    bool rendering_ = false;
    bool closing_ = false;
};

// 15 twips make one pixel.
inline int Pixels(int twips) {
    return twips / 15;
}
