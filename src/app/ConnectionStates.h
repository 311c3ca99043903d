#pragma once

class System;

namespace app {

// Fills the Outputs and Telstra grids' row states and the window's carrier
// mark from the sockets and their entries. A state keeps the time it began
// until it changes; the views are told only of a change.
void ShowConnectionStates(System& system);

} // namespace app
