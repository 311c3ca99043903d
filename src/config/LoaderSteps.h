#pragma once

#include "platform/Error.h"
#include "platform/Recordset.h"
#include "platform/SocketArray.h"

#include <QDateTime>
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

// Applies the Active column of each row to its entry, rows and entries in
// step: "N" closes an active connection, "Y" enables an inactive one.
template <typename Entries, typename Close, typename Log>
void ApplyActiveColumn(platform::Recordset& rs, int count, Entries& entries, Close close, Log log) {
    if (rs.State() != platform::ObjectState::Open || rs.RecordCount() == 0)
        return;
    rs.MoveFirst();
    for (int i = 0; i < count; ++i) {
        auto& e = entries[i];
        const QChar a = ActiveLetter(rs);
        const QString row =
            RowText(rs, "Port") + QStringLiteral("   ") + RowText(rs, "Description");
        if (e.Active && a == QLatin1Char('N')) {
            close(i);
            log(QStringLiteral("System: UPDATE: Closing port ") + row);
            e.Active = false;
        } else if (!e.Active && a == QLatin1Char('Y')) {
            log(QStringLiteral("System: UPDATE: Enabling port ") + row);
            e.Active = true;
        }
        rs.MoveNext();
    }
}

// Brings the entries in use from `loaded` to `count`: those no longer in use
// are closed and reset; new ones get a socket of their own and start empty.
template <typename Entries, typename Close>
void ResizeEntries(int count, int loaded, Entries& entries, platform::SocketArray& sockets,
                   const QDateTime& now, Close close) {
    for (int i = count; i < loaded; ++i) {
        close(i);
        entries[i].Reset(now);
    }
    for (int i = loaded; i < count; ++i) {
        if (i != 0 && !sockets.Exists(i))
            sockets.Load(i);
        entries[i].Reset(now);
    }
}

// The change-log line of a field updater.
inline QString UpdatedFieldLine(int index, const QString& description, const QString& fieldName,
                                const QString& newValue) {
    // Joined, not formatted: a description or value holding "%1" stays as it is.
    return QStringLiteral("System: Updated socket [") + QString::number(index) +
           QStringLiteral("] ") + description + QStringLiteral("    Field  [") + fieldName +
           QStringLiteral("]   To ") + newValue;
}

// The loaders skip a step that fails and go on with the next.
template <typename Fn> void Skipping(Fn fn) {
    try {
        fn();
    } catch (const platform::Error&) {
    }
}
