#pragma once

#include <QHash>
#include <QList>
#include <QString>
#include <QtGlobal>
#include <cstddef>

namespace config {

// The tables an operator edits in their grids: each is shown read-only until
// it is opened for editing, and written back when it is committed.
enum class EditedTable { Outputs, Telstra, Publishers, StartUp, Watches, Aliases };
inline constexpr std::size_t kEditedTables = 6;

// Everything an operator can ask of the relay, from whichever view: the
// window's buttons and menus and the web console's API call these alike, so a
// command does the same from either. Each runs to completion on the relay's
// thread and returns at once.
//
// A command that can be refused returns why ("" when it was not refused), in
// the words the warning box shows; a command that fails for another reason
// shows a warning instead.
class Commands {
public:
    virtual ~Commands() = default;

    // Whether TABLE is open for editing: its button then offers Commit.
    virtual bool Editing(EditedTable table) const = 0;
    // Opens TABLE for editing; one already open is opened afresh.
    virtual void Edit(EditedTable table) = 0;
    // Writes TABLE's edits and shows it read-only again; the connections it
    // feeds are reloaded. A commit that fails leaves the table open for
    // editing, so the operator can correct it and commit again.
    virtual QString Commit(EditedTable table) = 0;

    // Whether the carrier connections were last switched on; and switching
    // them all on or off (the Active column of every row, applied at once).
    virtual bool CarriersActive() const = 0;
    virtual void SetCarriersActive(bool active) = 0;
    // Sends the idle message to the outputs, as the relay does after a gap.
    virtual void SendIdleMessage() = 0;
    // How many packets the delayed store holds, and deleting them all.
    virtual qint64 StoredPackets() const = 0;
    virtual void DeleteStoredPackets() = 0;
    // Makes the next timer tick back up the logs, or check the store.
    virtual void ForceBackUp() = 0;
    virtual void CheckStore() = 0;
    // Raw input to the raw log, kept in the StartUp table for the next start.
    virtual void SetRawLogging(bool on) = 0;
    // Every byte the decoder reads goes to its trace.
    virtual void SetDecoderTrace(bool on) = 0;
    // Puts the warning box away.
    virtual void ClearWarning() = 0;
    // Replaces the rows of the Aliases table with ROWS (column name to text),
    // all or none: a row that cannot be used, or the table open for editing,
    // refuses the import.
    virtual QString ImportAliases(const QList<QHash<QString, QString>>& rows) = 0;
};

// What a table's one button does: opens the table for editing, or commits it
// when it is open. Returns the commit's refusal.
inline QString EditOrCommit(Commands& commands, EditedTable table) {
    if (!commands.Editing(table)) {
        commands.Edit(table);
        return {};
    }
    return commands.Commit(table);
}

} // namespace config
