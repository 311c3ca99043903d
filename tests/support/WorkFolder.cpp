#include "WorkFolder.h"

#include "FileText.h"

#include "config/DatabaseFiles.h"

#include <QFile>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTest>
#include <QUuid>
#include <stdexcept>

namespace {

// Runs fn on a short-lived connection to the file.
template <typename Fn> void WithDatabase(const QString& path, Fn fn) {
    const QString name = QUuid::createUuid().toString();
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(path);
        if (!db.open())
            throw std::runtime_error(db.lastError().text().toStdString());
        fn(db);
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
}

QSqlQuery Run(QSqlDatabase& db, const QString& sql, const QVariantList& params) {
    QSqlQuery query(db);
    if (!query.prepare(sql))
        throw std::runtime_error(
            (sql + QStringLiteral(": ") + query.lastError().text()).toStdString());
    for (const QVariant& value : params)
        query.addBindValue(value);
    if (!query.exec())
        throw std::runtime_error(
            (sql + QStringLiteral(": ") + query.lastError().text()).toStdString());
    return query;
}

} // namespace

WorkFolder::WorkFolder(bool demo) {
    const QString failure =
        config::CreateWorkFolder(dir_.path(), demo, QStringLiteral("14 Jan 2026 03:01:00"));
    if (!failure.isEmpty())
        throw std::runtime_error(failure.toStdString());
}

void WorkFolder::exec(const QString& fileName, const QString& sql,
                      const QVariantList& params) const {
    WithDatabase(file(fileName), [&](QSqlDatabase& db) { Run(db, sql, params); });
}

QList<QVariantList> WorkFolder::rows(const QString& fileName, const QString& sql,
                                     const QVariantList& params) const {
    QList<QVariantList> result;
    WithDatabase(file(fileName), [&](QSqlDatabase& db) {
        QSqlQuery query = Run(db, sql, params);
        while (query.next()) {
            QVariantList row;
            for (int i = 0; i < query.record().count(); ++i)
                row << (query.value(i).isNull() ? QVariant() : query.value(i));
            result << row;
        }
    });
    return result;
}

int WorkFolder::storedPackets() const {
    return rows(QStringLiteral("delayed.mdb"), QStringLiteral("SELECT count(*) FROM Delayed"))
        .first()
        .first()
        .toInt();
}

QByteArray WorkFolder::systemLog() const {
    return ReadFile(file(QStringLiteral("LOGS/Quorlan")));
}

QVariant WorkFolder::setting(const QString& key) const {
    const auto found =
        rows(QStringLiteral("Ombrixsys.mdb"),
             QStringLiteral("SELECT Key_Data FROM StartUp WHERE Key_Description = ?"), {key});
    return found.isEmpty() ? QVariant() : found.first().value(0);
}

void WorkFolder::setSetting(const QString& key, const QString& value) const {
    if (rows(QStringLiteral("Ombrixsys.mdb"),
             QStringLiteral("SELECT 1 FROM StartUp WHERE Key_Description = ?"), {key})
            .isEmpty())
        exec(QStringLiteral("Ombrixsys.mdb"),
             QStringLiteral("INSERT INTO StartUp (Key_Description, Key_Data) VALUES (?, ?)"),
             {key, value});
    else
        exec(QStringLiteral("Ombrixsys.mdb"),
             QStringLiteral("UPDATE StartUp SET Key_Data = ? WHERE Key_Description = ?"),
             {value, key});
}

void WorkFolder::removeSetting(const QString& key) const {
    exec(QStringLiteral("Ombrixsys.mdb"),
         QStringLiteral("DELETE FROM StartUp WHERE Key_Description = ?"), {key});
}

void WorkFolder::setOutputs(const QList<Output>& outputs) const {
    setSetting(QStringLiteral("OutputsLocalIP"), QStringLiteral("127.0.0.1"));
    setSetting(QStringLiteral("TelstraLocalIP"), QStringLiteral("127.0.0.1"));
    exec(QStringLiteral("Ombrixsys.mdb"), QStringLiteral("DELETE FROM Outputs"));
    for (const Output& o : outputs)
        exec(
            QStringLiteral("Ombrixsys.mdb"),
            QStringLiteral(
                "INSERT INTO Outputs (Description, Port, Active, RawOutput) VALUES (?, ?, ?, 'N')"),
            {o.description, o.port, o.active});
}
