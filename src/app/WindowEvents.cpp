#include "app/WindowEvents.h"

#include "app/Display.h"
#include "app/frmQuorlan.h"
#include "platform/Recordset.h"

#include <cstdio>

namespace app {

namespace {

const QString CRLF = QStringLiteral("\r\n");

Control& PaneControl(frmQuorlan& w, LogPane pane) {
    switch (pane) {
    case LogPane::Errors:
        return w.txbLogErrors;
    case LogPane::Telstra:
        return w.txbLogTelstra;
    case LogPane::Outputs:
        return w.txbLogOutputs;
    case LogPane::Decoder:
        break;
    }
    return w.txbSatDecoder;
}

} // namespace

WindowEvents::WindowEvents(frmQuorlan& window, Display& display)
    : window_(window), display_(display) {
    connect(&window_, &frmQuorlan::changed, this, &WindowEvents::modelChanged);
}

void WindowEvents::PaneChanged(LogPane pane, const QByteArray& text) {
    Control& control = PaneControl(window_, pane);
    control.Text = QString::fromUtf8(text);
    control.Bytes = text;
    window_.Changed();
}

void WindowEvents::Notice(const QString& text) {
    if (!window_.HasView()) {
        std::fprintf(stderr, "%s\n", qPrintable(text));
        std::fflush(stderr);
    }
}

void WindowEvents::WarningShown(int errorNumber, const QString& report, const QString& platformText,
                                int socket) {
    window_.frmeSystemError.Visible = true;
    window_.txbSystemError.Text = report;
    window_.ChangedNow(); // a warning is not kept waiting behind log lines
    if (!window_.HasView()) {
        // Headless: the box has no one to show it, so the operator's terminal
        // or the service journal gets it.
        std::fprintf(stderr, "%s\n",
                     qPrintable(QString(report).replace(CRLF, QStringLiteral("\n"))));
        std::fflush(stderr);
    }
    if (warned)
        warned(errorNumber, platformText, socket);
}

void WindowEvents::InfoShown(const QString& text) {
    display_.ShowInfoBox(text);
}

DataGrid& WindowEvents::grid(ShownTable table) {
    switch (table) {
    case ShownTable::Telstra:
        return window_.dgTelstra;
    case ShownTable::Outputs:
        return window_.dgOutputs;
    case ShownTable::StartUp:
        return window_.dgStartup;
    case ShownTable::Delayed:
        return window_.dgDelayed;
    case ShownTable::Watches:
        return window_.dgWatches;
    case ShownTable::Aliases:
        return window_.dgAliases;
    case ShownTable::Publishers:
        break;
    }
    return window_.dgPublishers;
}

void WindowEvents::setColumns(ShownTable table, int fieldCount) {
    switch (table) {
    case ShownTable::Telstra:
        return display_.SetTelstraColumns(fieldCount);
    case ShownTable::Outputs:
        return display_.SetOutputsColumns(fieldCount);
    case ShownTable::StartUp:
        return display_.SetStartupColumns(fieldCount);
    case ShownTable::Delayed:
        return display_.SetDelayedColumns(fieldCount);
    case ShownTable::Publishers:
        return display_.SetPublishersColumns(fieldCount);
    case ShownTable::Watches:
        return display_.SetWatchesColumns(fieldCount);
    case ShownTable::Aliases:
        return display_.SetAliasesColumns(fieldCount);
    }
}

// A table that cannot be read shows nothing rather than rows that are gone.
void WindowEvents::TableShown(ShownTable table, const std::shared_ptr<platform::Recordset>& rows,
                              TableMode mode) {
    DataGrid& shown = grid(table);
    shown.DataSource.reset();
    long colour = shown.ForeColor;
    if (mode == TableMode::Editing)
        colour = colours::DarkRed;
    else if (mode == TableMode::Showing)
        colour = colours::Blue;
    if (display_.Bind(shown, rows, colour))
        setColumns(table, rows->FieldCount());
    window_.Changed();
}

void WindowEvents::DelayedCountShown(const QString& report) {
    window_.frmeSystemError.Visible = true;
    window_.txbSystemError.Text = report;
    window_.Changed();
}

void WindowEvents::StatusChanged(StatusText which, const QString& text) {
    Control& control =
        which == StatusText::SatBufferCount ? window_.txbSATBufferCtr : window_.lbTxData;
    if (which == StatusText::SatBufferCount)
        control.Text = text;
    else
        control.Caption = text;
    window_.Changed();
}

void WindowEvents::RawLoggingShown(bool on) {
    window_.chkEnableLogs.Value = on ? 1 : 0;
    window_.Changed();
}

void WindowEvents::Changed() {
    window_.Changed();
}

} // namespace app
