#pragma once

#include "config/Operators.h"
#include "config/RouteVerdict.h"
#include "logging/LogFiles.h"
#include "relay/DelayedPage.h"
#include "routing/RoutedPage.h"

#include <QDateTime>
#include <QJsonObject>
#include <QString>
#include <QStringList>

class AlarmBook;
class frmQuorlan;

namespace platform {
class DateTimeText;
}

namespace app {
class WindowEvents;
}

namespace web {

// Where and how the console listens, from the StartUp table.
struct WebConsoleSettings {
    QString address;     // the one address it binds
    quint16 port = 0;    // 0: the console is off
    QString certificate; // PEM files; with both set the console speaks HTTPS only
    QString key;
    QStringList hosts; // further names a browser may use in Host (a reverse proxy's)
    QString problem;   // why the settings cannot be used, if they cannot
};

// All the console needs of the relay: the window model it shows and drives,
// the events that tell it the model changed, the clock, the System log, and
// the operators' passwords.
class WebConsoleHost {
public:
    virtual ~WebConsoleHost() = default;
    virtual frmQuorlan& Window() = 0;
    virtual app::WindowEvents& Events() = 0;
    virtual QDateTime Now() const = 0;
    virtual void LogSystem(const QString& line) = 0;
    // NAME's stored password hash, for config::OperatorPasswordMatches; for
    // an unknown name one that no password matches and that costs as much to
    // check. A quick table lookup: the console hashes on its worker threads.
    virtual QString OperatorHash(const QString& name) = 0;
    // The alarms the console lists and the operators acknowledge.
    virtual AlarmBook& Alarms() = 0;
    // The overview (GET /api/overview, and "overview" over the WebSocket):
    // carriers, outputs, brokers, the store, the active alarms and the health.
    virtual QJsonObject Overview() = 0;
    // NAME's role, read once at login (a quick table lookup); a viewer's when
    // it cannot be read.
    virtual config::OperatorRole RoleOf(const QString& name) = 0;
    // Whether NAME is an account (a quick table lookup); false when it cannot be read.
    virtual bool IsOperator(const QString& name) = 0;
    // A page of the delayed store, read through its indexes. Raises
    // platform::Error when the store cannot be read.
    virtual relay::DelayedPage ReadDelayed(const relay::DelayedPageQuery& query) = 0;
    // Where the log files are now, and how their lines write the time.
    virtual logfiles::LogPlace LogPlace() = 0;
    virtual const platform::DateTimeText& Texts() const = 0;
    // Where history.mdb is: the console's searches open it read-only.
    virtual QString HistoryFile() = 0;
    // What the routes of the Outputs and Publishers grids, as shown now, do
    // with a page (the "test this route" box).
    virtual QList<config::RouteVerdict> TestRoutes(const routing::RoutedPage& page) = 0;
    // The rows of the Aliases table as stored; raises platform::Error.
    virtual QList<QHash<QString, QString>> AliasRows() = 0;
};

} // namespace web
