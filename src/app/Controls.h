#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QMap>
#include <QString>
#include <QVector>
#include <memory>

namespace platform {
class Recordset;
}

// State of one control of the operator window. Lengths are in twips; colours are
// the window system's blue-green-red values (0xFF0000 is blue, 0xC0 dark red).
struct Control {
    enum class Kind { Label, TextBox, Button, CheckBox, Frame, Grid };

    QString Name;
    Kind kind = Kind::Label;
    int Tab = -1;      // the tab of SSTab1 that holds it; -1: on the window itself
    QString Container; // name of the frame that holds it, if any
    QString Caption;
    QString Text;
    // The bytes behind Text where they came from peers (the log panes):
    // one character for each byte, for views that must keep every byte.
    // Null where Text is the relay's own.
    QByteArray Bytes;
    QString FontName;
    bool Visible = true;
    bool MultiLine = false;
    int Left = 0;
    int Top = 0;
    int Width = 0;
    int Height = 0;
    int Value = 0; // check boxes: 0 unchecked, 1 checked
    long ForeColor = 0;
};

// Where a row's connection stands, as an operator reads it, and since when.
struct RowState {
    QString State; // "" for a row with no connection (a row being added)
    QDateTime Since;
    bool operator==(const RowState&) const = default;
};

// A grid bound to a recordset; columns not in ColumnWidth keep the default width.
struct DataGrid : Control {
    std::shared_ptr<platform::Recordset> DataSource;
    QMap<int, int> ColumnWidth;
    // For grids of connections (Outputs, Telstra): one for each row of the
    // recordset, in its order; empty for the other grids.
    QVector<RowState> RowStates;
};

namespace colours {
constexpr long Black = 0x000000;
constexpr long Blue = 0xFF0000;    // grid read-only
constexpr long DarkRed = 0x0000C0; // grid open for editing
} // namespace colours
