// The Content-Range reader on any text: never crashes, a range it accepts is ordered and within its
// complete length, and written back in its own form it reads the same.
#include "platform/HttpText.h"

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
    const std::string Text(reinterpret_cast<const char*>(Data), Size);
    platform::http::TContentRange Range;
    if (!platform::http::ParseContentRange(Text, Range)) {
        return 0;
    }
    if (Range.First > Range.Last || (Range.Complete && *Range.Complete <= Range.Last)) {
        __builtin_trap();
    }
    const std::string Again = "bytes " + std::to_string(Range.First) + "-" + std::to_string(Range.Last) +
                              "/" + (Range.Complete ? std::to_string(*Range.Complete) : std::string("*"));
    platform::http::TContentRange Back;
    if (!platform::http::ParseContentRange(Again, Back) || Back.First != Range.First ||
        Back.Last != Range.Last || Back.Complete != Range.Complete) {
        __builtin_trap();
    }
    return 0;
}
