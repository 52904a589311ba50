#include "sheets/chronology_sheet.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>

#include "engine/skipset.h"
#include "files/options.h"
#include "platform/fake_ui.h"
#include "platform/format.h"

namespace clx {
namespace {

TDateTime D(int y, int m, int d) { return EncodeDate(y, m, d); }
double H(double hours) { return hours / 24.0; }
std::string Stamp(TDateTime t) { return FormatDateTime("yyyy-mm-dd hh:nn", t, Locale::Default()); }

class ChronologyTest : public ::testing::Test {
protected:
    ChronologyTest() {
        DefineChronologyFields(taChr);
        DefineZoneFields(taZon);
        SetupDateFormatTable(taFmt);
        for (auto [format, approx] : {std::pair{"d mmmm yyyy", false}, {"yyyy-mm-dd", false},
                                      {"mmmm yyyy", true}}) {
            taFmt.Append();
            taFmt.FieldByName("Format").SetString(format);
            taFmt.FieldByName("Approx").SetBoolean(approx);
            taFmt.Post();
        }
        ctx.dateEntryFormat = "dd/mm/yyyy";
        ctx.dateDisplayFormat = "ddd dd/mm/yyyy";
        ctx.today = [] { return D(2004, 3, 10); };
        ctx.markModified = [this] { ++modified; };
        ctx.header = &header;
        ChronologySettings s;
        s.defaultFormat = kFormatGeneral;
        s.defaultSheet = 4;
        s.dos = D(2004, 3, 10);
        s.useTime = s.useZones = true;
        sheet.SetSettings(s);
    }

    int64_t AddZone(const char* location, const char* adj) {
        taZon.Append();
        taZon.FieldByName("Location").SetString(location);
        taZon.FieldByName("Adj").SetString(adj);
        taZon.Post();
        return taZon.FieldByName("iZone").AsInteger();
    }
    uint64_t AddEvent(TDateTime date, const char* time, int64_t zone = 0, bool print = true,
                      const char* name = "") {
        taChr.Append();
        taChr.FieldByName("Date").SetDateTime(date);
        taChr.FieldByName("Time").SetString(time);
        taChr.FieldByName("iZone").SetInteger(zone);
        taChr.FieldByName("Print").SetBoolean(print);
        taChr.FieldByName("Name").SetString(name);
        taChr.Post();
        return taChr.RecordId();
    }
    Field F(const char* name) { return taChr.FieldByName(name); }
    std::string At(uint64_t id, const char* field) {
        EXPECT_TRUE(taChr.GotoRecordId(id));
        return taChr.FieldByName(field).AsString();
    }
    int64_t IntAt(uint64_t id, const char* field) {
        EXPECT_TRUE(taChr.GotoRecordId(id));
        return taChr.FieldByName(field).AsInteger();
    }
    std::vector<std::string> Names() {
        std::vector<std::string> out;
        for (int i = 0; i < taChr.RecordCount(); ++i) {
            taChr.SetRecNo(i + 1);
            out.push_back(F("Name").AsString());
        }
        return out;
    }

    MemTable taChr{"taChr"}, taZon{"taZon"}, taFmt{"taFmt"};
    DocumentHeader header;
    SheetContext ctx;
    FakeUi ui;
    int modified = 0;
    ChronologySheet sheet{taChr, taZon, ctx, &taFmt, &ui};
};

// ---- signed times ------------------------------------------------------------------------

TEST(ParseSignedTime, ReadsSignsAndEmptyTexts) {
    const Locale loc = Locale::Default();
    struct Case { const char* text; double hours; } cases[] = {
        {"", 0},          {"  :  ", 0},     {"   ", 0},       {"14:30", 14.5},
        {"+5:30", 5.5},   {"-10:00", -10},  {"-1:00", -1},    {" 9:05 ", 9 + 5 / 60.0},
        {"10:-00", -10},  // the first "-" anywhere makes it negative
        {"2:00 PM", 14},
        {"01:00               junk", 1},   // only the first 16 characters count
    };
    for (const auto& c : cases) EXPECT_NEAR(ParseSignedTime(c.text, loc), H(c.hours), 1e-9) << c.text;
}

TEST(ParseSignedTime, UnreadableTextNamesItself) {
    const Locale loc = Locale::Default();
    for (const char* text : {"25:00", "ab", "-", "10:60", "1:2:3:4", "--1:00"}) {
        try {
            ParseSignedTime(text, loc);
            ADD_FAILURE() << text << " was accepted";
        } catch (const ConvertError& e) {
            EXPECT_EQ(e.what(), "'" + std::string(text) + "' is not a valid time");
        }
    }
}

// ---- rows --------------------------------------------------------------------------------

TEST_F(ChronologyTest, NewRowDefaults) {
    taChr.Append();
    EXPECT_EQ(F("Date").AsDateTime(), D(2004, 3, 10));
    EXPECT_EQ(F("Format").AsString(), "dd/mm/yyyy");
    EXPECT_TRUE(F("Print").AsBoolean());
    for (const char* f : {"pBold", "pItalic", "pUnderline", "pStrikeout", "Approx", "Red"}) {
        EXPECT_FALSE(F(f).IsNull()) << f;
        EXPECT_FALSE(F(f).AsBoolean()) << f;
    }
    EXPECT_EQ(F("iFormat").AsInteger(), kFormatGeneral);
    EXPECT_EQ(F("Sheet").AsInteger(), 4);
    EXPECT_EQ(F("iZone").AsInteger(), 0);
    taChr.Post();
    EXPECT_EQ(F("LocalDateTime").AsDateTime(), D(2004, 3, 10));
    EXPECT_EQ(F("DateString").AsString(), "10/03/2004");
    EXPECT_EQ(F("caAdj").AsString(), "");
    EXPECT_GT(modified, 0);
}

TEST_F(ChronologyTest, NewRowTakesTheFileDefaultFormat) {
    sheet.SetFileDefaultFormat(-12);
    taChr.Append();
    EXPECT_EQ(F("iFormat").AsInteger(), -12);
    EXPECT_EQ(header.Get(hdr::ChrDateFormat), -12);
}

TEST_F(ChronologyTest, LocalTimeAddsTheZoneAdjustment) {
    struct Case { const char* time; const char* adj; const char* local; } cases[] = {
        {"14:30", "-10:00", "2004-03-05 04:30"},
        {"14:30", "+10:00", "2004-03-06 00:30"},   // across midnight into the next day
        {"01:00", "-3:00", "2004-03-04 22:00"},    // back into the previous day
        {"-1:00", "", "2004-03-04 23:00"},         // the evening before
        {"", "+5:30", "2004-03-05 05:30"},
        {"", "", "2004-03-05 00:00"},
    };
    for (const auto& c : cases) {
        const int64_t zone = AddZone("Somewhere", c.adj);
        AddEvent(D(2004, 3, 5), c.time, zone);
        EXPECT_EQ(Stamp(F("LocalDateTime").AsDateTime()), c.local) << c.time << " " << c.adj;
        EXPECT_EQ(F("caAdj").AsString(), c.adj);
    }
}

TEST_F(ChronologyTest, RowsAreOrderedByLocalTimeAndMoveWhenTheirZoneChanges) {
    const int64_t zone = AddZone("Sydney", "+10:00");
    AddEvent(D(2004, 3, 5), "23:00", 0, true, "local late evening");
    AddEvent(D(2004, 3, 5), "14:30", zone, true, "zoned");   // 6 March 00:30 here
    AddEvent(D(2004, 3, 5), "08:00", 0, true, "local morning");
    EXPECT_EQ(Names(), (std::vector<std::string>{"local morning", "local late evening", "zoned"}));

    ASSERT_TRUE(taZon.GotoRecordId(taZon.RowRecordId(0)));
    taZon.Edit();
    taZon.FieldByName("Adj").SetString("-10:00");   // now 5 March 04:30 here
    taZon.Post();
    EXPECT_EQ(Names(), (std::vector<std::string>{"zoned", "local morning", "local late evening"}));
    taChr.First();
    EXPECT_EQ(Stamp(F("LocalDateTime").AsDateTime()), "2004-03-05 04:30");
}

TEST_F(ChronologyTest, UnreadableTimesAreRefusedAndTheRowStaysInEditing) {
    taChr.Append();
    F("Time").SetString("25:00");
    try {
        taChr.Post();
        ADD_FAILURE() << "posted";
    } catch (const TableError& e) {
        EXPECT_STREQ(e.what(), "'25:00' is not a valid time");
    }
    EXPECT_EQ(taChr.State(), TableState::Insert);
    EXPECT_TRUE(taChr.IsEmpty());
    F("Time").SetString("12:00");
    taChr.Post();
    EXPECT_EQ(taChr.RecordCount(), 1);
}

TEST_F(ChronologyTest, UnreadableZoneAdjustmentsAreRefused) {
    taZon.Append();
    taZon.FieldByName("Location").SetString("Nowhere");
    taZon.FieldByName("Adj").SetString("10 hours");
    try {
        taZon.Post();
        ADD_FAILURE() << "posted";
    } catch (const TableError& e) {
        EXPECT_STREQ(e.what(), "'10 hours' is not a valid time");
    }
    EXPECT_TRUE(taZon.IsEmpty());
}

TEST_F(ChronologyTest, EarlyDatesHaveNoLocalTimeAndPrintNoDate) {
    struct Case { TDateTime date; bool local; const char* dateString; const char* printed; } cases[] = {
        {D(1600, 1, 1), false, "", ""},
        {D(1600, 1, 2), false, "02/01/1600", ""},
        {D(1902, 9, 25), false, "25/09/1902", ""},
        {D(1902, 9, 26), true, "26/09/1902", ""},   // day 1000: a local time, but no printed date
        {D(1902, 9, 27), true, "27/09/1902", "27 September 1902"},
    };
    for (const auto& c : cases) {
        taChr.EmptyTable();
        AddEvent(c.date, "");
        EXPECT_EQ(!F("LocalDateTime").IsNull(), c.local) << c.dateString;
        if (c.local) {
            EXPECT_EQ(F("LocalDateTime").AsDateTime(), c.date);
        }
        EXPECT_EQ(F("DateString").AsString(), c.dateString);
        EXPECT_EQ(sheet.ChrDateText(false, 1), c.printed) << c.dateString;
    }
    EXPECT_EQ(D(1902, 9, 26), 1000);
}

TEST_F(ChronologyTest, EmptySheetFallsBackToTheDocumentDefault) {
    taChr.Append();
    F("Sheet").Clear();
    taChr.Post();
    EXPECT_EQ(F("Sheet").AsInteger(), 4);
}

// ---- zones -------------------------------------------------------------------------------

TEST_F(ChronologyTest, ZoneNameAndAdjustment) {
    const int64_t london = AddZone("London", "+0:00");
    const int64_t hawaii = AddZone("Hawaii", "-10:00");
    EXPECT_NE(london, hawaii);
    EXPECT_EQ(ZoneName(taZon, 0), "Local Time");
    EXPECT_EQ(ZoneName(taZon, hawaii), "Hawaii");
    EXPECT_EQ(ZoneName(taZon, 99), "");
    EXPECT_EQ(ZoneAdjustment(taZon, hawaii, "+1:00"), "-10:00");
    EXPECT_EQ(ZoneAdjustment(taZon, 0, "+1:00"), "+1:00");
    EXPECT_EQ(ZoneAdjustment(taZon, 99, "+1:00"), "+1:00");
}

TEST_F(ChronologyTest, DeletingAZoneAsksAndLeavesRowsOnTheirOwnAdjustment) {
    const int64_t zone = AddZone("Hawaii", "-10:00");
    taChr.Append();
    F("Date").SetDateTime(D(2004, 3, 5));
    F("Time").SetString("14:30");
    F("iZone").SetInteger(zone);
    F("Adj").SetString("+1:00");
    taChr.Post();
    EXPECT_EQ(Stamp(F("LocalDateTime").AsDateTime()), "2004-03-05 04:30");

    taZon.First();
    ui.QueueAnswer(ConfirmResult::No);
    EXPECT_THROW(taZon.Delete(), TableAbort);
    EXPECT_EQ(taZon.RecordCount(), 1);

    ui.QueueAnswer(ConfirmResult::Yes);
    taZon.Delete();
    EXPECT_TRUE(taZon.IsEmpty());
    EXPECT_EQ(ui.Texts(UiCallKind::Ask), (std::vector<std::string>{"Delete Record?", "Delete Record?"}));
    taChr.First();
    EXPECT_EQ(F("caAdj").AsString(), "+1:00");
    EXPECT_EQ(Stamp(F("LocalDateTime").AsDateTime()), "2004-03-05 15:30");
    EXPECT_EQ(ZoneName(taZon, zone), "");
}

TEST_F(ChronologyTest, ZoneChangesWaitForTheEventBeingEdited) {
    const int64_t zone = AddZone("Tokyo", "+9:00");
    const uint64_t other = AddEvent(D(2004, 3, 5), "10:00", zone, true, "other");
    AddEvent(D(2004, 3, 7), "10:00", zone, true, "edited");
    taChr.Edit();
    F("Name").SetString("edited now");

    taZon.First();
    taZon.Edit();
    taZon.FieldByName("Adj").SetString("+1:00");
    taZon.Post();
    EXPECT_EQ(taChr.State(), TableState::Edit);   // the pending edit is not posted behind its back
    taChr.Post();
    EXPECT_EQ(Stamp(F("LocalDateTime").AsDateTime()), "2004-03-07 11:00");
    taChr.GotoRecordId(other);
    EXPECT_EQ(Stamp(F("LocalDateTime").AsDateTime()), "2004-03-05 11:00");
}

TEST_F(ChronologyTest, ZoneIdentifiersStayUniqueAfterTheZonesAreReloaded) {
    // A document whose zone 2 was deleted: zones 1 and 3 are read back as records 1 and 2.
    taZon.LoadRows({{std::string("A"), std::string("+1:00"), int64_t{1}},
                    {std::string("C"), std::string("+3:00"), int64_t{3}}});
    EXPECT_EQ(AddZone("D", "+4:00"), 4);   // its record number 3 already names zone C
    EXPECT_EQ(AddZone("E", "+5:00"), 5);
    EXPECT_EQ(ZoneName(taZon, 3), "C");
}

TEST_F(ChronologyTest, NewZonesTakeTheirRecordNumber) {
    EXPECT_EQ(AddZone("A", "+1:00"), 1);
    EXPECT_EQ(AddZone("B", "+2:00"), 2);
    taZon.First();
    taZon.Delete();
    EXPECT_EQ(AddZone("C", "+3:00"), 3);
}

// ---- date formats ------------------------------------------------------------------------

TEST_F(ChronologyTest, FormatForCode) {
    taFmt.SetRecNo(2);
    taFmt.Delete();   // records 1 and 3 are left
    taFmt.Last();
    AddEvent(D(2004, 3, 5), "");
    struct Case { int code; const char* format; } cases[] = {
        {-13, ""}, {-12, "ddd dd/mm/yyyy"}, {-11, "dddd, MMMM d, yyyy"}, {-10, "dd/mm/yyyy"},
        {1, "d mmmm yyyy"}, {-1, "d mmmm yyyy"}, {3, "mmmm yyyy"}, {-3, "mmmm yyyy"},
        {2, ""}, {0, ""}, {99, ""},
    };
    for (const auto& c : cases) EXPECT_EQ(sheet.FormatForCode(c.code), c.format) << c.code;
    EXPECT_EQ(taFmt.RecordNumber(), 3);   // the options' grid keeps its row
}

TEST_F(ChronologyTest, FormatForCodeOnAnEmptyTable) {
    EXPECT_EQ(sheet.FormatForCode(-10), "");
    taChr.Append();
    EXPECT_EQ(sheet.FormatForCode(-10), "dd/mm/yyyy");
}

TEST_F(ChronologyTest, ChrDateText) {
    AddEvent(D(2004, 3, 5), "");
    EXPECT_EQ(sheet.ChrDateText(false, 1), "5 March 2004");
    EXPECT_EQ(sheet.ChrDateText(true, 1), "Approx 5 March 2004");
    EXPECT_EQ(sheet.ChrDateText(false, -12), "Fri 05/03/2004");
    EXPECT_EQ(sheet.ChrDateText(false, 2), "2004-03-05");
    EXPECT_EQ(sheet.ChrDateText(true, 7), "");   // no such format: an empty date
    taChr.Edit();
    F("Approx").SetBoolean(true);
    F("CustomDateText").SetString("Undated");
    EXPECT_EQ(sheet.ChrDateText(false, 3), "Approx March 2004");   // the unsaved state counts
    EXPECT_EQ(sheet.ChrDateText(true, kFormatCustom), "Undated");
    taChr.Post();
    EXPECT_EQ(sheet.ChrDateText(false, -10), "Approx 05/03/2004");
}

// ---- texts -------------------------------------------------------------------------------

TEST_F(ChronologyTest, IntervalTextChoosesItsUnit) {
    struct Case { TDateTime start, end; double n; const char* text; } cases[] = {
        {D(2001, 1, 1), D(2001, 1, 1), 0, ""},
        {D(2001, 1, 1), D(2001, 1, 2), 1, "1 days"},
        {D(2001, 1, 1), D(2001, 1, 11), 10, "10 days"},
        {D(2001, 1, 1), D(2001, 1, 14), 13, "13 days"},
        {D(2001, 1, 1), D(2001, 1, 15), 14, "2 weeks"},
        {D(2001, 1, 11), D(2001, 2, 20), 40, "5.7 weeks"},
        {D(2001, 1, 1), D(2001, 3, 2), 60, "8.5 weeks"},
        {D(2001, 1, 1), D(2001, 3, 3), 61, "2.0 months"},
        {D(2001, 2, 20), D(2001, 5, 31), 100, "3.2 months"},   // 3.285 is cut, not rounded
        {D(2001, 1, 1), D(2001, 12, 31), 364, "11.9 months"},
        {D(2001, 5, 31), D(2002, 7, 5), 400, "1.0 years"},     // 400 / 365.25 = 1.095
        {D(2001, 1, 1), D(2004, 1, 1), 1095, "2.9 years"},     // 1095 / 365.25 = 2.998
        {D(1899, 12, 31), D(1900, 1, 5), 5, ""},
        {D(2200, 12, 31), D(2201, 1, 1), 1, ""},
        {D(1900, 1, 1), D(2200, 12, 31), 109937, "300.9 years"},
    };
    ctx.daysPerYearType = 1;
    for (const auto& c : cases) EXPECT_EQ(IntervalText(c.start, c.end, c.n, ctx), c.text) << c.n;
}

TEST(HoursMinutesText, TotalHoursAndMinutes) {
    EXPECT_EQ(HoursMinutesText((D(2004, 3, 5) + H(12.25)) - (D(2004, 3, 5) + H(9))), "3hrs 15mins");
    EXPECT_EQ(HoursMinutesText(H(3) + 5 / 1440.0), "3hrs 05mins");
    EXPECT_EQ(HoursMinutesText(H(26)), "26hrs 00mins");
    EXPECT_EQ(HoursMinutesText(-H(2)), "2hrs 00mins");
    EXPECT_EQ(HoursMinutesText(0.5 / 1440), "0hrs 00mins");
}

// ---- derived columns ---------------------------------------------------------------------

TEST_F(ChronologyTest, SameDayEventsGetHoursAndMinutes) {
    const uint64_t a = AddEvent(D(2004, 3, 5), "09:00");
    const uint64_t b = AddEvent(D(2004, 3, 5), "12:15");
    sheet.PrepareChronologyColumns();
    EXPECT_EQ(At(a, "TimeDiff"), "3hrs 15mins");
    EXPECT_EQ(At(b, "TimeDiff"), "");
    EXPECT_EQ(IntAt(a, "DayNumber"), 1);
    EXPECT_EQ(IntAt(b, "DayNumber"), 1);
    EXPECT_EQ(At(a, "Ago"), "5 days");
}

TEST_F(ChronologyTest, GapsBetweenEventsInWordsSkippingUnprintedRows) {
    const uint64_t r1 = AddEvent(D(2001, 1, 1), "");
    const uint64_t r2 = AddEvent(D(2001, 1, 11), "");
    const uint64_t hidden = AddEvent(D(2001, 1, 15), "", 0, false);
    const uint64_t r3 = AddEvent(D(2001, 2, 20), "");
    const uint64_t r4 = AddEvent(D(2001, 5, 31), "");
    const uint64_t r5 = AddEvent(D(2002, 7, 5), "");
    ctx.daysPerYearType = 1;
    sheet.PrepareChronologyColumns(D(2004, 3, 10));
    struct Expect { uint64_t id; const char* diff; int64_t day; } expect[] = {
        {r1, "10 days", 1}, {r2, "5.7 weeks", 11}, {r3, "3.2 months", 51}, {r4, "1.0 years", 151},
        {r5, "", 551},
    };
    for (const auto& e : expect) {
        EXPECT_EQ(At(e.id, "TimeDiff"), e.diff) << e.day;
        EXPECT_EQ(IntAt(e.id, "DayNumber"), e.day);
    }
    EXPECT_TRUE(taChr.GotoRecordId(hidden));
    EXPECT_TRUE(F("TimeDiff").IsNull());
    EXPECT_TRUE(F("DayNumber").IsNull());
    EXPECT_TRUE(F("Ago").IsNull());
}

TEST_F(ChronologyTest, AgoIsTheSameKindOfTextBeforeAndAfterTheCalculationDate) {
    const uint64_t before = AddEvent(D(2004, 3, 1), "");
    const uint64_t after = AddEvent(D(2004, 3, 20), "");
    const uint64_t same = AddEvent(D(2004, 3, 10), "");
    sheet.PrepareChronologyColumns(D(2004, 3, 10));
    EXPECT_EQ(At(before, "Ago"), "9 days");
    EXPECT_EQ(At(after, "Ago"), "10 days");
    EXPECT_EQ(At(same, "Ago"), "");
}

TEST_F(ChronologyTest, AgoCountsTheCalculatorSkipSet) {
    auto skip = CreateSkipSet(std::make_shared<SkipFileRef>(), "dd/mm/yyyy");
    skip->header.SetWeekday(1, true);
    skip->header.SetWeekday(7, true);
    skip->active = true;
    ctx.skip = skip.get();
    const uint64_t a = AddEvent(D(2004, 3, 1), "");   // Monday
    AddEvent(D(2004, 3, 2), "");
    sheet.PrepareChronologyColumns(D(2004, 3, 15));
    EXPECT_EQ(At(a, "Ago"), "10 days");   // two weekends of the fortnight skipped
    skip->ref->invert = true;
    sheet.PrepareChronologyColumns(D(2004, 3, 15));
    EXPECT_EQ(At(a, "Ago"), "4 days");
}

TEST_F(ChronologyTest, CalculationDateIsTodayWhenAskedFor) {
    EXPECT_EQ(sheet.CalculationDate(), D(2004, 3, 10));
    ChronologySettings s = sheet.Settings();
    s.dos = D(2000, 1, 1);
    sheet.SetSettings(s);
    EXPECT_EQ(sheet.CalculationDate(), D(2000, 1, 1));
    sheet.cbDosTodayClick(true);
    EXPECT_EQ(sheet.CalculationDate(), D(2004, 3, 10));
}

TEST_F(ChronologyTest, DayNumbersFollowTheLocalCalendarDay) {
    const uint64_t a = AddEvent(D(2004, 3, 5), "23:00");
    const uint64_t b = AddEvent(D(2004, 3, 6), "01:00");
    const uint64_t c = AddEvent(D(2004, 3, 6), "23:30");
    sheet.PrepareChronologyColumns();
    EXPECT_EQ(IntAt(a, "DayNumber"), 1);
    EXPECT_EQ(IntAt(b, "DayNumber"), 2);
    EXPECT_EQ(IntAt(c, "DayNumber"), 2);
    EXPECT_EQ(At(a, "TimeDiff"), "2hrs 00mins");
    EXPECT_EQ(At(b, "TimeDiff"), "22hrs 30mins");
}

TEST_F(ChronologyTest, HoursAcrossTwoDaysKeepTheWholeDays) {
    const uint64_t a = AddEvent(D(2004, 3, 5), "01:00");
    AddEvent(D(2004, 3, 6), "23:00");
    sheet.PrepareChronologyColumns();
    EXPECT_EQ(At(a, "TimeDiff"), "46hrs 00mins");
}

TEST_F(ChronologyTest, HoursBetweenZonesAreCountedOnTheLocalClock) {
    const int64_t hawaii = AddZone("Hawaii", "-10:00");
    const uint64_t a = AddEvent(D(2004, 3, 5), "09:00", hawaii);   // 4 March 23:00 here
    const uint64_t b = AddEvent(D(2004, 3, 5), "08:00");
    sheet.PrepareChronologyColumns();
    EXPECT_EQ(At(a, "TimeDiff"), "9hrs 00mins");
    EXPECT_EQ(IntAt(a, "DayNumber"), 1);
    EXPECT_EQ(IntAt(b, "DayNumber"), 2);
}

TEST_F(ChronologyTest, MidnightOnBothOrOneUntimedEventGivesDays) {
    const uint64_t a = AddEvent(D(2004, 3, 5), "00:00");
    const uint64_t b = AddEvent(D(2004, 3, 6), "00:00");
    AddEvent(D(2004, 3, 7), "");
    sheet.PrepareChronologyColumns();
    EXPECT_EQ(At(a, "TimeDiff"), "1 days");
    EXPECT_EQ(At(b, "TimeDiff"), "1 days");
}

TEST_F(ChronologyTest, OneRowOnlyLosesItsTimeDiff) {
    AddEvent(D(2004, 3, 5), "09:00");
    taChr.Edit();
    F("TimeDiff").SetString("old");
    F("Ago").SetString("kept");
    taChr.Post();
    sheet.PrepareChronologyColumns();
    EXPECT_EQ(F("TimeDiff").AsString(), "");
    EXPECT_EQ(F("Ago").AsString(), "kept");
}

TEST_F(ChronologyTest, PreparingKeepsTheCurrentRowAndTheModifiedFlag) {
    AddEvent(D(2004, 3, 5), "09:00");
    const uint64_t b = AddEvent(D(2004, 3, 6), "09:00");
    AddEvent(D(2004, 3, 7), "09:00");
    taChr.GotoRecordId(b);
    modified = 0;
    sheet.PrepareChronologyColumns();
    EXPECT_EQ(taChr.RecordId(), b);
    EXPECT_EQ(modified, 0);
}

// ---- settings, visibility and commands ---------------------------------------------------

TEST_F(ChronologyTest, SettingsLiveAtTheirHeaderOffsets) {
    ChronologySettings s;
    s.dob = D(1960, 2, 29);
    s.dos = D(2004, 3, 10);
    s.printAge = true;
    s.useZones = true;
    s.defaultSheet = 7;
    s.useTime = true;
    s.defaultFormat = -11;
    s.dosToday = true;
    sheet.SetSettings(s);
    EXPECT_EQ(header.F64(72), D(1960, 2, 29));
    EXPECT_EQ(header.F64(80), D(2004, 3, 10));
    EXPECT_EQ(header.bytes[650], 1);
    EXPECT_EQ(header.bytes[652], 1);
    EXPECT_EQ(header.I32(1048), 7);
    EXPECT_EQ(header.bytes[1299], 1);
    EXPECT_EQ(header.I32(1320), -11);
    EXPECT_EQ(header.bytes[2962], 1);
    EXPECT_EQ(ReadChronologySettings(header), s);
    EXPECT_EQ(sheet.Settings(), s);
}

TEST(ChronologyVisibility, Rules) {
    struct Case { bool useTime, useZones, dosToday, printAge; ChronologyVisibility v; } cases[] = {
        {false, false, false, false, {false, false, false, true, false}},
        {false, true, false, false, {false, false, false, true, false}},
        {true, false, false, false, {true, true, false, true, false}},
        {true, true, false, false, {true, true, true, true, false}},
        {false, false, true, true, {false, false, false, false, true}},
    };
    for (const auto& c : cases) {
        ChronologySettings s;
        s.useTime = c.useTime;
        s.useZones = c.useZones;
        s.dosToday = c.dosToday;
        s.printAge = c.printAge;
        EXPECT_EQ(ChronologyVisibilityFor(s), c.v);
        for (const SheetColumn& col : ChronologyColumns(SheetContext{}, s)) {
            if (col.field == "Time") {
                EXPECT_EQ(col.visible, c.v.timeColumn);
            }
            if (col.field == "LocalDateTime" || col.field == "caAdj") {
                EXPECT_EQ(col.visible, c.v.localTimeColumns);
            }
        }
    }
}

TEST_F(ChronologyTest, CheckBoxesRunTheVisibilityRules) {
    std::vector<ChronologyVisibility> seen;
    sheet.onVisibility = [&](const ChronologyVisibility& v) { seen.push_back(v); };
    sheet.cbUseTimeClick(false);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_FALSE(seen.back().localTimeColumns);
    EXPECT_FALSE(seen.back().zoneCheckBox);
    sheet.cbUseTimeClick(true);
    EXPECT_TRUE(seen.back().localTimeColumns);
    sheet.cbAgeClick(true);
    EXPECT_TRUE(seen.back().dateOfBirth);
    EXPECT_TRUE(header.Get(hdr::cbAge));
    AddEvent(D(2004, 3, 5), "");
    EXPECT_EQ(seen.size(), 4u);   // a post runs them too
}

TEST(ChronologyColumns, TitlesFollowTheGeneralDateFormat) {
    SheetContext ctx;
    ctx.dateEntryFormat = "dd/mm/yyyy";
    ChronologySettings s;
    s.useTime = s.useZones = true;
    const auto cols = ChronologyColumns(ctx, s);
    ASSERT_GE(cols.size(), 5u);
    EXPECT_EQ(cols[0].field, "Date");
    EXPECT_EQ(cols[0].title, "Date@Event~dd/mm/yyyy");
    EXPECT_EQ(cols[2].title, "Event Description");
    EXPECT_EQ(cols[3].field, "LocalDateTime");
    EXPECT_EQ(cols[3].title, "(Local) Time Here~dd/mm/yyyy hh:mm");
    EXPECT_EQ(cols[3].displayFormat, "ddd dd/mm/yyyy hh:mm");
    EXPECT_EQ(cols[3].width, 19);
    EXPECT_EQ(ZoneColumns(Locale::Default())[1].title, "Zone~\u00B1h:mm AMPM");
}

TEST_F(ChronologyTest, DeletingAnEventAsksFirst) {
    AddEvent(D(2004, 3, 5), "");
    modified = 0;
    ui.QueueAnswer(ConfirmResult::No);
    EXPECT_THROW(taChr.Delete(), TableAbort);
    EXPECT_EQ(taChr.RecordCount(), 1);
    EXPECT_EQ(modified, 0);
    taChr.Delete();   // the default answer is Yes
    EXPECT_TRUE(taChr.IsEmpty());
    EXPECT_EQ(modified, 1);
}

TEST_F(ChronologyTest, EditAndInsertOpenTheEditorWithTheFlags) {
    std::vector<std::pair<bool, bool>> calls;
    auto editor = [&](bool useTime, bool useZones) {
        calls.emplace_back(useTime, useZones);
        if (taChr.State() == TableState::Insert) taChr.Post();
    };
    sheet.cbZoneClick(false);
    modified = 0;
    sheet.InsertEvent(editor);
    EXPECT_EQ(taChr.RecordCount(), 1);
    sheet.acChrEditExecute(editor);
    EXPECT_EQ(calls, (std::vector<std::pair<bool, bool>>{{true, false}, {true, false}}));
    EXPECT_GE(modified, 2);
}

TEST_F(ChronologyTest, NewDocumentReadsTheGeneralDefaultFormat) {
    AddEvent(D(2004, 3, 5), "");
    const auto dir = std::filesystem::temp_directory_path() / "clx_chronology_test";
    std::filesystem::create_directories(dir);
    const auto file = dir / "CLX.INI";
    std::ofstream(file) << "[Settings]\nChrDateFormat=-12\n";
    ChronologySettings s = sheet.Settings();
    s.dos = D(1999, 1, 1);
    sheet.SetSettings(s);

    IniFile ini(file.string());
    sheet.NewDocument(&ini);
    EXPECT_TRUE(taChr.IsEmpty());
    EXPECT_EQ(sheet.Settings().dos, D(2004, 3, 10));
    EXPECT_EQ(sheet.Settings().defaultFormat, -12);

    IniFile empty("");
    sheet.NewDocument(&empty);
    EXPECT_EQ(sheet.Settings().defaultFormat, kFormatGeneral);
    std::filesystem::remove_all(dir);
}

TEST(ChronologySheetAlone, KeepsItsSettingsWithoutAHeader) {
    MemTable taChr, taZon;
    DefineChronologyFields(taChr);
    DefineZoneFields(taZon);
    SheetContext ctx;
    ChronologySheet sheet(taChr, taZon, ctx);
    EXPECT_EQ(sheet.Settings().defaultFormat, kFormatGeneral);
    sheet.cbUseTimeClick(true);
    EXPECT_TRUE(sheet.Settings().useTime);
    taChr.Append();
    taChr.Post();
    taChr.Delete();   // without a Ui nothing asks
    EXPECT_TRUE(taChr.IsEmpty());
    // Codes that name an options format print nothing without the options' table.
    taChr.Append();
    EXPECT_EQ(sheet.FormatForCode(1), "");
}

}  // namespace
}  // namespace clx
