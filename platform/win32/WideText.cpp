#include "platform/win32/WideText.h"

#include "platform/win32/WindowsApi.h"

namespace platform::win32 {

std::wstring Widen(const std::string& Text) {
    if (Text.empty()) {
        return std::wstring();
    }
    const int Size = static_cast<int>(Text.size());
    const int Count = ::MultiByteToWideChar(CP_UTF8, 0, Text.data(), Size, nullptr, 0);
    std::wstring Result(static_cast<std::size_t>(Count > 0 ? Count : 0), L'\0');
    if (Count > 0) {
        ::MultiByteToWideChar(CP_UTF8, 0, Text.data(), Size, Result.data(), Count);
    }
    return Result;
}

std::string Narrow(const std::wstring& Text) {
    if (Text.empty()) {
        return std::string();
    }
    const int Size = static_cast<int>(Text.size());
    const int Count = ::WideCharToMultiByte(CP_UTF8, 0, Text.data(), Size, nullptr, 0, nullptr, nullptr);
    std::string Result(static_cast<std::size_t>(Count > 0 ? Count : 0), '\0');
    if (Count > 0) {
        ::WideCharToMultiByte(CP_UTF8, 0, Text.data(), Size, Result.data(), Count, nullptr, nullptr);
    }
    return Result;
}

std::wstring WidePath(const std::string& Path) {
    std::wstring Result = Widen(Path);
    for (wchar_t& C : Result) {
        if (C == L'/') {
            C = L'\\';
        }
    }
    return Result;
}

} // namespace platform::win32
