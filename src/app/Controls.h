#pragma once

#include <QMap>
#include <QString>
#include <memory>

namespace platform {
class Recordset;
}

// State of one control of the operator window. Lengths are in twips; colours are
// the window system's blue-green-red values (0xFF0000 is blue).
struct Control {
    QString Caption;
    QString Text;
    bool Visible = true;
    int Left = 0;
    int Top = 0;
    int Width = 0;
    int Height = 0;
    int Value = 0; // check boxes: 0 unchecked, 1 checked
    long ForeColor = 0;
};

// A grid bound to a recordset; columns not in ColumnWidth keep the default width.
struct DataGrid : Control {
    std::shared_ptr<platform::Recordset> DataSource;
    QMap<int, int> ColumnWidth;
};

namespace colours {
constexpr long Blue = 0xFF0000; // grid read-only
constexpr long DarkRed = 0xC0;  // grid open for editing
} // namespace colours
