#pragma once

#include "config/CoreEvents.h"

#include <QObject>
#include <functional>

struct DataGrid;
class frmQuorlan;

namespace app {

class Display;

// The window model's subscription to the core's events: each event becomes the
// state of the controls that show it. Views besides the window (the web
// console) subscribe here to hear that the model changed.
class WindowEvents final : public QObject, public CoreEvents {
    Q_OBJECT
public:
    WindowEvents(frmQuorlan& window, Display& display);

    void PaneChanged(LogPane pane, const QByteArray& text) override;
    void Notice(const QString& text) override;
    void WarningShown(int errorNumber, const QString& report, const QString& platformText,
                      int socket) override;
    void InfoShown(const QString& text) override;
    void TableShown(ShownTable table, const std::shared_ptr<platform::Recordset>& rows,
                    TableMode mode) override;
    void DelayedCountShown(const QString& report) override;
    void StatusChanged(StatusText which, const QString& text) override;
    void RawLoggingShown(bool on) override;
    void Changed() override;

    // Called after a warning was shown, for observers besides the window.
    std::function<void(int errorNumber, const QString& platformText, int socket)> warned;

signals:
    // The window model changed, by an event of the core or an operator's
    // command: at once for a warning, else coalesced as the model announces it.
    void modelChanged();

private:
    DataGrid& grid(ShownTable table);
    void setColumns(ShownTable table, int fieldCount);

    frmQuorlan& window_;
    Display& display_;
};

} // namespace app
