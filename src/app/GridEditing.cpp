#include "app/GridEditing.h"

#include "app/Controls.h"
#include "platform/Error.h"
#include "platform/Recordset.h"

namespace grid_editing {

namespace {

constexpr int kReadOnlyLock = 1;

platform::Recordset& RequireEditable(const DataGrid& grid) {
    if (!Editable(grid))
        throw platform::Error(
            QStringLiteral("%1 is not open for editing: press its Edit button first")
                .arg(grid.Name));
    return *grid.DataSource;
}

void RequireRow(const platform::Recordset& rs, int row) {
    if (row < 0 || row >= rs.RecordCount())
        throw platform::Error(QStringLiteral("there is no row %1").arg(row));
}

} // namespace

bool Editable(const DataGrid& grid) {
    const auto& rs = grid.DataSource;
    return rs && rs->State() == platform::ObjectState::Open && rs->LockType != kReadOnlyLock &&
           grid.ForeColor == colours::DarkRed;
}

void SetCell(DataGrid& grid, int row, int column, const QString& value) {
    platform::Recordset& rs = RequireEditable(grid);
    RequireRow(rs, row);
    if (column < 0 || column >= rs.FieldCount())
        throw platform::Error(QStringLiteral("there is no column %1").arg(column));
    rs.SetValue(row, column, value);
}

void AddRow(DataGrid& grid, const QVariantMap& values) {
    platform::Recordset& rs = RequireEditable(grid);
    for (auto it = values.begin(); it != values.end(); ++it)
        if (rs.FieldIndex(it.key()) < 0)
            throw platform::Error(QStringLiteral("there is no column %1").arg(it.key()));
    rs.AddNew();
    const long row = rs.RecordCount() - 1;
    for (auto it = values.begin(); it != values.end(); ++it)
        rs.SetValue(row, rs.FieldIndex(it.key()), it.value().toString());
}

void DeleteRow(DataGrid& grid, int row) {
    platform::Recordset& rs = RequireEditable(grid);
    RequireRow(rs, row);
    rs.MoveTo(row);
    rs.Delete();
}

} // namespace grid_editing
