#include "platform/Connection.h"

#include "platform/Error.h"
#include "platform/LocalPath.h"

#include <QFile>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QUrl>
#include <QUuid>

namespace platform {

QString DataSourceOf(const QString& connectionString) {
    const QString key = QStringLiteral("Data Source=");
    const qsizetype at = connectionString.indexOf(key, 0, Qt::CaseInsensitive);
    if (at < 0)
        return {};
    const qsizetype start = at + key.size();
    const qsizetype end = connectionString.indexOf(QLatin1Char(';'), start);
    return connectionString.mid(start, end < 0 ? -1 : end - start).trimmed();
}

bool IsAccessFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false; // the open itself reports what is wrong
    const QByteArray head = file.read(32);
    const bool accessMagic = head.startsWith(QByteArray("\x00\x01\x00\x00", 4));
    const bool jetName =
        head.mid(4).startsWith("Standard Jet DB") || head.mid(4).startsWith("Standard ACE DB");
    return accessMagic && jetName;
}

void RefuseAccessFile(const QString& path) {
    if (IsAccessFile(path))
        throw Error(QStringLiteral("%1 is a Microsoft Access (Jet) file, not a database this "
                                   "system can open. Convert it to SQLite or create a new "
                                   "working folder with 'ombrix init'.")
                        .arg(path));
}

Connection::~Connection() {
    Close();
}

QString Connection::FilePath() const {
    return LocalPath(BaseFolder, DataSourceOf(ConnectionString));
}

void Connection::Open() {
    if (State() == platform::ObjectState::Open)
        throw Error(QStringLiteral("Operation is not allowed when the object is open."));
    const QString path = FilePath();
    if (DataSourceOf(ConnectionString).isEmpty())
        throw Error(QStringLiteral("The connection string names no data source."));
    if (!QFileInfo(path).isFile())
        throw Error(QStringLiteral("Could not find file '%1'.").arg(path));
    RefuseAccessFile(path);

    const QString name = QStringLiteral("ombrix-") + QUuid::createUuid().toString(QUuid::Id128);
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        // mode=rw: SQLite opens the file read-write and never creates it.
        const QString mode = Mode == kModeRead ? QStringLiteral("ro") : QStringLiteral("rw");
        db.setDatabaseName(
            QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()).toString(QUrl::FullyEncoded) +
            QStringLiteral("?mode=") + mode);
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_URI;QSQLITE_BUSY_TIMEOUT=5000"));
        QString failure;
        if (!db.open()) {
            failure = db.lastError().text();
        } else {
            // SQLite reads the file lazily: touching the schema proves it is a database.
            QSqlQuery probe(db);
            if (!probe.exec(QStringLiteral("SELECT count(*) FROM sqlite_master")))
                failure = QStringLiteral("%1: %2").arg(path, probe.lastError().text());
        }
        if (!failure.isEmpty()) {
            db.close();
            db = QSqlDatabase();
            QSqlDatabase::removeDatabase(name);
            throw Error(failure);
        }
    }
    name_ = name;
}

void CloseDatabase(const QString& name) {
    {
        QSqlDatabase db = QSqlDatabase::database(name, false);
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
}

void Connection::Close() {
    if (name_.isEmpty())
        return;
    CloseDatabase(name_);
    name_.clear();
}

ObjectState Connection::State() const {
    return name_.isEmpty() ? ObjectState::Closed : ObjectState::Open;
}

QSqlDatabase Connection::database() const {
    if (name_.isEmpty())
        throw Error(QStringLiteral("Operation is not allowed when the object is closed."));
    return QSqlDatabase::database(name_, false);
}

void Connection::Execute(const QString& sql, const QVariantList& params) {
    QSqlQuery query(database());
    if (!query.prepare(sql))
        throw Error(query.lastError().text());
    for (const QVariant& value : params)
        query.addBindValue(value);
    if (!query.exec())
        throw Error(query.lastError().text());
}

} // namespace platform
