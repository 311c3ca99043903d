#pragma once

#include "config/PasswordHash.h"

#include <QString>
#include <optional>

namespace platform {
class Connection;
}

// The web console's accounts: the Operators table of Ombrixsys.mdb.

namespace config {

// The account `ombrix init` makes and `ombrix passwd` sets when no name is given.
inline const QString kDefaultOperatorName = QStringLiteral("operator");

// What an account may do in the web console: an operator gives commands, a
// viewer (a wallboard, a supervisor's screen) sees everything and changes nothing.
enum class OperatorRole { Operator, Viewer };

// The word the Operators table and `ombrix passwd --role` use: "operator", "viewer".
QString RoleWord(OperatorRole role);
// The role a word names (as RoleWord writes it, in any case, blanks around
// it ignored), or none.
std::optional<OperatorRole> RoleFromWord(const QString& word);

// "" when NAME can be an operator's name (1 to 64 characters, none of them a
// control character), else the reason, as the command line shows it.
QString OperatorNameProblem(const QString& name);
// "" when PASSWORD can be set (not empty, at most 1024 bytes in UTF-8), else the reason.
QString PasswordProblem(const QString& password);

// Sets (creates or replaces) NAME's password; an account that is there keeps
// its Created text. With ROLE the account gets that role; without, a new
// account is an operator and one that is there keeps its role. Raises
// platform::Error, with the reason for a name or a password that cannot be set.
void SetOperatorPassword(const platform::Connection& c, const QString& name,
                         const QString& password, const QString& createdText,
                         std::optional<OperatorRole> role = std::nullopt);

// NAME's role; a viewer for a name that is not in the table (or a role word
// the relay does not know), so that a doubt never grants commands.
// Raises platform::Error when the table cannot be read.
OperatorRole OperatorRoleOf(const platform::Connection& c, const QString& name);

// Whether NAME is an account. Raises platform::Error when the table cannot be read.
bool OperatorExists(const platform::Connection& c, const QString& name);

// NAME's stored password hash; for an unknown name a hash of the same cost
// that no password matches, so that checking it takes as long.
// Raises platform::Error when the table cannot be read.
QString OperatorPasswordHash(const platform::Connection& c, const QString& name);

// True when PASSWORD can be a password and derives STORED. This is the slow
// part of a login (a key derivation) and touches nothing shared: it may run
// on any thread.
bool OperatorPasswordMatches(const QString& password, const QString& stored);

// True when NAME exists and PASSWORD is its password. An unknown name costs a
// key derivation too, so the answer time does not tell which names exist.
// Raises platform::Error when the table cannot be read.
bool CheckOperator(const platform::Connection& c, const QString& name, const QString& password);

} // namespace config
