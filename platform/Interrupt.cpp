#include "platform/Interrupt.h"

#include <csignal>
#include <cstring>
#include <unistd.h>

namespace platform {

namespace {

volatile std::sig_atomic_t GInterrupted = 0;
const char* GLastWords = "";
std::size_t GLastWordsLength = 0;
int GExitCode = 1;

extern "C" void OnInterrupt(int) {
    if (GInterrupted != 0) {
        // Only what may be done in a signal handler: one write, then the end.
        (void)!::write(STDERR_FILENO, GLastWords, GLastWordsLength);
        ::_exit(GExitCode);
    }
    GInterrupted = 1;
}

} // namespace

void InstallInterruptHandlers(const char* LastWords, int ExitCode) {
    GLastWords = LastWords;
    GLastWordsLength = std::strlen(LastWords);
    GExitCode = ExitCode;
    struct sigaction Action {};
    Action.sa_handler = OnInterrupt;
    sigemptyset(&Action.sa_mask);
    Action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &Action, nullptr);
    sigaction(SIGTERM, &Action, nullptr);
}

bool Interrupted() {
    return GInterrupted != 0;
}

bool StandardErrorIsTerminal() {
    return ::isatty(STDERR_FILENO) == 1;
}

} // namespace platform
