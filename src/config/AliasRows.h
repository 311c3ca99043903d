#pragma once

#include "routing/AliasBook.h"

#include <QHash>
#include <QString>
#include <QStringList>
#include <optional>

namespace config {

// The columns of the Aliases table, in the order an export writes them.
const QStringList& AliasColumns();

// The alias a row of the Aliases table (column name to text) gives, or in
// `problem` why the row cannot be used.
std::optional<routing::Alias> ReadAliasRow(const QHash<QString, QString>& row, QString& problem);

} // namespace config
