#include "config/DatabaseFiles.h"

#include "config/FileModes.h"
#include "platform/Connection.h"
#include "platform/Error.h"
#include "platform/SocketControl.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QUuid>

namespace config {

namespace {

QString Resource(const QString& name) {
    QFile file(QStringLiteral(":/db/") + name);
    if (!file.open(QIODevice::ReadOnly))
        throw platform::Error(QStringLiteral("Missing built-in script %1").arg(name));
    return QString::fromUtf8(file.readAll());
}

QString SchemaScript(DatabaseKind kind, int version) {
    QString base = QStringLiteral("delayed-schema-%1.sql");
    if (kind == DatabaseKind::System)
        base = QStringLiteral("system-schema-%1.sql");
    else if (kind == DatabaseKind::History)
        base = QStringLiteral("history-schema-%1.sql");
    return Resource(base.arg(version));
}

// What a new file of the kind is set to before its first table: the store and
// the history are written in WAL mode; the history gives back the pages its
// retention frees a step at a time, which SQLite allows only when chosen
// before any table exists.
QString FirstPragmas(DatabaseKind kind) {
    switch (kind) {
    case DatabaseKind::Delayed:
        return QStringLiteral("PRAGMA journal_mode = WAL;");
    case DatabaseKind::History:
        return QStringLiteral("PRAGMA auto_vacuum = INCREMENTAL;\nPRAGMA journal_mode = WAL;");
    case DatabaseKind::System:
        break;
    }
    return {};
}

// Statements of a script: comments dropped, split at a ';' that ends a line.
QStringList Statements(const QString& script) {
    QStringList lines;
    for (const QString& line : script.split(QLatin1Char('\n'))) {
        if (!line.trimmed().startsWith(QLatin1String("--")))
            lines << line;
    }
    QStringList result;
    static const QRegularExpression end(QStringLiteral(";\\s*$"),
                                        QRegularExpression::MultilineOption);
    for (const QString& part : lines.join(QLatin1Char('\n')).split(end))
        if (!part.trimmed().isEmpty())
            result << part.trimmed();
    return result;
}

// A column to add that is there already (the file was set back to an older
// version), or whose table is missing (the table opener reports that), is
// left alone, so that every upgrade script can run again on any file, as the
// CREATE ... IF NOT EXISTS and INSERT OR IGNORE of the others can.
bool AddsNoColumn(const QSqlDatabase& db, const QString& sql) {
    static const QRegularExpression addColumn(
        QStringLiteral("^ALTER\\s+TABLE\\s+(\\w+)\\s+ADD\\s+COLUMN\\s+(\\w+)"),
        QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = addColumn.match(sql);
    if (!match.hasMatch())
        return false;
    QSqlQuery query(db);
    if (!query.prepare(QStringLiteral("SELECT name FROM pragma_table_info(?)")))
        throw platform::Error(query.lastError().text());
    query.addBindValue(match.captured(1));
    if (!query.exec())
        throw platform::Error(query.lastError().text());
    bool tableExists = false;
    while (query.next()) {
        tableExists = true;
        if (query.value(0).toString().compare(match.captured(2), Qt::CaseInsensitive) == 0)
            return true;
    }
    return !tableExists;
}

void RunScript(const QSqlDatabase& db, const QString& script, const QVariantMap& bindings = {}) {
    for (const QString& sql : Statements(script)) {
        if (AddsNoColumn(db, sql))
            continue;
        QSqlQuery query(db);
        if (!query.prepare(sql))
            throw platform::Error(query.lastError().text());
        for (auto it = bindings.begin(); it != bindings.end(); ++it)
            if (sql.contains(it.key()))
                query.bindValue(it.key(), it.value());
        if (!query.exec())
            throw platform::Error(query.lastError().text());
    }
}

int UserVersion(const QSqlDatabase& db) {
    QSqlQuery query(db);
    if (!query.exec(QStringLiteral("PRAGMA user_version")) || !query.next())
        throw platform::Error(query.lastError().text());
    return query.value(0).toInt();
}

void Migrate(QSqlDatabase db, DatabaseKind kind, int from) {
    if (!db.transaction())
        throw platform::Error(db.lastError().text());
    try {
        for (int version = from + 1; version <= CurrentSchemaVersion(kind); ++version)
            RunScript(db, SchemaScript(kind, version));
        QSqlQuery query(db);
        if (!query.exec(QStringLiteral("PRAGMA user_version = %1").arg(CurrentSchemaVersion(kind))))
            throw platform::Error(query.lastError().text());
    } catch (const platform::Error&) {
        db.rollback();
        throw;
    }
    if (!db.commit())
        throw platform::Error(db.lastError().text());
}

// Tables that every file of the kind has whatever its version: created when
// missing, never changed when there.
void EnsureTables(const QSqlDatabase& db, DatabaseKind kind) {
    if (kind == DatabaseKind::System)
        RunScript(db, Resource(QStringLiteral("system-publishers.sql")));
}

void CreateFile(const QString& path, DatabaseKind kind, const QStringList& extraScripts,
                const QVariantMap& bindings) {
    const QString name =
        QStringLiteral("ombrix-init-") + QUuid::createUuid().toString(QUuid::Id128);
    QString failure;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(path);
        if (!db.open()) {
            failure = db.lastError().text();
        } else {
            try {
                RunScript(db, FirstPragmas(kind));
                Migrate(db, kind, 0);
                EnsureTables(db, kind);
                for (const QString& script : extraScripts)
                    RunScript(db, Resource(script), bindings);
            } catch (const platform::Error& error) {
                failure = error.text();
            }
            db.close();
        }
    }
    QSqlDatabase::removeDatabase(name);
    if (!failure.isEmpty())
        throw platform::Error(QStringLiteral("%1: %2").arg(path, failure));
}

} // namespace

int CurrentSchemaVersion(DatabaseKind kind) {
    // System 2: the warning text of outputs that share a description.
    // System 3: the AllowFrom column of the Outputs table.
    // System 4: the web console's Operators table and StartUp rows.
    // System 5: monitoring's StartUp rows, the Watches table, warnings 112 and 113.
    // System 6: the console's Alarms table and the Role of each operator.
    // System 7: the Route of outputs and publishers, the Aliases table.
    // History 2: the index of the trail's events by stored copy.
    switch (kind) {
    case DatabaseKind::System:
        return 7;
    case DatabaseKind::History:
        return 2;
    case DatabaseKind::Delayed:
        break;
    }
    return 1;
}

void CreateDatabaseFile(const QString& path, DatabaseKind kind) {
    if (QFileInfo::exists(path))
        throw platform::Error(QStringLiteral("%1 already exists").arg(path));
    CreateFile(path, kind, {}, {});
}

void UpgradeSchema(platform::Connection& connection, DatabaseKind kind) {
    QSqlDatabase db = connection.database();
    const int version = UserVersion(db);
    if (version < CurrentSchemaVersion(kind))
        Migrate(db, kind, version);
    EnsureTables(db, kind);
}

QString CreateWorkFolder(const QString& folder, bool demo, const QString& nowText) {
    const QDir dir(folder);
    const QStringList names = {QStringLiteral("Ombrixsys.mdb"), QStringLiteral("delayed.mdb"),
                               QStringLiteral("empty_delayed.mdb"), QStringLiteral("history.mdb")};
    for (const QString& name : names) {
        if (QFileInfo::exists(dir.filePath(name)))
            return QStringLiteral("%1 already exists; ombrix init never overwrites a database "
                                  "file. Choose another folder or remove the file first.")
                .arg(dir.filePath(name));
    }
    if (!QDir().mkpath(folder))
        return QStringLiteral("Cannot create the folder %1").arg(folder);
    if (!KeepFromOthers(folder))
        return QStringLiteral("Cannot take other users' rights off the folder %1").arg(folder);
    QStringList systemScripts = {QStringLiteral("system-defaults.sql")};
    if (demo)
        systemScripts << QStringLiteral("system-demo.sql");
    try {
        CreateFile(dir.filePath(names[0]), DatabaseKind::System, systemScripts,
                   {{QStringLiteral(":now"), nowText},
                    {QStringLiteral(":hostAddress"), platform::SocketControl::LocalIP()}});
        CreateFile(dir.filePath(names[1]), DatabaseKind::Delayed, {}, {});
        CreateFile(dir.filePath(names[2]), DatabaseKind::Delayed, {}, {});
        CreateFile(dir.filePath(names[3]), DatabaseKind::History, {}, {});
        for (const QString& name : names)
            KeepFromOthers(dir.filePath(name));
    } catch (const platform::Error& error) {
        return error.text();
    }
    return {};
}

QString AsideName(const QString& path, const QDateTime& now) {
    const QString base =
        path + QStringLiteral(".damaged-") + now.toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString name = base;
    for (int n = 2; QFileInfo::exists(name); ++n)
        name = base + QLatin1Char('-') + QString::number(n);
    return name;
}

} // namespace config
