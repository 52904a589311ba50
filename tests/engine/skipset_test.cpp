#include "engine/skipset.h"

#include <gtest/gtest.h>

#include <cstring>

#include "skip_rules.h"

namespace clx {
namespace {

using testing::D;
using testing::Day;

// Both tests must give the same answer; every check here goes through both.
void ExpectSkip(const SkipSet& s, int32_t day, bool expected) {
    EXPECT_EQ(IsSkipDate(&s, day), expected) << "fast, serial " << day;
    EXPECT_EQ(IsSkipDateDayByDay(&s, day), expected) << "day by day, serial " << day;
}

class SkipSetTest : public ::testing::Test {
protected:
    std::unique_ptr<SkipSet> s = CreateSkipSet(nullptr, "dd/mm/yyyy");
};

TEST(SkipHeader, BitsSitWhereTheFileHasThem) {
    SkipHeader h;
    h.SetWeekday(1, true);   // Sunday
    h.SetWeekday(7, true);   // Saturday
    h.SetHoliday(hdGoodFriday, true);
    h.SetHoliday(hdBoxingDay, true);
    EXPECT_EQ(h.bytes[0], 0x82);
    EXPECT_EQ(h.bytes[1], 0x22);
    EXPECT_TRUE(h.SkipsWeekday(7));
    EXPECT_FALSE(h.SkipsWeekday(2));
    h.SetWeekday(0, true);   // reserved: ignored
    h.SetWeekday(8, true);
    EXPECT_EQ(h.bytes[0], 0x82);
    h.SetWeekday(7, false);
    EXPECT_EQ(h.bytes[0], 0x02);
    h.Clear();
    EXPECT_EQ(h, SkipHeader{});
}

TEST_F(SkipSetTest, InclusionBeatsEveryRuleOnlyWhenUsed) {
    testing::SkipWeekend(*s);
    testing::AddDate(s->inclusions, D(2001, 3, 10));
    testing::AddDate(s->inclusions, D(2001, 3, 11), false);
    ExpectSkip(*s, Day(2001, 3, 10), false);
    ExpectSkip(*s, Day(2001, 3, 11), true);
    ExpectSkip(*s, Day(2001, 3, 12), false);
}

TEST_F(SkipSetTest, HolidaysFollowEaster) {
    s->header.SetHoliday(hdGoodFriday, true);
    ExpectSkip(*s, Day(2000, 4, 21), true);   // Easter Sunday 2000 is 23 April
    ExpectSkip(*s, Day(2000, 4, 23), false);
    s->header.SetHoliday(hdGoodFriday, false);
    s->header.SetHoliday(hdEasterMonday, true);
    s->header.SetHoliday(hdChristmas, true);
    s->header.SetHoliday(hdNewYear, true);
    ExpectSkip(*s, Day(2000, 4, 21), false);
    ExpectSkip(*s, Day(2000, 4, 24), true);
    ExpectSkip(*s, Day(1700, 4, 1), true);    // Julian Easter 1700 on the Gregorian scale: 31 March
    ExpectSkip(*s, Day(2001, 12, 25), true);
    ExpectSkip(*s, Day(2001, 12, 26), false);
    ExpectSkip(*s, Day(2002, 1, 1), true);
}

TEST_F(SkipSetTest, RecurringDaysMatchOnlyRealDates) {
    testing::AddRecurring(*s, 31, 2);
    testing::AddRecurring(*s, 29, 2);
    testing::AddRecurring(*s, 4, 7, false);
    ExpectSkip(*s, Day(2000, 2, 29), true);
    ExpectSkip(*s, Day(2001, 2, 28), false);
    ExpectSkip(*s, Day(2001, 3, 1), false);   // 31/2 rolls nowhere
    ExpectSkip(*s, Day(2001, 3, 3), false);
    ExpectSkip(*s, Day(2001, 7, 4), false);
}

TEST_F(SkipSetTest, RangesAndSingles) {
    testing::AddRange(*s, D(2001, 5, 10), D(2001, 5, 12));
    testing::AddRange(*s, D(2001, 6, 12), D(2001, 6, 10));   // reversed: no day
    testing::AddDate(s->single, D(2001, 8, 1) + 0.75);         // a time of day names its day
    ExpectSkip(*s, Day(2001, 5, 9), false);
    ExpectSkip(*s, Day(2001, 5, 10), true);
    ExpectSkip(*s, Day(2001, 5, 12), true);
    ExpectSkip(*s, Day(2001, 5, 13), false);
    ExpectSkip(*s, Day(2001, 6, 11), false);
    ExpectSkip(*s, Day(2001, 8, 1), true);
}

TEST_F(SkipSetTest, RowsWithoutADateNameNoDay) {
    s->single.Append();
    s->single.Post();
    s->ranges.Append();
    s->ranges.FieldByName("DFrom").SetDateTime(-10);
    s->ranges.Post();   // no DTo
    for (int32_t day : {0, -10, -5, 1})
        ExpectSkip(*s, day, false);
}

TEST_F(SkipSetTest, DaysOutsideTheCalendarAreNeverSkipped) {
    for (int w = 1; w <= 7; ++w) s->header.SetWeekday(w, true);
    ExpectSkip(*s, kMinDateSerial, true);
    ExpectSkip(*s, kMaxDateSerial, true);
    ExpectSkip(*s, kMinDateSerial - 1, false);
    ExpectSkip(*s, kMaxDateSerial + 1, false);
    EXPECT_EQ(CountSkipDays(*s, kMaxDateSerial - 9, kMaxDateSerial + 100), 10);
    EXPECT_EQ(CountCountedDays(*s, false, kMinDateSerial - 5, kMinDateSerial + 4), 5);
    EXPECT_EQ(CountCountedDays(*s, true, kMinDateSerial - 5, kMinDateSerial + 4), 5);
    EXPECT_EQ(CountCountedDays(*s, false, 10, 9), 0);
    EXPECT_FALSE(IsSkipDate(nullptr, Day(2001, 3, 10)));
    EXPECT_FALSE(IsSkipDateDayByDay(nullptr, Day(2001, 3, 10)));
}

TEST_F(SkipSetTest, EditingRulesAfterAQueryChangesTheAnswer) {
    const int32_t sat = Day(2001, 3, 10), mon = Day(2001, 3, 12);
    EXPECT_FALSE(IsSkipDate(s.get(), sat));
    EXPECT_EQ(CountSkipDays(*s, sat, mon), 0);
    testing::SkipWeekend(*s);   // header change
    EXPECT_TRUE(IsSkipDate(s.get(), sat));
    EXPECT_EQ(CountSkipDays(*s, sat, mon), 2);

    testing::AddDate(s->single, D(2001, 3, 12));
    EXPECT_EQ(CountSkipDays(*s, sat, mon), 3);
    s->single.First();
    s->single.Edit();
    s->single.FieldByName("Use").SetBoolean(false);   // a value edited in place
    s->single.Post();
    EXPECT_EQ(CountSkipDays(*s, sat, mon), 2);
    testing::AddDate(s->inclusions, D(2001, 3, 10));
    EXPECT_FALSE(IsSkipDate(s.get(), sat));
    s->inclusions.First();
    s->inclusions.Delete();
    EXPECT_TRUE(IsSkipDate(s.get(), sat));
    ClearSkipRules(*s, true);
    EXPECT_EQ(CountSkipDays(*s, sat, mon), 0);
}

TEST_F(SkipSetTest, IndexGrowsBothWaysWithConsistentCounts) {
    testing::SkipWeekend(*s);
    s->header.SetHolidayBits(0x3f);   // all six holidays, Julian Easter up to 1752
    // Start in the middle, then reach far back and far ahead.
    EXPECT_EQ(CountSkipDays(*s, Day(2001, 3, 5), Day(2001, 3, 11)), 2);
    const int32_t a = Day(1600, 1, 1), b = Day(3999, 12, 31);
    int32_t expected = 0;
    for (int32_t d = a; d <= b; ++d) expected += IsSkipDateDayByDay(s.get(), d);
    EXPECT_EQ(CountSkipDays(*s, Day(1900, 1, 2), Day(1900, 1, 2)), 0);
    EXPECT_EQ(CountSkipDays(*s, a, b), expected);
    EXPECT_EQ(CountSkipDays(*s, a, b - 1) + CountSkipDays(*s, b, b), expected);
    EXPECT_EQ(CountSkipDays(*s, kMinDateSerial, kMaxDateSerial),
              CountSkipDays(*s, kMinDateSerial, a - 1) + expected + CountSkipDays(*s, b + 1, kMaxDateSerial));
}

TEST_F(SkipSetTest, FastTestLeavesTablesAloneTheWalkMovesThem) {
    testing::AddDate(s->single, D(2001, 1, 1));
    testing::AddDate(s->single, D(2001, 1, 2));
    testing::AddDate(s->single, D(2001, 1, 3));
    s->single.First();
    EXPECT_TRUE(IsSkipDate(s.get(), Day(2001, 1, 2)));
    EXPECT_EQ(s->single.RecNo(), 1);
    EXPECT_TRUE(IsSkipDateDayByDay(s.get(), Day(2001, 1, 2)));
    EXPECT_EQ(s->single.RecNo(), 2);   // left at the matching row
    EXPECT_FALSE(IsSkipDateDayByDay(s.get(), Day(2001, 1, 9)));
    EXPECT_TRUE(s->single.Eof());
}

TEST_F(SkipSetTest, TablesFollowTheirTemplates) {
    EXPECT_EQ(s->dateTitle, "Date~dd/mm/yyyy");
    EXPECT_EQ(s->fromTitle, "From~dd/mm/yyyy");
    EXPECT_EQ(s->toTitle, "To~dd/mm/yyyy");
    EXPECT_EQ(s->recurring.FieldCount(), 4);
    EXPECT_EQ(s->ranges.Fields()[1].name, "DTo");
    EXPECT_EQ(s->single.Fields()[1].size, 64);
    testing::AddRecurring(*s, 1, 5, true, "May Day");
    testing::AddRecurring(*s, 4, 7, true, "Independence");
    testing::AddRecurring(*s, 25, 12, true, "Christmas");
    EXPECT_EQ(s->recurring.FieldByName("Description").AsString(), "Christmas");  // posted row stays current
    s->recurring.First();
    EXPECT_EQ(s->recurring.FieldByName("Description").AsString(), "Christmas");  // sorted
    EXPECT_TRUE(s->recurring.FieldByName("Use").AsBoolean());                     // new rows are used
    MemTable other("taXin");
    DefineSkipTableFields(other, SkipTable::Inclusions);
    EXPECT_EQ(other.FieldIndex("Date"), 0);
    EXPECT_STREQ(SkipTableName(SkipTable::Ranges), "taXsp");
}

TEST_F(SkipSetTest, ResetClearAndCopy) {
    auto ref = std::make_shared<SkipFileRef>(SkipFileRef{true, "<DAT>\\holidays.skx"});
    auto a = CreateSkipSet(ref, "");
    a->active = true;
    testing::SkipWeekend(*a);
    testing::AddRecurring(*a, 25, 12);
    testing::AddDate(a->single, D(2001, 1, 2));
    testing::AddDate(a->inclusions, D(2001, 3, 10));
    testing::AddRange(*a, D(2001, 5, 1), D(2001, 5, 3));

    CopySkipSet(a.get(), s.get());
    EXPECT_FALSE(s->active);
    EXPECT_EQ(s->ref, ref);
    EXPECT_TRUE(SkipInvert(s.get()));
    EXPECT_EQ(s->header, a->header);
    for (SkipTable t : {SkipTable::Recurring, SkipTable::Single, SkipTable::Inclusions, SkipTable::Ranges})
        EXPECT_EQ(s->Table(t).RecordCount(), 1);
    ExpectSkip(*s, Day(2001, 5, 2), true);
    ExpectSkip(*s, Day(2001, 3, 10), false);
    CopySkipSet(nullptr, s.get());
    CopySkipSet(s.get(), s.get());
    EXPECT_EQ(s->single.RecordCount(), 1);

    ClearSkipRules(*a, false);
    EXPECT_EQ(a->header, SkipHeader{});
    EXPECT_EQ(a->single.RecordCount(), 1);
    EXPECT_TRUE(a->active);
    ClearSkipRules(*a, true);
    for (SkipTable t : {SkipTable::Recurring, SkipTable::Single, SkipTable::Inclusions, SkipTable::Ranges})
        EXPECT_EQ(a->Table(t).RecordCount(), 0);

    ResetSkipSet(*s);
    EXPECT_FALSE(IsSkipActive(s.get()));
    EXPECT_EQ(ref->fileName, "");
    EXPECT_TRUE(ref->invert);
    EXPECT_EQ(s->inclusions.RecordCount(), 0);
    EXPECT_FALSE(IsSkipActive(nullptr));
    EXPECT_FALSE(SkipInvert(nullptr));
}

TEST(Easter, EcclesiasticAndAstronomic) {
    struct { int year; CivilDate ecclesiastic; } cases[] = {
        {1700, {1700, 3, 31}}, {1752, {1752, 3, 29}}, {1753, {1753, 4, 22}},
        {2000, {2000, 4, 23}}, {2008, {2008, 3, 23}}, {2038, {2038, 4, 25}},
    };
    for (const auto& c : cases) EXPECT_EQ(DecodeDate(EcclesiasticEaster(c.year)), c.ecclesiastic) << c.year;
    EXPECT_EQ(DecodeDate(*AstronomicEaster(1752, 0)), (CivilDate{1752, 4, 2}));
    EXPECT_EQ(DecodeDate(*AstronomicEaster(38, 1950)), (CivilDate{2038, 4, 25}));
    EXPECT_FALSE(AstronomicEaster(1599, 0));
    EXPECT_FALSE(AstronomicEaster(4000, 0));
    // From 1753 on both computations agree.
    for (int y = 1753; y <= 3999; ++y) ASSERT_EQ(EcclesiasticEaster(y), *AstronomicEaster(y, 0)) << y;
    EXPECT_EQ(EcclesiasticEaster(0), 0);
}

TEST(Easter, ResolveCenturyYear) {
    EXPECT_EQ(ResolveCenturyYear(49, 1950), 2049);
    EXPECT_EQ(ResolveCenturyYear(50, 1950), 1950);
    EXPECT_EQ(ResolveCenturyYear(99, 1950), 1999);
    EXPECT_EQ(ResolveCenturyYear(5, 0), 5);
    EXPECT_EQ(ResolveCenturyYear(100, 1950), 100);
    EXPECT_EQ(ResolveCenturyYear(2024, 1950), 2024);
}

}  // namespace
}  // namespace clx
