#include "gui/MainWindow.h"

#include "app/frmQuorlan.h"
#include "gui/GridColumnWidths.h"
#include "gui/PageLayout.h"
#include "gui/PaneText.h"
#include "gui/RecordsetTableModel.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QGroupBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStyle>
#include <QTabBar>
#include <QTabWidget>
#include <QTableView>
#include <algorithm>

namespace {

// Tab pages start below the tab bar; designed positions count from the control's top.
constexpr int kTabHeaderTwips = 390;

QColor FromBgr(long value) {
    return QColor(int(value & 0xFF), int((value >> 8) & 0xFF), int((value >> 16) & 0xFF));
}

const QColor kNoCarrierColour(0xC0, 0, 0);
const QString kNoCarrierTip = QStringLiteral("No carrier connected");

QString DeleteAllQuestion(qint64 count) {
    if (count == 1)
        return QStringLiteral("Delete the 1 stored packet? It will not be sent.");
    return QStringLiteral("Delete all %1 stored packets? They will not be sent.").arg(count);
}

} // namespace

MainWindow::MainWindow(frmQuorlan& model) : model_(model) {
    askOperator = [this](const QString& question) {
        return QMessageBox::question(this, model_.Caption, question,
                                     QMessageBox::Yes | QMessageBox::No,
                                     QMessageBox::No) == QMessageBox::Yes;
    };
    build();
    buildMenus();
    model_.messageBoxHandler = [this](const QString& text) {
        QMessageBox::information(isVisible() ? this : nullptr, model_.Caption, text);
    };
    connect(&model_, &frmQuorlan::changed, this, &MainWindow::render);
    render();
}

MainWindow::~MainWindow() {
    model_.messageBoxHandler = nullptr;
}

void MainWindow::build() {
    canvas_ = new QWidget(this);
    setCentralWidget(canvas_);
    tabs_ = new QTabWidget(canvas_);
    tabs_->setObjectName(QStringLiteral("SSTab1"));
    for (const QString& caption : model_.TabCaptions) {
        auto* page = new QWidget;
        tabs_->addTab(page, caption);
    }
    connect(tabs_, &QTabWidget::currentChanged, this, [this](int index) {
        if (!rendering_)
            model_.SSTab1_Click(index);
    });
    for (Control* control : model_.Controls()) {
        QWidget* w = create(*control);
        w->setObjectName(control->Name);
        widgets_.insert(control->Name, w);
        connectActions(*control, w);
    }
    // The pop-up boxes lie over everything else.
    widgets_.value(model_.frmeSystemError.Name)->raise();
    widgets_.value(model_.frmeInfoBox.Name)->raise();
}

void MainWindow::buildMenus() {
    for (const frmQuorlan::MenuItem& menu : model_.Menus) {
        if (menu.Items.isEmpty()) {
            QAction* action = menuBar()->addAction(menu.Caption);
            action->setObjectName(menu.Name);
            connect(action, &QAction::triggered, this,
                    [this, name = menu.Name] { model_.MenuClick(name); });
            continue;
        }
        QMenu* sub = menuBar()->addMenu(menu.Caption);
        sub->setObjectName(menu.Name);
        for (const frmQuorlan::MenuItem& item : menu.Items) {
            QAction* action = sub->addAction(item.Caption);
            action->setObjectName(item.Name);
            connect(action, &QAction::triggered, this,
                    [this, name = item.Name] { model_.MenuClick(name); });
        }
    }
}

QWidget* MainWindow::parentFor(const Control& control) {
    if (!control.Container.isEmpty() && widgets_.contains(control.Container))
        return widgets_.value(control.Container);
    if (control.Tab >= 0)
        return tabs_->widget(control.Tab);
    return canvas_;
}

QWidget* MainWindow::create(Control& control) {
    QWidget* parent = parentFor(control);
    switch (control.kind) {
    case Control::Kind::Label:
        return new QLabel(parent);
    case Control::Kind::Button:
        return new QPushButton(parent);
    case Control::Kind::CheckBox:
        return new QCheckBox(parent);
    case Control::Kind::Frame: {
        auto* frame = new QGroupBox(parent);
        frame->setAutoFillBackground(true); // the pop-up boxes hide what lies beneath
        return frame;
    }
    case Control::Kind::Grid: {
        auto& grid = static_cast<DataGrid&>(control);
        const bool connections = &grid == &model_.dgOutputs || &grid == &model_.dgTelstra;
        auto* view = new QTableView(parent);
        auto* model = new RecordsetTableModel(grid,
                                              connections ? RecordsetTableModel::StateColumn::Shown
                                                          : RecordsetTableModel::StateColumn::None,
                                              view);
        view->setModel(model);
        view->verticalHeader()->setDefaultSectionSize(20);
        view->setSelectionBehavior(QAbstractItemView::SelectRows);
        view->installEventFilter(this);
        gridModels_.insert(control.Name, model);
        columnWidths_.insert(control.Name, new GridColumnWidths(*view, grid));
        return view;
    }
    case Control::Kind::TextBox:
        break;
    }
    if (control.MultiLine) {
        auto* pane = new QPlainTextEdit(parent);
        pane->setReadOnly(true);
        // Double-clicks on a log pane show it whole in the info box.
        pane->viewport()->setProperty("control", control.Name);
        pane->viewport()->installEventFilter(this);
        pane->setLineWrapMode(QPlainTextEdit::NoWrap);
        return pane;
    }
    auto* line = new QLineEdit(parent);
    line->setReadOnly(true);
    return line;
}

void MainWindow::connectActions(Control& control, QWidget* widget) {
    const QString name = control.Name;
    if (&control == &model_.cmdDeleteDelayed) {
        widget->setEnabled(model_.HasClickHandler(name));
        connect(static_cast<QPushButton*>(widget), &QPushButton::clicked, this,
                &MainWindow::deleteDelayedAfterAsking);
    } else if (auto* button = qobject_cast<QPushButton*>(widget)) {
        button->setEnabled(model_.HasClickHandler(name));
        connect(button, &QPushButton::clicked, this, [this, name] { model_.Click(name); });
    } else if (auto* box = qobject_cast<QCheckBox*>(widget)) {
        box->setEnabled(model_.HasClickHandler(name));
        connect(box, &QCheckBox::clicked, this, [this, name](bool checked) {
            if (!rendering_)
                model_.CheckBoxClick(name, checked ? 1 : 0);
        });
    }
}

// Delete ALL empties the delayed store for good: the operator confirms first,
// told how many packets would go.
void MainWindow::deleteDelayedAfterAsking() {
    if (askOperator && askOperator(DeleteAllQuestion(model_.StoredPackets())))
        model_.Click(model_.cmdDeleteDelayed.Name);
}

void MainWindow::renderControl(const Control& c, const Spread& spread, const WarningBand& band) {
    QWidget* w = widgets_.value(c.Name);
    if (!w)
        return;
    const int top = c.Tab >= 0 && c.Container.isEmpty() ? c.Top - kTabHeaderTwips : c.Top;
    w->setGeometry(band.Place(c, QRect(Pixels(c.Left) + spread.shift, Pixels(top),
                                       Pixels(c.Width) + spread.grow, Pixels(c.Height))));
    w->setVisible(c.Visible);
    if (!c.FontName.isEmpty()) {
        QFont font = w->font();
        font.setFamily(c.FontName);
        w->setFont(font);
    }
    if (auto* label = qobject_cast<QLabel*>(w)) {
        label->setText(c.Caption);
        QPalette p = label->palette();
        p.setColor(QPalette::WindowText, FromBgr(c.ForeColor));
        label->setPalette(p);
    } else if (auto* button = qobject_cast<QPushButton*>(w)) {
        button->setText(c.Caption);
    } else if (auto* box = qobject_cast<QCheckBox*>(w)) {
        box->setText(c.Caption);
        box->setChecked(c.Value != 0);
    } else if (auto* frame = qobject_cast<QGroupBox*>(w)) {
        frame->setTitle(c.Caption);
    } else if (auto* pane = qobject_cast<QPlainTextEdit*>(w)) {
        showPaneText(*pane, c);
    } else if (auto* line = qobject_cast<QLineEdit*>(w)) {
        if (line->text() != c.Text)
            line->setText(c.Text);
    }
}

// A log pane's lines come as bytes (a packet's among them) and are shown one
// to a line, as the web console shows them; a box's text is shown as it is.
void MainWindow::showPaneText(QPlainTextEdit& pane, const Control& c) {
    if (c.Bytes.isNull()) {
        paneBytes_.remove(&c);
        if (pane.toPlainText() != QString(c.Text).remove(QLatin1Char('\r')))
            pane.setPlainText(c.Text);
        return;
    }
    const auto shown = paneBytes_.constFind(&c);
    if (shown != paneBytes_.constEnd() && *shown == c.Bytes)
        return;
    paneBytes_.insert(&c, c.Bytes);
    pane.setPlainText(PaneText(c.Bytes));
}

void MainWindow::render() {
    rendering_ = true;
    setWindowTitle(model_.Caption);
    const Control& tab = model_.SSTab1;
    const WarningBand band(model_);
    tabs_->setGeometry(Pixels(tab.Left), Pixels(tab.Top), Pixels(tab.Width),
                       Pixels(tab.Height) - band.Taken());
    if (tabs_->currentIndex() != tab.Value)
        tabs_->setCurrentIndex(tab.Value);
    markInputTab();
    const QHash<const Control*, Spread> spread =
        SpreadGrids(model_, tabs_->currentWidget()->width());
    for (Control* control : model_.Controls())
        renderControl(*control, spread.value(control), band);
    renderGrids();
    // A size the model sets (start-up, or the height raised to its minimum) is
    // applied; the operator's own resizing comes back through resizeEvent.
    const QSize wanted(Pixels(model_.Width), Pixels(model_.Height));
    if (!wanted.isEmpty() &&
        (qAbs(wanted.width() - width()) > 1 || qAbs(wanted.height() - height()) > 1))
        resize(wanted);
    if (model_.WindowState == 1 && !isMinimized())
        showMinimized();
    if (!closing_)
        setVisible(model_.Visible);
    rendering_ = false;
}

void MainWindow::renderGrids() {
    for (DataGrid* grid : model_.Grids()) {
        gridModels_.value(grid->Name)->refresh();
        columnWidths_.value(grid->Name)->apply();
    }
}

// While no carrier is connected the Input tab says so in its colour, an icon
// and a tip; its caption stays the model's. Set only when it changes: each
// setting lays the tab bar out again.
void MainWindow::markInputTab() {
    const int input = frmQuorlan::kInputTab;
    const bool carrier = model_.CarrierConnected;
    if (carrierShown_ == carrier)
        return;
    carrierShown_ = carrier;
    tabs_->tabBar()->setTabTextColor(input, carrier ? QColor() : kNoCarrierColour);
    tabs_->setTabIcon(input,
                      carrier ? QIcon() : style()->standardIcon(QStyle::SP_MessageBoxWarning));
    tabs_->setTabToolTip(input, carrier ? QString() : kNoCarrierTip);
}

void MainWindow::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    if (!canvas_)
        return;
    // Handled after the current redraw, as the model redraws the window itself.
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (closing_ || (qAbs(model_.Width - width() * 15) < 15 &&
                             qAbs(model_.Height - height() * 15) < 15))
                return;
            model_.Width = width() * 15;
            model_.Height = height() * 15;
            model_.Form_Resize();
        },
        Qt::QueuedConnection);
}

void MainWindow::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange && !isMinimized() && model_.WindowState == 1) {
        model_.WindowState = 0;
    }
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Delete) {
        // Delete removes the selected rows of a grid that is open for editing;
        // Commit then deletes them from the table.
        if (auto* view = qobject_cast<QTableView*>(watched)) {
            QList<int> rows;
            for (const QModelIndex& index : view->selectionModel()->selectedRows())
                rows << index.row();
            std::sort(rows.rbegin(), rows.rend());
            for (int row : rows)
                view->model()->removeRow(row);
            return !rows.isEmpty();
        }
    }
    if (event->type() == QEvent::MouseButtonDblClick) {
        const QString name = watched->property("control").toString();
        if (model_.HasClickHandler(name)) {
            model_.DblClick(name);
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void MainWindow::closeEvent(QCloseEvent* event) {
    closing_ = true;
    model_.messageBoxHandler = nullptr;
    model_.Unload();
    event->accept();
}
