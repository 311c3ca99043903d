#pragma once

#include "config/LoaderSteps.h"
#include "platform/Recordset.h"
#include "platform/SocketArray.h"
#include "platform/Time.h"

#include <QString>
#include <array>
#include <cstddef>
#include <functional>
#include <memory>

// A connection table as the system database module keeps it, read when a load
// runs: how many rows are in use, how many were at the load before, the rows.
struct TableRows {
    const int& count;
    const int& loaded;
    const std::shared_ptr<platform::Recordset>& rows;
};

// The change-log lines of the field updaters.
QString UpdatedFieldLine(int index, const QString& description, const QString& fieldName,
                         const QString& newValue);
QString UpdatedFlagLine(int index, const QString& description, const QString& fieldName,
                        const QString& newValue);

// The loader that the Outputs and the Telstra tables share: it brings the
// entries in use in step with the rows, walks the rows, applies the Active
// column and logs every field it changes. What a row does to its entry depends
// on where the connection stands, and that rule is each table's own: Load hands
// each row to it.
template <typename Entry, std::size_t Slots> class ConnectionTable {
public:
    // What differs from one table to the other.
    struct Parts {
        std::array<Entry, Slots>& entries;
        platform::SocketArray& sockets; // socket i belongs to entry i
        TableRows table;
        platform::Time time;
        std::function<void(int)> close; // closes connection i's port
        std::function<void(const QString&)> log;
        // The end of a port's change line: the outputs' ends with a full stop.
        QString portLineEnd;
    };

    explicit ConnectionTable(Parts parts) : p_(std::move(parts)) {}

    // Loads the rows in order: takeRow(i, entry, rows) is called with the rows
    // on row i. A step that fails is skipped.
    template <typename TakeRow> void Load(TakeRow takeRow) {
        Skipping([&] { resizeEntries(); });
        auto rs = p_.table.rows;
        if (!rs || rs->State() != platform::ObjectState::Open || rs->RecordCount() == 0)
            return;
        Skipping([&] { rs->MoveFirst(); });
        for (int i = 0; i < p_.table.count; ++i) {
            Skipping([&] { takeRow(i, p_.entries[i], *rs); });
            Skipping([&] { rs->MoveNext(); });
        }
    }

    // Every entry in use takes its row again at the next load.
    void RequestUpdate() {
        for (int i = 0; i < p_.table.count; ++i)
            p_.entries[i].Status = Entry::UpdatePending;
    }

    // Applies the Active column of each row to its entry, rows and entries in
    // step: "N" closes an active connection, "Y" enables an inactive one.
    void CheckPostUpdate() {
        if (auto rs = p_.table.rows)
            applyActiveColumn(*rs);
    }

    void UpdateTextField(int i, QString& field, const QString& newValue, const QString& fieldName) {
        if (newValue == field)
            return;
        field = newValue;
        p_.log(UpdatedFieldLine(i, p_.entries[i].Description, fieldName, newValue));
    }

    // True when the port changed: the socket has to follow.
    bool UpdatePortField(int i, QString& field, const QString& newValue, const QString& fieldName) {
        if (newValue == field)
            return false;
        field = newValue;
        p_.log(UpdatedFieldLine(i, p_.entries[i].Description, fieldName, newValue) +
               p_.portLineEnd);
        return true;
    }

    // A Y/N column: "Y" sets the flag, "N" clears it, anything else leaves it.
    void UpdateFlagField(int i, bool& field, const QString& newValue, const QString& fieldName) {
        if ((!field && newValue == QLatin1String("Y")) ||
            (field && newValue == QLatin1String("N"))) {
            field = !field;
            p_.log(UpdatedFlagLine(i, p_.entries[i].Description, fieldName, newValue));
        }
    }

private:
    // Brings the entries in use from the count loaded before to the count now:
    // those no longer in use are closed and reset; new ones get a socket of
    // their own and start empty.
    void resizeEntries() {
        const int count = p_.table.count;
        const int loaded = p_.table.loaded;
        const QDateTime now = p_.time.Now();
        for (int i = count; i < loaded; ++i) {
            p_.close(i);
            p_.entries[i].Reset(now);
        }
        for (int i = loaded; i < count; ++i) {
            if (i != 0 && !p_.sockets.Exists(i))
                p_.sockets.Load(i);
            p_.entries[i].Reset(now);
        }
    }

    void applyActiveColumn(platform::Recordset& rs) {
        if (rs.State() != platform::ObjectState::Open || rs.RecordCount() == 0)
            return;
        rs.MoveFirst();
        const int count = p_.table.count;
        for (int i = 0; i < count; ++i) {
            Entry& e = p_.entries[i];
            const QChar a = ActiveLetter(rs);
            const QString row =
                RowText(rs, "Port") + QStringLiteral("   ") + RowText(rs, "Description");
            if (e.Active && a == QLatin1Char('N')) {
                p_.close(i);
                p_.log(QStringLiteral("System: UPDATE: Closing port ") + row);
                e.Active = false;
            } else if (!e.Active && a == QLatin1Char('Y')) {
                p_.log(QStringLiteral("System: UPDATE: Enabling port ") + row);
                e.Active = true;
            }
            rs.MoveNext();
        }
    }

    Parts p_;
};
