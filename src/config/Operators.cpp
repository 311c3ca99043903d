#include "config/Operators.h"

#include "platform/Connection.h"
#include "platform/Error.h"

#include <QSqlError>
#include <QSqlQuery>
#include <algorithm>

namespace config {

namespace {

constexpr qsizetype kMaxNameLength = 64;
constexpr qsizetype kMaxPasswordBytes = 1024;

// What an unknown name is checked against: a well-formed hash of the same
// cost that no password derives (its key is all zeros).
QString DummyHash() {
    return QStringLiteral("pbkdf2-sha256$%1$AAAAAAAAAAAAAAAAAAAAAA==$"
                          "AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA=")
        .arg(kPasswordIterations);
}

QSqlQuery Prepared(const platform::Connection& c, const QString& sql) {
    QSqlQuery query(c.database());
    if (!query.prepare(sql))
        throw platform::Error(query.lastError().text());
    return query;
}

void Run(QSqlQuery& query) {
    if (!query.exec())
        throw platform::Error(query.lastError().text());
}

} // namespace

QString RoleWord(OperatorRole role) {
    return role == OperatorRole::Viewer ? QStringLiteral("viewer") : QStringLiteral("operator");
}

std::optional<OperatorRole> RoleFromWord(const QString& word) {
    for (const OperatorRole role : {OperatorRole::Operator, OperatorRole::Viewer})
        if (word.trimmed().compare(RoleWord(role), Qt::CaseInsensitive) == 0)
            return role;
    return std::nullopt;
}

QString OperatorNameProblem(const QString& name) {
    const bool control = std::any_of(
        name.begin(), name.end(), [](QChar ch) { return ch.category() == QChar::Other_Control; });
    if (name.isEmpty() || name.size() > kMaxNameLength || control)
        return QStringLiteral("an operator's name is 1 to %1 characters, none of them a control "
                              "character")
            .arg(kMaxNameLength);
    return {};
}

QString PasswordProblem(const QString& password) {
    if (password.isEmpty())
        return QStringLiteral("the password is empty");
    if (password.toUtf8().size() > kMaxPasswordBytes)
        return QStringLiteral("the password is longer than %1 bytes").arg(kMaxPasswordBytes);
    return {};
}

void SetOperatorPassword(const platform::Connection& c, const QString& name,
                         const QString& password, const QString& createdText,
                         std::optional<OperatorRole> role) {
    for (const QString& problem : {OperatorNameProblem(name), PasswordProblem(password)})
        if (!problem.isEmpty())
            throw platform::Error(problem);
    // Without a role the bound value is null: a new row takes the column's
    // default (operator), a row that is there keeps its own.
    QSqlQuery query = Prepared(
        c, QStringLiteral("INSERT INTO Operators (Name, PasswordHash, Created, Role) "
                          "VALUES (?, ?, ?, coalesce(?, 'operator')) "
                          "ON CONFLICT (Name) DO UPDATE SET PasswordHash = excluded.PasswordHash, "
                          "Role = coalesce(?, Role)"));
    const QVariant roleValue =
        role ? QVariant(RoleWord(*role)) : QVariant(QMetaType::fromType<QString>());
    query.addBindValue(name);
    query.addBindValue(HashPassword(password));
    query.addBindValue(createdText);
    query.addBindValue(roleValue);
    query.addBindValue(roleValue);
    Run(query);
}

OperatorRole OperatorRoleOf(const platform::Connection& c, const QString& name) {
    QSqlQuery query = Prepared(c, QStringLiteral("SELECT Role FROM Operators WHERE Name = ?"));
    query.addBindValue(name);
    Run(query);
    if (!query.next())
        return OperatorRole::Viewer;
    return RoleFromWord(query.value(0).toString()).value_or(OperatorRole::Viewer);
}

bool OperatorExists(const platform::Connection& c, const QString& name) {
    QSqlQuery query = Prepared(c, QStringLiteral("SELECT 1 FROM Operators WHERE Name = ?"));
    query.addBindValue(name);
    Run(query);
    return query.next();
}

QString OperatorPasswordHash(const platform::Connection& c, const QString& name) {
    QSqlQuery query =
        Prepared(c, QStringLiteral("SELECT PasswordHash FROM Operators WHERE Name = ?"));
    query.addBindValue(name);
    Run(query);
    return query.next() ? query.value(0).toString() : DummyHash();
}

bool OperatorPasswordMatches(const QString& password, const QString& stored) {
    return PasswordProblem(password).isEmpty() && PasswordMatches(password, stored);
}

bool CheckOperator(const platform::Connection& c, const QString& name, const QString& password) {
    return OperatorPasswordMatches(password, OperatorPasswordHash(c, name));
}

} // namespace config
