#include "sheets/birthdays_sheet.h"

#include <gtest/gtest.h>

#include <limits>

namespace clx {
namespace {

TDateTime D(int y, int m, int d) { return EncodeDate(y, m, d); }

TEST(ZodiacSign, EveryBoundary) {
    struct Case { int month, day; const char* sign; } cases[] = {
        {1, 20, "Capricorn"},  {1, 21, "Aquarius"},   {2, 19, "Aquarius"},  {2, 20, "Pisces"},
        {3, 20, "Pisces"},     {3, 21, "Aries"},      {4, 20, "Aries"},     {4, 21, "Taurus"},
        {5, 20, "Taurus"},     {5, 21, "Gemini"},     {6, 21, "Gemini"},    {6, 22, "Cancer"},
        {7, 23, "Cancer"},     {7, 24, "Leo"},        {8, 23, "Leo"},       {8, 24, "Virgo"},
        {9, 23, "Virgo"},      {9, 24, "Libra"},      {10, 23, "Libra"},    {10, 24, "Scorpio"},
        {11, 22, "Scorpio"},   {11, 23, "Sagittarius"}, {12, 22, "Sagittarius"}, {12, 23, "Capricorn"},
        {12, 31, "Capricorn"}, {1, 1, "Capricorn"},
    };
    for (const auto& c : cases) {
        for (int year : {1970, 2000, 1}) {
            EXPECT_EQ(ZodiacSign(D(year, c.month, c.day)), c.sign) << year << "-" << c.month << "-" << c.day;
        }
    }
    EXPECT_EQ(ZodiacSign(D(1960, 2, 29)), "Pisces");
    EXPECT_EQ(ZodiacSign(D(1970, 4, 20) + 0.75), "Aries");   // the time of day plays no part
    for (const char* s : kZodiacSigns) EXPECT_LE(std::string(s).size(), 11u);
}

TEST(ZodiacSign, UndecodableDatesHaveNone) {
    EXPECT_EQ(ZodiacSign(kMaxDateSerial + 1.0), "");
    EXPECT_EQ(ZodiacSign(kMinDateSerial - 1.0), "");
    EXPECT_EQ(ZodiacSign(std::numeric_limits<double>::quiet_NaN()), "");
}

TEST(BirthdayAge, Cases) {
    const TDateTime today = D(2021, 6, 1);
    struct Case { const char* what; TDateTime dob, dod; double age; } cases[] = {
        {"day after the birthday", D(1970, 5, 10), D(2020, 5, 11), 50.0},
        {"on the birthday", D(1970, 5, 10), D(2020, 5, 10), 49.998},   // 18262 / 365.2549
        {"to today", D(1970, 5, 10), 0, 51.0582},
        {"leap day, 1 March of a leap year", D(1960, 2, 29), D(2020, 3, 1), 60.0},
        {"leap day, 28 February of a common year", D(1960, 2, 29), D(2021, 2, 28), 60.9952},
        {"leap day, 1 March of a common year", D(1960, 2, 29), D(2021, 3, 1), 61.0},
        {"leap day, on the next leap day", D(1960, 2, 29), D(2024, 2, 29), 64.0},
    };
    for (const auto& c : cases) {
        const auto age = BirthdayAge(c.dob, c.dod, today);
        ASSERT_TRUE(age) << c.what;
        EXPECT_NEAR(*age, c.age, 0.0001) << c.what;
    }
    EXPECT_FALSE(BirthdayAge(0, D(2020, 1, 1), today));
    EXPECT_FALSE(BirthdayAge(D(2022, 1, 1), 0, today));           // not born yet
    EXPECT_FALSE(BirthdayAge(D(2000, 1, 1), D(1999, 1, 1), today));
}

class BirthdaysTest : public ::testing::Test {
protected:
    BirthdaysTest() {
        DefineBirthdayFields(table);
        ctx.dateEntryFormat = "dd/mm/yyyy";
        ctx.today = [this] { return today; };
        ctx.markModified = [this] { ++modified; };
    }
    void Add(const char* name, TDateTime dob, TDateTime dod = 0) {
        table.Append();
        F("Name").SetString(name);
        if (dob) F("DOB").SetDateTime(dob);
        if (dod) F("DOD").SetDateTime(dod);
        table.Post();
    }
    Field F(const char* name) { return table.FieldByName(name); }

    TDateTime today = D(2021, 6, 1);
    MemTable table{"taSta"};
    SheetContext ctx;
    int modified = 0;
    BirthdaysSheet sheet{table, ctx};
};

TEST_F(BirthdaysTest, NewRowHasMidnightTimesAndNothingElse) {
    table.Append();
    EXPECT_EQ(F("TOB").AsDateTime(), 0);
    EXPECT_FALSE(F("TOB").IsNull());
    EXPECT_FALSE(F("TOD").IsNull());
    for (const char* f : {"Name", "DOB", "DOD", "Age", "StarSign", "Memo"}) EXPECT_TRUE(F(f).IsNull()) << f;
}

TEST_F(BirthdaysTest, AgeAndSignOfARow) {
    Add("Ann", D(1970, 5, 10), D(2020, 5, 11));
    EXPECT_DOUBLE_EQ(F("Age").AsFloat(), 50.0);
    EXPECT_EQ(F("StarSign").AsString(), "Taurus");
    EXPECT_GT(modified, 0);
}

TEST_F(BirthdaysTest, WithoutADateOfBirthThereIsNoAgeNorSign) {
    Add("Nobody", 0, D(2020, 1, 1));
    EXPECT_TRUE(F("Age").IsNull());
    EXPECT_TRUE(F("StarSign").IsNull());
}

TEST_F(BirthdaysTest, AgeGrowsWithTodayUntilADateOfDeath) {
    Add("Bob", D(1970, 5, 10));
    EXPECT_NEAR(F("Age").AsFloat(), 51.0582, 0.0001);
    today = D(2022, 5, 11);
    table.Refresh();
    EXPECT_DOUBLE_EQ(F("Age").AsFloat(), 52.0);

    ASSERT_TRUE(sheet.EnterDod("11/05/2020"));
    table.Post();
    EXPECT_DOUBLE_EQ(F("Age").AsFloat(), 50.0);

    sheet.SetDodBlank();
    EXPECT_EQ(table.State(), TableState::Edit);
    EXPECT_TRUE(F("DOD").IsNull());
    table.Post();
    EXPECT_DOUBLE_EQ(F("Age").AsFloat(), 52.0);
}

TEST_F(BirthdaysTest, InvalidDatesOfDeathAreRefusedSilently) {
    Add("Cy", D(1950, 1, 1), D(2000, 1, 1));
    for (const char* text : {"31/02/2000", "not a date", "30/12/1899", "29/12/1899"}) {
        EXPECT_FALSE(sheet.EnterDod(text)) << text;
        EXPECT_EQ(F("DOD").AsDateTime(), D(2000, 1, 1)) << text;
    }
    EXPECT_FALSE(sheet.EnterDod(-5.0));
    EXPECT_FALSE(sheet.EnterDod(0.0));
    EXPECT_TRUE(sheet.EnterDod("  "));   // an empty entry clears it
    EXPECT_TRUE(F("DOD").IsNull());
    EXPECT_TRUE(sheet.EnterDod("31/12/1899"));
    EXPECT_EQ(F("DOD").AsDateTime(), 1);
}

TEST_F(BirthdaysTest, DeathBeforeBirthIsRefused) {
    table.Append();
    F("DOB").SetDateTime(D(2000, 1, 1));
    F("DOD").SetDateTime(D(1999, 12, 31));
    try {
        table.Post();
        ADD_FAILURE() << "posted";
    } catch (const TableError& e) {
        EXPECT_STREQ(e.what(), kDeathBeforeBirthText);
    }
    EXPECT_EQ(table.State(), TableState::Insert);
    F("DOD").SetDateTime(D(2000, 1, 1));   // died on the day of birth
    table.Post();
    EXPECT_EQ(table.RecordCount(), 1);
}

TEST_F(BirthdaysTest, SetDodBlankOnAnEmptyTableDoesNothing) {
    sheet.SetDodBlank();
    EXPECT_EQ(table.State(), TableState::Browse);
    EXPECT_FALSE(sheet.EnterDod("01/01/2000"));
}

TEST_F(BirthdaysTest, RowsAreListedByDateOfBirth) {
    Add("Middle", D(1970, 1, 1));
    Add("Late", D(1990, 1, 1));
    Add("None", 0);
    Add("Early", D(1950, 1, 1));
    EXPECT_EQ(F("Name").AsString(), "Early");   // the posted row stays current
    table.First();
    table.Next();
    table.Edit();
    F("DOB").SetDateTime(D(2000, 1, 1));   // Early becomes the latest
    table.Post();
    EXPECT_EQ(F("Name").AsString(), "Early");
    std::vector<std::string> names;
    for (int i = 1; i <= table.RecordCount(); ++i) {
        table.SetRecNo(i);
        names.push_back(F("Name").AsString());
    }
    EXPECT_EQ(names, (std::vector<std::string>{"None", "Middle", "Late", "Early"}));
}

TEST(BirthdayGrid, ColumnsAndColours) {
    SheetContext ctx;
    const auto cols = BirthdayColumns(ctx);
    std::vector<std::string> visible;
    for (const auto& c : cols)
        if (c.visible) visible.push_back(c.field + ":" + c.title);
    EXPECT_EQ(visible, (std::vector<std::string>{"Name:Name", "DOB:Date of Birth", "DOD:DOD", "Age:Age",
                                                 "StarSign:Zodiac Sign"}));
    EXPECT_EQ(cols[3].displayFormat, "###.#");
    EXPECT_EQ(cols[5].field, "TOB");
    EXPECT_EQ(cols[5].title, "Time~hh:mm");
    EXPECT_EQ(cols[5].editMask, "!90:00;1;_");

    const CellColours result{SheetColour::ButtonFace, SheetColour::Black};
    EXPECT_EQ(BirthdayCellColours("Age", true, true), result);
    EXPECT_EQ(BirthdayCellColours("StarSign", false, true), result);
    EXPECT_EQ(BirthdayCellColours("Name", true, true), (CellColours{SheetColour::Navy, SheetColour::Yellow}));
    EXPECT_EQ(BirthdayCellColours("Name", false, true), (CellColours{SheetColour::Navy, SheetColour::White}));
    EXPECT_EQ(BirthdayCellColours("Name", true, false), (CellColours{SheetColour::Window, SheetColour::Black}));
    EXPECT_EQ(BirthdaysCsvFields(), "Name;DOB;Age;StarSign");
}

}  // namespace
}  // namespace clx
