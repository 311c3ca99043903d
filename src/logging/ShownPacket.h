#pragma once

#include <QByteArray>
#include <QString>

// A packet (or a log line holding one) as the operator reads it, on one
// line: each control byte by its name, as the web console shows it, <STX>,
// <CR>, <ETX>, <NUL> ... <US> below 32 (a tab stays a tab), <x7f> for DEL and
// <x80> to <x9f> for the controls above it. The rest is text: UTF-8 where the
// bytes are UTF-8, else each byte the character of its value.
QString ShownPacket(const QByteArray& packet);
