#include "engine/julian.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

using namespace clx;

namespace {
TDateTime D(int y, int m, int d) { return EncodeDate(y, m, d); }
TDateTime T(int h, int n, int s) { return EncodeTime(h, n, s); }
}  // namespace

TEST(JulianDate, FromGregorianDateAndTime) {
    struct Case { TDateTime date, time; double jd; };
    const Case cases[] = {
        {D(2000, 1, 1), T(12, 0, 0), 2451545.0},
        {D(2000, 1, 1), T(0, 0, 0), 2451544.5},
        {D(1899, 12, 30), T(12, 0, 0), 2415019.0},
        {D(1600, 1, 1), T(0, 0, 0), 2305447.5},
        {D(1957, 10, 4), T(19, 26, 24), 2436116.31},   // Meeus, example 7.a
        {D(1987, 6, 19), T(12, 0, 0), 2446966.0},
        {D(1582, 10, 15), T(0, 0, 0), 2299160.5},      // first Gregorian day
        {D(1582, 10, 4), T(0, 0, 0), 2299159.5},       // read as a Julian calendar date
        {D(3999, 12, 31), T(23, 59, 59), 3182029.5 - 1.0 / 86400},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.jd);
        EXPECT_NEAR(GregorianToJulianDate(c.date, c.time), c.jd, 1e-7);
    }
    EXPECT_EQ(SecondsOfTime(25, 1, 1), 3661);
    EXPECT_EQ(SecondsOfTime(0, 0, -1), 86399);
}

TEST(JulianDate, ToGregorianDateAndTime) {
    struct Case { double jd; TDateTime date, time; };
    const Case cases[] = {
        {2451545.0, D(2000, 1, 1), T(12, 0, 0)},
        {2451545.75, D(2000, 1, 2), T(6, 0, 0)},
        {2451545.25, D(2000, 1, 1), T(18, 0, 0)},
        {2451544.5, D(2000, 1, 1), T(0, 0, 0)},
        {2415019.0, D(1899, 12, 30), T(12, 0, 0)},
        {2305447.5, D(1600, 1, 1), T(0, 0, 0)},
        {3182029.25, D(3999, 12, 31), T(18, 0, 0)},   // the whole last day is accepted
        {2451545.1, D(2000, 1, 1), T(14, 24, 0)},      // binary noise does not reach the result
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.jd);
        const GregorianDateTime g = JulianToGregorian(c.jd);
        EXPECT_EQ(g.date, c.date);
        EXPECT_NEAR(g.time, c.time, 1e-12);
    }
}

TEST(JulianDate, OutsideTheRangeIsABadDate) {
    for (double jd : {2305447.4, 2305447.4999, 3182029.5, 4e6, -1.0, std::nan(""), double(INFINITY)}) {
        SCOPED_TRACE(jd);
        EXPECT_FALSE(TryJulianToGregorian(jd));
        try {
            JulianToGregorian(jd);
            ADD_FAILURE() << "no error";
        } catch (const JulianDateError& e) {
            EXPECT_STREQ(e.what(), "Bad Date!");
        }
    }
    EXPECT_EQ(JulianDayNumber(2305447.5), 0);
    EXPECT_EQ(JulianDayNumber(3182029.4), kJulianLastDayNumber + 1);   // rounds into 1 January 4000
}

TEST(JulianDate, RoundTripsToTheSecond) {
    std::mt19937 rng(1753);
    std::uniform_int_distribution<int> day(WholeDays(D(1600, 1, 1)), WholeDays(D(3999, 12, 31)));
    std::uniform_int_distribution<int> sec(0, 86399);
    for (int i = 0; i < 2000; ++i) {
        const TDateTime date = day(rng);
        const int s = sec(rng);
        const TDateTime time = T(s / 3600, s / 60 % 60, s % 60);
        const GregorianDateTime g = JulianToGregorian(GregorianToJulianDate(date, time));
        ASSERT_EQ(g.date, date);
        ASSERT_EQ(DecodeTime(g.time), DecodeTime(time));
    }
}

TEST(JulianDate, GregorianNoteBefore1753) {
    EXPECT_TRUE(NeedsGregorianNote(D(1752, 12, 31)));
    EXPECT_FALSE(NeedsGregorianNote(D(1753, 1, 1)));
}

TEST(EasterTable, Texts) {
    const Locale loc = Locale::Default();
    EXPECT_EQ(EasterTableText(2024, 3, "dd/mm/yyyy", loc),
              "Easter Sunday\r\n31/03/2024, 20/04/2025, 05/04/2026, ");
    EXPECT_EQ(EasterTableText(2024, 0, "dd/mm/yyyy", loc), "Easter Sunday\r\n");
    EXPECT_EQ(EasterTableText(2000, 10, "yyyy-mm-dd", loc),
              "Easter Sunday\r\n"
              "2000-04-23, 2001-04-15, 2002-03-31, 2003-04-20, 2004-04-11\r\n"
              "2005-03-27, 2006-04-16, 2007-04-08, 2008-03-23, 2009-04-12\r\n");
    // Before 1753 the Julian computus differs from the Gregorian one.
    EXPECT_EQ(EasterTableText(1700, 1, "dd/mm/yyyy", loc),
              "Easter Sunday\r\n31/03/1700(ecclesiastic) | 11/04/1700(astronomic), ");
    // Before 1600 there is no Gregorian date to compare with.
    EXPECT_EQ(EasterTableText(1500, 1, "dd/mm/yyyy", loc), "Easter Sunday\r\n19/04/1500, ");
    EXPECT_THROW(EasterTableText(9999, 2, "dd/mm/yyyy", loc), std::invalid_argument);
    EXPECT_THROW(EasterTableText(0, 1, "dd/mm/yyyy", loc), std::invalid_argument);

    EXPECT_EQ(EasterBoxText("Easter Sunday\r\n", kFactoryEasterClipText),
              std::string("Easter Sunday\r\n\r\n\r\n") + kFactoryEasterClipText);
    EXPECT_EQ(EasterBoxText("Easter Sunday\r\n", ""), "Easter Sunday\r\n\r\n\r\n");
}
