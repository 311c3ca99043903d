#pragma once

#include <QByteArray>

// Bytes a peer sent, as a log line shows them: every control byte (below 0x20,
// and 0x7F) but TAB becomes its hex code in angle brackets ("<0D>"), so that
// what a client or a carrier sends can neither end a log line nor begin one
// that looks like the relay's own. Every other byte is kept as it came.
QByteArray EscapedPeerBytes(const QByteArray& bytes);
