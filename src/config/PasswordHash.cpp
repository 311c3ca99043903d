#include "config/PasswordHash.h"

#include <QByteArray>
#include <QCryptographicHash>
#include <QPasswordDigestor>
#include <QRandomGenerator>
#include <QStringList>
#include <array>
#include <optional>

namespace config {

namespace {

const QLatin1String kScheme("pbkdf2-sha256");
constexpr int kSaltBytes = 16;
constexpr int kKeyBytes = 32;
// A stored hash asks for this many rounds at most, so that a garbled or
// planted count cannot hold the relay's one thread for minutes per login.
constexpr int kMaxPasswordIterations = 10 * kPasswordIterations;
// Fewer rounds than this was never written by this program.
constexpr int kMinPasswordIterations = 1000;
constexpr int kRandomPasswordLength = 16;
// No 0/O, 1/l/I: a password read aloud or copied by hand comes out right.
const QLatin1String kPasswordAlphabet("ABCDEFGHJKLMNPQRSTUVWXYZabcdefghijkmnopqrstuvwxyz23456789");

struct StoredHash {
    int iterations = 0;
    QByteArray salt;
    QByteArray key;
};

QByteArray RandomBytes(int count) {
    QByteArray bytes(count, Qt::Uninitialized);
    for (char& byte : bytes)
        byte = static_cast<char>(QRandomGenerator::system()->bounded(256));
    return bytes;
}

QByteArray DeriveKey(const QString& password, const QByteArray& salt, int iterations) {
    return QPasswordDigestor::deriveKeyPbkdf2(QCryptographicHash::Sha256, password.toUtf8(), salt,
                                              iterations, kKeyBytes);
}

std::optional<QByteArray> Base64(const QString& text) {
    const auto decoded =
        QByteArray::fromBase64Encoding(text.toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded)
        return std::nullopt;
    return decoded.decoded;
}

std::optional<StoredHash> Parse(const QString& stored) {
    const QStringList parts = stored.split(QLatin1Char('$'));
    if (parts.size() != 4 || parts[0] != kScheme)
        return std::nullopt;
    bool number = false;
    const int iterations = parts[1].toInt(&number);
    if (!number || iterations < kMinPasswordIterations || iterations > kMaxPasswordIterations)
        return std::nullopt;
    const auto salt = Base64(parts[2]);
    const auto key = Base64(parts[3]);
    if (!salt || !key || salt->size() < kSaltBytes || key->size() != kKeyBytes)
        return std::nullopt;
    return StoredHash{iterations, *salt, *key};
}

// Looks at every byte whatever the first difference, so the answer time
// does not tell how much of a key was right.
bool SameBytes(const QByteArray& a, const QByteArray& b) {
    if (a.size() != b.size())
        return false;
    unsigned char difference = 0;
    for (qsizetype i = 0; i < a.size(); ++i)
        difference |= static_cast<unsigned char>(a[i] ^ b[i]);
    return difference == 0;
}

} // namespace

QString HashPassword(const QString& password) {
    const QByteArray salt = RandomBytes(kSaltBytes);
    const QByteArray key = DeriveKey(password, salt, kPasswordIterations);
    return QStringList{kScheme, QString::number(kPasswordIterations),
                       QString::fromLatin1(salt.toBase64()), QString::fromLatin1(key.toBase64())}
        .join(QLatin1Char('$'));
}

bool PasswordMatches(const QString& password, const QString& stored) {
    const std::optional<StoredHash> hash = Parse(stored);
    if (!hash)
        return false;
    return SameBytes(DeriveKey(password, hash->salt, hash->iterations), hash->key);
}

QString RandomPassword() {
    QString password;
    for (int i = 0; i < kRandomPasswordLength; ++i)
        password += kPasswordAlphabet[QRandomGenerator::system()->bounded(
            static_cast<int>(kPasswordAlphabet.size()))];
    return password;
}

} // namespace config
