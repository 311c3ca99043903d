#include "routing/AliasBook.h"

namespace routing {

AliasBook::AliasBook(const QList<Alias>& aliases) : aliases_(aliases) {
    for (qsizetype i = 0; i < aliases_.size(); ++i) {
        byName_[aliases_[i].name.toCaseFolded()].append(i);
        byAddress_[aliases_[i].address].append(i);
    }
}

QList<Alias> AliasBook::Named(const QString& name) const {
    QList<Alias> named;
    for (const qsizetype i : byName_.value(name.toCaseFolded()))
        named.append(aliases_[i]);
    return named;
}

std::optional<Alias> AliasBook::For(quint32 address, QByteArrayView function) const {
    const auto rows = byAddress_.constFind(address);
    if (rows == byAddress_.cend())
        return std::nullopt;
    std::optional<Alias> anyFunction;
    for (const qsizetype i : *rows) {
        const Alias& alias = aliases_[i];
        if (alias.function == function)
            return alias;
        if (alias.function.isEmpty() && !anyFunction)
            anyFunction = alias;
    }
    return anyFunction;
}

} // namespace routing
