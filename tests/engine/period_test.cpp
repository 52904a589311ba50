#include "engine/period.h"

#include <gtest/gtest.h>

#include <climits>

#include "engine/interval.h"
#include "engine/skipset.h"
#include "skip_rules.h"

namespace clx {
namespace {

using testing::D;

TEST(SafeEncodeDate, NormalisesAndRefuses) {
    struct { int y, m, d; TDateTime expected; } cases[] = {
        {2001, 13, 5, D(2002, 1, 5)},  {2001, 0, 5, D(2000, 12, 5)},   {2001, -12, 5, D(1999, 12, 5)},
        {2001, 25, 1, D(2003, 1, 1)},  {2001, 2, 29, D(2001, 2, 28)},  {2000, 2, 29, D(2000, 2, 29)},
        {2001, 14, 29, D(2002, 2, 28)}, {2001, 2, 30, 0},              {2001, 4, 0, 0},
        {0, 1, 1, 0},                  {-5, 1, 1, 0},                  {1, 0, 1, 0},
        {9999, 13, 1, 0},              {2001, INT_MAX, 1, 0},          {2001, INT_MIN, 1, 0},
    };
    for (const auto& c : cases) EXPECT_EQ(SafeEncodeDate(c.y, c.m, c.d), c.expected) << c.y << "/" << c.m << "/" << c.d;
}

TEST(AddMonths, ClipsToTheMonthsLength) {
    EXPECT_EQ(AddMonths(1, D(2001, 1, 31)), D(2001, 2, 28));
    EXPECT_EQ(AddMonths(1, D(2000, 1, 31)), D(2000, 2, 29));
    EXPECT_EQ(AddMonths(-1, D(2001, 3, 31)), D(2001, 2, 28));
    EXPECT_EQ(AddMonths(-14, D(2001, 3, 31)), D(2000, 1, 31));
    EXPECT_EQ(AddMonths(0, D(2001, 3, 31) + 0.5), D(2001, 3, 31) + 0.5);
    EXPECT_EQ(AddMonths(1, D(2001, 3, 31) + 0.5), D(2001, 4, 30));  // the time of day goes
    EXPECT_EQ(AddMonthsClip(15, 1, D(2001, 1, 31)), D(2001, 2, 15));
    EXPECT_EQ(AddMonthsClip(0, 1, D(2001, 1, 31)), 0);
    EXPECT_EQ(AddMonths(1, D(9999, 12, 1)), 0);
    EXPECT_EQ(AddMonths(1, 1e12), 0);
}

TEST(AddYears, WholeAndFractional) {
    EXPECT_EQ(AddYears(1, D(2000, 2, 29)), D(2001, 2, 28));
    EXPECT_EQ(AddYears(4, D(2000, 2, 29) + 0.25), D(2004, 2, 29));
    EXPECT_EQ(AddYears(1.5, D(2001, 1, 1) + 0.25), D(2001, 1, 1) + 0.25 + 547);
    EXPECT_EQ(AddYears(-0.5, D(2001, 1, 1)), D(2001, 1, 1) - 182);
    EXPECT_EQ(AddYears(0, D(2001, 1, 1) + 0.25), D(2001, 1, 1) + 0.25);
    EXPECT_EQ(AddYears(8000, D(2001, 1, 1)), 0);
    EXPECT_EQ(AddYears(1e300, D(2001, 1, 1)), 0);
}

TEST(AddPeriod, PlainCalendarArithmetic) {
    EXPECT_EQ(AddPeriod(D(2001, 1, 31), 0, 1, 0, false, nullptr, false, 0), D(2001, 2, 28));
    EXPECT_EQ(AddPeriod(D(2000, 2, 29), 1, 0, 0, false, nullptr, false, 0), D(2001, 2, 28));
    EXPECT_EQ(AddPeriod(D(2001, 1, 31), 0, 1, 1, false, nullptr, false, 0), D(2001, 3, 1));
    EXPECT_EQ(AddPeriod(D(2001, 3, 31), 0, 1, 0, true, nullptr, false, 0), D(2001, 2, 28));
    EXPECT_EQ(AddPeriod(D(2001, 3, 31), 0, 0, -10, true, nullptr, false, 0), D(2001, 4, 10));
    EXPECT_EQ(MathRowEnd(D(2001, 1, 1), 1, 1, 1, nullptr, false, 0), D(2002, 2, 2));
}

// A step that leaves the calendar gives the empty date, and later steps keep it empty;
// a step that legitimately lands on 30 December 1899 still goes on.
TEST(AddPeriod, StepsOutsideTheCalendarStayEmpty) {
    EXPECT_EQ(AddPeriod(D(9999, 12, 15), -1, 1, 0, false, nullptr, false, 0), 0);
    EXPECT_EQ(AddPeriod(D(9999, 12, 15), 1, 0, 0, false, nullptr, false, 0), 0);
    EXPECT_EQ(AddPeriod(D(1, 1, 15), 0, 1, 0, true, nullptr, false, 0), 0);
    EXPECT_EQ(AddPeriod(D(1899, 11, 30), 1, 1, 0, false, nullptr, false, 0), D(1900, 12, 30));
    EXPECT_EQ(AddPeriod(D(1898, 12, 30), 1, 0, 0, false, nullptr, false, 0), 0.0);
    EXPECT_EQ(AddPeriod(D(1898, 12, 30), 2, 0, 0, false, nullptr, false, 0), D(1900, 12, 30));
}

class WeekendPeriods : public ::testing::Test {
protected:
    void SetUp() override {
        testing::SkipWeekend(*s);
        s->active = true;
    }
    TDateTime Add(TDateTime d, int days, bool subtract = false, bool invert = false) {
        const TDateTime fast = AddPeriod(d, 0, 0, days, subtract, s.get(), invert, 0);
        EXPECT_EQ(fast, AddPeriodDayByDay(d, 0, 0, days, subtract, s.get(), invert, 0));
        return fast;
    }
    std::unique_ptr<SkipSet> s = CreateSkipSet(nullptr, "");
};

TEST_F(WeekendPeriods, MovesPastSkippedDays) {
    EXPECT_EQ(Add(D(2001, 3, 9), 1), D(2001, 3, 12));          // Friday + 1: Monday
    EXPECT_EQ(Add(D(2001, 3, 8), 3), D(2001, 3, 13));          // Thursday + 3: Tuesday
    EXPECT_EQ(Add(D(2001, 3, 12), 1, true), D(2001, 3, 9));    // Monday - 1: Friday
    EXPECT_EQ(Add(D(2001, 3, 9) + 0.5, 1), D(2001, 3, 12) + 0.5);
    EXPECT_EQ(Add(D(2001, 3, 9), 0), D(2001, 3, 9));           // a counted start stays
    EXPECT_EQ(Add(D(2001, 3, 10), 0), D(2001, 3, 12));         // a skipped start moves on
    EXPECT_EQ(Add(D(2001, 3, 10), 0, true), D(2001, 3, 9));
    // With invert only Saturdays and Sundays count: Monday + 3 named days is Saturday week.
    EXPECT_EQ(Add(D(2001, 3, 12), 3, false, true), D(2001, 3, 24));
}

TEST_F(WeekendPeriods, SingleHolidayMovesTheResult) {
    testing::AddDate(s->single, D(2001, 3, 12));
    EXPECT_EQ(Add(D(2001, 3, 9), 1), D(2001, 3, 13));
}

TEST_F(WeekendPeriods, NegativeDaysWithoutSubtractMoveLater) {
    // Wednesday - 5 lands on Friday before; the passes then run later, past the start, until
    // the span after the start holds the 5 days the plain span held (Thu, Fri, Mon, Tue, Wed).
    EXPECT_EQ(Add(D(2001, 3, 14), -5), D(2001, 3, 21));
}

TEST_F(WeekendPeriods, EverythingSkippedStopsAfterTheLastPass) {
    for (int w = 1; w <= 7; ++w) s->header.SetWeekday(w, true);
    EXPECT_EQ(Add(D(2001, 3, 1), 2), D(2001, 3, 1) + 2.0 * (kMaxPeriodPasses + 1));
    EXPECT_EQ(Add(D(2001, 3, 1), 2, true), D(2001, 3, 1) - 2.0 * (kMaxPeriodPasses + 1));
    s->header.Clear();   // with invert nothing is named
    EXPECT_EQ(Add(D(2001, 3, 1), 2, false, true), D(2001, 3, 1) + 2.0 * (kMaxPeriodPasses + 1));
}

TEST_F(WeekendPeriods, ResultsThatCannotBeCountedDoNotLoop) {
    EXPECT_EQ(AddPeriod(D(2001, 3, 1), 0, 0, 2000000000, false, s.get(), false, 0), D(2001, 3, 1) + 2e9);
    EXPECT_EQ(AddPeriod(D(2001, 3, 1), 0, 0, INT_MIN, true, s.get(), false, 0),
              AddPeriodDayByDay(D(2001, 3, 1), 0, 0, INT_MIN, true, s.get(), false, 0));
    // Beyond year 9999 nothing is skipped.
    EXPECT_EQ(Add(kMaxDateSerial - 6.0, 10), kMaxDateSerial + 5.0);   // from Saturday 25 December 9999
}

}  // namespace
}  // namespace clx
