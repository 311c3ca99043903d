#pragma once

namespace platform {

// Makes the C library read the machine's time zone once instead of looking at
// its file again at every local time conversion. Call before any thread starts.
void HoldLocalTimeZone();

} // namespace platform
