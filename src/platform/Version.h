#pragma once

#include <QString>

namespace version {

constexpr int Major = OMBRIX_VERSION_MAJOR;
constexpr int Minor = OMBRIX_VERSION_MINOR;
constexpr int Revision = OMBRIX_VERSION_REVISION;

// "V2.0 (101)" as the caption and the log banners write it.
inline QString Text() {
    return QStringLiteral("V%1.%2 (%3)").arg(Major).arg(Minor).arg(Revision);
}

// "2.0.101" as --version prints it.
inline QString Dotted() {
    return QStringLiteral("%1.%2.%3").arg(Major).arg(Minor).arg(Revision);
}

} // namespace version
