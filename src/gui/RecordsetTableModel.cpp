#include "gui/RecordsetTableModel.h"

#include "app/Controls.h"
#include "app/GridEditing.h"
#include "platform/Error.h"
#include "platform/Recordset.h"

#include <QColor>

namespace {

QColor FromBgr(long value) {
    return QColor(int(value & 0xFF), int((value >> 8) & 0xFF), int((value >> 16) & 0xFF));
}

const QString kStateHeader = QStringLiteral("State");
const QString kSinceFormat = QStringLiteral("HH:mm:ss");

} // namespace

QString ReadableBytes(const QByteArray& bytes) {
    static const char* names[32] = {"NUL", "SOH", "STX", "ETX", "EOT", "ENQ", "ACK", "BEL",
                                    "BS",  "HT",  "LF",  "VT",  "FF",  "CR",  "SO",  "SI",
                                    "DLE", "DC1", "DC2", "DC3", "DC4", "NAK", "SYN", "ETB",
                                    "CAN", "EM",  "SUB", "ESC", "FS",  "GS",  "RS",  "US"};
    QString text;
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 32)
            text += QLatin1Char('<') + QLatin1String(names[byte]) + QLatin1Char('>');
        else if (byte < 127)
            text += QLatin1Char(c);
        else
            text += QStringLiteral("<x%1>").arg(byte, 2, 16, QLatin1Char('0'));
    }
    return text;
}

RecordsetTableModel::RecordsetTableModel(DataGrid& grid, StateColumn state, QObject* parent)
    : QAbstractTableModel(parent), grid_(grid), showsState_(state == StateColumn::Shown) {
    refresh();
}

void RecordsetTableModel::refresh() {
    const auto& rs = grid_.DataSource;
    const bool open = rs && rs->State() == platform::ObjectState::Open;
    const int rows = open ? int(rs->RecordCount()) : 0;
    const int columns = open ? rs->FieldCount() : 0;
    if (rs != shown_ || columns != columns_) {
        beginResetModel();
        shown_ = rs;
        rows_ = rows;
        columns_ = columns;
        newRow_ = editable();
        endResetModel();
        return;
    }
    resizeRows(rows, editable());
    if (rowCount() > 0 && columnCount() > 0)
        emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1));
}

void RecordsetTableModel::resizeRows(int rows, bool newRow) {
    const int before = rowCount();
    const int after = rows + (newRow ? 1 : 0);
    if (after > before)
        beginInsertRows(QModelIndex(), before, after - 1);
    else if (after < before)
        beginRemoveRows(QModelIndex(), after, before - 1);
    rows_ = rows;
    newRow_ = newRow;
    if (after > before)
        endInsertRows();
    else if (after < before)
        endRemoveRows();
}

bool RecordsetTableModel::editable() const {
    return shown_ && grid_editing::Editable(grid_);
}

int RecordsetTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : rows_ + (newRow_ ? 1 : 0);
}

int RecordsetTableModel::columnCount(const QModelIndex& parent) const {
    if (parent.isValid() || columns_ == 0)
        return 0;
    return columns_ + (showsState_ ? 1 : 0);
}

QString RecordsetTableModel::stateText(int row) const {
    const RowState state = grid_.RowStates.value(row);
    if (state.State.isEmpty())
        return {};
    return state.State + QStringLiteral(" since ") + state.Since.toString(kSinceFormat);
}

QVariant RecordsetTableModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || !shown_ || shown_->State() != platform::ObjectState::Open)
        return {};
    if (role == Qt::ForegroundRole)
        return FromBgr(grid_.ForeColor);
    if (role != Qt::DisplayRole && role != Qt::EditRole)
        return {};
    if (index.row() >= rows_)
        return {}; // the empty row for a new record
    if (isStateColumn(index.column()))
        return stateText(index.row());
    QVariant value = grid_editing::ShownValue(*shown_, index.row(), index.column());
    if (value.typeId() == QMetaType::QByteArray)
        return ReadableBytes(value.toByteArray());
    return value;
}

QVariant RecordsetTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole || !shown_ || shown_->State() != platform::ObjectState::Open)
        return {};
    if (orientation == Qt::Horizontal)
        return isStateColumn(section) ? kStateHeader : shown_->FieldName(section);
    return section + 1;
}

Qt::ItemFlags RecordsetTableModel::flags(const QModelIndex& index) const {
    Qt::ItemFlags f = QAbstractTableModel::flags(index);
    if (editable() && !isStateColumn(index.column()))
        f |= Qt::ItemIsEditable;
    return f;
}

bool RecordsetTableModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (role != Qt::EditRole || !editable() || isStateColumn(index.column()))
        return false;
    try {
        if (index.row() >= rows_) {
            beginInsertRows(QModelIndex(), rows_ + 1, rows_ + 1);
            grid_editing::AddRow(grid_, {});
            rows_ = int(shown_->RecordCount());
            endInsertRows();
        }
        grid_editing::SetCell(grid_, index.row(), index.column(), value.toString());
    } catch (const platform::Error&) {
        return false;
    }
    emit dataChanged(index, index);
    return true;
}

bool RecordsetTableModel::removeRows(int row, int count, const QModelIndex& parent) {
    if (parent.isValid() || !editable() || row < 0 || row + count > rows_)
        return false;
    beginRemoveRows(QModelIndex(), row, row + count - 1);
    try {
        for (int i = 0; i < count; ++i)
            grid_editing::DeleteRow(grid_, row);
    } catch (const platform::Error&) {
    }
    rows_ = int(shown_->RecordCount());
    endRemoveRows();
    return true;
}
