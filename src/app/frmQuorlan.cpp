#include "app/frmQuorlan.h"

#include <QMetaMethod>

#include <cstdio>
#include <utility>

namespace {

void Place(Control& c, const char* name, Control::Kind kind, int tab, int left, int top, int width,
           int height, const QString& caption = QString()) {
    c.Name = QLatin1String(name);
    c.kind = kind;
    c.Tab = tab;
    c.Left = left;
    c.Top = top;
    c.Width = width;
    c.Height = height;
    c.Caption = caption;
}

void Pane(Control& c, const char* name, int tab, int top) {
    Place(c, name, Control::Kind::TextBox, tab, 150, top, 14700, 4000);
    c.MultiLine = true;
    c.FontName = QStringLiteral("Verdana");
}

} // namespace

frmQuorlan::frmQuorlan(System& system) : sys_(system) {
    design();
    notifyTimer_.setSingleShot(true);
    notifyTimer_.setInterval(kNotifyInterval);
    connect(&notifyTimer_, &QTimer::timeout, this, &frmQuorlan::notifyPending);
}

bool frmQuorlan::Watched() const {
    return isSignalConnected(QMetaMethod::fromSignal(&frmQuorlan::changed));
}

void frmQuorlan::Changed() {
    if (!Watched())
        return;
    notifyPending_ = true;
    if (!notifyTimer_.isActive())
        notifyTimer_.start();
}

void frmQuorlan::ChangedNow() {
    notifyTimer_.stop();
    notifyPending_ = false;
    emit changed();
}

void frmQuorlan::notifyPending() {
    if (!std::exchange(notifyPending_, false))
        return;
    emit changed();
}

// The window as designed: captions, texts and positions before any code runs.
// Form_Resize moves and sizes the panes, grids and boxes it names.
void frmQuorlan::design() {
    using K = Control::Kind;
    Place(frmeInfoBox, "frmeInfoBox", K::Frame, kNoTab, 2700, 1500, 9900, 3300,
          QStringLiteral("Log Highlight"));
    frmeInfoBox.Visible = false;
    Place(txbInfo, "txbInfo", K::TextBox, kNoTab, 120, 300, 9660, 2500);
    txbInfo.Container = frmeInfoBox.Name;
    txbInfo.MultiLine = true;
    Place(cmdDoneInfo, "cmdDoneInfo", K::Button, kNoTab, 8700, 2880, 1000, 330,
          QStringLiteral("Done"));
    cmdDoneInfo.Container = frmeInfoBox.Name;

    Place(frmeSystemError, "frmeSystemError", K::Frame, kNoTab, 1680, 1344, 6684, 5676,
          QStringLiteral("System Error"));
    frmeSystemError.Visible = false;
    Place(txbSystemError, "txbSystemError", K::TextBox, kNoTab, 192, 336, 6300, 5196);
    txbSystemError.Container = frmeSystemError.Name;
    txbSystemError.MultiLine = true;
    txbSystemError.FontName = QStringLiteral("Verdana");
    Place(cmdClearWarning, "cmdClearWarning", K::Button, kNoTab, 5808, 432, 588, 285,
          QStringLiteral("Clear"));
    cmdClearWarning.Container = frmeSystemError.Name;

    Place(SSTab1, "SSTab1", K::Frame, kNoTab, 120, 120, 15000, 7700);
    TabCaptions = {QStringLiteral("Input"),       QStringLiteral("Outputs"),
                   QStringLiteral("System Logs"), QStringLiteral("Config"),
                   QStringLiteral("Delayed"),     QStringLiteral("Decoder")};

    // "Input"
    Place(dgTelstra, "dgTelstra", K::Grid, kInputTab, 150, 500, 9000, 1250);
    Place(cmdOpenTelstra, "cmdOpenTelstra", K::Button, kInputTab, 9300, 500, 1000, 375,
          QStringLiteral("Edit"));
    Place(cmdEnable, "cmdEnable", K::Button, kInputTab, 9300, 960, 1300, 375,
          QStringLiteral("Enable Soc"));
    Place(chkEnableLogs, "chkEnableLogs", K::CheckBox, kInputTab, 10800, 500, 2000, 300,
          QStringLiteral("Enable Raw Logs"));
    Place(txbBytesTotal, "txbBytesTotal", K::TextBox, kInputTab, 10800, 960, 1500, 315);
    txbBytesTotal.Text = QStringLiteral("0 Bytes");
    Place(txbPointer, "txbPointer", K::TextBox, kInputTab, 12450, 960, 1500, 315);
    Pane(txbLogTelstra, "txbLogTelstra", 0, 1800);

    // "Outputs"
    Place(Label3, "Label3", K::Label, kOutputsTab, 150, 450, 3000, 285,
          QStringLiteral("Decoder Outputs"));
    Place(dgOutputs, "dgOutputs", K::Grid, kOutputsTab, 150, 750, 9000, 1850);
    Place(cmdEditOuputs, "cmdEditOuputs", K::Button, kOutputsTab, 9300, 750, 1000, 375,
          QStringLiteral("Edit"));
    Place(cmdSendDummy, "cmdSendDummy", K::Button, kOutputsTab, 9300, 1210, 1600, 375,
          QStringLiteral("Dummy Message"));
    // The MQTT brokers every page is also published to, beside the outputs.
    Place(lbPublishers, "lbPublishers", K::Label, kOutputsTab, 11000, 450, 3000, 285,
          QStringLiteral("MQTT Publishers"));
    Place(dgPublishers, "dgPublishers", K::Grid, kOutputsTab, 11000, 750, 3850, 1400);
    Place(cmdEditPublishers, "cmdEditPublishers", K::Button, kOutputsTab, 11000, 2220, 1000, 375,
          QStringLiteral("Edit"));
    Pane(txbLogOutputs, "txbLogOutputs", 1, 2700);

    // "System Logs"
    Place(dgErrorCodes, "dgErrorCodes", K::Grid, kSystemLogsTab, 150, 500, 9000, 1300);
    // The test pages watched for, beside the warnings they raise when missed.
    Place(lbWatches, "lbWatches", K::Label, kSystemLogsTab, 9300, 450, 3000, 285,
          QStringLiteral("Test Page Watches"));
    Place(cmdEditWatches, "cmdEditWatches", K::Button, kSystemLogsTab, 13850, 380, 1000, 330,
          QStringLiteral("Edit"));
    Place(dgWatches, "dgWatches", K::Grid, kSystemLogsTab, 9300, 750, 5550, 1050);
    Pane(txbLogErrors, "txbLogErrors", 2, 1900);

    // "Config"
    Place(lbStartDate, "lbStartDate", K::Label, kConfigTab, 150, 450, 6000, 285);
    Place(dgStartup, "dgStartup", K::Grid, kConfigTab, 150, 800, 9600, 5000);
    Place(cmdGeneralEdit, "cmdGeneralEdit", K::Button, kConfigTab, 9900, 800, 1000, 375,
          QStringLiteral("Edit"));
    // The names that routes and the operator's views give to addresses.
    Place(lbAliases, "lbAliases", K::Label, kConfigTab, 11100, 450, 3000, 285,
          QStringLiteral("Address Aliases"));
    Place(dgAliases, "dgAliases", K::Grid, kConfigTab, 11100, 800, 3750, 4600);
    Place(cmdEditAliases, "cmdEditAliases", K::Button, kConfigTab, 11100, 5500, 1000, 375,
          QStringLiteral("Edit"));

    // "Delayed"
    Place(cmdDeleteDelayed, "cmdDeleteDelayed", K::Button, kDelayedTab, 150, 400, 1300, 285,
          QStringLiteral("Delete ALL"));
    Place(dgDelayed, "dgDelayed", K::Grid, kDelayedTab, 150, 700, 14700, 6900);

    // "Decoder"
    Place(frmeBatchControl, "frmeBatchControl", K::Frame, kDecoderTab, 150, 420, 3000, 900,
          QStringLiteral("Batch Control"));
    Place(chkInsertBatch, "chkInsertBatch", K::CheckBox, kDecoderTab, 120, 360, 2700, 300,
          QStringLiteral("Enable Batch Logic"));
    chkInsertBatch.Container = frmeBatchControl.Name;
    Place(lbControl, "lbControl", K::Label, kDecoderTab, 3400, 500, 3000, 285,
          QStringLiteral("No Data"));
    Place(lbTest, "lbTest", K::Label, kDecoderTab, 6600, 500, 5000, 285, QStringLiteral("No Data"));
    Place(lbF1, "lbF1", K::Label, kDecoderTab, 3400, 900, 3000, 285);
    Place(lbF2, "lbF2", K::Label, kDecoderTab, 6600, 900, 3000, 285);
    Place(lbSATBufferCtr, "lbSATBufferCtr", K::Label, kDecoderTab, 11800, 500, 1200, 285,
          QStringLiteral("Buffer Size"));
    Place(txbSATBufferCtr, "txbSATBufferCtr", K::TextBox, kDecoderTab, 13100, 480, 1500, 315);
    Place(lbTxData, "lbTxData", K::Label, kDecoderTab, 11800, 900, 3000, 285,
          QStringLiteral("No Data"));
    Pane(txbSatDecoder, "txbSatDecoder", 5, 1400);

    Menus = {
        {QStringLiteral("mnuFile"),
         QStringLiteral("File"),
         {{QStringLiteral("mnuForceBackup"), QStringLiteral("Force Backup"), {}},
          {QStringLiteral("mnuCheckDelayedDbase"), QStringLiteral("Check Delayed DBase"), {}},
          {QStringLiteral("mnuExit"), QStringLiteral("Exit"), {}}}},
        {QStringLiteral("mnuMinimise"), QStringLiteral("Minimise"), {}},
    };
}

QVector<Control*> frmQuorlan::Controls() {
    return {&frmeInfoBox,
            &txbInfo,
            &cmdDoneInfo,
            &frmeSystemError,
            &txbSystemError,
            &cmdClearWarning,
            &dgTelstra,
            &cmdOpenTelstra,
            &cmdEnable,
            &chkEnableLogs,
            &txbBytesTotal,
            &txbPointer,
            &txbLogTelstra,
            &Label3,
            &dgOutputs,
            &cmdEditOuputs,
            &cmdSendDummy,
            &lbPublishers,
            &dgPublishers,
            &cmdEditPublishers,
            &txbLogOutputs,
            &dgErrorCodes,
            &lbWatches,
            &cmdEditWatches,
            &dgWatches,
            &txbLogErrors,
            &lbStartDate,
            &dgStartup,
            &cmdGeneralEdit,
            &lbAliases,
            &dgAliases,
            &cmdEditAliases,
            &cmdDeleteDelayed,
            &dgDelayed,
            &frmeBatchControl,
            &chkInsertBatch,
            &lbControl,
            &lbTest,
            &lbF1,
            &lbF2,
            &lbSATBufferCtr,
            &txbSATBufferCtr,
            &lbTxData,
            &txbSatDecoder};
}

QVector<DataGrid*> frmQuorlan::Grids() {
    return {&dgTelstra, &dgOutputs,    &dgStartup, &dgErrorCodes,
            &dgDelayed, &dgPublishers, &dgWatches, &dgAliases};
}

void frmQuorlan::MsgBox(const QString& text) {
    if (messageBoxHandler) {
        messageBoxHandler(text);
        return;
    }
    std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
    std::fflush(stderr);
}
