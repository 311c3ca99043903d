#pragma once

#include <QByteArray>

// A packet as the operator reads it, on one line: the framing bytes by name
// (<STX>, <CR>, <ETX>), every other byte below 32 and every byte from 127 to
// 255 as two lowercase hex digits in angle brackets ("<0a>", "<ff>"), the
// rest as they are. The web console's Delayed view shows stored packets
// this way; the log files keep the bytes as they came.
QByteArray StoredPacketText(const QByteArray& packet);
