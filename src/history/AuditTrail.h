#pragma once

#include <QString>

namespace history {

// What an operator did, for the audit table of the history.
struct AuditEntry {
    QString operatorName; // the account; "window" for the relay's own window
    QString address;      // the browser's address; empty for the window
    QString action;       // login, login-failed, banned, logout, command
    QString detail;       // the command and its values; never a password
};

// The audit trail: a call touches no disk, the history writes it in its next
// batch; the time is the history's clock at the call.
class AuditTrail {
public:
    virtual ~AuditTrail() = default;
    virtual void Record(const AuditEntry& entry) = 0;
};

} // namespace history
