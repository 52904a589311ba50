#include "sheets/repeat_sheet.h"

#include <gtest/gtest.h>

#include <cmath>
#include <stdexcept>

#include "engine/skipset.h"
#include "platform/fake_ui.h"

namespace clx {
namespace {

TDateTime D(int y, int m, int d) { return EncodeDate(y, m, d); }

class RepeatSheetTest : public ::testing::Test {
protected:
    RepeatSheetTest() {
        DefineRepeatFields(table);
        ctx.header = &header;
        ctx.markModified = [this] { ++modified; };
        ctx.controlsToHeader = [this] { ++synced; };
    }

    // Monthly repeats from the given first date.
    void Monthly(TDateTime first, int count, double amount, const std::string& description = "Date No. %n") {
        RepeatSettings s = sheet.Settings();
        s.style = kSeriesRepeats;
        s.frequency = fqNMonth;
        s.units = 1;
        s.firstDate = first;
        s.repeatCount = count;
        s.amount = amount;
        s.description = description;
        sheet.SetSettings(s);
    }

    struct Row {
        TDateTime date;
        std::string comments;
        double amount, balance;
        int64_t series, no;
    };
    std::vector<Row> Rows() {
        std::vector<Row> out;
        for (table.First(); !table.Eof(); table.Next())
            out.push_back({F("Date").AsDateTime(), F("Comments").AsString(), F("Amount").AsFloat(),
                           F("Balance").AsFloat(), F("Series").AsInteger(), F("No").AsInteger()});
        table.First();
        return out;
    }
    Field F(const char* name) { return table.FieldByName(name); }

    MemTable table{"taRcr"};
    DocumentHeader header;
    SheetContext ctx;
    FakeUi ui;
    int modified = 0, synced = 0;
    RepeatSheet sheet{table, ctx};
};

TEST_F(RepeatSheetTest, SeriesAreNumberedAndBalanceRunsThroughAllRowsInDateOrder) {
    Monthly(D(2004, 1, 10), 3, 100, "Rent %n of %q");
    EXPECT_EQ(sheet.InsertSeries(ui), 3);
    Monthly(D(2004, 1, 20), 2, -30, "Refund %n");
    EXPECT_EQ(sheet.InsertSeries(ui), 2);
    EXPECT_EQ(header.Get(hdr::RcrSeriesCounter), 2);
    EXPECT_EQ(synced, 2);   // the controls reach the header before each series

    const std::vector<Row> rows = Rows();
    ASSERT_EQ(rows.size(), 5u);
    const struct { TDateTime date; const char* comments; double balance; int64_t series, no; } want[] = {
        {D(2004, 1, 10), "Rent 1 of 3", 100, 1, 1},
        {D(2004, 1, 20), "Refund 1", 70, 2, 1},
        {D(2004, 2, 10), "Rent 2 of 3", 170, 1, 2},
        {D(2004, 2, 20), "Refund 2", 140, 2, 2},
        {D(2004, 3, 10), "Rent 3 of 3", 240, 1, 3},
    };
    for (size_t i = 0; i < rows.size(); ++i) {
        EXPECT_EQ(rows[i].date, want[i].date) << i;
        EXPECT_EQ(rows[i].comments, want[i].comments) << i;
        EXPECT_EQ(rows[i].balance, want[i].balance) << i;
        EXPECT_EQ(rows[i].series, want[i].series) << i;
        EXPECT_EQ(rows[i].no, want[i].no) << i;
    }
    EXPECT_EQ(table.RecNo(), 1);
    EXPECT_GT(modified, 0);
    EXPECT_TRUE(ui.Messages().empty());
}

TEST_F(RepeatSheetTest, AmountOnThreeRowsGivesBalancesOfANewDocument) {
    Monthly(D(2010, 5, 1), 3, 100);
    sheet.InsertSeries(ui);
    const std::vector<Row> rows = Rows();
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0].balance, 100);
    EXPECT_EQ(rows[1].balance, 200);
    EXPECT_EQ(rows[2].balance, 300);
    EXPECT_EQ(F("Day").AsString(), "Sat");   // 1 May 2010
}

TEST_F(RepeatSheetTest, DescriptionsOfTwelveRepayments) {
    Monthly(D(2005, 1, 1), 12, 0, "Repayment %n (%r remaining)");
    sheet.InsertSeries(ui);
    std::vector<Row> rows = Rows();
    ASSERT_EQ(rows.size(), 12u);
    EXPECT_EQ(rows.front().comments, "Repayment 1 (11 remaining)");
    EXPECT_EQ(rows.back().comments, "Repayment 12 (0 remaining)");

    table.EmptyTable();
    Monthly(D(2005, 1, 1), 12, 0, "Date No. %n of %q");
    sheet.InsertSeries(ui);
    rows = Rows();
    EXPECT_EQ(rows[2].comments, "Date No. 3 of 12");
}

TEST(ExpandSeriesDescription, OnlyNQAndRAreExpanded) {
    const struct { const char* pattern; int i, n; const char* want; } cases[] = {
        {"Date No. %n of %c", 2, 12, "Date No. 3 of %c"},
        {"%n/%q/%r", 0, 1, "1/1/0"},
        {"%N %Q %R %x %", 4, 9, "%N %Q %R %x %"},
        {"%n%n%n", 9, 10, "101010"},
        {"%%nq", 0, 5, "%1q"},   // text a replacement makes is not scanned again
        {"", 0, 3, ""},
    };
    for (const auto& c : cases) EXPECT_EQ(ExpandSeriesDescription(c.pattern, c.i, c.n), c.want) << c.pattern;
}

TEST_F(RepeatSheetTest, LongDescriptionIsCutByTheField) {
    Monthly(D(2005, 1, 1), 1, 0, std::string(70, 'x') + " %n");
    sheet.InsertSeries(ui);
    EXPECT_EQ(F("Comments").AsString(), std::string(64, 'x'));
}

TEST_F(RepeatSheetTest, RepeatsOnTheSameDayGiveFewerRowsAndQCountsThem) {
    auto skip = CreateSkipSet(std::make_shared<SkipFileRef>(), "dd/mm/yyyy");
    skip->header.SetWeekday(1, true);   // Sunday
    skip->header.SetWeekday(7, true);   // Saturday
    skip->active = true;
    ctx.skip = skip.get();
    RepeatSettings s = sheet.Settings();
    s.style = kSeriesRepeats;
    s.frequency = fqNDay;
    s.units = 1;
    s.firstDate = D(2004, 1, 3);   // a Saturday: the first two repeats land on Monday
    s.repeatCount = 4;
    s.description = "%n of %q";
    sheet.SetSettings(s);
    const int added = sheet.InsertSeries(ui);
    ASSERT_LT(added, 4);
    ASSERT_GT(added, 0);
    const std::vector<Row> rows = Rows();
    EXPECT_EQ(rows.back().comments, std::to_string(added) + " of " + std::to_string(added));
    for (size_t i = 1; i < rows.size(); ++i) EXPECT_LT(rows[i - 1].date, rows[i].date);
}

TEST_F(RepeatSheetTest, GeneratorFailureLeavesTheTableButAdvancesTheCounter) {
    Monthly(D(2004, 1, 10), 2, 5);
    sheet.InsertSeries(ui);
    Monthly(D(9999, 11, 1), 5, 5);   // runs past 31 December 9999
    modified = 0;
    EXPECT_EQ(sheet.InsertSeries(ui), 0);
    EXPECT_EQ(ui.Texts(UiCallKind::Error), std::vector<std::string>{kFrequencyTroubleText});
    EXPECT_EQ(table.RecordCount(), 2);
    EXPECT_EQ(header.Get(hdr::RcrSeriesCounter), 2);
    EXPECT_EQ(modified, 0);

    Monthly(D(2004, 3, 10), 1, 5);
    sheet.InsertSeries(ui);
    EXPECT_EQ(Rows().back().series, 3);
}

TEST_F(RepeatSheetTest, NoDatesInsertsNothingWithoutAMessage) {
    Monthly(D(2004, 1, 10), 0, 5);
    EXPECT_EQ(sheet.InsertSeries(ui), 0);
    EXPECT_TRUE(ui.Messages().empty());
    EXPECT_EQ(header.Get(hdr::RcrSeriesCounter), 1);
}

TEST_F(RepeatSheetTest, HugeSeriesIsRefusedWithAMessage) {
    RepeatSettings s = sheet.Settings();
    s.style = kSeriesSpan;
    s.frequency = fqNDay;
    s.units = 1;
    s.firstDate = D(1901, 1, 1);
    s.finalDate = D(2300, 12, 31);
    sheet.SetSettings(s);
    EXPECT_EQ(sheet.InsertSeries(ui), 0);
    ASSERT_EQ(ui.Texts(UiCallKind::Error).size(), 1u);
    EXPECT_NE(ui.Texts(UiCallKind::Error)[0].find("at most 100000"), std::string::npos);
    EXPECT_TRUE(table.IsEmpty());
}

TEST_F(RepeatSheetTest, SpanOfFortnightlyPayDays) {
    RepeatSettings s = sheet.Settings();
    ApplyNewRepeatDefaults(s, D(2004, 1, 2));
    s.finalDate = D(2004, 2, 29);
    s.alwaysLast = true;
    s.description = "Pay %n";
    s.amount = 10;
    sheet.SetSettings(s);
    EXPECT_EQ(sheet.InsertSeries(ui), 6);   // 2, 16, 30 Jan, 13, 27 Feb and the final date
    const std::vector<Row> rows = Rows();
    ASSERT_EQ(rows.size(), 6u);
    EXPECT_EQ(rows[3].date, D(2004, 2, 13));
    EXPECT_EQ(rows[5].date, D(2004, 2, 29));
    EXPECT_EQ(rows[5].comments, "Pay 6");
    EXPECT_EQ(rows[5].balance, 60);
}

TEST_F(RepeatSheetTest, DeleteSeries) {
    // Empty table: nothing asked, nothing done.
    EXPECT_FALSE(sheet.DeleteSeries(ui));
    EXPECT_TRUE(ui.Messages().empty());

    Monthly(D(2004, 1, 10), 3, 100);
    sheet.InsertSeries(ui);
    Monthly(D(2004, 1, 20), 2, 1);
    sheet.InsertSeries(ui);
    table.SetRecNo(2);   // a row of series 2

    ui.QueueAnswer(ConfirmResult::No);
    EXPECT_FALSE(sheet.DeleteSeries(ui));
    EXPECT_EQ(table.RecordCount(), 5);
    ASSERT_EQ(ui.Texts(UiCallKind::Ask).size(), 1u);
    EXPECT_EQ(ui.Texts(UiCallKind::Ask)[0],
              "Delete all records for Series No. 2?\n\nTo delete an individual row instead,\n"
              "choose No, then press Ctrl+Del keys.");

    table.SetRecNo(2);
    ui.QueueAnswer(ConfirmResult::Yes);
    modified = 0;
    EXPECT_TRUE(sheet.DeleteSeries(ui));
    const std::vector<Row> rows = Rows();
    ASSERT_EQ(rows.size(), 3u);
    for (const Row& r : rows) EXPECT_EQ(r.series, 1);
    EXPECT_EQ(rows[2].balance, 300);
    EXPECT_EQ(table.RecNo(), 1);
    EXPECT_GT(modified, 0);
}

TEST_F(RepeatSheetTest, RecalculateCountsUnreadableAmountsAsZero) {
    table.AppendRaw({Value{D(2004, 1, 1)}, Value{std::string("a")}, Value{5.0}, Value{}, Value{int64_t{1}},
                     Value{int64_t{1}}, Value{}, Value{}});
    table.AppendRaw({Value{D(2004, 1, 3)}, Value{std::string("b")}, Value{}, Value{99.0}, Value{int64_t{1}},
                     Value{int64_t{2}}, Value{}, Value{}});
    table.AppendRaw({Value{D(2004, 1, 2)}, Value{std::string("c")}, Value{}, Value{},
                     Value{int64_t{1}}, Value{int64_t{3}}, Value{}, Value{}});
    table.AppendRaw({Value{D(2004, 1, 4)}, Value{std::string("d")}, Value{2.5}, Value{}, Value{int64_t{1}},
                     Value{int64_t{4}}, Value{}, Value{std::string("memo")}});
    table.Last();
    sheet.Recalculate();
    const std::vector<Row> rows = Rows();
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(rows[0].comments, "a");
    EXPECT_EQ(rows[1].comments, "c");
    EXPECT_EQ(rows[0].balance, 5);
    EXPECT_EQ(rows[1].balance, 5);
    EXPECT_EQ(rows[2].balance, 5);
    EXPECT_EQ(rows[3].balance, 7.5);
    table.Last();
    EXPECT_EQ(F("Memo").AsString(), "memo");   // the rest of a row is kept
    EXPECT_EQ(F("Day").AsString(), "Sun");
}

TEST_F(RepeatSheetTest, AFilteredTableKeepsItsHiddenRows) {
    Monthly(D(2004, 1, 10), 4, 10);
    sheet.InsertSeries(ui);
    Monthly(D(2004, 1, 11), 2, 1);
    sheet.InsertSeries(ui);
    table.handlers.onFilterRecord = [](MemTable& t) { return t.FieldByName("No").AsInteger() != 2; };
    table.SetFiltered(true);
    ASSERT_EQ(table.RecordCount(), 4);
    sheet.Recalculate();
    EXPECT_TRUE(table.Filtered());
    table.Last();
    EXPECT_EQ(F("Balance").AsFloat(), 42);   // hidden rows count too

    table.First();   // series 1
    ui.QueueAnswer(ConfirmResult::Yes);
    sheet.DeleteSeries(ui);
    table.SetFiltered(false);
    EXPECT_EQ(table.RecordCount(), 2);   // hidden rows of the series go too
    table.Last();
    EXPECT_EQ(F("Balance").AsFloat(), 2);
}

TEST_F(RepeatSheetTest, NewAsksAndClearsOnlyOnYes) {
    Monthly(D(2004, 1, 10), 3, 100);
    sheet.InsertSeries(ui);
    ui.QueueAnswer(ConfirmResult::No);
    EXPECT_FALSE(sheet.NewRepeat(ui));
    EXPECT_EQ(table.RecordCount(), 3);
    ui.QueueAnswer(ConfirmResult::Yes);
    EXPECT_TRUE(sheet.NewRepeat(ui));
    EXPECT_TRUE(table.IsEmpty());
    EXPECT_EQ(ui.Texts(UiCallKind::Ask), (std::vector<std::string>{kClearSeriesQuestion, kClearSeriesQuestion}));
}

TEST(RepeatColours, PaletteBySeriesModuloTen) {
    EXPECT_EQ(SeriesColour(1), (RgbColour{190, 196, 224}));
    EXPECT_EQ(SeriesColour(2), (RgbColour{181, 255, 181}));
    EXPECT_EQ(SeriesColour(11), SeriesColour(1));
    EXPECT_EQ(SeriesColour(0), (RgbColour{241, 242, 181}));
    EXPECT_EQ(SeriesColour(9), (RgbColour{171, 165, 252}));
    EXPECT_EQ(SeriesColour(-1), SeriesColour(9));
    EXPECT_EQ(RepeatCellColour(std::nullopt, false), std::nullopt);
    EXPECT_EQ(RepeatCellColour(3, true), kFocusedCellColour);
    EXPECT_EQ(RepeatCellColour(3, false), (RgbColour{230, 255, 255}));
}

TEST(RepeatPages, PassedOverAndUnits) {
    EXPECT_EQ(RepeatPagesPassedOver(kSeriesSpan, fqNWeek), std::set<int>{});
    EXPECT_EQ(RepeatPagesPassedOver(kSeriesSpan, fqNMonth), std::set<int>{rpSkip});
    EXPECT_EQ(RepeatPagesPassedOver(kSeriesRepeats, fqNDay), (std::set<int>{rpDateOptions, rpSynch}));
    EXPECT_EQ(RepeatPagesPassedOver(kSeriesRepeats, fqQuarter), (std::set<int>{rpDateOptions, rpSynch, rpSkip}));
    EXPECT_EQ(RepeatUnitsLabel(fqNDay), "Days");
    EXPECT_EQ(RepeatUnitsLabel(fqCalMonth), "Months");
    EXPECT_EQ(RepeatUnitsLabel(fqNone), "");
    EXPECT_EQ(RepeatUnitsLabel(fqQuarter), "");
}

TEST(RepeatSettingsTest, HeaderRoundTripAndRefusals) {
    RepeatSettings s;
    ApplyNewRepeatDefaults(s, D(2004, 3, 1));
    EXPECT_EQ(s.finalDate, D(2004, 3, 1) + 183);
    EXPECT_EQ(s.frequency, fqNWeek);
    s.description = "Repayment %n (of %c)";
    s.style = kSeriesRepeats;
    s.repeatCount = 10000;
    s.amount = -12.5;
    s.enterAmount = true;
    s.seriesCounter = 7;
    DocumentHeader h;
    WriteRepeatSettings(h, s);
    EXPECT_EQ(ReadRepeatSettings(h), s);
    EXPECT_EQ(h.Get(hdr::lmFreq), 2);
    EXPECT_EQ(h.I32(692), 2);   // units
    EXPECT_EQ(h.F64(664), D(2004, 3, 1));

    auto refused = [&](auto change, const char* named) {
        SCOPED_TRACE(named);
        RepeatSettings bad = s;
        change(bad);
        DocumentHeader before = h;
        try {
            WriteRepeatSettings(h, bad);
            ADD_FAILURE() << named << " accepted";
        } catch (const std::invalid_argument& e) {
            EXPECT_NE(std::string(e.what()).find(named), std::string::npos) << e.what();
        }
        EXPECT_EQ(h, before);
    };
    refused([](RepeatSettings& b) { b.units = 0; }, "Units");
    refused([](RepeatSettings& b) { b.units = 10000; }, "Units");
    refused([](RepeatSettings& b) { b.repeatCount = 10001; }, "Number of Repeats");
    refused([](RepeatSettings& b) { b.style = 2; }, "Style");
    refused([](RepeatSettings& b) { b.frequency = static_cast<TFrequency>(11); }, "Interval");
    refused([](RepeatSettings& b) { b.description = std::string(81, 'x'); }, "Description");
    refused([](RepeatSettings& b) { b.amount = std::nan(""); }, "Amount");
}

TEST(RepeatTables, DefinitionColumnsAndStockNotes) {
    std::vector<std::unique_ptr<MemTable>> made;
    MemTable& t = DefineRepeatTables([&](const std::string& name) -> MemTable& {
        made.push_back(std::make_unique<MemTable>(name));
        return *made.back();
    });
    EXPECT_EQ(t.Name(), "taRcr");
    std::string names;
    for (const FieldDef& f : t.Fields()) names += f.name + ";";
    EXPECT_EQ(names, "Date;Comments;Amount;Balance;Series;Day;No;Styles;Memo;");
    EXPECT_EQ(t.SortField(), "Date");
    EXPECT_EQ(RepeatCsvFields(), "Date;Comments;Amount;Balance;Series");

    SheetContext ctx;
    const std::vector<SheetColumn> cols = RepeatColumns(ctx);
    ASSERT_EQ(cols.size(), 9u);
    EXPECT_EQ(cols[4].title, "Series~No.");
    EXPECT_EQ(cols[2].displayFormat, "\"$\"#,##0.00;(\"$\"#,##0.00)");
    int shown = 0;
    for (const SheetColumn& c : cols) shown += c.visible;
    EXPECT_EQ(shown, 5);

    MemTable ano("taAno");
    ano.AddField("Format", FieldType::String, 80);
    ano.AppendRaw({Value{std::string("Rent %n")}});
    ano.AppendRaw({Value{}});
    MemTable rcr("taRcr");
    DefineRepeatFields(rcr);
    SheetContext c2;
    RepeatSheet sheet(rcr, c2);
    EXPECT_EQ(sheet.DescriptionItems().size(), 4u);
    EXPECT_EQ(sheet.DescriptionItems()[3], "Repayment %n (%r remaining)");
    sheet.RefillDescriptions(ano);
    EXPECT_EQ(sheet.DescriptionItems(), (std::vector<std::string>{"Rent %n", ""}));
}

TEST(RepeatSheetNoHeader, KeepsItsOwnSettingsAndCounter) {
    MemTable t("taRcr");
    DefineRepeatFields(t);
    SheetContext ctx;
    FakeUi ui;
    RepeatSheet sheet(t, ctx);
    RepeatSettings s;
    s.style = kSeriesRepeats;
    s.frequency = fqNYear;
    s.units = 1;
    s.firstDate = D(2000, 2, 29);
    s.repeatCount = 2;
    sheet.SetSettings(s);
    sheet.InsertSeries(ui);
    sheet.InsertSeries(ui);
    EXPECT_EQ(sheet.Settings().seriesCounter, 2);
    EXPECT_EQ(t.RecordCount(), 4);
}

}  // namespace
}  // namespace clx
