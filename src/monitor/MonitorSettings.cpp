#include "monitor/MonitorSettings.h"

#include "config/adoQuorlan.h"

#include <QRegularExpression>

namespace monitor {

namespace {

constexpr uint kMaxPort = 65535;

} // namespace

MonitorSettings ReadMonitorSettings(adoQuorlan& db) {
    MonitorSettings settings;
    const auto key = [&](const char* name, const char* fallback) {
        return db.GetStartUpKey(QLatin1String(name), QLatin1String(fallback)).trimmed();
    };
    settings.address = key("MonitorAddress", "127.0.0.1");
    const QString portText = key("MonitorPort", "9188");
    bool valid = false;
    const uint port = portText.toUInt(&valid);
    if (!portText.isEmpty() && (!valid || port > kMaxPort))
        settings.problem = QStringLiteral("MonitorPort %1 is not a port").arg(portText);
    else
        settings.port = static_cast<quint16>(port);
    settings.hosts = key("WebConsoleHosts", "")
                         .split(QRegularExpression(QStringLiteral("[,\\s]+")), Qt::SkipEmptyParts);
    return settings;
}

} // namespace monitor
