#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>
#include <optional>

namespace routing {

// One row of the Aliases table: a name (and the agency it belongs to) for an
// address, on one function letter or on any.
struct Alias {
    quint32 address = 0;
    QByteArray function; // "A" to "D"; empty: any
    QString name;
    QString agency;
};

// The names of addresses, looked up by address for what the operator sees and
// by name for the routes.
class AliasBook {
public:
    AliasBook() = default;
    explicit AliasBook(const QList<Alias>& aliases);

    // The rows named `name` (letters in any case).
    QList<Alias> Named(const QString& name) const;
    // The alias of a page to `address` on `function`: the row of that
    // function first, else the row for any function.
    std::optional<Alias> For(quint32 address, QByteArrayView function) const;
    bool IsEmpty() const { return aliases_.isEmpty(); }
    const QList<Alias>& All() const { return aliases_; }

private:
    QList<Alias> aliases_;
    QHash<QString, QList<qsizetype>> byName_;
    QHash<quint32, QList<qsizetype>> byAddress_;
};

} // namespace routing
