// The interrupt of a program run from a console or a script: SIGINT (Ctrl-C) and SIGTERM here, the
// console's control events on another system. The first one only asks the program to stop (Interrupted()
// turns true; a stop check reads it); the second ends the process at once.
#pragma once

namespace platform {

// From now on the first interrupt sets the flag, and a second one writes LastWords (kept as given: a text
// that lives as long as the program) to standard error and ends the process with ExitCode, without
// waiting for anything.
void InstallInterruptHandlers(const char* LastWords, int ExitCode);
// Whether an interrupt came. Safe to ask from any thread, as often as wanted.
bool Interrupted();
// Whether standard error is a terminal (a console), as opposed to a file or a pipe.
bool StandardErrorIsTerminal();

} // namespace platform
