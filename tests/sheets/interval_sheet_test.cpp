#include "sheets/interval_sheet.h"

#include <gtest/gtest.h>

#include <map>

#include "engine/skipset.h"

namespace clx {
namespace {

TDateTime D(int y, int m, int d) { return EncodeDate(y, m, d); }

class IntervalSheetTest : public ::testing::Test {
protected:
    IntervalSheetTest() {
        DefineIntervalFields(table);
        ctx.dateEntryFormat = "dd/mm/yyyy";
        ctx.dateDisplayFormat = "ddd dd/mm/yyyy";
        ctx.today = [] { return D(2001, 3, 9); };
        ctx.markModified = [this] { ++modified; };
        skip->header.SetWeekday(1, true);   // Sunday
        skip->header.SetWeekday(7, true);   // Saturday
    }

    void AddRow(TDateTime from, TDateTime to, bool first, bool last) {
        table.Append();
        table.FieldByName("DFrom").SetDateTime(from);
        table.FieldByName("DTo").SetDateTime(to);
        table.FieldByName("IncludeFirst").SetBoolean(first);
        table.FieldByName("IncludeLast").SetBoolean(last);
        table.Post();
    }
    Field F(const char* name) { return table.FieldByName(name); }

    MemTable table{"taOne"};
    SheetContext ctx;
    std::unique_ptr<SkipSet> skip = CreateSkipSet(std::make_shared<SkipFileRef>(), "dd/mm/yyyy");
    int modified = 0;
    IntervalSheet sheet{table, ctx};
};

TEST_F(IntervalSheetTest, NewRowIsTodayToAWeekLaterFirstDayIncluded) {
    table.Append();
    EXPECT_EQ(F("DFrom").AsDateTime(), D(2001, 3, 9));
    EXPECT_EQ(F("DTo").AsDateTime(), D(2001, 3, 16));
    EXPECT_TRUE(F("IncludeFirst").AsBoolean());
    EXPECT_FALSE(F("IncludeLast").AsBoolean());
    table.Post();
    EXPECT_EQ(F("Days").AsInteger(), 7);
    EXPECT_DOUBLE_EQ(F("Weeks").AsFloat(), 1.0);
    EXPECT_DOUBLE_EQ(F("Years").AsFloat(), 0.0164);   // 6 / 365.25
    EXPECT_EQ(F("Comments").AsString(), "Inclusive");
    EXPECT_EQ(F("CommentsPlus").AsString(),
              "From Friday 9 March 2001 until Thursday 15 March 2001 is 7 days or 1 week or 0.016 years "
              "inclusive using normal method.");
}

TEST_F(IntervalSheetTest, SentenceOfAMonth) {
    AddRow(D(2001, 1, 1), D(2001, 1, 31), true, true);
    EXPECT_EQ(F("CommentsPlus").AsString(),
              "From Monday 1 January 2001 until Wednesday 31 January 2001 is 31 days or 4.4 weeks or "
              "0.082 years inclusive using normal method.");
    EXPECT_EQ(F("Comments").AsString(), "Inclusive");
    EXPECT_EQ(F("DFromI").AsDateTime(), D(2001, 1, 1));
    EXPECT_EQ(F("DToI").AsDateTime(), D(2001, 1, 31));
    EXPECT_GT(modified, 0);
}

struct RowCase {
    const char* what;
    TDateTime from, to;
    bool first, last;
    int days;
    double weeks;
    bool yearsNull;
    TDateTime fromI, toI;
};

TEST_F(IntervalSheetTest, RowCases) {
    const RowCase cases[] = {
        {"same day, nothing included", D(2001, 5, 1), D(2001, 5, 1), false, false, 1, 0.1, false, D(2001, 5, 1), D(2001, 5, 1)},
        {"same day, both included", D(2001, 5, 1), D(2001, 5, 1), true, true, 1, 0.1, false, D(2001, 5, 1), D(2001, 5, 1)},
        {"adjacent days, last excluded", D(2001, 3, 1), D(2001, 3, 2), false, false, 0, 0, true, D(2001, 3, 2), D(2001, 3, 1)},
        // IncludeFirst applies to the earlier date, which is DTo here.
        {"reversed dates", D(2001, 1, 31), D(2001, 1, 1), false, true, 30, 4.2, false, D(2001, 1, 2), D(2001, 1, 31)},
        {"in order", D(2001, 1, 1), D(2001, 1, 31), false, true, 30, 4.2, false, D(2001, 1, 2), D(2001, 1, 31)},
    };
    for (const RowCase& c : cases) {
        SCOPED_TRACE(c.what);
        AddRow(c.from, c.to, c.first, c.last);
        EXPECT_EQ(F("Days").AsInteger(), c.days);
        EXPECT_DOUBLE_EQ(F("Weeks").AsFloat(), c.weeks);
        EXPECT_EQ(F("Years").IsNull(), c.yearsNull);
        EXPECT_EQ(F("DFromI").AsDateTime(), c.fromI);
        EXPECT_EQ(F("DToI").AsDateTime(), c.toI);
    }
}

TEST_F(IntervalSheetTest, NoDayLeftGivesTheSentenceWithZeroDays) {
    AddRow(D(2001, 3, 1), D(2001, 3, 2), false, false);
    EXPECT_EQ(F("CommentsPlus").AsString(),
              "From Friday 2 March 2001 until Thursday 1 March 2001 is 0 days or 0 weeks or 0 years "
              "inclusive using normal method.");
}

TEST_F(IntervalSheetTest, EmptyDateIsIncompleteData) {
    table.Append();
    F("DTo").Clear();
    table.Post();
    EXPECT_EQ(F("Comments").AsString(), "Incomplete Data");
    EXPECT_EQ(F("CommentsPlus").AsString(), "Incomplete Data");
    EXPECT_EQ(F("DFromI").AsDateTime(), D(2001, 3, 9));
    EXPECT_TRUE(F("DToI").IsNull());
    EXPECT_TRUE(F("Days").IsNull());
    EXPECT_TRUE(F("Weeks").IsNull());
    EXPECT_TRUE(F("Years").IsNull());
}

TEST_F(IntervalSheetTest, DatesBefore1600KeepNoEffectiveDate) {
    table.Append();
    F("DFrom").SetDateTime(D(1500, 1, 1));
    F("DTo").Clear();
    table.Post();
    EXPECT_TRUE(F("DFromI").IsNull());
    EXPECT_EQ(F("Comments").AsString(), "Incomplete Data");
}

TEST_F(IntervalSheetTest, SkippedWeekendsAndInvert) {
    ctx.skip = skip.get();
    skip->active = true;
    // Monday 5 to Sunday 18 March 2001: 10 weekdays, 4 weekend days.
    AddRow(D(2001, 3, 5), D(2001, 3, 18), true, true);
    EXPECT_EQ(F("Days").AsInteger(), 10);
    EXPECT_EQ(F("Comments").AsString(), "4 days skipped");
    EXPECT_NE(F("CommentsPlus").AsString().find(
                  " - however 4 days were skipped. There would have been 14 days if none were skipped."),
              std::string::npos);

    ctx.invert = true;
    sheet.RecalcSingle();
    EXPECT_EQ(F("Days").AsInteger(), 4);
    EXPECT_EQ(F("Comments").AsString(), "10 days skipped");
}

TEST_F(IntervalSheetTest, GridPageCopiesInvertIntoTheSetAndRecalculates) {
    ctx.skip = skip.get();
    skip->active = true;
    AddRow(D(2001, 3, 5), D(2001, 3, 18), true, true);
    ctx.invert = true;
    EXPECT_FALSE(sheet.nbCalcPageChanged("CalcSkip"));
    EXPECT_FALSE(skip->ref->invert);
    EXPECT_TRUE(sheet.nbCalcPageChanged("CalcMain"));
    EXPECT_TRUE(skip->ref->invert);
    EXPECT_EQ(F("Days").AsInteger(), 4);
}

TEST_F(IntervalSheetTest, FinancialMethodRecalculatesEveryRowAndPassesOverTheSkipPage) {
    AddRow(D(2001, 1, 1), D(2001, 1, 31), true, true);
    AddRow(D(2001, 3, 1), D(2001, 3, 2), false, false);
    EXPECT_EQ(IntervalPagesPassedOver(sheet.Settings().calcMethod), std::set<int>{});

    sheet.edCalcMethodClick(cmActualActual);
    EXPECT_EQ(sheet.Settings().calcMethod, cmActualActual);
    EXPECT_EQ(IntervalPagesPassedOver(cmActualActual), std::set<int>{kCalcSkipPage});
    table.First();
    EXPECT_EQ(F("Days").AsInteger(), 30);
    const std::string s = F("CommentsPlus").AsString();
    EXPECT_EQ(s.substr(s.size() - 40), " using Financial - Actual/actual method.");
    table.Next();
    EXPECT_EQ(F("Days").AsInteger(), 1);   // two adjacent excluded days give 1 by a convention
}

TEST_F(IntervalSheetTest, MethodChoicePostsAPendingEdit) {
    AddRow(D(2001, 1, 1), D(2001, 1, 31), true, true);
    table.Edit();
    F("DTo").SetDateTime(D(2001, 1, 10));
    sheet.edCalcMethodClick(cmNormal);
    EXPECT_EQ(table.State(), TableState::Browse);
    EXPECT_EQ(F("Days").AsInteger(), 10);
}

TEST_F(IntervalSheetTest, UnknownMethodIsRefused) {
    for (int bad : {-1, 6, 100}) {
        EXPECT_THROW(sheet.edCalcMethodClick(bad), std::invalid_argument) << bad;
        EXPECT_THROW(sheet.SetSettings({bad}), std::invalid_argument) << bad;
    }
    EXPECT_EQ(sheet.Settings().calcMethod, cmNormal);
}

TEST_F(IntervalSheetTest, RecalculateIgnoresFailures) {
    EXPECT_NO_THROW(sheet.RecalcSingle());   // empty table
    AddRow(D(2001, 1, 1), D(2001, 1, 31), true, true);
    table.handlers.beforePost = [](MemTable&) { throw TableError("refused"); };
    EXPECT_NO_THROW(sheet.RecalcSingle());
    EXPECT_EQ(table.State(), TableState::Edit);
}

TEST_F(IntervalSheetTest, DeletingMarksTheDocumentModified) {
    AddRow(D(2001, 1, 1), D(2001, 1, 31), true, true);
    modified = 0;
    table.Delete();
    EXPECT_EQ(modified, 1);
}

TEST(IntervalSheetDefinition, TablesColumnsAndExportList) {
    std::map<std::string, std::unique_ptr<MemTable>> tables;
    MemTable& t = DefineIntervalTables([&](const std::string& name) -> MemTable& {
        return *(tables[name] = std::make_unique<MemTable>(name));
    });
    EXPECT_EQ(tables.count("taOne"), 1u);
    EXPECT_EQ(t.SortField(), "Order");
    std::string names;
    for (const FieldDef& f : t.Fields()) names += f.name + (f.kind == FieldKind::Calculated ? "* " : " ");
    EXPECT_EQ(names, "DFrom IncludeFirst DTo IncludeLast Description Days* DFromI* DToI* Weeks* Years* "
                     "Comments* Order I CommentsPlus* ");
    EXPECT_EQ(t.Fields()[t.FieldIndex("Description")].size, 128);
    EXPECT_EQ(t.Fields()[t.FieldIndex("CommentsPlus")].size, 300);

    SheetContext ctx;
    ctx.dateEntryFormat = "dd/mm/yyyy";
    const auto cols = IntervalColumns(ctx);
    ASSERT_GE(cols.size(), 6u);
    EXPECT_EQ(cols[0].title, "From~dd/mm/yyyy");
    EXPECT_EQ(cols[0].editMask, "!99/99/0000;1;_");
    EXPECT_EQ(cols[1].title, "Incl.~From");
    EXPECT_TRUE(cols[1].checkBox);
    EXPECT_EQ(cols[5].field, "Days");
    for (size_t i = 6; i < cols.size(); ++i) EXPECT_FALSE(cols[i].visible) << cols[i].field;

    EXPECT_EQ(IntervalCsvFields(), "DFrom;IncludeFirst;DTo;IncludeLast;Days;Years;Description;CommentsPlus");
    EXPECT_EQ(CalcMethodItems().size(), 6u);
    EXPECT_EQ(IntervalCellColours("Days", true, true), ResultCellColours());
    EXPECT_EQ(IntervalCellColours("DFrom", true, true).text, SheetColour::Yellow);
    EXPECT_EQ(IntervalCellColours("DFrom", true, false).text, SheetColour::White);
    EXPECT_EQ(IntervalCellColours("DFrom", false, false).background, SheetColour::Window);
}

}  // namespace
}  // namespace clx
