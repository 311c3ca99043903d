#pragma once

#include <QByteArray>
#include <QString>

class frmQuorlan;

namespace web {

// What became of a command from the console's page.
struct CommandResult {
    int status = 200;    // 200 done, 400 not understood, 409 refused
    QString error;       // why, when not done
    QString description; // the command as the System log shows it
    // Whether the System log hears of it. A tab chosen in a browser is that
    // browser's own business: refused, and not worth a line.
    bool logged = true;
};

// Runs one command (a JSON object, as the page posts it) through the same
// handlers the window's controls call.
CommandResult RunCommand(frmQuorlan& window, const QByteArray& body);

} // namespace web
