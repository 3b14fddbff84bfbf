#include "platform/DateTime.h"

#include "platform/Text.h"

#include <cctype>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace platform {

namespace {

constexpr std::int64_t MillisecondsPerDay = 86400000;
// Days from 1899-12-30 to 1970-01-01.
constexpr std::int64_t UnixEpochDays = 25569;
// Days from 1899-12-30 to 1601-01-01 (negative: before the epoch of TDateTime).
constexpr std::int64_t FileTimeEpochDays = -109205;

// Days since 1970-01-01 of a proleptic Gregorian date (Howard Hinnant's algorithm).
std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

void CivilFromDays(std::int64_t z, std::int64_t& y, unsigned& m, unsigned& d) {
    z += 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    y = static_cast<std::int64_t>(yoe) + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = doy - (153 * mp + 2) / 5 + 1;
    m = mp < 10 ? mp + 3 : mp - 9;
    y += m <= 2;
}

bool IsLeapYear(unsigned Year) {
    return (Year % 4 == 0 && Year % 100 != 0) || Year % 400 == 0;
}

unsigned DaysInMonth(unsigned Year, unsigned Month) {
    static const unsigned Days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return Month == 2 && IsLeapYear(Year) ? 29 : Days[Month - 1];
}

// Milliseconds since 1899-12-30 00:00 of a TDateTime. Before the epoch the day part counts backwards and
// the time of day forwards (-1.25 is 1899-12-29 06:00), as the date type has always done.
std::int64_t ToMilliseconds(TDateTime Value) {
    const double Days = std::trunc(Value);
    const double Fraction = std::fabs(Value - Days);
    return static_cast<std::int64_t>(Days) * MillisecondsPerDay +
           static_cast<std::int64_t>(std::llround(Fraction * MillisecondsPerDay));
}

TDateTime FromMilliseconds(std::int64_t Ms) {
    std::int64_t Days = Ms / MillisecondsPerDay;
    std::int64_t Rest = Ms % MillisecondsPerDay;
    if (Rest < 0) {
        // A time before the epoch: the day counts backwards, the fraction stays the time of day.
        Days -= 1;
        Rest += MillisecondsPerDay;
        return static_cast<double>(Days) - static_cast<double>(Rest) / MillisecondsPerDay;
    }
    return static_cast<double>(Days) + static_cast<double>(Rest) / MillisecondsPerDay;
}

} // namespace

bool EncodeDateTime(const TSystemTime& Time, TDateTime& Result) {
    if (Time.Year < 1 || Time.Month < 1 || Time.Month > 12 || Time.Day < 1 ||
        Time.Day > DaysInMonth(Time.Year, Time.Month) || Time.Hour > 23 || Time.Minute > 59 ||
        Time.Second > 59 || Time.Milliseconds > 999) {
        return false;
    }
    const std::int64_t Days = DaysFromCivil(Time.Year, Time.Month, Time.Day) + UnixEpochDays;
    const std::int64_t Ms = ((Time.Hour * 60 + Time.Minute) * 60 + Time.Second) * 1000 + Time.Milliseconds;
    Result = FromMilliseconds(Days * MillisecondsPerDay + Ms);
    return true;
}

TSystemTime DecodeDateTime(TDateTime Value) {
    std::int64_t Ms = ToMilliseconds(Value);
    std::int64_t Days = Ms / MillisecondsPerDay;
    std::int64_t Rest = Ms % MillisecondsPerDay;
    if (Rest < 0) {
        Days -= 1;
        Rest += MillisecondsPerDay;
    }
    std::int64_t y;
    unsigned m, d;
    CivilFromDays(Days - UnixEpochDays, y, m, d);
    TSystemTime T;
    T.Year = static_cast<std::uint16_t>(y);
    T.Month = static_cast<std::uint16_t>(m);
    T.Day = static_cast<std::uint16_t>(d);
    // 1970-01-01 was a Thursday.
    T.DayOfWeek = static_cast<std::uint16_t>((((Days - UnixEpochDays) % 7) + 11) % 7);
    T.Hour = static_cast<std::uint16_t>(Rest / 3600000);
    T.Minute = static_cast<std::uint16_t>(Rest / 60000 % 60);
    T.Second = static_cast<std::uint16_t>(Rest / 1000 % 60);
    T.Milliseconds = static_cast<std::uint16_t>(Rest % 1000);
    return T;
}

TDateTime UnixTimeToDateTime(std::int64_t Seconds, long Nanoseconds) {
    const std::int64_t Ms = (Seconds + UnixEpochDays * 86400) * 1000 + Nanoseconds / 1000000;
    return FromMilliseconds(Ms);
}

bool DateTimeToUnixTime(TDateTime Value, timespec& Result) {
    if (!std::isfinite(Value) || Value < static_cast<double>(FileTimeEpochDays) || Value > 2958466.0) {
        return false;
    }
    const std::int64_t Ms = ToMilliseconds(Value) - UnixEpochDays * MillisecondsPerDay;
    std::int64_t Sec = Ms / 1000;
    std::int64_t Rest = Ms % 1000;
    if (Rest < 0) {
        Sec -= 1;
        Rest += 1000;
    }
    Result.tv_sec = static_cast<time_t>(Sec);
    Result.tv_nsec = static_cast<long>(Rest * 1000000);
    return true;
}

std::string FormatDateTimeIso(TDateTime Value) {
    const TSystemTime T = DecodeDateTime(Value);
    char Buffer[64];
    std::snprintf(Buffer, sizeof Buffer, "%04u-%02u-%02u %02u:%02u:%02u", unsigned{T.Year}, unsigned{T.Month},
                  unsigned{T.Day}, unsigned{T.Hour}, unsigned{T.Minute}, unsigned{T.Second});
    return Buffer;
}

bool ParseHttpDate(const std::string& Text, TSystemTime& Result) {
    static const char* const Months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                         "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    char MonthName[4] = {};
    unsigned Day = 0, Year = 0, Hour = 0, Minute = 0, Second = 0;
    int Used = 0;
    const char* S = Text.c_str();
    const char* Comma = std::strchr(S, ',');
    bool Ok = false;
    if (Comma) {
        // "Sun, 06 Nov 1994 08:49:37 GMT" or "Sunday, 06-Nov-94 08:49:37 GMT"
        if (std::sscanf(Comma + 1, " %u %3s %u %u:%u:%u%n", &Day, MonthName, &Year, &Hour, &Minute, &Second,
                        &Used) == 6) {
            Ok = true;
        } else if (std::sscanf(Comma + 1, " %u-%3s-%u %u:%u:%u%n", &Day, MonthName, &Year, &Hour, &Minute,
                               &Second, &Used) == 6) {
            Ok = true;
            if (Year < 100) {
                Year += Year < 70 ? 2000 : 1900;
            }
        }
    } else {
        // "Sun Nov  6 08:49:37 1994"
        char WeekDay[4] = {};
        if (std::sscanf(S, "%3s %3s %u %u:%u:%u %u%n", WeekDay, MonthName, &Day, &Hour, &Minute, &Second,
                        &Year, &Used) == 7) {
            Ok = true;
        }
    }
    if (!Ok) {
        return false;
    }
    unsigned Month = 0;
    for (unsigned i = 0; i < 12; ++i) {
        if (SameText(MonthName, Months[i])) {
            Month = i + 1;
        }
    }
    if (Month == 0 || Year > 9999) {
        return false;
    }
    TSystemTime T;
    T.Year = static_cast<std::uint16_t>(Year);
    T.Month = static_cast<std::uint16_t>(Month);
    T.Day = static_cast<std::uint16_t>(Day > 65535 ? 0 : Day);
    T.Hour = static_cast<std::uint16_t>(Hour > 65535 ? 99 : Hour);
    T.Minute = static_cast<std::uint16_t>(Minute > 65535 ? 99 : Minute);
    T.Second = static_cast<std::uint16_t>(Second > 65535 ? 99 : Second);
    TDateTime Check;
    if (!EncodeDateTime(T, Check)) {
        return false;
    }
    T = DecodeDateTime(Check); // fills the day of the week
    Result = T;
    return true;
}

std::string FormatHttpDate(TDateTime Value) {
    static const char* const Days[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static const char* const Months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                         "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const TSystemTime T = DecodeDateTime(Value);
    char Buffer[64];
    std::snprintf(Buffer, sizeof Buffer, "%s, %02u %s %04u %02u:%02u:%02u GMT", Days[T.DayOfWeek % 7], T.Day,
                  Months[(T.Month + 11) % 12], T.Year, T.Hour, T.Minute, T.Second);
    return Buffer;
}

std::int64_t TickCount() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

} // namespace platform
