// The process pieces over Win32: the module's file name, the named mutex of the log-on session, the
// immediate end, and the connection state the Internet functions report.
#include "platform/win32/WindowsApi.h"

#include <shellapi.h>

#include "platform/LastError.h"
#include "platform/Process.h"
#include "platform/win32/WideText.h"

#include <cstdlib>

namespace platform {

std::vector<std::string> CommandLineArguments(int argc, char** argv) {
    int Count = 0;
    wchar_t** Wide = ::CommandLineToArgvW(::GetCommandLineW(), &Count);
    if (Wide == nullptr) {
        return std::vector<std::string>(argv, argv + argc);
    }
    std::vector<std::string> Result;
    for (int i = 0; i < Count; ++i) {
        Result.push_back(win32::Narrow(Wide[i]));
    }
    ::LocalFree(Wide);
    return Result;
}

std::string ExecutablePath() {
    std::wstring Buffer(MAX_PATH, L'\0');
    for (;;) {
        const DWORD Length = ::GetModuleFileNameW(nullptr, Buffer.data(), static_cast<DWORD>(Buffer.size()));
        if (Length == 0) {
            SetLastError(static_cast<int>(::GetLastError()));
            return std::string();
        }
        if (Length < Buffer.size()) {
            Buffer.resize(Length);
            return win32::Narrow(Buffer);
        }
        Buffer.resize(Buffer.size() * 2); // cut: ask again with room for a long path
    }
}

std::string ExecutableDir() {
    const std::string Path = ExecutablePath();
    const std::string::size_type Slash = Path.find_last_of("\\/");
    return Slash == std::string::npos ? std::string() : Path.substr(0, Slash + 1);
}

int CreateSingleInstanceLock(const std::string& name) {
    // A name without "Global\" lives in the log-on session's own namespace.
    const HANDLE Mutex = ::CreateMutexW(nullptr, FALSE, win32::Widen(name).c_str());
    const DWORD Error = ::GetLastError();
    if (Mutex == nullptr) {
        SetLastError(static_cast<int>(Error));
        return static_cast<int>(Error);
    }
    if (Error == static_cast<DWORD>(ERROR_ALREADY_EXISTS)) {
        ::CloseHandle(Mutex);
        SetLastError(ERROR_ALREADY_EXISTS);
        return ERROR_ALREADY_EXISTS;
    }
    // The handle is left open on purpose: the mutex lasts as long as the process.
    SetLastError(ERROR_SUCCESS);
    return ERROR_SUCCESS;
}

void TerminateCurrentProcess(int exitCode) {
    ::TerminateProcess(::GetCurrentProcess(), static_cast<UINT>(exitCode));
    std::_Exit(exitCode); // not reached: TerminateProcess on the own process does not return
}

bool InternetGetConnectedState() {
    DWORD Flags = 0;
    return ::InternetGetConnectedState(&Flags, 0) != FALSE;
}

} // namespace platform
