#pragma once

#include <QString>
#include <QVariant>
#include <QVariantMap>

struct DataGrid;
namespace platform {
class Recordset;
}

// The edits an operator makes in a grid, for every view: a cell, a new row,
// a deleted row. They change the grid's recordset only; the grid's Commit
// button writes them to the table. Each raises platform::Error when the grid
// is not open for editing or the row, column or value is not there.
namespace grid_editing {

// Blue means read-only to the operator, whatever the recordset allows: after
// start-up the carriers' table stays open for writing, but it is shown, and
// must stay, read-only until its Edit button is pressed.
bool Editable(const DataGrid& grid);

void SetCell(DataGrid& grid, int row, int column, const QString& value);
// Adds a row with the values given by column name; unnamed columns stay empty.
void AddRow(DataGrid& grid, const QVariantMap& values);
void DeleteRow(DataGrid& grid, int row);

// What a view shows of a cell. A broker's password never leaves the relay:
// its cell reads "(set)" or "(empty)", and writing either of those back (an
// editor closed unchanged) keeps the password; any other text replaces it.
QVariant ShownValue(const platform::Recordset& rs, long row, int column);
bool IsSecretColumn(const QString& fieldName);

} // namespace grid_editing
