#include "engine/intervalrow.h"

#include <gtest/gtest.h>

#include <cmath>

#include "engine/skipset.h"

using namespace clx;

namespace {

TDateTime D(int y, int m, int d) { return EncodeDate(y, m, d); }

IntervalRowInput Row(TDateTime from, TDateTime to, bool inclFirst, bool inclLast, int method = cmNormal) {
    IntervalRowInput in;
    in.dFrom = from;
    in.dTo = to;
    in.includeFirst = inclFirst;
    in.includeLast = inclLast;
    in.method = method;
    in.daysPerYearType = 1;
    return in;
}

std::unique_ptr<SkipSet> WeekendSet() {
    auto set = CreateSkipSet(std::make_shared<SkipFileRef>(), "dd/mm/yyyy");
    set->header.SetWeekday(1, true);
    set->header.SetWeekday(7, true);
    set->active = true;
    return set;
}

}  // namespace

TEST(IntervalRow, RowsAndTheirTexts) {
    const auto weekends = WeekendSet();
    IntervalRowInput inverted = Row(D(2001, 3, 5), D(2001, 3, 11), true, true);
    inverted.skip = weekends.get();
    inverted.invert = true;
    IntervalRowInput oneSkipped = Row(D(2001, 3, 9), D(2001, 3, 10), true, true);
    oneSkipped.skip = weekends.get();

    struct Case { const char* name; IntervalRowInput in; int days; const char* comments, *sentence; };
    const Case cases[] = {
        {"a month, both days", Row(D(2001, 1, 1), D(2001, 1, 31), true, true), 31, "Inclusive",
         "From Monday 1 January 2001 until Wednesday 31 January 2001 is 31 days or 4.4 weeks or 0.082 years "
         "inclusive using normal method."},
        {"a new row's week", Row(D(2001, 3, 5), D(2001, 3, 12), true, false), 7, "Inclusive",
         "From Monday 5 March 2001 until Sunday 11 March 2001 is 7 days or 1 week or 0.016 years inclusive "
         "using normal method."},
        {"the same day whatever the flags", Row(D(2001, 3, 5), D(2001, 3, 5), false, false), 1, "Inclusive",
         "From Monday 5 March 2001 until Monday 5 March 2001 is 1 day or 0.1 weeks or 0.002 years inclusive "
         "using normal method."},
        {"dates given later first", Row(D(2001, 3, 12), D(2001, 3, 5), false, true), 7, "Inclusive",
         "From Tuesday 6 March 2001 until Monday 12 March 2001 is 7 days or 1 week or 0.016 years inclusive "
         "using normal method."},
        {"adjacent days both excluded", Row(D(2001, 3, 1), D(2001, 3, 2), false, false), 0, "Inclusive",
         "From Friday 2 March 2001 until Thursday 1 March 2001 is 0 days or 0 weeks or 0 years inclusive "
         "using normal method."},
        {"a whole year", Row(D(2000, 1, 1), D(2001, 1, 1), true, true), 367, "Inclusive",
         "From Saturday 1 January 2000 until Monday 1 January 2001 is 367 days or 52.4 weeks or 1 year "
         "inclusive using normal method."},
        {"financial method", Row(D(2001, 1, 1), D(2001, 1, 31), true, true, cmActual365), 30, "Inclusive",
         "From Monday 1 January 2001 until Wednesday 31 January 2001 is 30 days or 4.2 weeks or 0.082 years "
         "inclusive using Financial - Actual/365 method."},
        {"weekends only", inverted, 2, "5 days skipped",
         "From Monday 5 March 2001 until Sunday 11 March 2001 is 2 days or 0.2 weeks or 0.005 years inclusive "
         "using normal method - however 5 days were skipped. There would have been 7 days if none were skipped."},
        {"one day skipped", oneSkipped, 1, "1 day skipped",
         "From Friday 9 March 2001 until Saturday 10 March 2001 is 1 day or 0.1 weeks or 0.002 years inclusive "
         "using normal method - however 1 day were skipped. There would have been 2 days if none were skipped."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const IntervalRowValues v = CalcIntervalRow(c.in, Locale::Default());
        ASSERT_TRUE(v.days);
        EXPECT_EQ(*v.days, c.days);
        EXPECT_EQ(v.comments, c.comments);
        EXPECT_EQ(v.commentsPlus, c.sentence);
    }
}

TEST(IntervalRow, FieldValues) {
    IntervalRowValues v = CalcIntervalRow(Row(D(2001, 1, 1), D(2001, 1, 31), true, true), Locale::Default());
    EXPECT_EQ(v.dFromI, D(2001, 1, 1));
    EXPECT_EQ(v.dToI, D(2001, 1, 31));
    EXPECT_DOUBLE_EQ(*v.weeks, 4.4);
    EXPECT_DOUBLE_EQ(*v.years, 0.0821);
    EXPECT_EQ(v.weeksText, "4.4 weeks");
    EXPECT_EQ(v.yearsText, "0.082 years");

    // No day left: zero weeks and a null year.
    v = CalcIntervalRow(Row(D(2001, 3, 1), D(2001, 3, 2), false, false), Locale::Default());
    EXPECT_EQ(v.weeks, 0.0);
    EXPECT_FALSE(v.years);
    EXPECT_EQ(v.dFromI, D(2001, 3, 2));
    EXPECT_EQ(v.dToI, D(2001, 3, 1));
}

TEST(IntervalRow, IncompleteData) {
    struct Case { TDateTime from, to; std::optional<TDateTime> fromI, toI; };
    const Case cases[] = {
        {D(2001, 1, 1), 0, D(2001, 1, 1), std::nullopt},
        {0, D(2001, 1, 1), std::nullopt, D(2001, 1, 1)},
        {D(1599, 12, 31), 0, std::nullopt, std::nullopt},   // not after 1 January 1600
        {D(1600, 1, 1), 0, std::nullopt, std::nullopt},
        {std::nan(""), D(2001, 1, 1), std::nullopt, D(2001, 1, 1)},   // not a date at all
        {D(2001, 1, 1), 1e12, D(2001, 1, 1), std::nullopt},
    };
    for (const auto& c : cases) {
        const IntervalRowValues v = CalcIntervalRow(Row(c.from, c.to, true, false), Locale::Default());
        EXPECT_EQ(v.comments, "Incomplete Data");
        EXPECT_EQ(v.commentsPlus, "Incomplete Data");
        EXPECT_EQ(v.dFromI, c.fromI);
        EXPECT_EQ(v.dToI, c.toI);
        EXPECT_FALSE(v.days);
        EXPECT_FALSE(v.weeks);
        EXPECT_FALSE(v.years);
    }
}

TEST(IntervalRow, WeeksYearsAndMethodTexts) {
    const Locale en = Locale::Default();
    Locale de = en;
    de.decimalSeparator = ',';
    struct Case { int64_t weeks; const char* text; };
    for (const Case& c : {Case{10000, "1 week"}, Case{20000, "2 weeks"}, Case{0, "0 weeks"},
                          Case{44000, "4.4 weeks"}, Case{1000, "0.1 weeks"}, Case{1234567890, "123456.78 weeks"}})
        EXPECT_EQ(IntervalWeeksText(c.weeks, en), c.text);
    for (const Case& c : {Case{10000, "1 year"}, Case{30000, "3 years"}, Case{0, "0 years"},
                          Case{821, "0.082 years"}, Case{19999, "1.999 years"}, Case{-5000, "-0.5 years"}})
        EXPECT_EQ(IntervalYearsText(c.weeks, en), c.text);
    EXPECT_EQ(IntervalWeeksText(44000, de), "4,4 weeks");
    EXPECT_EQ(IntervalYearsText(821, de), "0,082 years");

    const char* methods[] = {" using normal method", " using Financial - US (NASD) method",
                             " using Financial - Actual/actual method", " using Financial - Actual/360 method",
                             " using Financial - Actual/365 method", " using Financial - European 30/360 method"};
    for (int m = 0; m < 6; ++m) EXPECT_EQ(IntervalMethodText(m), methods[m]);
    EXPECT_THROW(CalcIntervalRow(Row(D(2001, 1, 1), D(2001, 1, 2), true, true, 6), en), std::invalid_argument);
}
