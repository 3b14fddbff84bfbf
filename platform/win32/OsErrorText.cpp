// The system's codes and texts on Windows: Win32 error codes and FormatMessage's texts, in the user's
// language, converted to UTF-8.
#include "platform/win32/WindowsApi.h"

#include "platform/LastError.h"
#include "platform/win32/WideText.h"

namespace platform {

// Win32's values of the same names.
const int ERROR_FILE_NOT_FOUND = 2;
const int ERROR_INVALID_PARAMETER = 87;
const int ERROR_NOT_ENOUGH_MEMORY = 8;
const int ERROR_LOCK_VIOLATION = 33;
const int ERROR_FILE_INVALID = 1006;

std::string OsErrorText(int Code) {
    if (Code <= 0 || Code >= 12000) {
        return std::string();
    }
    wchar_t* Buffer = nullptr;
    const DWORD Length = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
        static_cast<DWORD>(Code), 0, reinterpret_cast<wchar_t*>(&Buffer), 0, nullptr);
    std::string Text = Length > 0 && Buffer ? win32::Narrow(std::wstring(Buffer, Length)) : std::string();
    ::LocalFree(Buffer);
    return Text;
}

} // namespace platform
