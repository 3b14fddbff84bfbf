// The HTTP date reader on any text: never crashes, a date it accepts is a real calendar date, and the date
// written as the client writes If-Range reads back as the same moment.
#include "platform/DateTime.h"

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
    const std::string Text(reinterpret_cast<const char*>(Data), Size);
    platform::TSystemTime Time;
    if (!platform::ParseHttpDate(Text, Time)) {
        return 0;
    }
    platform::TDateTime Date = 0;
    if (!platform::EncodeDateTime(Time, Date)) {
        __builtin_trap();
    }
    platform::TSystemTime Back;
    platform::TDateTime Again = 0;
    if (!platform::ParseHttpDate(platform::FormatHttpDate(Date), Back) ||
        !platform::EncodeDateTime(Back, Again) || Again != Date) {
        __builtin_trap();
    }
    return 0;
}
