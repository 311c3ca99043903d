#include "web/WindowJson.h"

#include "app/GridEditing.h"
#include "app/frmQuorlan.h"
#include "platform/Recordset.h"

#include <QJsonArray>

namespace web {

namespace {

QString KindName(Control::Kind kind) {
    switch (kind) {
    case Control::Kind::Label:
        return QStringLiteral("label");
    case Control::Kind::TextBox:
        return QStringLiteral("textbox");
    case Control::Kind::Button:
        return QStringLiteral("button");
    case Control::Kind::CheckBox:
        return QStringLiteral("checkbox");
    case Control::Kind::Frame:
        return QStringLiteral("frame");
    case Control::Kind::Grid:
        return QStringLiteral("grid");
    }
    return {};
}

// Stored packets are bytes; each becomes the code point of its value.
QString CellText(const QVariant& value) {
    if (value.typeId() == QMetaType::QByteArray)
        return QString::fromLatin1(value.toByteArray());
    return value.isNull() ? QString() : value.toString();
}

QString ShownText(const Control& c) {
    return c.Bytes.isNull() ? c.Text : QString::fromLatin1(c.Bytes);
}

void AddGrid(QJsonObject& json, const DataGrid& grid) {
    QJsonArray columns;
    QJsonArray rows;
    long rowCount = 0;
    const auto& rs = grid.DataSource;
    if (rs && rs->State() == platform::ObjectState::Open) {
        for (int c = 0; c < rs->FieldCount(); ++c)
            columns << rs->FieldName(c);
        rowCount = rs->RecordCount();
        for (long r = 0; r < rowCount && r < kMaxGridRows; ++r) {
            QJsonArray row;
            for (int c = 0; c < rs->FieldCount(); ++c)
                row << CellText(grid_editing::ShownValue(*rs, r, c));
            rows << row;
        }
    }
    json.insert(QStringLiteral("columns"), columns);
    json.insert(QStringLiteral("rows"), rows);
    json.insert(QStringLiteral("rowCount"), qint64(rowCount));
    json.insert(QStringLiteral("editable"), grid_editing::Editable(grid));
    if (grid.RowStates.isEmpty())
        return;
    // Where each row's connection stands: rowStates[i] is rows[i]'s.
    QJsonArray states;
    for (const RowState& state : grid.RowStates)
        states << QJsonObject{
            {QStringLiteral("state"), state.State},
            {QStringLiteral("stateSince"),
             state.Since.toOffsetFromUtc(state.Since.offsetFromUtc()).toString(Qt::ISODate)}};
    json.insert(QStringLiteral("rowStates"), states);
}

QJsonObject ControlJson(frmQuorlan& window, const Control& c) {
    QJsonObject json{{QStringLiteral("kind"), KindName(c.kind)},
                     {QStringLiteral("tab"), c.Tab},
                     {QStringLiteral("container"), c.Container},
                     {QStringLiteral("visible"), c.Visible},
                     {QStringLiteral("caption"), c.Caption},
                     {QStringLiteral("text"), ShownText(c)},
                     {QStringLiteral("value"), c.Value},
                     {QStringLiteral("multiline"), c.MultiLine},
                     {QStringLiteral("enabled"),
                      c.kind == Control::Kind::Button || c.kind == Control::Kind::CheckBox
                          ? window.HasClickHandler(c.Name)
                          : true}};
    if (c.kind == Control::Kind::Grid)
        AddGrid(json, static_cast<const DataGrid&>(c));
    return json;
}

QJsonArray MenusJson(const QVector<frmQuorlan::MenuItem>& menus) {
    QJsonArray list;
    for (const frmQuorlan::MenuItem& menu : menus)
        list << QJsonObject{{QStringLiteral("name"), menu.Name},
                            {QStringLiteral("caption"), menu.Caption},
                            {QStringLiteral("items"), MenusJson(menu.Items)}};
    return list;
}

QJsonObject BoxJson(const Control& frame, const Control& text) {
    return {{QStringLiteral("visible"), frame.Visible}, {QStringLiteral("text"), ShownText(text)}};
}

} // namespace

QJsonObject WindowJson(frmQuorlan& window) {
    QJsonObject controls;
    for (const Control* control : window.Controls())
        controls.insert(control->Name, ControlJson(window, *control));
    return {{QStringLiteral("caption"), window.Caption},
            {QStringLiteral("tab"), window.SSTab1.Value},
            {QStringLiteral("carrierConnected"), window.CarrierConnected},
            {QStringLiteral("storedPackets"), window.StoredPackets()},
            {QStringLiteral("tabs"), QJsonArray::fromStringList(window.TabCaptions)},
            {QStringLiteral("warning"), BoxJson(window.frmeSystemError, window.txbSystemError)},
            {QStringLiteral("info"), BoxJson(window.frmeInfoBox, window.txbInfo)},
            {QStringLiteral("menus"), MenusJson(window.Menus)},
            {QStringLiteral("controls"), controls}};
}

} // namespace web
