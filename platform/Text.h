// Small text helpers the layers share: trimming and comparing names without regard to letter case.
// Texts are UTF-8; only ASCII letters have a case here, and only ASCII bytes are trimmed.
#pragma once

#include <string>

namespace platform {

// Space, tab, CR, LF, vertical tab and form feed.
bool IsBlank(char C);
// The text without blanks at either end.
std::string TrimBlanks(const std::string& S);
// The text without blanks and other control characters (every byte up to 0x20) at either end.
std::string TrimBlanksAndControls(const std::string& S);
// Equal but for the letter case of ASCII letters ("Content-Length" and "content-length").
bool SameText(const std::string& A, const std::string& B);

} // namespace platform
