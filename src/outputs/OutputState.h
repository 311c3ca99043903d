#pragma once

#include <QString>

class frmOutputSockets;

// Output i's state as the operator reads it, in the window and the console:
// "Connected", "Listening for client", "Closed" or "Not active".
QString OutputState(const frmOutputSockets& outputs, int index);
