#include "app/Display.h"

#include "app/System.h"
#include "platform/Recordset.h"

namespace app {

Display::Display(System& system) : sys_(system) {}

void Display::ShowInfoBox(const QString& text) {
    sys_.window.txbInfo.Text = text;
    sys_.window.txbInfo.Bytes.clear();
    sys_.window.frmeInfoBox.Visible = true;
    sys_.window.Changed();
}

void Display::InitSystemErrorBox() {
    frmQuorlan& w = sys_.window;
    w.frmeSystemError.Visible = false;
    w.frmeSystemError.Top = 1344;
    w.frmeSystemError.Left = 1680;
    w.frmeSystemError.Height = 5676;
    w.frmeSystemError.Width = 6684;
    w.txbSystemError.Top = 336;
    w.txbSystemError.Left = 192;
    w.txbSystemError.Height = 5196;
    w.txbSystemError.Width = 6300;
    w.cmdClearWarning.Top = 432;
    w.cmdClearWarning.Left = 5808;
    w.cmdClearWarning.Height = 285;
    w.cmdClearWarning.Width = 588;
    w.Changed();
}

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
    setColumns(sys_.window.dgOutputs, {800, 2000, 500, 500, 700, 2500, 1500}, fieldCount);
}

void Display::SetStartupColumns(int fieldCount) {
    setColumns(sys_.window.dgStartup, {1500, 2500, 5000}, fieldCount);
}

void Display::SetDelayedColumns(int fieldCount) {
    setColumns(sys_.window.dgDelayed, {1000, 2000, 1500, 7000}, fieldCount);
}

void Display::SetPublishersColumns(int fieldCount) {
    setColumns(sys_.window.dgPublishers, {1200, 1200, 500, 1300, 400, 500, 800, 800, 1200, 2500},
               fieldCount);
}

void Display::SetAliasesColumns(int fieldCount) {
    setColumns(sys_.window.dgAliases, {1000, 800, 1800, 1500}, fieldCount);
}

void Display::SetWatchesColumns(int fieldCount) {
    setColumns(sys_.window.dgWatches, {1400, 1000, 900, 1300, 700}, fieldCount);
}

bool Display::Bind(DataGrid& grid, const std::shared_ptr<platform::Recordset>& rs, long foreColor) {
    if (!rs || rs->State() != platform::ObjectState::Open)
        return false;
    grid.DataSource = rs;
    grid.ForeColor = foreColor;
    sys_.window.Changed();
    return true;
}

// Every table starts read-only, as the events of any later change show it.
void Display::LoadAllGrids() {
    adoQuorlan& db = sys_.db;
    CoreEvents& events = sys_.events;
    db.OpenTelstra(platform::kLockReadOnly);
    events.TableShown(ShownTable::Telstra, db.rsTelstra, TableMode::Showing);
    db.OpenOutputs(platform::kLockReadOnly);
    events.TableShown(ShownTable::Outputs, db.rsOutputs, TableMode::Showing);
    db.OpenPublishers(platform::kLockReadOnly);
    events.TableShown(ShownTable::Publishers, db.rsPublishers, TableMode::Showing);
    db.OpenStartUp(platform::kLockReadOnly);
    events.TableShown(ShownTable::StartUp, db.gRsStartUp, TableMode::Showing);
    db.OpenErrorCodes(platform::kLockReadOnly);
    Bind(sys_.window.dgErrorCodes, db.rsErrorCodes, colours::Blue);
    db.OpenWatches(platform::kLockReadOnly);
    events.TableShown(ShownTable::Watches, db.rsWatches, TableMode::Showing);
    db.OpenAliases(platform::kLockReadOnly);
    events.TableShown(ShownTable::Aliases, db.rsAliases, TableMode::Showing);
    sys_.delayedDb.OpenDelayedList();
}

void Display::Form_Resize() {
    frmQuorlan& w = sys_.window;
    if (w.Width < 10000)
        return;
    if (w.Height < 8000)
        w.Height = 8000;
    const int W = w.Width;
    const int H = w.Height;

    w.SSTab1.Width = W - 330;
    for (Control* c :
         {&w.txbLogTelstra, &w.txbLogOutputs, &w.txbLogErrors, static_cast<Control*>(&w.dgDelayed)})
        c->Width = w.SSTab1.Width - 300;

    w.SSTab1.Height = H - 600;
    w.txbLogTelstra.Height = w.SSTab1.Height - 1900;
    w.txbLogOutputs.Height = w.SSTab1.Height - 2800;
    w.txbLogErrors.Height = w.SSTab1.Height - 2000;
    w.dgDelayed.Height = w.SSTab1.Height - 800;

    w.txbSatDecoder.Width = w.SSTab1.Width - 300;
    w.txbSatDecoder.Height = w.SSTab1.Height - 1500;

    // The info box sits one full box height above the middle; the warning box
    // is centred both ways.
    w.frmeInfoBox.Width = 9900;
    w.frmeInfoBox.Left = W / 2 - w.frmeInfoBox.Width / 2;
    w.frmeInfoBox.Top = H / 2 - w.frmeInfoBox.Height;

    w.frmeSystemError.Height = 5676;
    w.frmeSystemError.Width = 6684;
    w.frmeSystemError.Left = W / 2 - w.frmeSystemError.Width / 2;
    w.frmeSystemError.Top = H / 2 - w.frmeSystemError.Height / 2;
    w.Changed();
}

} // namespace app
