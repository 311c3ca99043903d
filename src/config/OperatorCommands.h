#pragma once

#include "config/Operators.h"

#include <QString>
#include <optional>

// What `ombrix init` and `ombrix passwd` do to a working folder's accounts.

namespace config {

// "" when FOLDER is a folder with an Ombrixsys.mdb, else the reason.
QString FolderProblem(const QString& folder);

// Opens FOLDER's Ombrixsys.mdb as the relay does (an older file is brought up
// to date first) and sets NAME's password, and its role when ROLE is given
// (see SetOperatorPassword). Returns "" or the reason.
QString SetPasswordInWorkFolder(const QString& folder, const QString& name, const QString& password,
                                const QString& createdText,
                                std::optional<OperatorRole> role = std::nullopt);

// The address a browser opens the web console at, from FOLDER's settings
// ("http://127.0.0.1:8088/" for a new folder); "" when the console is off or
// the settings cannot be read.
QString ConsoleUrl(const QString& folder);

} // namespace config
