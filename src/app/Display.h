#pragma once

#include <QString>
#include <QVector>
#include <memory>

class System;
struct DataGrid;

namespace platform {
class Recordset;
}

namespace app {

// Window routines shared by the subsystems: the two pop-up boxes, the grids'
// bindings and column layouts, and the layout on resizing. (In a namespace:
// X11's headers, which the widget view pulls in, declare a global `Display`.)
class Display {
public:
    explicit Display(System& system);

    void ShowInfoBox(const QString& text);
    void InitSystemErrorBox();

    void SetTelstraColumns(int fieldCount);
    void SetOutputsColumns(int fieldCount);
    void SetStartupColumns(int fieldCount);
    void SetDelayedColumns(int fieldCount);
    void SetPublishersColumns(int fieldCount);
    void SetWatchesColumns(int fieldCount);
    void SetAliasesColumns(int fieldCount);

    void LoadAllGrids();
    void Form_Resize();

    // Binds an open recordset to a grid in the given colour; a recordset that
    // is not open leaves the grid unbound. True when bound.
    bool Bind(DataGrid& grid, const std::shared_ptr<platform::Recordset>& rs, long foreColor);

private:
    void setColumns(DataGrid& grid, const QVector<int>& widths, int fieldCount);

    System& sys_;
};

} // namespace app
