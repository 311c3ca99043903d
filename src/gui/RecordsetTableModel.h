#pragma once

#include <QAbstractTableModel>
#include <memory>

struct DataGrid;

namespace platform {
class Recordset;
}

// A grid's bound recordset as a Qt table: rows and fields as the recordset holds
// them, text in the grid's colour, editable while the recordset can be updated.
// A grid of connections shows, after the fields, where each row's connection
// stands: a column of the view only, never edited and never written.
class RecordsetTableModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum class StateColumn { None, Shown };
    explicit RecordsetTableModel(DataGrid& grid, StateColumn state = StateColumn::None,
                                 QObject* parent = nullptr);

    // Picks up a new binding or new rows of the grid's recordset.
    void refresh();

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    // While the grid is open for editing, the last row is an empty one that
    // becomes a new record when typed into, and rows can be deleted.
    bool removeRows(int row, int count, const QModelIndex& parent = QModelIndex()) override;

private:
    bool editable() const;
    bool isStateColumn(int column) const { return showsState_ && column == columns_; }
    QString stateText(int row) const;
    // New or removed rows of the same recordset (and the empty row for a new
    // record) told as such, not as a reset: the operator's selection and
    // scrolling stay.
    void resizeRows(int rows, bool newRow);

    DataGrid& grid_;
    bool showsState_ = false;
    std::shared_ptr<platform::Recordset> shown_;
    int rows_ = 0;
    bool newRow_ = false; // the empty row is shown
    int columns_ = 0;
};

// Bytes as an operator reads them: printable characters as they are, the
// packet's control bytes by name (<STX>, <CR>, <ETX>, ...), others as <xNN>.
QString ReadableBytes(const QByteArray& bytes);
