#pragma once

#include "config/PasswordHash.h"

#include <QString>

namespace platform {
class Connection;
}

// The web console's accounts: the Operators table of Ombrixsys.mdb.

namespace config {

// The account `ombrix init` makes and `ombrix passwd` sets when no name is given.
inline const QString kDefaultOperatorName = QStringLiteral("operator");

// "" when NAME can be an operator's name (1 to 64 characters, none of them a
// control character), else the reason, as the command line shows it.
QString OperatorNameProblem(const QString& name);
// "" when PASSWORD can be set (not empty, at most 1024 bytes in UTF-8), else the reason.
QString PasswordProblem(const QString& password);

// Sets (creates or replaces) NAME's password; an account that is there keeps
// its Created text. Raises platform::Error, with the reason for a name or a
// password that cannot be set.
void SetOperatorPassword(const platform::Connection& c, const QString& name,
                         const QString& password, const QString& createdText);

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
