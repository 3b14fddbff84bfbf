#include "platform/Console.h"

namespace platform {

// A terminal here reads UTF-8 like everything else.
void WriteText(std::FILE* Stream, const std::string& Text) {
    std::fwrite(Text.data(), 1, Text.size(), Stream);
    std::fflush(Stream);
}

} // namespace platform
