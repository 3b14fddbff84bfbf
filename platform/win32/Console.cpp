// Text for a Windows console goes out as UTF-16 (WriteConsoleW), which the console shows right whatever
// its code page; anything else (a file, a pipe) gets the UTF-8 bytes. The console keeps its code page: a
// program that changed it would leave the change behind in the user's window.
#include "platform/win32/WindowsApi.h"

#include "platform/Console.h"
#include "platform/win32/WideText.h"

#include <algorithm>
#include <io.h>

namespace platform {

namespace {

// The console behind a stream, or null when the stream goes elsewhere.
HANDLE ConsoleOf(std::FILE* Stream) {
    const HANDLE Handle = reinterpret_cast<HANDLE>(::_get_osfhandle(::_fileno(Stream)));
    DWORD Mode = 0;
    if (Handle == INVALID_HANDLE_VALUE || !::GetConsoleMode(Handle, &Mode)) {
        return nullptr;
    }
    // Lets the console take the progress line's "erase to the end of the line"; an old console that cannot
    // refuses, and the line is then only drawn over.
    ::SetConsoleMode(Handle, Mode | ENABLE_PROCESSED_OUTPUT | ENABLE_VIRTUAL_TERMINAL_PROCESSING);
    return Handle;
}

} // namespace

void WriteText(std::FILE* Stream, const std::string& Text) {
    std::fflush(Stream); // what went out through the stream comes first
    const HANDLE Console = ConsoleOf(Stream);
    if (Console == nullptr) {
        std::fwrite(Text.data(), 1, Text.size(), Stream);
        std::fflush(Stream);
        return;
    }
    const std::wstring Wide = win32::Widen(Text);
    std::size_t Done = 0;
    while (Done < Wide.size()) {
        DWORD Written = 0;
        const DWORD Chunk = static_cast<DWORD>(std::min<std::size_t>(Wide.size() - Done, 8192));
        if (!::WriteConsoleW(Console, Wide.data() + Done, Chunk, &Written, nullptr) || Written == 0) {
            return;
        }
        Done += Written;
    }
}

} // namespace platform
