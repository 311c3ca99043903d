#pragma once

#include <QByteArray>
#include <QString>
#include <memory>

namespace platform {
class Recordset;
}

// The panes of log text the relay keeps for the operator.
enum class LogPane { Errors, Telstra, Outputs, Decoder };

// The tables the relay shows. Editing tables are shown in dark red, tables
// that are only shown in blue; Kept leaves the colour as it was.
enum class ShownTable { Telstra, Outputs, StartUp, Delayed, Publishers, Watches, Aliases };
enum class TableMode { Editing, Showing, Kept };

// Short texts the relay keeps up to date for the operator.
enum class StatusText { SatBufferCount, LastTransmit };

// Everything the core tells its operators leaves through this interface: the
// window model subscribes to it (and through it the web console and any later
// observer). The core never touches a window control itself, and says nothing
// of how it is shown: a colour, a caption or a column width is the view's.
//
// Every call is made on the relay's thread and returns at once; a burst of
// calls ends with Changed().
class CoreEvents {
public:
    virtual ~CoreEvents() = default;

    // A pane's text is now `text`: the newest line first, cut to the pane's limit.
    virtual void PaneChanged(LogPane pane, const QByteArray& text) = 0;
    // A notice for whoever runs the relay: without a window it goes to standard error.
    virtual void Notice(const QString& text) = 0;
    // A warning report: `report` is the box's whole text, date and time in front.
    virtual void WarningShown(int errorNumber, const QString& report, const QString& platformText,
                              int socket) = 0;
    // An answer for the operator in the information box.
    virtual void InfoShown(const QString& text) = 0;
    // A table now shows `rows` (null: nothing) in `mode`.
    virtual void TableShown(ShownTable table, const std::shared_ptr<platform::Recordset>& rows,
                            TableMode mode) = 0;
    // The delayed store holds more packets than its table lists: `report`
    // (date and time in front) says how many, in the warning box.
    virtual void DelayedCountShown(const QString& report) = 0;
    // A status text changed.
    virtual void StatusChanged(StatusText which, const QString& text) = 0;
    // Raw logging is now on or off, as the operator's switch shows it.
    virtual void RawLoggingShown(bool on) = 0;
    // The end of a burst of calls: the views may now redraw.
    virtual void Changed() = 0;
};
