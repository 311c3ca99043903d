#include "app/GridEditing.h"

#include "app/Controls.h"
#include "platform/Error.h"
#include "platform/Recordset.h"

namespace grid_editing {

namespace {

constexpr int kReadOnlyLock = platform::kLockReadOnly;

const QString kSecretColumn = QStringLiteral("Password");
const QString kSecretSet = QStringLiteral("(set)");
const QString kSecretEmpty = QStringLiteral("(empty)");

// A secret cell's shown text, written back, is not a new value.
bool KeepsSecret(const platform::Recordset& rs, int column, const QString& value) {
    return IsSecretColumn(rs.FieldName(column)) && (value == kSecretSet || value == kSecretEmpty);
}

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
    if (!KeepsSecret(rs, column, value))
        rs.SetValue(row, column, value);
}

void AddRow(DataGrid& grid, const QVariantMap& values) {
    platform::Recordset& rs = RequireEditable(grid);
    for (auto it = values.begin(); it != values.end(); ++it)
        if (rs.FieldIndex(it.key()) < 0)
            throw platform::Error(QStringLiteral("there is no column %1").arg(it.key()));
    rs.AddNew();
    const long row = rs.RecordCount() - 1;
    for (auto it = values.begin(); it != values.end(); ++it) {
        const int column = rs.FieldIndex(it.key());
        if (!KeepsSecret(rs, column, it.value().toString()))
            rs.SetValue(row, column, it.value().toString());
    }
}

void DeleteRow(DataGrid& grid, int row) {
    platform::Recordset& rs = RequireEditable(grid);
    RequireRow(rs, row);
    rs.MoveTo(row);
    rs.Delete();
}

bool IsSecretColumn(const QString& fieldName) {
    return fieldName.compare(kSecretColumn, Qt::CaseInsensitive) == 0;
}

QVariant ShownValue(const platform::Recordset& rs, long row, int column) {
    QVariant value = rs.Value(row, column);
    if (!IsSecretColumn(rs.FieldName(column)))
        return value;
    return value.isNull() || value.toString().isEmpty() ? kSecretEmpty : kSecretSet;
}

} // namespace grid_editing
