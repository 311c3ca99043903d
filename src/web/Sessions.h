#pragma once

#include "config/Operators.h"

#include <QDateTime>
#include <QHash>
#include <QList>
#include <QString>

namespace web {

// Who is logged in: each session is a random token in a cookie, ended by
// logging out or by being idle too long. A session keeps the role its
// account had at login: a role changed meanwhile counts from the next login.
class Sessions {
public:
    static constexpr qint64 kIdleSecs = qint64(12) * 60 * 60;
    static constexpr int kTokenBytes = 32;

    // A new session for NAME with ROLE; returns its token.
    QString Open(const QString& name, config::OperatorRole role, const QDateTime& now);
    // The operator of a live session, or "" (an expired one is dropped).
    // Using a session keeps it alive.
    QString Use(const QString& token, const QDateTime& now);
    // The operator of a live session, or "", leaving its idle time as it is.
    QString Alive(const QString& token, const QDateTime& now) const;
    // The role of a session; a viewer's for a token that is no session.
    config::OperatorRole Role(const QString& token) const;
    void Close(const QString& token);

private:
    struct Session {
        QString name;
        QDateTime lastUsed;
        config::OperatorRole role = config::OperatorRole::Viewer;
    };
    QHash<QString, Session> sessions_;
};

// Failed logins counted by one key (an address, or an account's name): after
// kMaxFailures within kWindowSecs the key is turned away for kBanSecs.
class FailureCount {
public:
    static constexpr int kMaxFailures = 5;
    static constexpr qint64 kWindowSecs = qint64(10) * 60;
    static constexpr qint64 kBanSecs = qint64(10) * 60;

    bool Banned(const QString& key, const QDateTime& now);
    // True when this failure began a ban.
    bool Failed(const QString& key, const QDateTime& now);
    void Succeeded(const QString& key) { failures_.remove(key); }

private:
    void forgetOld(const QString& key, const QDateTime& now);

    QHash<QString, QList<QDateTime>> failures_;
    QHash<QString, QDateTime> bannedUntil_;
};

// Failed logins by address and by account name. The name counts too, so
// that guesses from many addresses (or through one proxy's) at one account
// are stopped as well.
class LoginGuard {
public:
    // Names longer than any account's are counted by their first characters,
    // so that a guess cannot make the guard keep kilobytes per try.
    static constexpr qsizetype kMaxNameKey = 128;

    enum class Ban { None, Address, Name };

    Ban Banned(const QString& address, const QString& name, const QDateTime& now);
    // Counts a failed login; the bans it began (none, or the address's and
    // the name's, one or both).
    QList<Ban> Failed(const QString& address, const QString& name, const QDateTime& now);
    void Succeeded(const QString& address, const QString& name);

private:
    FailureCount addresses_;
    FailureCount names_;
};

} // namespace web
