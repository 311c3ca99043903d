#include "app/Display.h"

#include "app/System.h"

Display::Display(System& system) : sys_(system) {}

void Display::setColumns(DataGrid& grid, const QVector<int>& widths, int fieldCount) {
    // Only columns the bound recordset has are sized; the rest keep the default.
    for (int i = 0; i < widths.size() && i < fieldCount; ++i)
        grid.ColumnWidth[i] = widths[i];
    sys_.window.Changed();
}

void Display::SetTelstraColumns(int fieldCount) {
    setColumns(sys_.window.dgTelstra, {800, 2000, 500, 500, 500, 500, 500, 500, 500}, fieldCount);
}

void Display::SetOutputsColumns(int fieldCount) {
    setColumns(sys_.window.dgOutputs, {800, 2000, 500, 500, 700}, fieldCount);
}

void Display::SetStartupColumns(int fieldCount) {
    setColumns(sys_.window.dgStartup, {1500, 2500, 5000}, fieldCount);
}

void Display::SetDelayedColumns(int fieldCount) {
    setColumns(sys_.window.dgDelayed, {1000, 2000, 1500, 7000}, fieldCount);
}
