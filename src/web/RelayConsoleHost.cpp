#include "web/RelayConsoleHost.h"

#include "config/Operators.h"
#include "config/adoQuorlan.h"
#include "logging/Logs.h"
#include "platform/Clock.h"
#include "platform/Error.h"
#include "relay/adoDelayed.h"

#include <QDir>
#include <QRegularExpression>

namespace {

constexpr uint kMaxPort = 65535;

} // namespace

namespace web {

QDateTime RelayConsoleHost::Now() const {
    return clock_.now();
}

void RelayConsoleHost::LogSystem(const QString& line) {
    logs_.LogError(line);
}

QString RelayConsoleHost::OperatorHash(const QString& name) {
    try {
        return config::OperatorPasswordHash(db_.gSysConnection, name);
    } catch (const platform::Error& error) {
        logs_.LogError(
            QStringLiteral("System: Web console cannot read the operators: %1").arg(error.text()));
        return {}; // matches no password
    }
}

config::OperatorRole RelayConsoleHost::RoleOf(const QString& name) {
    try {
        return config::OperatorRoleOf(db_.gSysConnection, name);
    } catch (const platform::Error& error) {
        logs_.LogError(
            QStringLiteral("System: Web console cannot read the operators: %1").arg(error.text()));
        return config::OperatorRole::Viewer; // a doubt grants no command
    }
}

bool RelayConsoleHost::IsOperator(const QString& name) {
    try {
        return config::OperatorExists(db_.gSysConnection, name);
    } catch (const platform::Error& error) {
        logs_.LogError(
            QStringLiteral("System: Web console cannot read the operators: %1").arg(error.text()));
        return false; // the audit then names no account
    }
}

relay::DelayedPage RelayConsoleHost::ReadDelayed(const relay::DelayedPageQuery& query) {
    return relay::ReadDelayedPage(store_, query);
}

logfiles::LogPlace RelayConsoleHost::LogPlace() {
    return logs_.Place();
}

const platform::DateTimeText& RelayConsoleHost::Texts() const {
    return logs_.Texts();
}

QString RelayConsoleHost::HistoryFile() {
    return QDir(workDir_).absoluteFilePath(QStringLiteral("history.mdb"));
}

WebConsoleSettings RelayConsoleHost::Settings() {
    WebConsoleSettings settings;
    const auto key = [&](const char* name, const char* fallback) {
        return db_.GetStartUpKey(QLatin1String(name), QLatin1String(fallback)).trimmed();
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
    const QDir folder(workDir_);
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

QList<config::RouteVerdict> RelayConsoleHost::TestRoutes(const routing::RoutedPage& page) {
    return db_.TestRoutes(page);
}

QList<QHash<QString, QString>> RelayConsoleHost::AliasRows() {
    return db_.AliasTableRows();
}

} // namespace web
