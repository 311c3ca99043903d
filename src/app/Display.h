#pragma once

#include <QVector>

class System;
struct DataGrid;

// Window routines shared by the subsystems: column layouts of the grids.
class Display {
public:
    explicit Display(System& system);

    void SetTelstraColumns(int fieldCount);
    void SetOutputsColumns(int fieldCount);
    void SetStartupColumns(int fieldCount);
    void SetDelayedColumns(int fieldCount);

private:
    void setColumns(DataGrid& grid, const QVector<int>& widths, int fieldCount);

    System& sys_;
};
