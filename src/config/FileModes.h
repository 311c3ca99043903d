#pragma once

#include <QString>
#include <QStringList>

namespace config {

// Takes every right of other users of the machine off PATH, a folder or a file
// of a working folder: it holds page texts, logs and the brokers' passwords.
// False when the rights could not be changed.
bool KeepFromOthers(const QString& path);

// Those of NAMES in FOLDER that exist and that every user of the machine may read.
QStringList ReadableByOthers(const QString& folder, const QStringList& names);

} // namespace config
