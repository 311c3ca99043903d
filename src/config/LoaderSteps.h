#pragma once

#include "platform/Error.h"
#include "platform/Recordset.h"

#include <QString>

// Helpers of the loaders that walk a connection table row by row.

// A column of the current row as text (a null reads as "").
inline QString RowText(const platform::Recordset& rs, const char* field) {
    return rs.Field(QLatin1String(field)).toString();
}

// The first letter of the Active column, upper-cased: "Y" enables, "N" disables,
// anything else (an empty value too) leaves the connection as it is.
inline QChar ActiveLetter(const platform::Recordset& rs) {
    const QString value = RowText(rs, "Active");
    return value.isEmpty() ? QChar() : value.at(0).toUpper();
}

// The loaders skip a step that fails and go on with the next.
template <typename Fn> void Skipping(Fn fn) {
    try {
        fn();
    } catch (const platform::Error&) {
    }
}
