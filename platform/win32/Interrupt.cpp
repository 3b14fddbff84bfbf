// The interrupt of a console program on Windows: Ctrl-C and Ctrl-Break reach the handler that
// SetConsoleCtrlHandler installs, on a thread of their own. The first asks the program to stop; the second
// writes the last words and ends the process at once.
#include "platform/win32/WindowsApi.h"

#include "platform/Console.h"
#include "platform/Interrupt.h"

#include <atomic>
#include <cstdio>

namespace platform {

namespace {

std::atomic<bool> GInterrupted{false};
const char* GLastWords = "";
int GExitCode = 1;

BOOL WINAPI OnControl(DWORD Event) {
    if (Event != CTRL_C_EVENT && Event != CTRL_BREAK_EVENT) {
        return FALSE; // closing the window, logging off: the system's own handling
    }
    if (GInterrupted.exchange(true)) {
        WriteText(stderr, GLastWords);
        ::TerminateProcess(::GetCurrentProcess(), static_cast<UINT>(GExitCode));
    }
    return TRUE;
}

} // namespace

void InstallInterruptHandlers(const char* LastWords, int ExitCode) {
    GLastWords = LastWords;
    GExitCode = ExitCode;
    ::SetConsoleCtrlHandler(nullptr, FALSE); // Ctrl-C on, also in a process started in a group of its own
    ::SetConsoleCtrlHandler(OnControl, TRUE);
}

bool Interrupted() {
    return GInterrupted.load();
}

bool StandardErrorIsTerminal() {
    DWORD Mode = 0;
    return ::GetConsoleMode(::GetStdHandle(STD_ERROR_HANDLE), &Mode) != FALSE;
}

} // namespace platform
