// Dates as the download client keeps them: a TDateTime is a day count since 1899-12-30 in a double, the
// fraction being the time of day. Server dates stay in UTC; nothing here converts to local time.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>

namespace platform {

using TDateTime = double;

// A calendar date and time as the Internet functions hand it out (SYSTEMTIME's fields).
struct TSystemTime {
    std::uint16_t Year = 0;
    std::uint16_t Month = 0;     // 1..12
    std::uint16_t DayOfWeek = 0; // 0 = Sunday
    std::uint16_t Day = 0;
    std::uint16_t Hour = 0;
    std::uint16_t Minute = 0;
    std::uint16_t Second = 0;
    std::uint16_t Milliseconds = 0;
};

// The calendar fields of a date; false for an impossible date (month 13, 30 February, ...).
bool EncodeDateTime(const TSystemTime& Time, TDateTime& Result);
// The calendar fields of a TDateTime (millisecond precision, rounded).
TSystemTime DecodeDateTime(TDateTime Value);

// Seconds and nanoseconds since 1970-01-01 UTC to a TDateTime, and back. The way back fails for dates
// before 1601-01-01, the first date a file time can hold.
TDateTime UnixTimeToDateTime(std::int64_t Seconds, long Nanoseconds = 0);
bool DateTimeToUnixTime(TDateTime Value, timespec& Result);

// "yyyy-mm-dd hh:nn:ss": four-digit year, the rest two digits, zero-padded; 0 gives 1899-12-30 00:00:00.
std::string FormatDateTimeIso(TDateTime Value);

// An HTTP date (RFC 1123, RFC 850 or asctime form), in UTC; false when the text is none of these.
bool ParseHttpDate(const std::string& Text, TSystemTime& Result);
// The RFC 1123 form of a UTC date, "Tue, 14 Nov 2023 22:13:20 GMT" (whole seconds).
std::string FormatHttpDate(TDateTime Value);

// Milliseconds of a monotonic clock (for measuring how long something took; never goes back).
std::int64_t TickCount();

} // namespace platform
