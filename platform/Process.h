// The process pieces: where the executable lives, the single-instance lock of the log-on session, the
// immediate end, and whether the machine is connected to a network at all.
#pragma once

#include <string>
#include <vector>

namespace platform {

// The program's command-line arguments in UTF-8, its own name first: argv as it is here; on Windows the
// wide command line, since argv holds them in the ANSI code page, which cannot hold every name.
std::vector<std::string> CommandLineArguments(int argc, char** argv);
// Absolute path of the running executable (/proc/self/exe; the module's file name on Windows).
std::string ExecutablePath();
// Its folder, ending in its delimiter ("/"; "\\" on Windows).
std::string ExecutableDir();
// Single-instance lock of the user's log-on session: flock(LOCK_EX|LOCK_NB) on a file named `name` in
// $XDG_RUNTIME_DIR, else "/tmp/<name>-<uid>"; on Windows the named mutex `name`. Returns 0 when this process
// now holds it, 183 (ERROR_ALREADY_EXISTS) when another process holds it, or the system's code of a failure.
// The descriptor (the mutex) stays open, the lock held, until the process ends.
int CreateSingleInstanceLock(const std::string& name);
// Ends the process at once with the exit code (std::_Exit): no destructors, no atexit handlers.
[[noreturn]] void TerminateCurrentProcess(int exitCode);
// True when some network interface is up, running, not loopback, and has an address (on Windows: what
// the Internet functions' InternetGetConnectedState says).
bool InternetGetConnectedState();

} // namespace platform
