#include "platform/win32/FileTime.h"

#include <cstdint>

namespace platform::win32 {

namespace {

constexpr std::int64_t StepsPerSecond = 10000000;
constexpr std::int64_t SecondsFrom1601To1970 = 11644473600;

} // namespace

TDateTime FileTimeToDateTime(const FILETIME& Time) {
    const std::int64_t Steps = static_cast<std::int64_t>(
        (static_cast<std::uint64_t>(Time.dwHighDateTime) << 32) | Time.dwLowDateTime);
    return UnixTimeToDateTime(Steps / StepsPerSecond - SecondsFrom1601To1970,
                              static_cast<long>(Steps % StepsPerSecond * 100));
}

bool DateTimeToFileTime(TDateTime Value, FILETIME& Result) {
    timespec Unix{};
    if (!DateTimeToUnixTime(Value, Unix)) {
        return false;
    }
    const std::uint64_t Steps = static_cast<std::uint64_t>(
        (static_cast<std::int64_t>(Unix.tv_sec) + SecondsFrom1601To1970) * StepsPerSecond +
        Unix.tv_nsec / 100);
    Result.dwLowDateTime = static_cast<DWORD>(Steps & 0xFFFFFFFFu);
    Result.dwHighDateTime = static_cast<DWORD>(Steps >> 32);
    return true;
}

} // namespace platform::win32
