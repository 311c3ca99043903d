#pragma once

namespace platform {

// Makes the C library read the machine's time zone once instead of looking at
// its file again at every local time conversion. Call before any thread starts.
void HoldLocalTimeZone();

// Makes the application that is created next run Qt's own poll() event loop
// rather than GLib's. Call before the application object exists.
void UsePlainEventLoop();

} // namespace platform
