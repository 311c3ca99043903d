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

QString Sessions::Open(const QString& name, const QDateTime& now) {
    // Sessions left to expire are dropped here, so they never pile up.
    sessions_.removeIf([&](const auto& it) { return it->lastUsed.secsTo(now) >= kIdleSecs; });
    QString token = NewToken();
    sessions_.insert(token, {name, now});
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

void Sessions::Close(const QString& token) {
    sessions_.remove(token);
}

bool LoginGuard::Banned(const QString& address, const QDateTime& now) {
    const auto it = bannedUntil_.find(address);
    if (it == bannedUntil_.end())
        return false;
    if (now < *it)
        return true;
    bannedUntil_.erase(it);
    failures_.remove(address);
    return false;
}

void LoginGuard::Failed(const QString& address, const QDateTime& now) {
    forgetOld(address, now);
    QList<QDateTime>& times = failures_[address];
    times << now;
    if (times.size() >= kMaxFailures) {
        bannedUntil_.insert(address, now.addSecs(kBanSecs));
        failures_.remove(address);
    }
}

// Keeps memory bounded however many addresses try: only failures within the
// window count, and an address with none left is forgotten.
void LoginGuard::forgetOld(const QString& address, const QDateTime& now) {
    for (auto it = failures_.begin(); it != failures_.end();) {
        QList<QDateTime>& times = it.value();
        times.removeIf([&](const QDateTime& t) { return t.secsTo(now) >= kWindowSecs; });
        if (times.isEmpty() && it.key() != address)
            it = failures_.erase(it);
        else
            ++it;
    }
}

} // namespace web
