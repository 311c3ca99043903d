#pragma once

#include "history/AuditTrail.h"

#include <QString>

namespace history {

// What operators did, told to the audit trail: the console's logins and
// logouts as it sees them, and each operator command with whoever gave it.
// A command is the window's operator's ("window", no address) unless a
// console request is running it (see Acting). Fields are cut to a bounded
// length, and control characters blanked, so that a hostile login name
// neither grows the table nor forges a line where it is shown.
class OperatorAudit {
public:
    static constexpr qsizetype kMaxNameChars = 64;
    static constexpr qsizetype kMaxAddressChars = 64;
    static constexpr qsizetype kMaxDetailChars = 2000;
    static inline const QString kWindowOperator = QStringLiteral("window");

    explicit OperatorAudit(AuditTrail& trail) : trail_(trail) {}

    void Record(const AuditEntry& entry);
    // A command, by whoever acts now.
    void Command(const QString& detail);

    // While it lives, the commands given are NAME's, at ADDRESS: a console
    // request's operator. It tells afterwards whether any was recorded.
    class Acting {
    public:
        Acting(OperatorAudit& audit, const QString& name, const QString& address);
        ~Acting();
        Acting(const Acting&) = delete;
        Acting& operator=(const Acting&) = delete;
        bool Recorded() const { return audit_.commands_ != commandsBefore_; }

    private:
        OperatorAudit& audit_;
        QString name_;
        QString address_;
        quint64 commandsBefore_;
    };

private:
    AuditTrail& trail_;
    QString name_ = kWindowOperator;
    QString address_;
    quint64 commands_ = 0;
};

} // namespace history
