#include "sheets/math_sheet.h"

#include <gtest/gtest.h>

#include <climits>
#include <map>

#include "engine/skipset.h"

namespace clx {
namespace {

TDateTime D(int y, int m, int d) { return EncodeDate(y, m, d); }

class MathSheetTest : public ::testing::Test {
protected:
    MathSheetTest() {
        DefineMathFields(table);
        ctx.today = [] { return D(2001, 3, 9); };
        ctx.markModified = [this] { ++modified; };
        skip->header.SetWeekday(1, true);
        skip->header.SetWeekday(7, true);
    }

    void AddRow(TDateTime from, int64_t days, int64_t months, int64_t years, const char* text = "") {
        table.Append();
        table.FieldByName("DFrom").SetDateTime(from);
        table.FieldByName("Days").SetInteger(days);
        table.FieldByName("Months").SetInteger(months);
        table.FieldByName("Years").SetInteger(years);
        table.FieldByName("Description").SetString(text);
        table.Post();
    }
    Field F(const char* name) { return table.FieldByName(name); }

    MemTable table{"taMth"};
    SheetContext ctx;
    std::unique_ptr<SkipSet> skip = CreateSkipSet(std::make_shared<SkipFileRef>(), "dd/mm/yyyy");
    int modified = 0;
    MathSheet sheet{table, ctx};
};

TEST_F(MathSheetTest, NewRowEndsOnItsStart) {
    table.Append();
    EXPECT_EQ(F("DFrom").AsDateTime(), D(2001, 3, 9));
    EXPECT_EQ(F("DTo").AsDateTime(), D(2001, 3, 9));   // shown before the row is posted
    EXPECT_EQ(F("Days").AsInteger(), 0);
    EXPECT_EQ(F("Months").AsInteger(), 0);
    EXPECT_EQ(F("Years").AsInteger(), 0);
    EXPECT_EQ(F("Description").AsString(), "");
    table.Post();
    EXPECT_EQ(F("DTo").AsDateTime(), D(2001, 3, 9));
}

struct PeriodCase {
    const char* what;
    TDateTime from;
    int64_t days, months, years;
    std::optional<TDateTime> end;
};

TEST_F(MathSheetTest, PlainPeriods) {
    const PeriodCase cases[] = {
        {"month clipped to February", D(2001, 1, 31), 0, 1, 0, D(2001, 2, 28)},
        {"days first, then the month", D(2001, 1, 31), 1, 1, 0, D(2001, 3, 1)},
        {"29 February plus a year", D(2000, 2, 29), 0, 0, 1, D(2001, 2, 28)},
        {"negative days", D(2001, 3, 1), -1, 0, 0, D(2001, 2, 28)},
        {"negative months and years", D(2001, 3, 31), 0, -1, -1, D(2000, 2, 28)},
        {"year beyond the calendar", D(9999, 6, 1), 0, 0, 1, std::nullopt},
        {"days beyond the calendar", D(9999, 12, 31), 1, 0, 0, std::nullopt},
        // The month step leaves the calendar; the year step must not start again from 1899.
        {"month beyond, year back", D(9999, 12, 15), 0, 1, -1, std::nullopt},
        {"huge period", D(2001, 1, 1), INT_MAX, INT_MAX, INT_MAX, std::nullopt},
        {"huge negative period", D(2001, 1, 1), INT_MIN, INT_MIN, INT_MIN, std::nullopt},
        {"empty start", 0, 5, 0, 0, std::nullopt},
    };
    for (const PeriodCase& c : cases) {
        SCOPED_TRACE(c.what);
        AddRow(c.from, c.days, c.months, c.years);
        if (c.end) EXPECT_EQ(F("DTo").AsDateTime(), *c.end);
        else EXPECT_TRUE(F("DTo").IsNull());
        table.Delete();
    }
}

TEST_F(MathSheetTest, SkippedWeekendsPushTheEndOut) {
    ctx.skip = skip.get();
    AddRow(D(2001, 3, 9), 1, 0, 0);                      // Friday
    EXPECT_EQ(F("DTo").AsDateTime(), D(2001, 3, 10));    // set inactive: Saturday
    skip->active = true;
    sheet.SkipFileChosen();
    EXPECT_EQ(F("DTo").AsDateTime(), D(2001, 3, 12));    // Monday
}

TEST_F(MathSheetTest, InvertReachesTheRowsOnTheGridPage) {
    ctx.skip = skip.get();
    skip->active = true;
    AddRow(D(2001, 3, 9), 1, 0, 0);                      // Friday + 1 counted day
    EXPECT_EQ(F("DTo").AsDateTime(), D(2001, 3, 12));
    ctx.invert = true;
    EXPECT_FALSE(sheet.nbMathPageChanged("MathSkip"));
    EXPECT_EQ(F("DTo").AsDateTime(), D(2001, 3, 12));    // the set's flag is still off
    EXPECT_TRUE(sheet.nbMathPageChanged("MathGrid"));
    EXPECT_TRUE(skip->ref->invert);
    EXPECT_EQ(F("DTo").AsDateTime(), D(2001, 3, 10));    // only weekend days count: Saturday
}

TEST_F(MathSheetTest, RowsFollowTheirDescriptionAndStayCurrent) {
    AddRow(D(2001, 1, 1), 1, 0, 0, "b");
    AddRow(D(2001, 1, 1), 2, 0, 0, "c");
    AddRow(D(2001, 1, 1), 3, 0, 0, "a");
    auto order = [&] {
        std::string s;
        for (int i = 0; i < table.RecordCount(); ++i)
            s += std::get<std::string>(table.RowValues(i)[static_cast<size_t>(table.FieldIndex("Description"))]);
        return s;
    };
    EXPECT_EQ(order(), "abc");
    table.First();
    table.Edit();
    F("Description").SetString("z");
    table.Post();
    EXPECT_EQ(order(), "bcz");
    EXPECT_EQ(F("Description").AsString(), "z");
    EXPECT_EQ(F("Days").AsInteger(), 3);
}

TEST_F(MathSheetTest, EditsAndDeletesMarkTheDocumentModified) {
    AddRow(D(2001, 1, 1), 1, 0, 0);
    EXPECT_EQ(modified, 1);
    table.Delete();
    EXPECT_EQ(modified, 2);
}

TEST_F(MathSheetTest, RecalculatePostsAndIgnoresRefusals) {
    AddRow(D(2001, 1, 1), 1, 0, 0);
    table.Edit();
    F("Days").SetInteger(10);
    sheet.acCalcMathExecute();
    EXPECT_EQ(table.State(), TableState::Browse);
    EXPECT_EQ(F("DTo").AsDateTime(), D(2001, 1, 11));

    table.handlers.beforePost = [](MemTable&) { throw TableError("refused"); };
    table.Edit();
    F("Days").SetInteger(20);
    EXPECT_NO_THROW(sheet.acCalcMathExecute());
    EXPECT_EQ(table.State(), TableState::Edit);
}

TEST(MathSheetDefinition, TablesColumnsPagesAndExportList) {
    std::map<std::string, std::unique_ptr<MemTable>> tables;
    MemTable& t = DefineMathTables([&](const std::string& name) -> MemTable& {
        return *(tables[name] = std::make_unique<MemTable>(name));
    });
    EXPECT_EQ(t.Name(), "taMth");
    EXPECT_EQ(t.SortField(), "Description");
    EXPECT_EQ(t.Fields()[t.FieldIndex("DTo")].kind, FieldKind::Calculated);
    EXPECT_EQ(t.Fields()[t.FieldIndex("Description")].size, 80);

    SheetContext ctx;
    ctx.dateDisplayFormat = "ddd dd/mm/yyyy";
    const auto cols = MathColumns(ctx);
    ASSERT_EQ(cols.size(), 6u);
    EXPECT_EQ(cols[0].title, "Date From~ddd dd/mm/yyyy");
    EXPECT_EQ(cols[2].title, "M'ths");
    EXPECT_EQ(cols[3].groupTitle, "Add Period");
    EXPECT_EQ(cols[5].field, "DTo");
    EXPECT_EQ(MathCellColours("DTo", true, true), ResultCellColours());

    EXPECT_EQ(MathPagesPassedOver(0), (std::set<int>{kMathMethodPage}));
    EXPECT_EQ(MathPagesPassedOver(3), (std::set<int>{kMathMethodPage, kMathSkipPage}));
    EXPECT_EQ(MathCsvFields(), "DFrom;Days;Months;Years;DTo;Description;CommentsPlus");
}

}  // namespace
}  // namespace clx
