#pragma once

#include "platform/ObjectState.h"

#include <QSqlDatabase>
#include <QString>
#include <QVariantList>

namespace platform {

// How a connection opens its file, numbered as the system's routines have
// always given it.
enum ConnectMode : int { kModeRead = 1, kModeReadWrite = 3 };

// One open database file. The connection string keeps the form the system's
// routines have always used; the file named after "Data Source=" is opened with
// SQLite and is never created here: a missing file is an error.
class Connection {
public:
    Connection() = default;
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    QString ConnectionString;
    int Mode = kModeReadWrite; // a ConnectMode
    // Folder that relative paths (".\name") in the connection string refer to;
    // empty means the process's current folder.
    QString BaseFolder;

    void Open();
    void Close();
    ObjectState State() const;

    // Runs a statement that returns no rows; values are bound, never spliced.
    void Execute(const QString& sql, const QVariantList& params = {});

    // The resolved file path of the connection string.
    QString FilePath() const;
    // Name of the Qt connection while open; recordsets find the database by it,
    // so a closed connection cannot leave them holding a dangling handle.
    QString SqlName() const { return name_; }
    QSqlDatabase database() const;

private:
    QString name_;
};

// Closes the Qt connection `name` and forgets it. Every statement on it must
// be gone, or Qt keeps the file open.
void CloseDatabase(const QString& name);

// Text after "Data Source=" up to the next ';'.
QString DataSourceOf(const QString& connectionString);

// True when the file starts as an Access/Jet database does.
bool IsAccessFile(const QString& path);
// Raises Error when the file is an Access/Jet database, which this system cannot read.
void RefuseAccessFile(const QString& path);

} // namespace platform
