#pragma once

#include "platform/ObjectState.h"

#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>

namespace platform {

class Connection;

// A recordset's lock type, numbered as the system's routines have always
// given it: read-only, or rows that may be changed and written back.
enum LockKind : int {
    kLockReadOnly = 1,
    kLockPessimistic = 2,
    kLockOptimistic = 3,
    kLockBatchOptimistic = 4,
};
// Where the cursor is kept; every recordset here is read into memory.
enum CursorPlace : int { kCursorOnServer = 2, kCursorOnClient = 3 };
enum CursorKind : int {
    kCursorForwardOnly = 0,
    kCursorKeyset = 1,
    kCursorDynamic = 2,
    kCursorStatic = 3,
};

// A client-side cursor: the rows of the query are read into memory when it opens,
// so the record count is valid at once and moving never touches the database.
// Changed rows go back to the table by row id on Update.
class Recordset {
public:
    // Held as numbers, which the callers still pass: a CursorPlace, a
    // CursorKind and a LockKind.
    int CursorLocation = kCursorOnClient;
    int CursorType = kCursorDynamic;
    int LockType = kLockReadOnly;

    void Open(const QString& source, const Connection& connection, const QVariantList& params = {});
    void Requery();
    void Close();
    ObjectState State() const { return open_ ? ObjectState::Open : ObjectState::Closed; }
    const QString& Source() const { return source_; }

    long RecordCount() const;
    bool Bof() const;
    bool Eof() const;
    void MoveFirst();
    void MoveNext();
    void MoveLast();
    void MoveTo(long row);

    int FieldCount() const;
    QString FieldName(int index) const;
    int FieldIndex(const QString& name) const; // -1 when there is no such field

    // Fields of the current row by name; a null value reads as an invalid QVariant.
    QVariant Field(const QString& name) const;
    void SetField(const QString& name, const QVariant& value);

    // Any row by index, as a grid reads and edits it.
    QVariant Value(long row, int column) const;
    void SetValue(long row, int column, const QVariant& value);

    void AddNew();
    void Delete(); // removes the current row; Update deletes it from the table
    void Update();

private:
    struct Row {
        qint64 rowid = -1;
        QVariantList values;
        QVector<bool> dirty;
        bool isNew = false;
    };

    void requireOpen() const;
    void requireCurrent() const;
    void requireUpdatable() const;
    int requireField(const QString& name) const;
    void load();
    void writeRow(Row& row);

    QString connectionName_;
    QString source_;
    QVariantList params_;
    QString table_;
    bool hasRowid_ = false;
    bool open_ = false;
    QStringList fields_;
    QVector<Row> rows_;
    QVector<qint64> deleted_;
    long position_ = -1;
};

} // namespace platform
