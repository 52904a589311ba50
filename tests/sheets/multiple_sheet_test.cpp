#include "sheets/multiple_sheet.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <map>

#include "engine/skipset.h"
#include "platform/fake_ui.h"

namespace clx {
namespace {

TDateTime D(int y, int m, int d) { return EncodeDate(y, m, d); }

struct Span {
    TDateTime from, to;
    int days;
    std::string weeks, years, comments;
    friend bool operator==(const Span&, const Span&) = default;
    friend std::ostream& operator<<(std::ostream& o, const Span& s) {
        return o << s.from << ".." << s.to << " " << s.days << "d " << s.weeks << "w " << s.years << "y "
                 << s.comments;
    }
};

class MultipleSheetTest : public ::testing::Test {
protected:
    MultipleSheetTest() {
        DefineMultipleDateFields(taMin);
        DefineMultipleFields(taMul);
        ctx.dateEntryFormat = "dd/mm/yyyy";
        ctx.markModified = [this] { ++modified; };
        skip->header.SetWeekday(1, true);
        skip->header.SetWeekday(7, true);
    }

    void AddDate(TDateTime d, const char* event = "") {
        taMin.Append();
        if (d != 0) taMin.FieldByName("Date").SetDateTime(d);
        taMin.FieldByName("Event").SetString(event);
        taMin.Post();
    }
    void AddJanuaryDates() {
        for (int day : {1, 11, 21}) AddDate(D(2001, 1, day));
    }
    void Set(bool first, bool last, int middle, bool round = false) {
        MultipleSettings s = sheet.Settings();
        s.countFirst = first;
        s.countLast = last;
        s.middleDates = middle;
        s.roundTotals = round;
        sheet.SetSettings(s);
    }
    void Share(double amount) {
        MultipleSettings s = sheet.Settings();
        s.shareAmount = true;
        s.amount = amount;
        sheet.SetSettings(s);
    }
    std::vector<Span> Spans() {
        std::vector<Span> out;
        taMul.First();
        while (!taMul.Eof()) {
            out.push_back({taMul.FieldByName("DFrom").AsDateTime(), taMul.FieldByName("DTo").AsDateTime(),
                           int(taMul.FieldByName("Days").AsInteger()), taMul.FieldByName("Weeks").AsString(),
                           taMul.FieldByName("Years").AsString(), taMul.FieldByName("Comments").AsString()});
            taMul.Next();
        }
        return out;
    }
    std::vector<double> Amounts() {
        std::vector<double> out;
        for (taMul.First(); !taMul.Eof(); taMul.Next()) out.push_back(taMul.FieldByName("Amount").AsFloat());
        return out;
    }

    MemTable taMin{"taMin"}, taMul{"taMul"};
    SheetContext ctx;
    std::unique_ptr<SkipSet> skip = CreateSkipSet(std::make_shared<SkipFileRef>(), "dd/mm/yyyy");
    int modified = 0;
    MultipleSheet sheet{taMin, taMul, ctx};
};

TEST_F(MultipleSheetTest, MiddleDatesCloseTheSpanBefore) {
    AddJanuaryDates();
    Set(true, true, 1);
    sheet.RecalcDates();
    EXPECT_EQ(Spans(), (std::vector<Span>{
                           {D(2001, 1, 1), D(2001, 1, 11), 11, "1.5000", "0.0274", "Inclusive"},
                           {D(2001, 1, 12), D(2001, 1, 21), 10, "1.4000", "0.0246", "Inclusive"},
                       }));
    EXPECT_EQ(sheet.Footer(), (MultipleFooter{"01/01/2001", "21/01/2001", "21", "3.0", "0.0548", "0.00",
                                              "Inclusive"}));
    EXPECT_EQ(sheet.Results().datesText, "01/01/2001;11/01/2001;21/01/2001");

    Set(true, true, 1, true);   // Round Totals: the rows' sums
    sheet.RecalcDates();
    EXPECT_EQ(sheet.Footer().days, "21");
    EXPECT_EQ(sheet.Footer().weeks, "2.9");
    EXPECT_EQ(sheet.Footer().years, "0.0520");
}

TEST_F(MultipleSheetTest, MiddleDatesOpenTheSpanAfter) {
    AddJanuaryDates();
    Set(true, true, 0);
    sheet.RecalcDates();
    const auto spans = Spans();
    ASSERT_EQ(spans.size(), 2u);
    EXPECT_EQ(spans[0].to, D(2001, 1, 10));
    EXPECT_EQ(spans[0].days, 10);
    EXPECT_EQ(spans[1].from, D(2001, 1, 11));
    EXPECT_EQ(spans[1].days, 11);
}

TEST_F(MultipleSheetTest, DatesOutOfOrderRepeatedOrEmptyGiveTheSortedSpans) {
    for (TDateTime d : {D(2001, 1, 21), TDateTime(0), D(2001, 1, 1), D(2001, 1, 11), D(2001, 1, 11)}) AddDate(d);
    Set(true, true, 1);
    sheet.RecalcDates();
    const auto spans = Spans();
    ASSERT_EQ(spans.size(), 2u);
    EXPECT_EQ(spans[0].from, D(2001, 1, 1));
    EXPECT_EQ(spans[0].to, D(2001, 1, 11));
    EXPECT_EQ(spans[1].to, D(2001, 1, 21));
    // The stored text lists every row in table order; the empty date (sorted first) is an empty
    // piece, and no separator comes before the first piece with text.
    EXPECT_EQ(sheet.Results().datesText, "01/01/2001;11/01/2001;11/01/2001;21/01/2001");
}

TEST_F(MultipleSheetTest, FewerThanTwoDistinctDatesGiveTheMessageRow) {
    for (int rows : {0, 1, 2}) {
        SCOPED_TRACE(rows);
        taMin.EmptyTable();
        for (int i = 0; i < rows; ++i) AddDate(D(2001, 5, 5));
        sheet.RecalcDates();
        ASSERT_EQ(taMul.RecordCount(), 1);
        EXPECT_EQ(taMul.FieldByName("Comments").AsString(), "Need at least two different dates!");
        EXPECT_TRUE(taMul.FieldByName("DFrom").IsNull());
        EXPECT_TRUE(taMul.FieldByName("Days").IsNull());
        EXPECT_EQ(sheet.Results(), (MultipleResults{rows > 1 ? "05/05/2001;05/05/2001" : "", 0, 0, 0, 0, 0}));
        EXPECT_EQ(sheet.Footer().dFrom, "");
        EXPECT_EQ(sheet.Footer().dTo, "");
        EXPECT_EQ(sheet.Footer().days, "0");
    }
}

TEST_F(MultipleSheetTest, APairWithNoDayAddsNoRow) {
    // Two neighbouring dates with both ends left out.
    AddDate(D(2001, 3, 1));
    AddDate(D(2001, 3, 2));
    Set(false, false, 0);
    sheet.RecalcDates();
    EXPECT_EQ(taMul.RecordCount(), 0);
    EXPECT_EQ(sheet.Results().totalDays, 0);   // not the two days between the reversed ends
    EXPECT_EQ(sheet.Results().totalWeeks, 0);
    EXPECT_EQ(sheet.Results().totalYears, 0);

    // In a longer list the other spans are still computed.
    AddDate(D(2001, 3, 10));
    sheet.RecalcDates();
    const auto spans = Spans();
    ASSERT_EQ(spans.size(), 1u);
    EXPECT_EQ(spans[0].from, D(2001, 3, 2));
    EXPECT_EQ(spans[0].to, D(2001, 3, 9));
    EXPECT_EQ(sheet.Results().totalDays, 8);
}

TEST_F(MultipleSheetTest, IncludeFlagsOfEachSpan) {
    struct Case {
        int k, n, middle;
        SpanIncludes inc;
    };
    const Case cases[] = {
        {1, 2, 1, {true, false}},   // the only span: first and last settings
        {1, 4, 1, {true, true}},    // first of several: F, TO
        {2, 4, 1, {false, true}},   // middle: not TO, TO
        {3, 4, 1, {false, false}},  // last: not TO, L
        {1, 4, 0, {true, false}},
        {2, 4, 0, {true, false}},
        {3, 4, 0, {true, false}},
    };
    for (const Case& c : cases) {
        MultipleSettings s;
        s.countFirst = true;
        s.countLast = false;
        s.middleDates = c.middle;
        EXPECT_EQ(MultipleSpanIncludes(c.k, c.n, s), c.inc) << c.k << " of " << c.n - 1 << ", middle " << c.middle;
    }
}

TEST_F(MultipleSheetTest, SharingAnAmount) {
    struct Case {
        std::vector<int> days;   // dates 1 January + these offsets
        double amount;
        std::vector<double> shares;
    };
    const Case cases[] = {
        {{0, 10, 20, 31}, 100, {32.25, 32.25, 35.50}},
        {{0, 10, 20, 30}, 100, {33.33, 33.33, 33.34}},
        {{0, 10, 20, 30}, -100, {-33.33, -33.33, -33.34}},
    };
    for (const Case& c : cases) {
        taMin.EmptyTable();
        for (int d : c.days) AddDate(D(2001, 1, 1) + d);
        Set(true, false, 0);   // spans of 10, 10, 10 or 11 days
        Share(c.amount);
        sheet.RecalcDates();
        EXPECT_TRUE(sheet.AmountColumnVisible());
        const auto got = Amounts();
        ASSERT_EQ(got.size(), c.shares.size());
        for (size_t i = 0; i < got.size(); ++i) EXPECT_DOUBLE_EQ(got[i], c.shares[i]) << i;
    }
    EXPECT_EQ(sheet.Footer().amount, "-100.00");
}

TEST_F(MultipleSheetTest, AmountColumnHiddenWithOneSpanNoAmountOrNoTick) {
    AddDate(D(2001, 1, 1));
    AddDate(D(2001, 1, 11));
    Share(100);
    sheet.RecalcDates();
    EXPECT_FALSE(sheet.AmountColumnVisible());
    EXPECT_TRUE(taMul.FieldByName("Amount").IsNull());

    AddDate(D(2001, 1, 21));
    Share(0);
    sheet.RecalcDates();
    EXPECT_FALSE(sheet.AmountColumnVisible());

    Share(100);
    MultipleSettings s = sheet.Settings();
    s.shareAmount = false;
    sheet.SetSettings(s);
    sheet.RecalcDates();
    EXPECT_FALSE(sheet.AmountColumnVisible());
    EXPECT_FALSE(MultipleColumns(ctx, false).back().visible);
}

TEST_F(MultipleSheetTest, AnAmountThatCannotBeSharedIsReportedAfterTheSpans) {
    AddJanuaryDates();
    for (double bad : {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity(), 1e15}) {
        Share(bad);
        EXPECT_THROW(sheet.RecalcDates(), std::invalid_argument) << bad;
        EXPECT_EQ(taMul.RecordCount(), 2);
        EXPECT_FALSE(sheet.AmountColumnVisible());
        EXPECT_TRUE(taMul.FieldByName("Amount").IsNull());
    }
}

TEST_F(MultipleSheetTest, SkippedWeekends) {
    ctx.skip = skip.get();
    skip->active = true;
    AddDate(D(2001, 3, 5));    // Monday
    AddDate(D(2001, 3, 18));   // Sunday
    Set(true, true, 0);
    sheet.RecalcDates();
    auto spans = Spans();
    ASSERT_EQ(spans.size(), 1u);
    EXPECT_EQ(spans[0].from, D(2001, 3, 5));
    EXPECT_EQ(spans[0].to, D(2001, 3, 18));
    EXPECT_EQ(spans[0].days, 10);
    EXPECT_EQ(sheet.Results().totalDays, 10);

    skip->ref->invert = true;   // the set's own flag
    sheet.RecalcDates();
    spans = Spans();
    ASSERT_EQ(spans.size(), 1u);
    EXPECT_EQ(spans[0].days, 4);
}

TEST_F(MultipleSheetTest, SpanRowsAreNumberedDownwardsAcrossCalculations) {
    AddJanuaryDates();
    sheet.RecalcDates();
    sheet.RecalcDates();
    EXPECT_EQ(sheet.SpanRowCount(), 4);
    std::vector<int64_t> orders;
    for (taMul.First(); !taMul.Eof(); taMul.Next()) orders.push_back(taMul.FieldByName("Order").AsInteger());
    EXPECT_EQ(orders, (std::vector<int64_t>{-3, -4}));
}

TEST_F(MultipleSheetTest, NewClearsTheDatesOnlyWhenTheUserAgrees) {
    FakeUi ui;
    EXPECT_FALSE(sheet.NewMultipleDate(ui));   // nothing to clear: no question
    EXPECT_TRUE(ui.Messages().empty());

    AddJanuaryDates();
    sheet.RecalcDates();
    ui.QueueAnswer(ConfirmResult::No);
    EXPECT_FALSE(sheet.NewMultipleDate(ui));
    EXPECT_EQ(taMin.RecordCount(), 3);
    EXPECT_EQ(taMul.RecordCount(), 2);

    ui.QueueAnswer(ConfirmResult::Yes);
    EXPECT_TRUE(sheet.NewMultipleDate(ui));
    EXPECT_EQ(ui.Texts(UiCallKind::Ask), (std::vector<std::string>{"Clear list of dates?", "Clear list of dates?"}));
    EXPECT_EQ(taMin.RecordCount(), 0);
    ASSERT_EQ(taMul.RecordCount(), 1);
    EXPECT_EQ(taMul.FieldByName("Comments").AsString(), "Need at least two different dates!");
}

TEST_F(MultipleSheetTest, ResultPageRunsTheCalculation) {
    AddJanuaryDates();
    EXPECT_FALSE(sheet.nbMulPageChanged("ProRata"));
    EXPECT_EQ(taMul.RecordCount(), 0);
    EXPECT_TRUE(sheet.nbMulPageChanged("Result"));
    EXPECT_EQ(taMul.RecordCount(), 2);
}

TEST_F(MultipleSheetTest, DateEditsMarkTheDocumentModified) {
    AddDate(D(2001, 1, 1));
    EXPECT_GE(modified, 2);   // insert and post
    modified = 0;
    taMin.Edit();
    taMin.FieldByName("Event").SetString("x");
    EXPECT_EQ(modified, 1);
    taMin.Post();
    taMin.Delete();
    EXPECT_EQ(modified, 3);
}

TEST_F(MultipleSheetTest, HeaderHoldsTheSettingsAndResults) {
    DocumentHeader header;
    header.Set(hdr::cbFirstDayMulti, true);
    header.Set(hdr::cbLastdayMulti, true);
    header.Set(hdr::cbMiddleDatesAreTo, 1);
    header.Set(hdr::cbMulRdg, true);
    header.Set(hdr::cbProRataAMt, true);
    header.Set(hdr::edProRataAmt, 10.0);
    SheetContext hctx = ctx;
    hctx.header = &header;
    int synced = 0;
    hctx.controlsToHeader = [&] { ++synced; };
    {
        MultipleSheet bound(taMin, taMul, hctx);
        EXPECT_EQ(bound.Settings(), (MultipleSettings{true, true, 1, true, true, 10.0}));
        AddJanuaryDates();
        bound.RecalcDates();
        EXPECT_EQ(synced, 1);
        EXPECT_EQ(header.Get(hdr::MulDatesText), "01/01/2001;11/01/2001;21/01/2001");
        EXPECT_EQ(header.Get(hdr::MulFirstStart), D(2001, 1, 1));
        EXPECT_EQ(header.Get(hdr::MulLastEnd), D(2001, 1, 21));
        EXPECT_EQ(header.Get(hdr::MulTotalDays), 21);
        EXPECT_EQ(header.Get(hdr::MulTotalWeeks), 29000);   // Round Totals from the header
        EXPECT_EQ(Amounts(), (std::vector<double>{5.23, 4.77}));

        // A loaded document's results reach the footer.
        header.Set(hdr::MulTotalDays, 99);
        bound.dbgMulUpdateFooter();
        EXPECT_EQ(bound.Footer().days, "99");

        bound.SetSettings(MultipleSettings{});
        EXPECT_FALSE(header.Get(hdr::cbFirstDayMulti));
        EXPECT_EQ(header.Get(hdr::edProRataAmt), 0.0);
    }
    header.Set(hdr::cbMiddleDatesAreTo, 7);   // a damaged byte reads as FROM
    EXPECT_EQ(ReadMultipleSettings(header).middleDates, 0);
    EXPECT_THROW(WriteMultipleSettings(header, MultipleSettings{false, false, 2}), std::invalid_argument);

    MultipleResults r;
    r.datesText = std::string(300, 'x');   // too long for the record
    WriteMultipleResults(header, r);
    EXPECT_EQ(header.Get(hdr::MulDatesText), "");
}

TEST(MultipleSheetDefinition, TablesColumnsAndExportList) {
    std::map<std::string, std::unique_ptr<MemTable>> tables;
    const MultipleTables t = DefineMultipleTables([&](const std::string& name) -> MemTable& {
        return *(tables[name] = std::make_unique<MemTable>(name));
    });
    EXPECT_EQ(t.taMin.SortField(), "Date");
    EXPECT_EQ(t.taMul.SortField(), "DFrom");
    EXPECT_EQ(t.taMin.Fields()[0].type, FieldType::Date);
    EXPECT_EQ(t.taMul.Fields()[t.taMul.FieldIndex("Weeks")].type, FieldType::BCD);
    EXPECT_EQ(t.taMul.Fields()[t.taMul.FieldIndex("Weeks")].size, 4);

    SheetContext ctx;
    ctx.dateEntryFormat = "dd/mm/yyyy";
    ctx.dateDisplayFormat = "ddd dd/mm/yyyy";
    const auto cols = MultipleColumns(ctx, true);
    EXPECT_EQ(cols[0].title, "From~dd/mm/yyyy");
    EXPECT_EQ(cols[0].displayFormat, "ddd dd/mm/yyyy");
    EXPECT_TRUE(cols.back().visible);
    EXPECT_EQ(MultipleDateColumns(ctx)[0].title, "Date~dd/mm/yyyy");
    EXPECT_EQ(MultipleCsvFields(), "DFrom;DTo;Days;Weeks;Years;Comments");
}

}  // namespace
}  // namespace clx
