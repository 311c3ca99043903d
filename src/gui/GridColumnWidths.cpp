#include "gui/GridColumnWidths.h"

#include "app/Controls.h"
#include "gui/MainWindow.h"

#include <QHeaderView>
#include <QStyle>
#include <QTableView>

namespace {

// A column the model gives no width (the connection state) starts wide
// enough for the longest state an operator reads in it.
const QString kWidestUnsizedText = QStringLiteral("Waiting for carrier call-in since 00:00:00");

// Room around a cell's text.
constexpr int kTextPadding = 8;

} // namespace

GridColumnWidths::GridColumnWidths(QTableView& view, const DataGrid& grid)
    : QObject(&view), view_(view), grid_(grid) {
    connect(view_.horizontalHeader(), &QHeaderView::sectionResized, this,
            [this](int column, int, int width) {
                if (!applying_)
                    remember(column, width);
            });
}

void GridColumnWidths::apply() {
    applying_ = true;
    const int columns = view_.model()->columnCount();
    for (int column = 0; column < columns; ++column) {
        const QString name = header(column);
        auto it = widths_.find(name);
        if (it == widths_.end())
            it = widths_.insert(name, firstWidth(column));
        if (view_.columnWidth(column) != it.value())
            view_.setColumnWidth(column, it.value());
    }
    applying_ = false;
}

int GridColumnWidths::firstWidth(int column) const {
    const int wanted =
        grid_.ColumnWidth.contains(column)
            ? Pixels(grid_.ColumnWidth.value(column))
            : view_.fontMetrics().horizontalAdvance(kWidestUnsizedText) + kTextPadding;
    return qMax(wanted, headerWidth(header(column)));
}

int GridColumnWidths::headerWidth(const QString& text) const {
    const QHeaderView* bar = view_.horizontalHeader();
    const int margin = bar->style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, bar);
    return bar->fontMetrics().horizontalAdvance(text) + 2 * margin;
}

QString GridColumnWidths::header(int column) const {
    return view_.model()->headerData(column, Qt::Horizontal).toString();
}

void GridColumnWidths::remember(int column, int width) {
    const QString name = header(column);
    if (!name.isEmpty())
        widths_.insert(name, width);
}
