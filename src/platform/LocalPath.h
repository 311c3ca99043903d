#pragma once

#include <QString>

namespace platform {

// Turns a path of the system's Windows form into one for this platform:
// "\" becomes "/", and a relative path (".\X", "X") is taken inside `base`
// (the working folder; empty means the current folder).
QString LocalPath(const QString& base, const QString& windowsPath);

} // namespace platform
