#include "web/WebCommands.h"

#include "app/GridEditing.h"
#include "app/frmQuorlan.h"
#include "config/Commands.h"
#include "platform/Error.h"
#include "platform/Recordset.h"

#include <QHash>
#include <QJsonDocument>
#include <QJsonObject>
#include <functional>

namespace web {

namespace {

const QString kPasswordColumn = QStringLiteral("Password");
const QString kHidden = QStringLiteral("(hidden)");

CommandResult Refused(int status, const QString& why) {
    return {status, why, {}};
}

CommandResult BadRequest(const QString& why) {
    return Refused(400, why);
}

Control* FindControl(frmQuorlan& window, const QString& name, Control::Kind kind) {
    for (Control* control : window.Controls())
        if (control->Name == name && control->kind == kind)
            return control;
    return nullptr;
}

DataGrid* FindGrid(frmQuorlan& window, const QString& name) {
    for (DataGrid* grid : window.Grids())
        if (grid->Name == name)
            return grid;
    return nullptr;
}

bool IsMenuItem(const QVector<frmQuorlan::MenuItem>& menus, const QString& name) {
    for (const frmQuorlan::MenuItem& menu : menus)
        if ((menu.Items.isEmpty() && menu.Name == name) || IsMenuItem(menu.Items, name))
            return true;
    return false;
}

bool IsWholeNumber(const QJsonValue& value) {
    return value.isDouble() && value.toDouble() == double(value.toInteger());
}

// A remote click must not stop or hide a relay that runs round the clock.
bool StopsTheRelay(const QString& menu) {
    return menu == QLatin1String("mnuExit") || menu == QLatin1String("mnuMinimise");
}

// Emptying the delayed store cannot be undone: the caller must say it means it.
bool AsksFirst(const QString& button) {
    return button == QLatin1String("cmdDeleteDelayed");
}

using config::EditedTable;
using OperatorCommand = std::function<QString(config::Commands&)>;

OperatorCommand TableButton(EditedTable table) {
    return [table](config::Commands& commands) { return config::EditOrCommit(commands, table); };
}

template <typename Fn> OperatorCommand Plain(Fn command) {
    return [command](config::Commands& commands) {
        command(commands);
        return QString();
    };
}

// The buttons and menu items that give an operator's command: the console
// gives it to the same command interface as the window's handlers. The
// others (the boxes' Done, the panes) only change what the window shows.
const QHash<QString, OperatorCommand>& ButtonCommands() {
    static const QHash<QString, OperatorCommand> commands = {
        {QStringLiteral("cmdEditOuputs"), TableButton(EditedTable::Outputs)},
        {QStringLiteral("cmdOpenTelstra"), TableButton(EditedTable::Telstra)},
        {QStringLiteral("cmdEditPublishers"), TableButton(EditedTable::Publishers)},
        {QStringLiteral("cmdEditWatches"), TableButton(EditedTable::Watches)},
        {QStringLiteral("cmdEditAliases"), TableButton(EditedTable::Aliases)},
        {QStringLiteral("cmdGeneralEdit"), TableButton(EditedTable::StartUp)},
        {QStringLiteral("cmdEnable"),
         Plain([](config::Commands& c) { c.SetCarriersActive(!c.CarriersActive()); })},
        {QStringLiteral("cmdSendDummy"), Plain([](config::Commands& c) { c.SendIdleMessage(); })},
        {QStringLiteral("cmdDeleteDelayed"),
         Plain([](config::Commands& c) { c.DeleteStoredPackets(); })},
        {QStringLiteral("cmdClearWarning"), Plain([](config::Commands& c) { c.ClearWarning(); })},
        {QStringLiteral("mnuForceBackup"), Plain([](config::Commands& c) { c.ForceBackUp(); })},
        {QStringLiteral("mnuCheckDelayedDbase"),
         Plain([](config::Commands& c) { c.CheckStore(); })},
    };
    return commands;
}

// Runs NAME's command through the interface when it is one, else the
// window's own handler.
QString Press(frmQuorlan& window, const QString& name) {
    const OperatorCommand command = ButtonCommands().value(name);
    if (!command) {
        window.Click(name);
        return window.Refusal;
    }
    return window.Run(name, [&] { return command(window.Commands()); });
}

CommandResult Click(frmQuorlan& window, const QString& name, const QJsonValue& confirm) {
    if (!FindControl(window, name, Control::Kind::Button) || !window.HasClickHandler(name))
        return BadRequest(QStringLiteral("no button named %1").arg(name));
    if (AsksFirst(name) && confirm != QJsonValue(true))
        return BadRequest(QStringLiteral("%1 deletes all %2 stored packets: send \"confirm\": "
                                         "true to do it")
                              .arg(name)
                              .arg(window.Commands().StoredPackets()));
    // A commit that was refused (a Port that is no port) wrote nothing.
    const QString refusal = Press(window, name);
    if (!refusal.isEmpty())
        return BadRequest(refusal);
    return {};
}

CommandResult Menu(frmQuorlan& window, const QString& name) {
    if (!IsMenuItem(window.Menus, name))
        return BadRequest(QStringLiteral("no menu item named %1").arg(name));
    if (StopsTheRelay(name))
        return Refused(409, QStringLiteral("stop the service with systemctl"));
    Press(window, name);
    return {};
}

// The check boxes' commands take the box's new state.
QString Tick(frmQuorlan& window, const QString& name, bool on) {
    return window.Run(name, [&] {
        config::Commands& commands = window.Commands();
        if (name == QLatin1String("chkEnableLogs"))
            commands.SetRawLogging(on);
        else
            commands.SetDecoderTrace(on);
        return QString();
    });
}

CommandResult Check(frmQuorlan& window, const QString& name, const QJsonValue& value) {
    if (!FindControl(window, name, Control::Kind::CheckBox) || !window.HasClickHandler(name))
        return BadRequest(QStringLiteral("no check box named %1").arg(name));
    if (!IsWholeNumber(value) || (value.toInteger() != 0 && value.toInteger() != 1))
        return BadRequest(QStringLiteral("a check box's value is 0 or 1"));
    Tick(window, name, value.toInteger() != 0);
    return {};
}

CommandResult DoubleClick(frmQuorlan& window, const QString& name) {
    const Control* pane = FindControl(window, name, Control::Kind::TextBox);
    if (!pane || !pane->MultiLine || !window.HasClickHandler(name))
        return BadRequest(QStringLiteral("no log pane named %1").arg(name));
    window.DblClick(name);
    return {};
}

// Each browser shows the tab it chose: a tab is no command any more, so one
// viewer's choice moves neither the window nor the other viewers, and the
// window's own tab control alone runs SSTab1_Click.
CommandResult Tab() {
    CommandResult refused = BadRequest(QStringLiteral("each browser chooses its own tab"));
    refused.logged = false;
    return refused;
}

// A grid edit changes the recordset the window's grid shows; Commit writes it.
CommandResult GridEdit(frmQuorlan& window, const QJsonObject& command, QJsonObject& logged) {
    const QString name = command.value(QStringLiteral("grid")).toString();
    DataGrid* grid = FindGrid(window, name);
    if (!grid)
        return BadRequest(QStringLiteral("no grid named %1").arg(name));
    try {
        if (command.contains(QStringLiteral("addRow"))) {
            const QJsonValue values = command.value(QStringLiteral("addRow"));
            if (!values.isObject())
                return BadRequest(QStringLiteral("addRow takes an object of column values"));
            QJsonObject shown = values.toObject();
            if (shown.contains(kPasswordColumn))
                shown.insert(kPasswordColumn, kHidden);
            logged.insert(QStringLiteral("addRow"), shown);
            grid_editing::AddRow(*grid, values.toObject().toVariantMap());
        } else if (command.contains(QStringLiteral("deleteRow"))) {
            const QJsonValue row = command.value(QStringLiteral("deleteRow"));
            if (!IsWholeNumber(row))
                return BadRequest(QStringLiteral("deleteRow takes a row number"));
            grid_editing::DeleteRow(*grid, int(row.toInteger()));
        } else {
            const QJsonValue row = command.value(QStringLiteral("row"));
            const QJsonValue column = command.value(QStringLiteral("column"));
            const QJsonValue value = command.value(QStringLiteral("value"));
            if (!IsWholeNumber(row) || !IsWholeNumber(column) || !value.isString())
                return BadRequest(
                    QStringLiteral("a cell edit takes a row, a column and a text value"));
            const auto& rs = grid->DataSource;
            if (rs && rs->State() == platform::ObjectState::Open && column.toInteger() >= 0 &&
                column.toInteger() < rs->FieldCount() &&
                rs->FieldName(int(column.toInteger())) == kPasswordColumn)
                logged.insert(QStringLiteral("value"), kHidden);
            grid_editing::SetCell(*grid, int(row.toInteger()), int(column.toInteger()),
                                  value.toString());
        }
    } catch (const platform::Error& error) {
        return BadRequest(error.text());
    }
    window.ChangedNow();
    return {};
}

CommandResult Dispatch(frmQuorlan& window, const QJsonObject& command, QJsonObject& logged) {
    const auto text = [&](const char* key) { return command.value(QLatin1String(key)); };
    if (command.contains(QStringLiteral("grid")))
        return GridEdit(window, command, logged);
    if (text("click").isString())
        return Click(window, text("click").toString(), text("confirm"));
    if (text("menu").isString())
        return Menu(window, text("menu").toString());
    if (text("check").isString())
        return Check(window, text("check").toString(), text("value"));
    if (text("dblclick").isString())
        return DoubleClick(window, text("dblclick").toString());
    if (command.contains(QStringLiteral("tab")))
        return Tab();
    return BadRequest(QStringLiteral("unknown command"));
}

} // namespace

CommandResult RunCommand(frmQuorlan& window, const QByteArray& body) {
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(body, &parseError);
    if (parseError.error != QJsonParseError::NoError || !document.isObject())
        return BadRequest(QStringLiteral("the command is not a JSON object"));
    QJsonObject logged = document.object();
    CommandResult result = Dispatch(window, document.object(), logged);
    // Compact JSON escapes control characters, so a value cannot begin a
    // log line of its own.
    result.description = QString::fromUtf8(QJsonDocument(logged).toJson(QJsonDocument::Compact));
    return result;
}

} // namespace web
