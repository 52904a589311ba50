#include "engine/interval.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "engine/skipset.h"
#include "skip_rules.h"

namespace clx {
namespace {

using testing::D;

struct IntervalCase {
    const char* name;
    int method;
    TDateTime first, second;
    bool includeFirst, includeLast;
    int type;
    int32_t days;
    int64_t weeks, years;
};

class IntervalCases : public ::testing::TestWithParam<IntervalCase> {};

TEST_P(IntervalCases, CountsDaysWeeksYears) {
    const IntervalCase& c = GetParam();
    for (bool swapped : {false, true}) {  // later-first gives the same result
        const IntervalResult r = swapped ? IntervalCalc(c.method, c.second, c.first, c.includeFirst,
                                                        c.includeLast, c.type, 4, nullptr, false)
                                         : IntervalCalc(c.method, c.first, c.second, c.includeFirst,
                                                        c.includeLast, c.type, 4, nullptr, false);
        EXPECT_EQ(r.days, c.days) << c.name << (swapped ? " swapped" : "");
        EXPECT_EQ(r.weeks, c.weeks) << c.name << (swapped ? " swapped" : "");
        EXPECT_EQ(r.years, c.years) << c.name << (swapped ? " swapped" : "");
        EXPECT_EQ(r.skipped, 0);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Conventions, IntervalCases,
    ::testing::Values(
        IntervalCase{"January normal", cmNormal, D(2001, 1, 1), D(2001, 1, 31), true, true, 1, 31, 44000, 821},
        IntervalCase{"January actual/actual", cmActualActual, D(2001, 1, 1), D(2001, 1, 31), true, true, 1, 30,
                     42000, 821},
        IntervalCase{"US 30/360 from 31 Jan", cm30360US, D(2001, 1, 31), D(2001, 2, 28), true, true, 1, 28, 40000,
                     767},
        IntervalCase{"30E/360 from 31 Jan", cm30E360, D(2001, 1, 31), D(2001, 2, 28), true, true, 1, 28, 40000,
                     777},
        IntervalCase{"US 30/360 end of February", cm30360US, D(2001, 2, 28), D(2001, 3, 31), true, true, 1, 30,
                     42000, 821},
        IntervalCase{"30E/360 end of February", cm30E360, D(2001, 2, 28), D(2001, 3, 31), true, true, 1, 32,
                     45000, 888},
        IntervalCase{"same day", cmNormal, D(2001, 3, 1), D(2001, 3, 1), false, false, 1, 1, 1000, 27},
        IntervalCase{"same day type 2", cmNormal, D(2001, 3, 1), D(2001, 3, 1), true, false, 2, 1, 1000, 27},
        IntervalCase{"adjacent both excluded", cmNormal, D(2001, 3, 1), D(2001, 3, 2), false, false, 1, 0, 0, 0},
        IntervalCase{"adjacent both excluded actual/365", cmActual365, D(2001, 3, 1), D(2001, 3, 2), false, false,
                     1, 1, 1000, 27},
        IntervalCase{"adjacent last included", cmNormal, D(2001, 3, 1), D(2001, 3, 2), false, true, 1, 1, 1000, 0},
        IntervalCase{"anniversary", cmNormal, D(2000, 1, 1), D(2001, 1, 1), true, true, 1, 367, 524000, 10000},
        IntervalCase{"late February across years", cmNormal, D(2000, 2, 29), D(2004, 2, 28), true, true, 0, 1461,
                     2087000, 40000},
        IntervalCase{"13 days are 1.8 weeks", cmNormal, D(2001, 5, 1), D(2001, 5, 13), true, true, 4, 13, 18000,
                     333},
        IntervalCase{"actual/360", cmActual360, D(2001, 1, 1), D(2001, 12, 31), true, true, 3, 364, 520000,
                     10111}));

TEST(IntervalCalc, SkipsWeekendAndInverts) {
    auto s = CreateSkipSet(nullptr, "dd/mm/yyyy");
    testing::SkipWeekend(*s);
    s->active = true;
    const IntervalResult plain = IntervalCalc(cmNormal, D(2001, 3, 5), D(2001, 3, 11), true, true, 1, 4, s.get(), false);
    EXPECT_EQ(plain.days, 5);
    EXPECT_EQ(plain.skipped, 2);
    EXPECT_EQ(plain.weeks, 7000);
    EXPECT_EQ(plain.years, 137);  // 5 / 365.25: the counted days are divided
    const IntervalResult inverted = IntervalCalc(cmNormal, D(2001, 3, 5), D(2001, 3, 11), true, true, 1, 4, s.get(), true);
    EXPECT_EQ(inverted.days, 2);
    EXPECT_EQ(inverted.skipped, 5);

    // An inactive set and a financial method do not skip.
    EXPECT_EQ(IntervalCalc(cmActual365, D(2001, 3, 5), D(2001, 3, 11), true, true, 1, 4, s.get(), false).days, 6);
    s->active = false;
    EXPECT_EQ(IntervalCalc(cmNormal, D(2001, 3, 5), D(2001, 3, 11), true, true, 1, 4, s.get(), false).days, 7);
}

TEST(IntervalCalc, SameDayWithSkipSetCountsTheDayItself) {
    auto s = CreateSkipSet(nullptr, "");
    testing::SkipWeekend(*s);
    s->active = true;
    EXPECT_EQ(IntervalCalc(cmNormal, D(2001, 3, 10), D(2001, 3, 10), false, false, 1, 4, s.get(), false).days, 0);
    EXPECT_EQ(IntervalCalc(cmNormal, D(2001, 3, 9), D(2001, 3, 9), false, false, 1, 4, s.get(), false).days, 1);
}

TEST(IntervalCalc, YearsDecimalsCutTheFinancialYears) {
    // 30 / 365 = 0.0821917...: four decimals keep 0.0821, five 0.08219 (stored 821.9 -> 822).
    EXPECT_EQ(IntervalCalc(cmActual365, D(2001, 1, 1), D(2001, 1, 31), true, true, 1, 4, nullptr, false).years, 821);
    EXPECT_EQ(IntervalCalc(cmActual365, D(2001, 1, 1), D(2001, 1, 31), true, true, 1, 5, nullptr, false).years, 822);
}

TEST(IntervalCalc, DatesThatCannotBeCountedGiveZeros) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    for (TDateTime bad : {nan, std::numeric_limits<double>::infinity(), 5e9, -5e9}) {
        EXPECT_EQ(IntervalCalc(cmNormal, bad, D(2001, 1, 1), true, true, 0, 4, nullptr, false), IntervalResult{});
        EXPECT_EQ(BasicInterval(D(2001, 1, 1), bad, true, true, 0), IntervalResult{});
    }
    // Beyond the calendar the days still count; 30/360 needs calendar dates.
    const IntervalResult far = IntervalCalc(cmNormal, kMaxDateSerial - 1, kMaxDateSerial + 10.0, true, true, 0, 4, nullptr, false);
    EXPECT_EQ(far.days, 12);
    EXPECT_EQ(far.years, RoundHalfEven(11 / 365.25 * 10000));
    const IntervalResult fin = IntervalCalc(cm30360US, kMaxDateSerial - 1, kMaxDateSerial + 10.0, true, true, 0, 4, nullptr, false);
    EXPECT_EQ(fin.days, 0);
    EXPECT_EQ(fin.effectiveEnd, kMaxDateSerial + 10.0);
}

TEST(IntervalCalc, UnknownMethodCountsNothing) {
    const IntervalResult r = IntervalCalc(9, D(2001, 1, 1), D(2001, 1, 31), true, true, 1, 4, nullptr, false);
    EXPECT_EQ(r.days, 0);
    EXPECT_EQ(r.effectiveEnd, D(2001, 1, 31));
}

TEST(DaysPerYear, AveragesTheYearsSpanned) {
    EXPECT_DOUBLE_EQ(DaysPerYear(0, D(2000, 1, 1), D(2003, 12, 31)), 365.25);
    EXPECT_DOUBLE_EQ(DaysPerYear(0, D(2003, 12, 31), D(2000, 1, 1)), 365.25);
    EXPECT_DOUBLE_EQ(DaysPerYear(0, D(2000, 3, 1), D(2000, 3, 5)), 366);
    EXPECT_DOUBLE_EQ(DaysPerYear(0, D(2100, 1, 1), D(2100, 12, 31)), 365);   // 2100 is no leap year
    EXPECT_DOUBLE_EQ(DaysPerYear(0, D(1900, 1, 1), D(1901, 12, 31)), 365.25);  // before day 1000
    EXPECT_DOUBLE_EQ(DaysPerYear(0, D(2000, 1, 1), D(2100, 1, 1)), (101 * 365 + 25) / 101.0);
    EXPECT_DOUBLE_EQ(DaysPerYear(0, 1000, D(2001, 1, 1)), 365.25);          // on day 1000: fallback
    EXPECT_DOUBLE_EQ(DaysPerYear(0, 1001, 1001), 365);                      // 27 September 1902
    EXPECT_DOUBLE_EQ(DaysPerYear(2, 0, 0), 366);
    EXPECT_DOUBLE_EQ(DaysPerYear(3, 0, 0), 365);
    EXPECT_DOUBLE_EQ(DaysPerYear(4, 0, 0), 360);
    for (int y = 1903; y <= kMaxYear; ++y) {   // the year of both ends, at both ends of each year
        ASSERT_EQ(DaysPerYear(0, D(y, 1, 1), D(y, 12, 31)), DaysInYear(y)) << y;
        ASSERT_EQ(DaysPerYear(0, D(y, 2, 28) + 0.5, D(y, 3, 1)), DaysInYear(y)) << y;
    }
    EXPECT_EQ(DaysInYear(2000), 366);
    EXPECT_EQ(DaysInYear(2100), 365);
}

TEST(Weeks, MatchTheTextualCut) {
    // Weeks are computed by integer arithmetic; they must equal the cut of days / 7 to one decimal.
    for (int32_t days = 1; days < 400000; days += (days < 20000 ? 1 : 97)) {
        const IntervalResult r = BasicInterval(0, days - 1, true, true, 1);
        ASSERT_EQ(r.weeks, RoundHalfEven(TruncDecimals(days / 7.0, 1) * 10000.0)) << days;
    }
}

TEST(RoundHalfEven, TiesGoToEven) {
    EXPECT_EQ(RoundHalfEven(0.5), 0);
    EXPECT_EQ(RoundHalfEven(1.5), 2);
    EXPECT_EQ(RoundHalfEven(2.5), 2);
    EXPECT_EQ(RoundHalfEven(-2.5), -2);
    EXPECT_EQ(RoundHalfEven(2.5000001), 3);
    EXPECT_EQ(RoundHalfEven(-1.2), -1);
}

struct TextCase {
    double value;
    int n;
    const char* number;
    const char* decimal;
};

TEST(NumberText, CutsWithTheLocaleSeparator) {
    Locale dot;
    Locale comma;
    comma.decimalSeparator = ',';
    const TextCase cases[] = {
        {1.0 / 7, 4, "0.1428", "0.1428"},  {1.0 / 7, 0, "0.", "0."},         {1.0 / 7, -3, "0.142", "0.142"},
        {1.8000001, -2, "1.8", "1.8"},     {2.0000001, -2, "2", "2"},         {2.5, 4, "2.5", "2.5000"},
        {7, 2, "7", "7.00"},               {-0.99999, 2, "-0.99", "-0.99"},   {0.1 + 0.2, 20, "0.3", "0.30000000000000000000"},
        {0.00001, 4, "1E-5", "1E-5"},      {1.5e20, 2, "1.5E20", "1.5E20"},   {0.0, 2, "0", "0.00"},
        {-0.0, 1, "0", "0.0"},             {123456.789, 1, "123456.7", "123456.7"},
    };
    for (const TextCase& c : cases) {
        EXPECT_EQ(NumberText(c.value, c.n, dot), c.number) << c.value << " n=" << c.n;
        EXPECT_EQ(DecimalText(c.value, c.n, dot), c.decimal) << c.value << " n=" << c.n;
        std::string commaNumber = c.number, commaDecimal = c.decimal;
        for (auto* s : {&commaNumber, &commaDecimal})
            for (char& ch : *s)
                if (ch == '.') ch = ',';
        EXPECT_EQ(NumberText(c.value, c.n, comma), commaNumber);
        EXPECT_EQ(DecimalText(c.value, c.n, comma), commaDecimal);
    }
    EXPECT_EQ(NumberText(std::numeric_limits<double>::quiet_NaN(), 2, dot), "0");
    EXPECT_EQ(NumberText(-std::numeric_limits<double>::infinity(), 2, dot), "0");
}

TEST(TruncDecimals, CutsNeverRounds) {
    EXPECT_DOUBLE_EQ(TruncDecimals(30.0 / 365, 4), 0.0821);
    EXPECT_DOUBLE_EQ(TruncDecimals(0.99999, 2), 0.99);
    EXPECT_DOUBLE_EQ(TruncDecimals(-1.87, 1), -1.8);
    EXPECT_DOUBLE_EQ(TruncDecimals(1.87, 0), 1.87);
    EXPECT_DOUBLE_EQ(TruncDecimals(1.87, -1), 1.87);
    EXPECT_DOUBLE_EQ(TruncDecimals(0.00001234, 2), 0.00001234);  // exponent text: unchanged
    EXPECT_DOUBLE_EQ(TruncDecimals(1.0 / 3, 30), 0.333333333333333);  // 15 significant digits
    EXPECT_EQ(TruncDecimals(std::numeric_limits<double>::quiet_NaN(), 2), 0);
}

}  // namespace
}  // namespace clx
