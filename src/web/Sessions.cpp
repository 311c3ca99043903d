#include "web/Sessions.h"

#include <QRandomGenerator>

namespace web {

namespace {

QString NewToken() {
    QByteArray bytes(Sessions::kTokenBytes, Qt::Uninitialized);
    QRandomGenerator::system()->fillRange(reinterpret_cast<quint32*>(bytes.data()),
                                          Sessions::kTokenBytes / int(sizeof(quint32)));
    return QString::fromLatin1(
        bytes.toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals));
}

} // namespace

QString Sessions::Open(const QString& name, config::OperatorRole role, const QDateTime& now) {
    // Sessions left to expire are dropped here, so they never pile up.
    sessions_.removeIf([&](const auto& it) { return it->lastUsed.secsTo(now) >= kIdleSecs; });
    QString token = NewToken();
    sessions_.insert(token, {name, now, role});
    return token;
}

QString Sessions::Use(const QString& token, const QDateTime& now) {
    const auto it = sessions_.find(token);
    if (it == sessions_.end())
        return {};
    if (it->lastUsed.secsTo(now) >= kIdleSecs) {
        sessions_.erase(it);
        return {};
    }
    it->lastUsed = now;
    return it->name;
}

QString Sessions::Alive(const QString& token, const QDateTime& now) const {
    const auto it = sessions_.constFind(token);
    if (it == sessions_.constEnd() || it->lastUsed.secsTo(now) >= kIdleSecs)
        return {};
    return it->name;
}

config::OperatorRole Sessions::Role(const QString& token) const {
    const auto it = sessions_.constFind(token);
    return it == sessions_.constEnd() ? config::OperatorRole::Viewer : it->role;
}

void Sessions::Close(const QString& token) {
    sessions_.remove(token);
}

bool FailureCount::Banned(const QString& key, const QDateTime& now) {
    const auto it = bannedUntil_.find(key);
    if (it == bannedUntil_.end())
        return false;
    if (now < *it)
        return true;
    bannedUntil_.erase(it);
    failures_.remove(key);
    return false;
}

bool FailureCount::Failed(const QString& key, const QDateTime& now) {
    forgetOld(key, now);
    QList<QDateTime>& times = failures_[key];
    times << now;
    if (times.size() < kMaxFailures)
        return false;
    bannedUntil_.insert(key, now.addSecs(kBanSecs));
    failures_.remove(key);
    return true;
}

// Keeps memory bounded however many addresses or names try: only failures
// within the window count, a key with none left is forgotten, and so is a
// ban that ended.
void FailureCount::forgetOld(const QString& key, const QDateTime& now) {
    for (auto it = failures_.begin(); it != failures_.end();) {
        QList<QDateTime>& times = it.value();
        times.removeIf([&](const QDateTime& t) { return t.secsTo(now) >= kWindowSecs; });
        if (times.isEmpty() && it.key() != key)
            it = failures_.erase(it);
        else
            ++it;
    }
    bannedUntil_.removeIf([&](const auto& it) { return it.value() <= now; });
}

LoginGuard::Ban LoginGuard::Banned(const QString& address, const QString& name,
                                   const QDateTime& now) {
    if (addresses_.Banned(address, now))
        return Ban::Address;
    if (names_.Banned(name.left(kMaxNameKey), now))
        return Ban::Name;
    return Ban::None;
}

QList<LoginGuard::Ban> LoginGuard::Failed(const QString& address, const QString& name,
                                          const QDateTime& now) {
    QList<Ban> began;
    if (addresses_.Failed(address, now))
        began << Ban::Address;
    if (names_.Failed(name.left(kMaxNameKey), now))
        began << Ban::Name;
    return began;
}

void LoginGuard::Succeeded(const QString& address, const QString& name) {
    addresses_.Succeeded(address);
    names_.Succeeded(name.left(kMaxNameKey));
}

} // namespace web
