#pragma once

#include <QString>

// File routines that report failure as False instead of raising an error.
namespace gZelkorfile {

constexpr int kNormal = 0;     // attributes: normal files only
constexpr int kDirectory = 16; // attributes: folders as well as files

bool FileExists(const QString& path, int attributes);
bool KillFile(const QString& path);
// Copies source over target (an existing target is replaced).
bool ZelkorCopy(const QString& source, const QString& target);

} // namespace gZelkorfile
