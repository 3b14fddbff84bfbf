// The process pieces: where the executable lives, the single-instance lock of the log-on session, the
// immediate end, and whether the machine is connected to a network at all.
#pragma once

#include <string>

namespace platform {

// Absolute path of the running executable (/proc/self/exe).
std::string ExecutablePath();
// Its folder, ending in "/".
std::string ExecutableDir();
// Single-instance lock of the user's log-on session: flock(LOCK_EX|LOCK_NB) on a file named `name` in
// $XDG_RUNTIME_DIR, else "/tmp/<name>-<uid>". Returns 0 when this process now holds it, 183
// (ERROR_ALREADY_EXISTS) when another process holds it, or the errno of a failure. The descriptor stays
// open (the lock held) until the process ends.
int CreateSingleInstanceLock(const std::string& name);
// Ends the process at once with the exit code (std::_Exit): no destructors, no atexit handlers.
[[noreturn]] void TerminateCurrentProcess(int exitCode);
// True when some network interface is up, running, not loopback, and has an address.
bool InternetGetConnectedState();

} // namespace platform
