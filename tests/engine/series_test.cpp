#include "engine/series.h"

#include <gtest/gtest.h>

#include <cmath>

#include <random>

#include "engine/period.h"
#include "engine/skipset.h"

using namespace clx;

namespace {

TDateTime D(int y, int m, int d) { return EncodeDate(y, m, d); }

std::string Text(const std::vector<TDateTime>& dates) {
    std::string s;
    for (TDateTime d : dates) {
        const CivilDate c = DecodeDate(d);
        char buf[16];
        std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", c.year, c.month, c.day);
        if (!s.empty()) s += ' ';
        s += buf;
    }
    return s;
}

std::unique_ptr<SkipSet> WeekendSet(bool invert = false) {
    auto set = CreateSkipSet(std::make_shared<SkipFileRef>(SkipFileRef{invert, "weekends.skx"}), "dd/mm/yyyy");
    set->header.SetWeekday(1, true);
    set->header.SetWeekday(7, true);
    set->active = true;
    return set;
}

void AddDateRow(MemTable& t, TDateTime d) {
    t.Append();
    t.FieldByName("Date").SetDateTime(d);
    t.FieldByName("Use").SetBoolean(true);
    t.Post();
}

SeriesRequest Span(TFrequency f, int units, TDateTime first, TDateTime last, TDateTime synch = 0) {
    SeriesRequest r;
    r.style = kSeriesSpan;
    r.frequency = f;
    r.units = units;
    r.firstDate = first;
    r.finalDate = last;
    r.synchDate = synch;
    return r;
}

SeriesRequest Repeats(TFrequency f, int units, TDateTime first, int count, TDateTime synch = 0) {
    SeriesRequest r;
    r.style = kSeriesRepeats;
    r.frequency = f;
    r.units = units;
    r.firstDate = first;
    r.repeatCount = count;
    r.synchDate = synch;
    return r;
}

SeriesRequest Always(SeriesRequest r, bool first, bool last) {
    r.alwaysFirst = first;
    r.alwaysLast = last;
    return r;
}

}  // namespace

TEST(Frequency, EnglishTextsInValueOrder) {
    const std::vector<std::string> expected{
        "None", "Day(s) apart", "Week(s) apart", "Month(s) apart", "Year(s) apart",
        "End of each Calendar Month", "End of Mar,Jun,Sep,Dec", "End of Feb,Apr,Jun,Aug,Oct,Dec",
        "June 30, December 31", "December 31", "June 30",
    };
    EXPECT_EQ(FrequencyTexts(Locale::Default()), expected);
}

TEST(Frequency, TextsFollowTheMonthNamesAndStayWithin48Characters) {
    Locale de;
    de.shortMonthNames = {"Jan", "Feb", "Mär", "Apr", "Mai", "Jun", "Jul", "Aug", "Sep", "Okt", "Nov", "Dez"};
    de.longMonthNames = {"Januar", "Februar", "März",     "April",   "Mai",      "Juni",
                         "Juli",   "August",  "September", "Oktober", "November", "Dezember"};
    auto t = FrequencyTexts(de);
    EXPECT_EQ(t[6], "End of Mär,Jun,Sep,Dez");
    EXPECT_EQ(t[7], "End of Feb,Apr,Jun,Aug,Okt,Dez");
    EXPECT_EQ(t[8], "Juni 30, Dezember 31");
    EXPECT_EQ(t[9], "Dezember 31");
    EXPECT_EQ(t[10], "Juni 30");

    Locale wide;
    for (auto& m : wide.longMonthNames) m = "Ümlautmonatsnamemitvielenbuchstaben";   // 35 letters
    t = FrequencyTexts(wide);
    EXPECT_EQ(t[8], "Ümlautmonatsnamemitvielenbuchstaben 30, Ümlautmo");   // 48 characters, not bytes
    EXPECT_EQ(t[9], "Ümlautmonatsnamemitvielenbuchstaben 31");
}

TEST(SeriesAnchors, EndOfPeriods) {
    struct Case { TDateTime date, calMonth, qtr, biMonth, halfYr, calYear, finYear; };
    const Case cases[] = {
        {D(2004, 1, 15), D(2004, 1, 31), D(2004, 3, 31), D(2004, 2, 29), D(2004, 6, 30), D(2004, 12, 31), D(2004, 6, 30)},
        {D(2004, 2, 1), D(2004, 2, 29), D(2004, 3, 31), D(2004, 2, 29), D(2004, 6, 30), D(2004, 12, 31), D(2004, 6, 30)},
        {D(2003, 3, 31), D(2003, 3, 31), D(2003, 3, 31), D(2003, 4, 30), D(2003, 6, 30), D(2003, 12, 31), D(2003, 6, 30)},
        {D(2004, 6, 30), D(2004, 6, 30), D(2004, 6, 30), D(2004, 6, 30), D(2004, 6, 30), D(2004, 12, 31), D(2004, 6, 30)},
        {D(2004, 7, 1), D(2004, 7, 31), D(2004, 9, 30), D(2004, 8, 31), D(2004, 12, 31), D(2004, 12, 31), D(2005, 6, 30)},
        {D(2004, 11, 2) + 0.75, D(2004, 11, 30), D(2004, 12, 31), D(2004, 12, 31), D(2004, 12, 31), D(2004, 12, 31), D(2005, 6, 30)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Text({c.date}));
        EXPECT_EQ(EndCalMonth(c.date), c.calMonth);
        EXPECT_EQ(EndQtr(c.date), c.qtr);
        EXPECT_EQ(EndBiMonth(c.date), c.biMonth);
        EXPECT_EQ(EndHalfYr(c.date), c.halfYr);
        EXPECT_EQ(EndCalYear(c.date), c.calYear);
        EXPECT_EQ(EndFinYear(c.date), c.finYear);
    }
}

TEST(QdkAddFrequency, StepsOfEachFrequency) {
    struct Case { TFrequency f; int n; TDateTime date, anchor, expected; };
    const Case cases[] = {
        {fqNDay, 3, D(2001, 3, 9), 0, D(2001, 3, 12)},
        {fqNDay, -3, D(2001, 3, 9), 0, D(2001, 3, 6)},
        {fqNWeek, 2, D(2004, 1, 16), 0, D(2004, 1, 30)},
        {fqNMonth, 1, D(2004, 1, 31), 0, D(2004, 2, 29)},
        {fqNMonth, 1, D(2004, 2, 29), D(2004, 1, 31), D(2004, 3, 31)},   // the anchor's day comes back
        {fqNMonth, -1, D(2004, 3, 31), 0, D(2004, 2, 29)},
        {fqNMonth, 0, D(2004, 2, 10) + 0.5, D(2004, 1, 31), D(2004, 2, 10) + 0.5},   // the date itself
        {fqNYear, 1, D(2004, 2, 29), 0, D(2005, 2, 28)},
        {fqNYear, 4, D(2004, 2, 29), 0, D(2008, 2, 29)},
        {fqCalMonth, 1, D(2004, 1, 31), 0, D(2004, 2, 29)},
        {fqCalMonth, 0, D(2004, 2, 3), 0, D(2004, 2, 29)},
        {fqQuarter, 0, D(2004, 5, 15), 0, D(2004, 6, 30)},
        {fqQuarter, -1, D(2004, 5, 15), 0, D(2004, 3, 31)},
        {fq2Month, 1, D(2004, 5, 31), 0, D(2004, 8, 31)},
        {fqHalfYear, 0, D(2004, 7, 1), 0, D(2004, 12, 31)},
        {fqHalfYear, 1, D(2004, 6, 30), 0, D(2004, 12, 31)},
        {fqCalYear, 1, D(2004, 2, 29), 0, D(2005, 12, 31)},
        {fqFinYear, 0, D(2004, 8, 15), 0, D(2005, 6, 30)},
        {fqFinYear, 1, D(2004, 8, 15), 0, D(2006, 6, 30)},
        {fqFinYear, 0, D(2004, 6, 30), 0, D(2004, 6, 30)},
        {fqNone, 1, D(2004, 8, 15), 0, 0},
        {static_cast<TFrequency>(11), 1, D(2004, 8, 15), 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "frequency " << int(c.f) << " n " << c.n << " from " << Text({c.date}));
        EXPECT_EQ(QdkAddFrequency(c.f, c.n, c.date, c.anchor, nullptr, 1), c.expected);
    }
}

TEST(QdkAddFrequency, OnlyTheSkippingFrequenciesSeeTheSkipSet) {
    auto set = WeekendSet();
    struct Case { TFrequency f; int n; TDateTime date, plain, skipped; };
    const Case cases[] = {
        {fqNDay, 1, D(2001, 3, 9), D(2001, 3, 10), D(2001, 3, 12)},     // Friday + 1
        {fqNDay, 3, D(2001, 3, 8), D(2001, 3, 11), D(2001, 3, 13)},     // Thursday + 3
        {fqNWeek, 1, D(2001, 3, 9), D(2001, 3, 16), D(2001, 3, 20)},    // 7 counted days
        {fqNYear, 1, D(2000, 3, 11), D(2001, 3, 11), D(2001, 8, 3)},    // 365 working days
        {fqNMonth, 1, D(2001, 2, 10), D(2001, 3, 10), D(2001, 3, 10)},  // Saturday stays
        {fqCalMonth, 0, D(2001, 3, 1), D(2001, 3, 31), D(2001, 3, 31)},
        {fqQuarter, 0, D(2001, 3, 1), D(2001, 3, 31), D(2001, 3, 31)},
        {fqCalYear, 0, D(2000, 3, 1), D(2000, 12, 31), D(2000, 12, 31)},  // a Sunday
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "frequency " << int(c.f) << " from " << Text({c.date}));
        EXPECT_EQ(QdkAddFrequency(c.f, c.n, c.date, 0, nullptr, 1), c.plain);
        EXPECT_EQ(QdkAddFrequency(c.f, c.n, c.date, 0, set.get(), 1), c.skipped);
    }
    // Invert counts only the weekend days: Friday + 1 counted day is the Saturday.
    auto inverted = WeekendSet(true);
    EXPECT_EQ(QdkAddFrequency(fqNDay, 1, D(2001, 3, 9), 0, inverted.get(), 1), D(2001, 3, 10));
    EXPECT_EQ(QdkAddFrequency(fqNDay, 3, D(2001, 3, 9), 0, inverted.get(), 1), D(2001, 3, 17));
}

TEST(QdkAddFrequency, FailuresRaiseTheFrequencyError) {
    auto expectTrouble = [](auto&& call) {
        try {
            call();
            ADD_FAILURE() << "no error";
        } catch (const SeriesError& e) {
            EXPECT_STREQ(e.what(), "Trouble in QdkAddFrequency");
            EXPECT_FALSE(e.Detail().empty());
        }
    };
    // Results the calendar cannot hold are failures, not 30 December 1899.
    expectTrouble([] { QdkAddFrequency(fqNMonth, 1, D(9999, 12, 5), 0, nullptr, 1); });
    expectTrouble([] { QdkAddFrequency(fqQuarter, 1, D(9999, 11, 5), 0, nullptr, 1); });
    expectTrouble([] { QdkAddFrequency(fqFinYear, 0, D(9999, 7, 1), 0, nullptr, 1); });
    expectTrouble([] { QdkAddFrequency(fqNYear, -1, D(1, 6, 1), 0, nullptr, 1); });
    expectTrouble([] { QdkAddFrequency(fqNDay, 1, D(9999, 12, 31), 0, nullptr, 1); });
    expectTrouble([] { QdkAddFrequency(fqNWeek, 1 << 30, D(2000, 1, 1), 0, nullptr, 1); });
    expectTrouble([] { QdkAddFrequency(fqCalYear, 1 << 30, D(2000, 1, 1), 0, nullptr, 1); });
    expectTrouble([] { QdkAddFrequency(fqCalMonth, 1, std::nan(""), 0, nullptr, 1); });
    EXPECT_EQ(QdkAddFrequency(fqCalMonth, 0, D(9999, 12, 5), 0, nullptr, 1), D(9999, 12, 31));
}

TEST(SeriesRequest, NormalisesUnits) {
    struct Case { TFrequency f; int32_t units, expected; };
    const Case cases[] = {
        {fqNone, 5, 1},     {fqNDay, -3, 3},      {fqNMonth, 0, 0},         {fqCalMonth, -2, 2},
        {fqQuarter, 5, 1},  {fqFinYear, -7, 1},   {fqNWeek, INT32_MIN, INT32_MAX},
    };
    for (const auto& c : cases) {
        SeriesRequest r;
        r.frequency = c.f;
        r.units = c.units;
        EXPECT_EQ(NormaliseSeriesRequest(r).units, c.expected) << int(c.f) << " " << c.units;
    }
}

TEST(GenerateSeriesDates, EdgeCases) {
    const auto weekends = WeekendSet();
    struct Case { const char* name; SeriesRequest req; const char* expected; };
    SeriesRequest skipping = Span(fqNDay, 1, D(2001, 3, 9), D(2001, 3, 15));
    skipping.skip = weekends.get();
    SeriesRequest monthlySkipped = Span(fqNMonth, 1, D(2001, 3, 10), D(2001, 6, 10));
    monthlySkipped.skip = weekends.get();
    SeriesRequest inactive = skipping;
    auto off = WeekendSet();
    off->active = false;
    inactive.skip = off.get();
    const Case cases[] = {
        {"monthly span keeps the month ends", Span(fqNMonth, 1, D(2004, 1, 31), D(2004, 5, 31)),
         "2004-01-31 2004-02-29 2004-03-31 2004-04-30 2004-05-31"},
        {"calendar month ends up to the final date", Span(fqCalMonth, 1, D(2004, 1, 15), D(2004, 4, 15)),
         "2004-01-31 2004-02-29 2004-03-31"},
        {"fortnights synchronised", Span(fqNWeek, 2, D(2004, 1, 5), D(2004, 1, 31), D(2004, 1, 16)),
         "2004-01-16 2004-01-30"},
        {"fortnights with both ends", Always(Span(fqNWeek, 2, D(2004, 1, 5), D(2004, 1, 31), D(2004, 1, 16)), true, true),
         "2004-01-05 2004-01-16 2004-01-30 2004-01-31"},
        {"synchronised before the first date", Span(fqNWeek, 1, D(2004, 1, 10), D(2004, 1, 31), D(2004, 1, 2)),
         "2004-01-16 2004-01-23 2004-01-30"},
        {"synchronised on a day that falls on the first date", Span(fqNWeek, 1, D(2004, 1, 9), D(2004, 1, 20), D(2003, 12, 26)),
         "2004-01-09 2004-01-16"},
        {"quarter ends with the synchronisation before", Span(fqQuarter, 1, D(2004, 2, 1), D(2004, 12, 31), D(2003, 8, 1)),
         "2004-03-31 2004-06-30 2004-09-30 2004-12-31"},
        {"yearly repeats return to 29 February", Repeats(fqNYear, 1, D(2004, 2, 29), 5),
         "2004-02-29 2005-02-28 2006-02-28 2007-02-28 2008-02-29"},
        {"yearly span carries 28 February", Span(fqNYear, 1, D(2004, 2, 29), D(2008, 3, 1)),
         "2004-02-29 2005-02-28 2006-02-28 2007-02-28 2008-02-28"},
        {"quarter repeats move the first date; units ignored", Repeats(fqQuarter, 5, D(2004, 5, 15), 3),
         "2004-06-30 2004-09-30 2004-12-31"},
        {"monthly repeats take the synchronisation day", Repeats(fqNMonth, 1, D(2004, 2, 10), 3, D(2003, 1, 31)),
         "2004-02-10 2004-03-31 2004-04-30"},
        {"units 0 collapse the repeats", Repeats(fqNDay, 0, D(2004, 5, 15) + 0.5, 4), "2004-05-15"},
        {"repeats ignore the span settings", Always(Repeats(fqNWeek, 1, D(2004, 1, 1), 2), true, true),
         "2004-01-01 2004-01-08"},
        {"day steps skip weekends", skipping, "2001-03-09 2001-03-12 2001-03-13 2001-03-14 2001-03-15"},
        {"an inactive set changes nothing", inactive,
         "2001-03-09 2001-03-10 2001-03-11 2001-03-12 2001-03-13 2001-03-14 2001-03-15"},
        {"months never skip", monthlySkipped, "2001-03-10 2001-04-10 2001-05-10 2001-06-10"},
        {"the first date listed once", Always(Span(fqNWeek, 1, D(2004, 1, 1), D(2004, 1, 20)), true, false),
         "2004-01-01 2004-01-08 2004-01-15"},
        {"final date before the first date", Always(Span(fqNDay, 1, D(2004, 1, 10), D(2004, 1, 5)), true, true),
         "2004-01-05 2004-01-10"},
        {"the walk ends at the calendar's end", Span(fqCalMonth, 1, D(9999, 10, 1), D(9999, 12, 31)),
         "9999-10-31 9999-11-30 9999-12-31"},
        {"half years from a date in the first half", Span(fqHalfYear, 1, D(2004, 3, 1), D(2005, 12, 31)),
         "2004-06-30 2004-12-31 2005-06-30 2005-12-31"},
        {"none", Span(fqNone, 1, D(2004, 1, 1), D(2004, 12, 31)), ""},
        {"none repeated", Repeats(fqNone, 1, D(2004, 1, 1), 5), ""},
        {"no repeats", Repeats(fqNDay, 1, D(2004, 1, 1), 0), ""},
        {"negative repeats", Repeats(fqNDay, 1, D(2004, 1, 1), -3), ""},
        {"span units 0", Span(fqNDay, 0, D(2004, 1, 1), D(2004, 12, 31)), ""},
        {"span from 1 January 1900", Span(fqNDay, 1, D(1900, 1, 1), D(1900, 1, 5)), ""},
        {"an early synchronisation date gives way to the first date", Span(fqNDay, 2, D(2004, 1, 1), D(2004, 1, 5), D(1890, 1, 1)),
         "2004-01-01 2004-01-03 2004-01-05"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Text(GenerateSeriesDates(c.req, 1)), c.expected);
    }
}

TEST(GenerateSeriesDates, StepsBackFromSkippedDaysWithoutHanging) {
    // Skip-aware steps back from a weekend land later again; the alignment must still reach
    // the first date and the walk list every working day.
    auto set = WeekendSet();
    SeriesRequest r = Span(fqNDay, 1, D(2001, 3, 1), D(2001, 3, 14), D(2001, 3, 12));
    r.skip = set.get();
    EXPECT_EQ(Text(GenerateSeriesDates(r, 1)),
              "2001-03-01 2001-03-02 2001-03-05 2001-03-06 2001-03-07 2001-03-08 2001-03-09 "
              "2001-03-12 2001-03-13 2001-03-14");
    r.frequency = fqNWeek;
    r.synchDate = D(2001, 3, 31);   // a Saturday
    EXPECT_FALSE(GenerateSeriesDates(r, 1).empty());
}

TEST(GenerateSeriesDates, HolidaysAndInclusionsMoveDayStepsOnly) {
    auto set = WeekendSet();
    AddDateRow(set->single, D(2001, 3, 13));      // a Tuesday off
    AddDateRow(set->inclusions, D(2001, 3, 10));  // a Saturday worked
    SeriesRequest r = Span(fqNDay, 1, D(2001, 3, 9), D(2001, 3, 15));
    r.skip = set.get();
    EXPECT_EQ(Text(GenerateSeriesDates(r, 1)), "2001-03-09 2001-03-10 2001-03-12 2001-03-14 2001-03-15");
    r = Repeats(fqNWeek, 1, D(2001, 3, 6), 2);
    r.skip = set.get();
    // 7 counted days after Tuesday 6 March: 7, 8, 9, 10, 12, 14, 15.
    EXPECT_EQ(Text(GenerateSeriesDates(r, 1)), "2001-03-06 2001-03-15");
}

TEST(GenerateSeriesDates, BadRequestsGiveClearErrors) {
    auto message = [](SeriesRequest r) -> std::string {
        try {
            GenerateSeriesDates(r, 1);
        } catch (const SeriesError& e) {
            return e.what();
        }
        return "no error";
    };
    EXPECT_EQ(message(Repeats(fqNYear, 9999, D(2004, 1, 1), 3)), "Trouble in QdkAddFrequency");
    EXPECT_EQ(message(Repeats(fqNMonth, 1, D(9999, 11, 1), 3)), "Trouble in QdkAddFrequency");
    EXPECT_EQ(message(Repeats(fqNDay, INT32_MAX, D(2004, 1, 1), INT32_MAX)), "Trouble in QdkAddFrequency");
    EXPECT_EQ(message(Repeats(static_cast<TFrequency>(12), 1, D(2004, 1, 1), 3)), "Unknown series frequency 12");
    SeriesRequest r = Span(fqNDay, 1, D(2004, 1, 1), std::nan(""));
    EXPECT_EQ(message(r), "The series' final date is not a valid date");
    r = Repeats(fqNDay, 1, 1e9, 3);
    EXPECT_EQ(message(r), "The series' first date is not a valid date");
    r = Repeats(fqNMonth, 1, D(2004, 1, 1), 3, -1e9);
    EXPECT_EQ(message(r), "The series' synchronisation date is not a valid date");
    r.synchDate = 0;
    r.style = 2;
    EXPECT_EQ(message(r), "Unknown series style 2");
    // The final date plays no part in repeats.
    r = Repeats(fqNDay, 1, D(2004, 1, 1), 2);
    r.finalDate = std::nan("");
    EXPECT_EQ(GenerateSeriesDates(r, 1).size(), 2u);
}

TEST(GenerateSeriesDates, LongRepeatsRunFromTheFirstDate) {
    // 10000 daily repeats: each date is the first date plus i counted days.
    auto set = WeekendSet();
    const SeriesRequest r = [&] {
        SeriesRequest q = Repeats(fqNDay, 1, D(2001, 3, 5), 10000);
        q.skip = set.get();
        return q;
    }();
    const auto dates = GenerateSeriesDates(r, 1);
    ASSERT_EQ(dates.size(), 10000u);
    for (size_t i = 1; i < dates.size(); ++i) {
        ASSERT_GT(dates[i], dates[i - 1]);
        ASSERT_FALSE(IsSkipDate(set.get(), WholeDays(dates[i])));
    }
    // 10000 working days from Monday 5 March 2001: 2000 weeks less the final weekend.
    EXPECT_EQ(dates.back(), D(2001, 3, 5) + 2000 * 7 - 3);
}

TEST(GenerateSeriesDates, MatchesTheDayByDayReference) {
    std::mt19937 rng(20240229);
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    for (int round = 0; round < 12; ++round) {
        auto set = CreateSkipSet(std::make_shared<SkipFileRef>(SkipFileRef{pick(0, 3) == 0, "r.skx"}), "dd/mm/yyyy");
        set->active = pick(0, 5) != 0;
        set->header.SetWeekdayBits(static_cast<uint8_t>(pick(0, 127) << 1 & 0x7E));   // never all days
        set->header.SetHolidayBits(static_cast<uint8_t>(pick(0, 63)));
        const TDateTime base = D(2000, 1, 1);
        for (int i = pick(0, 8); i > 0; --i) AddDateRow(set->single, base + pick(0, 1500));
        for (int i = pick(0, 4); i > 0; --i) AddDateRow(set->inclusions, base + pick(0, 1500));
        for (int i = pick(0, 3); i > 0; --i) {
            const TDateTime from = base + pick(0, 1500);
            set->ranges.Append();
            set->ranges.FieldByName("DFrom").SetDateTime(from);
            set->ranges.FieldByName("DTo").SetDateTime(from + pick(0, 20));
            set->ranges.FieldByName("Use").SetBoolean(pick(0, 4) != 0);
            set->ranges.Post();
        }
        for (int i = pick(0, 3); i > 0; --i) {
            set->recurring.Append();
            set->recurring.FieldByName("Day").SetInteger(pick(1, 31));
            set->recurring.FieldByName("Month").SetInteger(pick(1, 12));
            set->recurring.FieldByName("Use").SetBoolean(true);
            set->recurring.Post();
        }
        for (int k = 0; k < 15; ++k) {
            SeriesRequest r;
            r.style = static_cast<uint8_t>(pick(0, 1));
            r.frequency = static_cast<TFrequency>(pick(0, 10));
            r.units = pick(-3, 4);
            r.firstDate = base + pick(0, 700);
            r.finalDate = r.firstDate + pick(-10, 500);
            r.synchDate = pick(0, 2) == 0 ? 0 : base + pick(0, 1200);
            r.alwaysFirst = pick(0, 1);
            r.alwaysLast = pick(0, 1);
            // Kept small: the reference counts every day of every pass.
            r.repeatCount = r.frequency == fqNYear ? pick(0, 4) : pick(0, 25);
            r.skip = set.get();
            SCOPED_TRACE(testing::Message() << "round " << round << " request " << k << " style " << int(r.style)
                                            << " frequency " << int(r.frequency) << " units " << r.units);
            ASSERT_EQ(Text(GenerateSeriesDates(r, 1)), Text(GenerateSeriesDatesDayByDay(r, 1)));
        }
    }
}
