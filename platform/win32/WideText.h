// The edge between our UTF-8 texts and the UTF-16 of the wide Windows calls. Only the Windows
// implementations of the platform layer include this.
#pragma once

#include <string>

namespace platform::win32 {

// UTF-8 to UTF-16; invalid sequences become U+FFFD.
std::wstring Widen(const std::string& Text);
// UTF-16 to UTF-8; unpaired surrogates become U+FFFD.
std::string Narrow(const std::wstring& Text);
// A path for the wide file calls: UTF-16, with "/" turned into "\".
std::wstring WidePath(const std::string& Path);

} // namespace platform::win32
