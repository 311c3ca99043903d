#pragma once

#include <QJsonObject>

class frmQuorlan;

namespace web {

// The window model as the console's page reads it: caption, tab, the two
// pop-up boxes, the menus, and every control by name. Texts keep every
// byte a peer sent: byte n is code point n, so the JSON stays valid UTF-8.
QJsonObject WindowJson(frmQuorlan& window);

// A grid sends at most this many rows; "rowCount" tells how many it has.
constexpr int kMaxGridRows = 2000;

} // namespace web
