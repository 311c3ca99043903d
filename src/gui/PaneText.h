#pragma once

#include <QByteArray>
#include <QString>

// A log pane's text as the window shows it: its lines end in CR LF, and each
// is shown as ShownPacket shows a packet, so that a packet stays on its line
// with its STX, CR and ETX named, as the web console shows them.
QString PaneText(const QByteArray& pane);
