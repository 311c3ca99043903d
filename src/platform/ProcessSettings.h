#pragma once

namespace platform {

// Makes the C library read the machine's time zone once instead of looking at
// its file again at every local time conversion. Call before any thread starts.
void HoldLocalTimeZone();

// Makes the application that is created next run its thread on epoll, and
// the threads it starts on Qt's own poll() loop rather than GLib's. Call
// before the application object exists. Without epoll in the kernel, the
// thread keeps Qt's loop, and stderr says so.
void UseRelayEventLoop();

// Files and folders the process makes are for its own user and group only:
// page texts, logs and the brokers' passwords are not for every local user.
void RestrictNewFiles();

// Asks the kernel for short slices of the processor for this thread and the
// threads it starts next, so that the clients a fan-out wakes on this machine
// wait until the relay's sends are out. Call before any thread starts.
void AskForShortTimeSlices();

// Lets the calling thread run only on a processor that nothing else wants, so
// that work that can wait never holds up the relay or the clients on this
// machine. Where the kernel refuses that, the thread gets nice 19.
void RunOnlyWhenIdle();

// Keeps the C library from sorting every small block freed since the last
// large allocation into its lists at the next one, which a carrier read's
// buffer otherwise paid for before the page's sends.
void KeepFreedBlocksSorted();

// Raises the soft limit of open descriptors to the hard one, so that the
// carriers, the clients, the databases and the console have room.
void RaiseDescriptorLimit();

} // namespace platform
