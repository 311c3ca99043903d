#pragma once

#include <QByteArray>
#include <QStringList>
#include <QTextStream>

namespace sim {

extern const char* kTapUsage;

// ombrix-sim tap: a client of one output port that prints every packet.
int RunTap(const QStringList& args, QTextStream& out, QTextStream& err);

// One packet on one line: its CR-separated fields joined by " | ", the
// framing bytes shown as <STX>, <CR>, <ETX> and other control bytes as <xNN>.
QString PacketLine(const QByteArray& packet);

} // namespace sim
