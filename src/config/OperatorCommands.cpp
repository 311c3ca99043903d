#include "config/OperatorCommands.h"

#include "config/DatabaseFiles.h"
#include "config/Operators.h"
#include "platform/Connection.h"
#include "platform/Error.h"

#include <QDir>
#include <QFileInfo>
#include <QMap>
#include <QSqlQuery>

namespace config {

namespace {

const QString kSystemFile = QStringLiteral("Ombrixsys.mdb");

void OpenSystemFile(platform::Connection& connection, const QString& folder, int mode) {
    connection.ConnectionString = QStringLiteral("Data Source=.\\") + kSystemFile;
    connection.Mode = mode;
    connection.BaseFolder = folder;
    connection.Open();
}

// The web console's StartUp rows by key; a key without a row is missing.
QMap<QString, QString> ConsoleSettings(const platform::Connection& connection) {
    QSqlQuery query(connection.database());
    QMap<QString, QString> settings;
    if (!query.exec(QStringLiteral("SELECT Key_Description, Key_Data FROM StartUp WHERE "
                                   "Key_Description LIKE 'WebConsole%'")))
        return settings;
    while (query.next())
        settings.insert(query.value(0).toString(), query.value(1).toString().trimmed());
    return settings;
}

} // namespace

QString FolderProblem(const QString& folder) {
    if (!QFileInfo(folder).isDir())
        return QStringLiteral("%1 is not a folder").arg(folder);
    if (!QFileInfo(QDir(folder).filePath(kSystemFile)).isFile())
        return QStringLiteral("%1 has no %2 ('ombrix init %1' makes a working folder)")
            .arg(folder, kSystemFile);
    return {};
}

QString SetPasswordInWorkFolder(const QString& folder, const QString& name, const QString& password,
                                const QString& createdText, std::optional<OperatorRole> role) {
    QString problem = FolderProblem(folder);
    if (!problem.isEmpty())
        return problem;
    try {
        platform::Connection connection;
        OpenSystemFile(connection, folder, platform::kModeReadWrite);
        UpgradeSchema(connection, DatabaseKind::System);
        SetOperatorPassword(connection, name, password, createdText, role);
    } catch (const platform::Error& error) {
        return error.text();
    }
    return {};
}

QString ConsoleUrl(const QString& folder) {
    QMap<QString, QString> settings;
    try {
        platform::Connection connection;
        OpenSystemFile(connection, folder, platform::kModeRead);
        settings = ConsoleSettings(connection);
    } catch (const platform::Error&) {
        return {}; // the caller says the address is unknown
    }
    const QString port = settings.value(QStringLiteral("WebConsolePort"));
    if (port.isEmpty() || port == QLatin1String("0"))
        return {};
    QString address = settings.value(QStringLiteral("WebConsoleAddress"));
    if (address.contains(QLatin1Char(':')))
        address = QLatin1Char('[') + address + QLatin1Char(']');
    const bool https = !settings.value(QStringLiteral("WebConsoleCertificate")).isEmpty() &&
                       !settings.value(QStringLiteral("WebConsoleKey")).isEmpty();
    return QStringLiteral("%1://%2:%3/")
        .arg(https ? QStringLiteral("https") : QStringLiteral("http"), address, port);
}

} // namespace config
