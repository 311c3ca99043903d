#pragma once

#include "config/Operators.h"
#include "history/OperatorAudit.h"
#include "web/Sessions.h"

#include <QList>
#include <QString>

namespace web {

// The console's logins and logouts as audit rows: "login" (its detail the
// account's role), "login-failed" ("wrong password" or "unknown name"),
// "banned" when failures lock an address or a name out, and "logout".
// A failed login names its account only when there is such an account: a
// name that is none may be a password typed in the wrong box, and the audit
// is shown to every account.
void AuditLogin(history::OperatorAudit& audit, const QString& name, const QString& address,
                config::OperatorRole role);
void AuditFailedLogin(history::OperatorAudit& audit, const QString& name, bool known,
                      const QString& address, const QList<LoginGuard::Ban>& bansBegun);
void AuditLogout(history::OperatorAudit& audit, const QString& name, const QString& address);

} // namespace web
