#include "app/SystemWebConsoleHost.h"

#include "app/System.h"
#include "config/Operators.h"
#include "platform/Error.h"

#include <QDir>
#include <QRegularExpression>

namespace {

constexpr uint kMaxPort = 65535;

} // namespace

frmQuorlan& SystemWebConsoleHost::Window() {
    return sys_.window;
}

app::WindowEvents& SystemWebConsoleHost::Events() {
    return sys_.events;
}

QDateTime SystemWebConsoleHost::Now() const {
    return sys_.Now();
}

void SystemWebConsoleHost::LogSystem(const QString& line) {
    sys_.logs.LogError(line);
}

QString SystemWebConsoleHost::OperatorHash(const QString& name) {
    try {
        return config::OperatorPasswordHash(sys_.db.gSysConnection, name);
    } catch (const platform::Error& error) {
        sys_.logs.LogError(
            QStringLiteral("System: Web console cannot read the operators: %1").arg(error.text()));
        return {}; // matches no password
    }
}

web::WebConsoleSettings SystemWebConsoleHost::Settings() {
    web::WebConsoleSettings settings;
    const auto key = [&](const char* name, const char* fallback) {
        return sys_.db.GetStartUpKey(QLatin1String(name), QLatin1String(fallback)).trimmed();
    };
    settings.address = key("WebConsoleAddress", "127.0.0.1");
    const QString portText = key("WebConsolePort", "8088");
    bool valid = portText.isEmpty();
    const uint port = portText.toUInt(&valid);
    if (!portText.isEmpty() && (!valid || port > kMaxPort))
        settings.problem = QStringLiteral("WebConsolePort %1 is not a port").arg(portText);
    else
        settings.port = quint16(port);
    // Relative to the working folder, as every file the tables name.
    const QDir folder(sys_.workDir);
    const auto file = [&](const char* name) {
        const QString path = key(name, "");
        return path.isEmpty() ? path : folder.filePath(path);
    };
    settings.certificate = file("WebConsoleCertificate");
    settings.key = file("WebConsoleKey");
    settings.hosts = key("WebConsoleHosts", "")
                         .split(QRegularExpression(QStringLiteral("[,\\s]+")), Qt::SkipEmptyParts);
    return settings;
}
