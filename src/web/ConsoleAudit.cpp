#include "web/ConsoleAudit.h"

namespace web {

namespace {

constexpr qint64 kSecondsAMinute = 60;

QString BanDetail(LoginGuard::Ban ban, const QString& address) {
    const QString who = ban == LoginGuard::Ban::Address ? QStringLiteral("address %1").arg(address)
                                                        : QStringLiteral("this name");
    return QStringLiteral("%1 locked out for %2 minutes after %3 failed logins")
        .arg(who)
        .arg(FailureCount::kBanSecs / kSecondsAMinute)
        .arg(FailureCount::kMaxFailures);
}

} // namespace

void AuditLogin(history::OperatorAudit& audit, const QString& name, const QString& address,
                config::OperatorRole role) {
    audit.Record(
        {name, address, QStringLiteral("login"), QStringLiteral("role ") + config::RoleWord(role)});
}

void AuditFailedLogin(history::OperatorAudit& audit, const QString& name, bool known,
                      const QString& address, const QList<LoginGuard::Ban>& bansBegun) {
    const QString shown = known ? name : QString();
    audit.Record({shown, address, QStringLiteral("login-failed"),
                  known ? QStringLiteral("wrong password") : QStringLiteral("unknown name")});
    for (const LoginGuard::Ban ban : bansBegun)
        audit.Record({shown, address, QStringLiteral("banned"), BanDetail(ban, address)});
}

void AuditLogout(history::OperatorAudit& audit, const QString& name, const QString& address) {
    audit.Record({name, address, QStringLiteral("logout"), {}});
}

} // namespace web
