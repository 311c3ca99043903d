#include "platform/Recordset.h"

#include "platform/Connection.h"
#include "platform/Error.h"

#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

namespace platform {

namespace {

const QString kRowidColumn = QStringLiteral("__ombrix_rowid");

QString NoCurrentRecord() {
    return QStringLiteral("Either BOF or EOF is True, or the current record has been deleted. "
                          "Requested operation requires a current record.");
}

// The table of a plain single-table SELECT, which is what can be written back.
QString TableOf(const QString& sql) {
    static const QRegularExpression pattern(
        QStringLiteral(R"(^\s*SELECT\s+.*?\s+FROM\s+[`"\[]?([A-Za-z_][A-Za-z0-9_]*)[`"\]]?)"),
        QRegularExpression::CaseInsensitiveOption | QRegularExpression::DotMatchesEverythingOption);
    const auto match = pattern.match(sql);
    if (!match.hasMatch() || sql.contains(QLatin1String(" JOIN "), Qt::CaseInsensitive))
        return {};
    return match.captured(1);
}

QString WithRowid(const QString& sql, const QString& table) {
    static const QRegularExpression select(QStringLiteral(R"(^\s*SELECT\s+)"),
                                           QRegularExpression::CaseInsensitiveOption);
    QString text = sql;
    return text.replace(select,
                        QStringLiteral("SELECT `%1`._rowid_ AS %2, ").arg(table, kRowidColumn));
}

QVariant Normalised(const QVariant& value) {
    return value.isNull() ? QVariant() : value;
}

} // namespace

void Recordset::Open(const QString& source, const Connection& connection,
                     const QVariantList& params) {
    if (open_)
        throw Error(QStringLiteral("Operation is not allowed when the object is open."));
    if (connection.State() != platform::ObjectState::Open)
        throw Error(QStringLiteral("Operation is not allowed when the object is closed."));
    connectionName_ = connection.SqlName();
    source_ = source;
    params_ = params;
    table_ = TableOf(source);
    load();
    open_ = true;
}

void Recordset::load() {
    QSqlDatabase db = QSqlDatabase::database(connectionName_, false);
    if (!db.isOpen())
        throw Error(QStringLiteral("Operation is not allowed when the object is closed."));
    auto run = [&](const QString& sql, QSqlQuery& query) {
        query.setForwardOnly(true);
        if (!query.prepare(sql))
            return false;
        for (const QVariant& value : params_)
            query.addBindValue(value);
        return query.exec();
    };
    QSqlQuery query(db);
    hasRowid_ = !table_.isEmpty() && run(WithRowid(source_, table_), query);
    if (!hasRowid_) {
        query = QSqlQuery(db);
        if (!run(source_, query))
            throw Error(query.lastError().text());
    }
    const QSqlRecord record = query.record();
    const int first = hasRowid_ ? 1 : 0;
    fields_.clear();
    for (int i = first; i < record.count(); ++i)
        fields_ << record.fieldName(i);
    rows_.clear();
    deleted_.clear();
    while (query.next()) {
        Row row;
        if (hasRowid_)
            row.rowid = query.value(0).toLongLong();
        for (int i = first; i < record.count(); ++i)
            row.values << Normalised(query.value(i));
        row.dirty.fill(false, fields_.size());
        rows_ << row;
    }
    position_ = rows_.isEmpty() ? -1 : 0;
}

void Recordset::Requery() {
    requireOpen();
    load();
}

void Recordset::Close() {
    requireOpen();
    open_ = false;
    rows_.clear();
    deleted_.clear();
    fields_.clear();
    position_ = -1;
}

void Recordset::requireOpen() const {
    if (!open_)
        throw Error(QStringLiteral("Operation is not allowed when the object is closed."));
}

void Recordset::requireCurrent() const {
    requireOpen();
    if (position_ < 0 || position_ >= rows_.size())
        throw Error(NoCurrentRecord());
}

void Recordset::requireUpdatable() const {
    if (LockType == kLockReadOnly || !hasRowid_)
        throw Error(QStringLiteral("Current Recordset does not support updating. This may be a "
                                   "limitation of the provider, or of the selected locktype."));
}

long Recordset::RecordCount() const {
    requireOpen();
    return rows_.size();
}

bool Recordset::Bof() const {
    requireOpen();
    return rows_.isEmpty() || position_ < 0;
}

bool Recordset::Eof() const {
    requireOpen();
    return rows_.isEmpty() || position_ >= rows_.size();
}

void Recordset::MoveFirst() {
    requireOpen();
    if (rows_.isEmpty())
        throw Error(NoCurrentRecord());
    position_ = 0;
}

void Recordset::MoveLast() {
    requireOpen();
    if (rows_.isEmpty())
        throw Error(NoCurrentRecord());
    position_ = rows_.size() - 1;
}

void Recordset::MoveNext() {
    if (Eof())
        throw Error(NoCurrentRecord());
    ++position_;
}

void Recordset::MoveTo(long row) {
    requireOpen();
    if (row < 0 || row >= rows_.size())
        throw Error(NoCurrentRecord());
    position_ = row;
}

int Recordset::FieldCount() const {
    requireOpen();
    return static_cast<int>(fields_.size());
}

QString Recordset::FieldName(int index) const {
    requireOpen();
    return fields_.value(index);
}

int Recordset::FieldIndex(const QString& name) const {
    requireOpen();
    for (int i = 0; i < fields_.size(); ++i)
        if (fields_[i].compare(name, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

int Recordset::requireField(const QString& name) const {
    const int index = FieldIndex(name);
    if (index < 0)
        throw Error(QStringLiteral("Item cannot be found in the collection corresponding to the "
                                   "requested name or ordinal: %1")
                        .arg(name));
    return index;
}

QVariant Recordset::Field(const QString& name) const {
    requireCurrent();
    return rows_[position_].values[requireField(name)];
}

void Recordset::SetField(const QString& name, const QVariant& value) {
    requireCurrent();
    SetValue(position_, requireField(name), value);
}

QVariant Recordset::Value(long row, int column) const {
    requireOpen();
    if (row < 0 || row >= rows_.size() || column < 0 || column >= fields_.size())
        return {};
    return rows_[row].values[column];
}

void Recordset::SetValue(long row, int column, const QVariant& value) {
    requireOpen();
    requireUpdatable();
    if (row < 0 || row >= rows_.size() || column < 0 || column >= fields_.size())
        throw Error(NoCurrentRecord());
    rows_[row].values[column] = Normalised(value);
    rows_[row].dirty[column] = true;
}

void Recordset::AddNew() {
    requireOpen();
    requireUpdatable();
    Row row;
    row.isNew = true;
    for (int i = 0; i < fields_.size(); ++i)
        row.values << QVariant();
    row.dirty.fill(false, fields_.size());
    rows_ << row;
    position_ = rows_.size() - 1;
}

void Recordset::Delete() {
    requireCurrent();
    requireUpdatable();
    const Row row = rows_.takeAt(position_);
    if (!row.isNew)
        deleted_ << row.rowid;
    if (position_ >= rows_.size())
        position_ = rows_.size(); // past the end, as after deleting the last row
}

void Recordset::writeRow(Row& row) {
    QSqlDatabase db = QSqlDatabase::database(connectionName_, false);
    QSqlQuery query(db);
    QStringList columns;
    QVariantList values;
    for (int i = 0; i < fields_.size(); ++i) {
        if (row.dirty[i]) {
            columns << fields_[i];
            values << row.values[i];
        }
    }
    QString sql;
    if (row.isNew) {
        QStringList marks;
        for (qsizetype i = 0; i < columns.size(); ++i)
            marks << QStringLiteral("?");
        sql = columns.isEmpty() ? QStringLiteral("INSERT INTO `%1` DEFAULT VALUES").arg(table_)
                                : QStringLiteral("INSERT INTO `%1` (`%2`) VALUES (%3)")
                                      .arg(table_, columns.join(QStringLiteral("`, `")),
                                           marks.join(QStringLiteral(", ")));
    } else {
        if (columns.isEmpty())
            return;
        sql = QStringLiteral("UPDATE `%1` SET `%2` = ? WHERE _rowid_ = ?")
                  .arg(table_, columns.join(QStringLiteral("` = ?, `")));
        values << row.rowid;
    }
    if (!query.prepare(sql))
        throw Error(query.lastError().text());
    for (const QVariant& value : values)
        query.addBindValue(value);
    if (!query.exec())
        throw Error(query.lastError().text());
    if (row.isNew)
        row.rowid = query.lastInsertId().toLongLong();
    row.isNew = false;
    row.dirty.fill(false);
}

void Recordset::Update() {
    requireOpen();
    requireUpdatable();
    QSqlDatabase db = QSqlDatabase::database(connectionName_, false);
    if (!db.isOpen())
        throw Error(QStringLiteral("Operation is not allowed when the object is closed."));
    if (!db.transaction())
        throw Error(db.lastError().text());
    // Rows are marked clean only once the transaction holds, so a failed Update
    // can be corrected and tried again without losing the edits.
    QVector<Row> written = rows_;
    try {
        for (qint64 rowid : deleted_) {
            QSqlQuery query(db);
            query.prepare(QStringLiteral("DELETE FROM `%1` WHERE _rowid_ = ?").arg(table_));
            query.addBindValue(rowid);
            if (!query.exec())
                throw Error(query.lastError().text());
        }
        for (Row& row : written)
            writeRow(row);
    } catch (const Error&) {
        db.rollback();
        throw;
    }
    if (!db.commit()) {
        const QString text = db.lastError().text();
        db.rollback();
        throw Error(text);
    }
    rows_ = written;
    deleted_.clear();
}

} // namespace platform
