#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

namespace publish {

// A quoted JSON string, UTF-8. Quote, backslash and the control characters
// are escaped; every other character is written as it is.
QByteArray JsonString(const QString& text);

// A moment as ISO 8601 with milliseconds and its offset from UTC, so that a
// reader elsewhere knows the moment: "2026-01-15T10:00:01.250+10:00".
QString IsoTime(const QDateTime& time);

} // namespace publish
