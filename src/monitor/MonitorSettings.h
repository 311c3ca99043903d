#pragma once

#include <QString>
#include <QStringList>

class adoQuorlan;

namespace monitor {

// Where /metrics and /healthz listen: StartUp rows MonitorAddress and
// MonitorPort (empty or 0: off), read at start-up. The names a scraper may
// use besides the address are those the console answers to (WebConsoleHosts).
struct MonitorSettings {
    QString address;
    quint16 port = 0;
    QStringList hosts;
    QString problem; // why the settings cannot be used; "" when they can
};

MonitorSettings ReadMonitorSettings(adoQuorlan& db);

} // namespace monitor
