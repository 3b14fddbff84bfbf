// Text for the user on standard output or standard error. The texts are UTF-8; a console that reads
// another code page (a Chinese Windows console reads GBK) gets them in its own terms.
#pragma once

#include <cstdio>
#include <string>

namespace platform {

// Writes Text to Stream and flushes it: to a file or a pipe as UTF-8 bytes, unchanged; to a Windows
// console as wide characters.
void WriteText(std::FILE* Stream, const std::string& Text);

} // namespace platform
