// Dates of the platform layer: calendar fields, HTTP dates and the file-time limit.
#include "platform/DateTime.h"

#include <gtest/gtest.h>

using namespace platform;

TEST(DateTime, EncodesAndFormatsCalendarDates) {
    struct TCase {
        TSystemTime Time;
        double Days;
        const char* Text;
    } Cases[] = {
        {{1899, 12, 0, 30, 0, 0, 0, 0}, 0.0, "1899-12-30 00:00:00"},
        {{1900, 1, 0, 1, 12, 0, 0, 0}, 2.5, "1900-01-01 12:00:00"},
        {{1970, 1, 0, 1, 0, 0, 0, 0}, 25569.0, "1970-01-01 00:00:00"},
        {{2024, 2, 0, 29, 23, 59, 59, 0}, 45351.0 + 86399.0 / 86400.0, "2024-02-29 23:59:59"},
    };
    for (const TCase& C : Cases) {
        TDateTime D = -1;
        ASSERT_TRUE(EncodeDateTime(C.Time, D)) << C.Text;
        EXPECT_NEAR(D, C.Days, 1e-9) << C.Text;
        EXPECT_EQ(FormatDateTimeIso(D), C.Text);
    }
    TDateTime Ignored;
    EXPECT_FALSE(EncodeDateTime({2023, 2, 0, 29, 0, 0, 0, 0}, Ignored));
    EXPECT_FALSE(EncodeDateTime({2023, 13, 0, 1, 0, 0, 0, 0}, Ignored));
    EXPECT_FALSE(EncodeDateTime({2023, 1, 0, 1, 24, 0, 0, 0}, Ignored));
}

TEST(DateTime, ParsesTheThreeHttpDateForms) {
    for (const char* Text :
         {"Sun, 06 Nov 1994 08:49:37 GMT", "Sunday, 06-Nov-94 08:49:37 GMT", "Sun Nov  6 08:49:37 1994"}) {
        TSystemTime T;
        ASSERT_TRUE(ParseHttpDate(Text, T)) << Text;
        EXPECT_EQ(T.Year, 1994);
        EXPECT_EQ(T.Month, 11);
        EXPECT_EQ(T.Day, 6);
        EXPECT_EQ(T.Hour, 8);
        EXPECT_EQ(T.Minute, 49);
        EXPECT_EQ(T.Second, 37);
        EXPECT_EQ(T.DayOfWeek, 0);
    }
    TSystemTime T;
    EXPECT_FALSE(ParseHttpDate("", T));
    EXPECT_FALSE(ParseHttpDate("yesterday", T));
    EXPECT_FALSE(ParseHttpDate("Sun, 31 Feb 1994 08:49:37 GMT", T));
}

TEST(DateTime, UnixTimeRoundTripAndTheFileTimeLimit) {
    const TDateTime D = UnixTimeToDateTime(784111777); // 1994-11-06 08:49:37
    EXPECT_EQ(FormatDateTimeIso(D), "1994-11-06 08:49:37");
    timespec Ts{};
    ASSERT_TRUE(DateTimeToUnixTime(D, Ts));
    EXPECT_EQ(Ts.tv_sec, 784111777);
    // Date 0 (1899) converts; anything before 1601 does not.
    EXPECT_TRUE(DateTimeToUnixTime(0, Ts));
    EXPECT_FALSE(DateTimeToUnixTime(-109206, Ts));
}
