// A response's header block on any bytes, read as the HTTP layer reads it: the status line, each header
// line, the lookups by name and the lengths. Never crashes; a value found has no blanks at its ends, a
// header line with a name is found by that name, and a length read is the digits it was read from.
#include "platform/HttpText.h"
#include "platform/Text.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
    const std::string Text(reinterpret_cast<const char*>(Data), Size);
    std::vector<std::string> Lines;
    for (std::string::size_type Pos = 0; Pos <= Text.size();) {
        std::string::size_type End = Text.find('\n', Pos);
        if (End == std::string::npos) {
            End = Text.size();
        }
        std::string Line = Text.substr(Pos, End - Pos);
        if (!Line.empty() && Line.back() == '\r') {
            Line.pop_back();
        }
        Lines.push_back(Line);
        Pos = End + 1;
    }
    int Code = 0;
    std::string Reason;
    if (platform::http::ParseStatusLine(Lines.front(), Code, Reason) && (Code < 0 || Code >= 1000000)) {
        __builtin_trap();
    }
    for (const std::string& Line : Lines) {
        std::string Name, Value;
        if (!platform::http::SplitHeaderLine(Line, Name, Value) || Line.compare(0, 5, "HTTP/") == 0) {
            continue;
        }
        const auto Found = platform::http::FindHeader(Lines, Name);
        if (!Found || platform::TrimBlanks(*Found) != *Found) {
            __builtin_trap();
        }
    }
    for (const char* Name : {"Content-Length", "Content-Range", "Content-Type", "Location", "ETag"}) {
        const auto Found = platform::http::FindHeader(Lines, Name);
        std::uint64_t Length = 0;
        if (Found && platform::http::ParseLength(*Found, Length) &&
            std::to_string(Length) !=
                Found->substr(std::min(Found->find_first_not_of('0'), Found->size() - 1))) {
            __builtin_trap();
        }
        platform::http::TContentRange Range;
        (void)platform::http::ParseContentRange(Found.value_or(""), Range);
        (void)platform::http::IsHtmlMediaType(Found.value_or(""));
    }
    return 0;
}
