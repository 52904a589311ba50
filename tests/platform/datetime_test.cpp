#include "platform/datetime.h"

#include <gtest/gtest.h>

using namespace clx;

TEST(Calendar, KnownSerialsAndWeekdays) {
    struct Case { int y, m, d; double serial; int weekday; };
    const Case cases[] = {
        {1899, 12, 30, 0, 7},     {1899, 12, 31, 1, 1},  {1900, 1, 1, 2, 2},
        {2000, 1, 1, 36526, 7},   {1, 1, 1, -693593, 2}, {9999, 12, 31, 2958465, 6},
        {1752, 9, 14, -53797, 5}, {2024, 2, 29, 45351, 5},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.y << "-" << c.m << "-" << c.d);
        EXPECT_EQ(EncodeDate(c.y, c.m, c.d), c.serial);
        EXPECT_EQ(DecodeDate(c.serial), (CivilDate{c.y, c.m, c.d}));
        EXPECT_EQ(DayOfWeek(c.serial), c.weekday);
    }
}

TEST(Calendar, RoundTripsEveryDayOfTheRange) {
    int32_t serial = kMinDateSerial;
    int prevWeekday = DayOfWeek(serial) - 1;
    for (int y = kMinYear; y <= kMaxYear; ++y)
        for (int m = 1; m <= 12; ++m)
            for (int d = 1; d <= DaysInMonth(y, m); ++d, ++serial) {
                ASSERT_EQ(EncodeDate(y, m, d), serial);
                ASSERT_EQ(DecodeDate(serial), (CivilDate{y, m, d}));
                ASSERT_EQ(DayOfWeek(serial), prevWeekday % 7 + 1);
                prevWeekday = DayOfWeek(serial);
            }
    EXPECT_EQ(serial - 1, kMaxDateSerial);
}

TEST(Calendar, LeapRulesAndInvalidDates) {
    EXPECT_TRUE(IsLeapYear(2000));
    EXPECT_FALSE(IsLeapYear(1900));
    EXPECT_TRUE(IsLeapYear(2024));
    EXPECT_FALSE(IsLeapYear(2023));
    EXPECT_EQ(DaysInMonth(1900, 2), 28);
    EXPECT_EQ(DaysInMonth(2000, 2), 29);
    EXPECT_EQ(DaysInMonth(2000, 13), 0);
    EXPECT_FALSE(TryEncodeDate(2023, 2, 29));
    EXPECT_FALSE(TryEncodeDate(0, 1, 1));
    EXPECT_FALSE(TryEncodeDate(10000, 1, 1));
    EXPECT_THROW(EncodeDate(2023, 4, 31), ConvertError);
    EXPECT_THROW(DecodeDate(kMaxDateSerial + 1), ConvertError);
}

TEST(Calendar, TimesAndTruncation) {
    EXPECT_EQ(WholeDays(-1.25), -1);
    EXPECT_EQ(WholeDays(2.99), 2);
    EXPECT_EQ(DecodeTime(-1.25), (TimeOfDay{6, 0, 0, 0}));
    EXPECT_EQ(DecodeTime(EncodeTime(23, 59, 59, 999)), (TimeOfDay{23, 59, 59, 999}));
    EXPECT_EQ(ComposeDateTime(-1, 0.25), -1.25);
    EXPECT_EQ(ComposeDateTime(5, 0.5), 5.5);
    EXPECT_FALSE(TryEncodeTime(24, 0, 0));
    EXPECT_EQ(DecodeDate(-1.25), (CivilDate{1899, 12, 29}));
}
