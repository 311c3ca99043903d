#pragma once

#include <QHash>
#include <QObject>
#include <QString>

struct DataGrid;
class QTableView;

// The widths of one grid's columns for the session, by the column's header.
// A column takes the model's width when it first appears, widened where its
// header would not read whole; from then on the width is the operator's:
// what he drags a column to stays through every redraw, and through the grid
// being bound again to a recordset with the same fields.
class GridColumnWidths : public QObject {
    Q_OBJECT
public:
    GridColumnWidths(QTableView& view, const DataGrid& grid);

    // Gives every column its width for the session; called after each redraw.
    void apply();

private:
    int firstWidth(int column) const;
    int headerWidth(const QString& text) const;
    QString header(int column) const;
    void remember(int column, int width);

    QTableView& view_;
    const DataGrid& grid_;
    QHash<QString, int> widths_;
    bool applying_ = false;
};
