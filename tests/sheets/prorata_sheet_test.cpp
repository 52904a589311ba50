#include "sheets/prorata_sheet.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <stdexcept>

#include "engine/interval.h"
#include "engine/skipset.h"
#include "sheets/money.h"

namespace clx {
namespace {

TDateTime D(int y, int m, int d) { return EncodeDate(y, m, d); }

class ProRataTest : public ::testing::Test {
protected:
    ProRataTest() {
        DefineProRataFields(table);
        ctx.header = &header;
        ctx.markModified = [this] { ++modified; };
        Bill(1000, D(2004, 1, 1), D(2004, 12, 31));
    }

    void Bill(double amount, TDateTime from, TDateTime to, bool first = true, bool last = true) {
        sheet.SetSettings({amount, from, to, first, last});
    }
    void Party(const std::string& name, TDateTime from, TDateTime to, int weight = 1) {
        table.Append();
        F("Name").SetString(name);
        if (from) F("DFrom").SetDateTime(from); else F("DFrom").Clear();
        if (to) F("DTo").SetDateTime(to); else F("DTo").Clear();
        F("Weight").SetInteger(weight);
        table.Post();
    }

    struct Row {
        std::string name;
        double share, frac;
        int64_t days;
        bool rem;
        std::string calculation;
    };
    std::vector<Row> Rows() {
        std::vector<Row> out;
        for (table.First(); !table.Eof(); table.Next())
            out.push_back({F("Name").AsString(), F("Share").AsFloat(), F("ShareFrac").AsFloat(),
                           F("Days").AsInteger(), F("Rem").AsBoolean(), F("Calculation").AsString()});
        table.First();
        return out;
    }
    Field F(const char* name) { return table.FieldByName(name); }

    MemTable table{"taPro"};
    DocumentHeader header;
    SheetContext ctx;
    int modified = 0;
    ProRataSheet sheet{table, ctx};
};

TEST_F(ProRataTest, TwoHalvesOfALeapYear) {
    Party("A", D(2004, 1, 1), D(2004, 6, 30));
    Party("B", D(2004, 7, 1), D(2004, 12, 31));
    sheet.ProRataShares();
    const std::vector<Row> rows = Rows();
    ASSERT_EQ(rows.size(), 2u);   // no remainder row is needed
    EXPECT_EQ(rows[0].days, 182);
    EXPECT_EQ(rows[1].days, 184);
    EXPECT_EQ(rows[0].share, 497.27);
    EXPECT_EQ(rows[1].share, 502.73);
    EXPECT_EQ(rows[0].frac, 49.73);
    EXPECT_EQ(rows[1].frac, 50.27);
    EXPECT_EQ(rows[0].calculation,
              "$497.27 = $1,000.00 (total) x 49.73% (share percentage), where:\r\n"
              "49.73% (share percentage) = 182 (days) \xC3\xB7 366 (Total days), where:\r\n"
              "366 (Total days) = 182 (days - A) + 184 (days - B)");
    table.First();
    EXPECT_EQ(F("WeightedDays").AsFloat(), 182);
    EXPECT_GT(modified, 0);
}

TEST_F(ProRataTest, ThreeEqualPartiesLeaveAFraction) {
    Bill(100, D(2004, 1, 1), D(2004, 1, 30));
    Party("A", D(2004, 1, 1), D(2004, 1, 10));
    Party("B", D(2004, 1, 11), D(2004, 1, 20));
    Party("C", D(2004, 1, 21), D(2004, 1, 30));
    sheet.ProRataShares();
    const std::vector<Row> rows = Rows();
    ASSERT_EQ(rows.size(), 4u);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(rows[i].share, 33.33);
        EXPECT_EQ(rows[i].frac, 33.33);
    }
    EXPECT_EQ(rows[3].name, kRemainderRowName);
    EXPECT_TRUE(rows[3].rem);
    EXPECT_EQ(rows[3].share, 0.01);
    EXPECT_EQ(rows[3].frac, 0.01);
    EXPECT_EQ(rows[3].calculation, "");
    table.Last();
    EXPECT_EQ(F("DFrom").AsDateTime(), D(2004, 1, 1));   // the new-row defaults
    EXPECT_EQ(F("Weight").AsInteger(), 1);
    EXPECT_EQ(MoneyText(rows[3].share, ctx.locale), "$0.01");
}

TEST_F(ProRataTest, RemainderRowsNeverCountAndGoOnProInfo) {
    Bill(100, D(2004, 1, 1), D(2004, 1, 30));
    Party("A", D(2004, 1, 1), D(2004, 1, 10));
    Party("B", D(2004, 1, 11), D(2004, 1, 20));
    Party("C", D(2004, 1, 21), D(2004, 1, 30));
    sheet.nbProPageChanged(ppResult);
    sheet.nbProPageChanged(ppResult);
    std::vector<Row> rows = Rows();
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(rows[0].share, 33.33);
    EXPECT_NE(rows[0].calculation.find("30 (Total days) = 10 (days - A) + 10 (days - B) + 10 (days - C)"),
              std::string::npos);
    sheet.nbProPageChanged(ppInfo);
    rows = Rows();
    ASSERT_EQ(rows.size(), 3u);
    for (const Row& r : rows) EXPECT_FALSE(r.rem);
}

TEST_F(ProRataTest, PartiesAreCountedOnlyInsideThePeriod) {
    Party("Early", D(2003, 7, 1), D(2004, 3, 31));    // reaches back before the period
    Party("Late", D(2004, 10, 1), D(2005, 6, 30));    // and beyond its end
    Party("Before", D(2003, 1, 1), D(2003, 12, 31));  // holds nothing inside it
    Party("Reversed", D(2005, 6, 30), D(2004, 12, 1));
    sheet.ProRataShares();
    table.First();
    EXPECT_EQ(F("Days").AsInteger(), 91);
    EXPECT_EQ(F("ActDFrom").AsDateTime(), D(2004, 1, 1));
    EXPECT_EQ(F("ActDTo").AsDateTime(), D(2004, 3, 31));
    table.Next();
    EXPECT_EQ(F("Days").AsInteger(), 92);
    EXPECT_EQ(F("ActDFrom").AsDateTime(), D(2004, 10, 1));
    EXPECT_EQ(F("ActDTo").AsDateTime(), D(2004, 12, 31));
    table.Next();
    EXPECT_EQ(F("Days").AsInteger(), 0);
    EXPECT_EQ(F("Share").AsFloat(), 0);
    table.Next();
    EXPECT_EQ(F("Days").AsInteger(), 31);
    EXPECT_EQ(F("ActDTo").AsDateTime(), D(2004, 12, 31));
}

TEST_F(ProRataTest, EqualWeightsOtherThanOneUseTheWeightedTexts) {
    Party("A", D(2004, 1, 1), D(2004, 6, 30), 2);
    Party("B", D(2004, 7, 1), D(2004, 12, 31), 2);
    sheet.ProRataShares();
    const std::vector<Row> rows = Rows();
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].share, 497.27);
    EXPECT_EQ(rows[1].calculation,
              "$502.73 = $1,000.00 (total) x 50.27% (share percentage), where:\r\n"
              "50.27% (share percentage) = 184 (days) \xC3\xB7 732 (Total weighted days), where:\r\n"
              "732 (Total weighted days) = (182 days x 2 (weighting - A)) + (184 days x 2 (weighting - B))");
}

TEST_F(ProRataTest, WeightsShiftTheShares) {
    Bill(90, D(2004, 1, 1), D(2004, 1, 2));
    Party("One", D(2004, 1, 1), D(2004, 1, 1), 1);
    Party("Two", D(2004, 1, 2), D(2004, 1, 2), 2);
    sheet.ProRataShares();
    const std::vector<Row> rows = Rows();
    ASSERT_EQ(rows.size(), 2u);   // 30 + 60 and 33.33 + 66.67 leave nothing over
    EXPECT_EQ(rows[0].share, 30);
    EXPECT_EQ(rows[1].share, 60);
    EXPECT_EQ(rows[0].frac, 33.33);
    EXPECT_EQ(rows[1].frac, 66.67);
    EXPECT_NE(rows[0].calculation.find("= 1 (day) \xC3\xB7 3 (Total weighted days)"), std::string::npos);
}

TEST_F(ProRataTest, ExactSharesWithPercentagesShortOfAHundred) {
    Bill(90, D(2004, 1, 1), D(2004, 1, 3));
    Party("A", D(2004, 1, 1), D(2004, 1, 1));
    Party("B", D(2004, 1, 2), D(2004, 1, 2));
    Party("C", D(2004, 1, 3), D(2004, 1, 3));
    sheet.ProRataShares();
    const std::vector<Row> rows = Rows();
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(rows[0].share, 30);
    EXPECT_EQ(rows[0].frac, 33.33);
    EXPECT_TRUE(rows[3].rem);
    EXPECT_EQ(rows[3].share, 0);
    EXPECT_EQ(rows[3].frac, 0.01);
}

TEST_F(ProRataTest, NothingToShare) {
    // Amount 0: all zero, and the remainder row takes 0 and 100 %.
    Bill(0, D(2004, 1, 1), D(2004, 12, 31));
    Party("A", D(2004, 1, 1), D(2004, 6, 30));
    sheet.ProRataShares();
    std::vector<Row> rows = Rows();
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].share, 0);
    EXPECT_EQ(rows[0].frac, 0);
    EXPECT_EQ(rows[1].share, 0);
    EXPECT_EQ(rows[1].frac, 100);

    // No party with days: the remainder row takes the whole amount.
    table.EmptyTable();
    Bill(250.5, D(2004, 1, 1), D(2004, 12, 31));
    Party("No dates", 0, 0);
    Party("Only one", D(2004, 2, 1), 0);
    sheet.ProRataShares();
    rows = Rows();
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0].days, 0);
    EXPECT_TRUE(table.FieldByName("Days").IsNull());
    EXPECT_EQ(rows[1].share, 0);
    EXPECT_EQ(rows[2].share, 250.5);
    EXPECT_EQ(rows[2].frac, 100);
}

TEST_F(ProRataTest, SharesAndPercentagesAlwaysAddUpExactly) {
    std::mt19937 rng(20040101);
    for (int round = 0; round < 200; ++round) {
        table.EmptyTable();
        const double amount = std::uniform_int_distribution<int>(1, 10000000)(rng) / 100.0;
        Bill(amount, D(2004, 1, 1), D(2004, 12, 31));
        const int parties = std::uniform_int_distribution<int>(1, 7)(rng);
        for (int p = 0; p < parties; ++p) {
            const int a = std::uniform_int_distribution<int>(0, 365)(rng);
            const int b = std::uniform_int_distribution<int>(0, 365)(rng);
            Party("P" + std::to_string(p), D(2004, 1, 1) + std::min(a, b), D(2004, 1, 1) + std::max(a, b),
                  std::uniform_int_distribution<int>(1, 4)(rng));
        }
        sheet.ProRataShares();
        int64_t cents = 0, hundredths = 0, remainders = 0;
        for (const Row& r : Rows()) {
            cents += std::llround(r.share * 100);
            hundredths += std::llround(r.frac * 100);
            remainders += r.rem;
            EXPECT_EQ(RoundDecimals(r.share, 2), r.share);
        }
        EXPECT_EQ(cents, std::llround(amount * 100)) << round;
        EXPECT_EQ(hundredths, 10000) << round;
        EXPECT_LE(remainders, 1);
    }
}

TEST_F(ProRataTest, CurrencyWithoutDecimals) {
    ctx.locale.currencyDigits = 0;
    ctx.locale.currencySymbol = "\xC2\xA5";
    Bill(100, D(2004, 1, 1), D(2004, 1, 3));
    Party("A", D(2004, 1, 1), D(2004, 1, 1));
    Party("B", D(2004, 1, 2), D(2004, 1, 3));
    sheet.ProRataShares();
    const std::vector<Row> rows = Rows();
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].share, 33);
    EXPECT_EQ(rows[1].share, 67);
    EXPECT_EQ(rows[0].frac, 33);
    EXPECT_EQ(rows[1].frac, 67);
    EXPECT_EQ(rows[0].calculation.rfind("\xC2\xA5" "33 = \xC2\xA5" "100 (total) x 33% (share", 0), 0u);
}

TEST_F(ProRataTest, SkippedDaysAndInvertFromTheCheckBox) {
    auto skip = CreateSkipSet(std::make_shared<SkipFileRef>(), "dd/mm/yyyy");
    skip->header.SetWeekday(1, true);
    skip->header.SetWeekday(7, true);
    skip->active = true;
    ctx.skip = skip.get();
    Bill(70, D(2004, 1, 5), D(2004, 1, 18));   // Monday to Sunday a week later
    Party("A", D(2004, 1, 5), D(2004, 1, 11));
    Party("B", D(2004, 1, 12), D(2004, 1, 18));
    sheet.nbProPageChanged(ppResult);
    std::vector<Row> rows = Rows();
    EXPECT_EQ(rows[0].days, 5);
    EXPECT_EQ(rows[1].days, 5);
    ctx.invert = true;   // count the weekends instead
    sheet.nbProPageChanged(ppResult);
    rows = Rows();
    EXPECT_EQ(rows[0].days, 2);
    EXPECT_TRUE(skip->ref->invert);
}

TEST_F(ProRataTest, CalculationMethodIsTheIntervalSheets) {
    Party("A", D(2004, 1, 1), D(2004, 2, 1));
    header.Set(hdr::edCalcMethod, uint8_t{cm30360US});
    sheet.ProRataShares();
    table.First();
    EXPECT_EQ(F("Days").AsInteger(), 30);
    header.Set(hdr::edCalcMethod, uint8_t{200});   // damaged: normal counting
    EXPECT_EQ(sheet.CalcMethod(), cmNormal);
    EXPECT_THROW(sheet.SetCalcMethod(6), std::invalid_argument);
}

TEST_F(ProRataTest, NewRowDefaults) {
    table.Append();
    EXPECT_EQ(F("Weight").AsInteger(), 1);
    EXPECT_FALSE(F("Rem").AsBoolean());
    EXPECT_FALSE(F("Rem").IsNull());
    EXPECT_EQ(F("DFrom").AsDateTime(), D(2004, 1, 1));
    EXPECT_EQ(F("DTo").AsDateTime(), D(2004, 12, 31));
    table.Cancel();
    Bill(10, 1000, 0);   // not set: 1000 is not more than 1000
    table.Append();
    EXPECT_TRUE(F("DFrom").IsNull());
    EXPECT_TRUE(F("DTo").IsNull());
    table.Cancel();
}

TEST_F(ProRataTest, PendingEditIsStoredFirst) {
    Party("A", D(2004, 1, 1), D(2004, 6, 30));
    table.Append();
    F("Name").SetString("B");
    F("DFrom").SetDateTime(D(2004, 7, 1));
    sheet.ProRataShares();
    const std::vector<Row> rows = Rows();
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[1].name, "B");
    EXPECT_EQ(rows[1].share, 502.73);

    // A pending edit that cannot be stored is dropped, and the calculation still runs.
    auto sheetsOwn = table.handlers.beforePost;
    table.handlers.beforePost = [sheetsOwn](MemTable& t) {
        if (t.FieldByName("Name").AsString() == "C") throw TableError("no");
        sheetsOwn(t);
    };
    table.Append();
    F("Name").SetString("C");
    EXPECT_NO_THROW(sheet.ProRataShares());
    EXPECT_EQ(table.RecordCount(), 2);
}

TEST_F(ProRataTest, AmountThatIsNotANumberIsRefused) {
    EXPECT_THROW(sheet.SetSettings({std::nan(""), 0, 0, true, true}), std::invalid_argument);
    EXPECT_THROW(sheet.SetSettings({1e10, 0, 0, true, true}), std::invalid_argument);
    EXPECT_THROW(sheet.SetSettings({1, 1e9, 0, true, true}), std::invalid_argument);
    header.Set(hdr::edProAmt, std::nan(""));   // a damaged document
    Party("A", D(2004, 1, 1), D(2004, 6, 30));
    EXPECT_THROW(sheet.ProRataShares(), std::invalid_argument);
    EXPECT_EQ(table.RecordCount(), 1);
}

TEST(ProRataSettingsTest, HeaderOffsets) {
    DocumentHeader h;
    WriteProRataSettings(h, {1234.56, D(2004, 1, 1), D(2004, 12, 31), true, false});
    EXPECT_EQ(h.F64(3160), 1234.56);
    EXPECT_EQ(h.F64(3144), D(2004, 1, 1));
    EXPECT_EQ(h.F64(3152), D(2004, 12, 31));
    EXPECT_EQ(h.bytes[3168], 1);
    EXPECT_EQ(h.bytes[3169], 0);
    EXPECT_EQ(ReadProRataSettings(h), (ProRataSettings{1234.56, D(2004, 1, 1), D(2004, 12, 31), true, false}));
}

TEST(ProRataTables, DefinitionColumnsAndColours) {
    std::vector<std::unique_ptr<MemTable>> made;
    MemTable& t = DefineProRataTables([&](const std::string& name) -> MemTable& {
        made.push_back(std::make_unique<MemTable>(name));
        return *made.back();
    });
    EXPECT_EQ(t.Name(), "taPro");
    std::string names;
    for (const FieldDef& f : t.Fields()) names += f.name + ";";
    EXPECT_EQ(names, "Name;DFrom;DTo;ShareFrac;Days;Weight;WeightedDays;Rem;Share;Calculation;ActDFrom;ActDTo;");
    EXPECT_EQ(t.SortField(), "Rem");
    EXPECT_EQ(ProRataCsvFields(), "DFrom;DTo;Name;Share;ShareFrac;Calculation;Days;Weight");

    SheetContext ctx;
    auto visible = [&](int page) {
        std::string v;
        for (const SheetColumn& c : ProRataColumns(ctx, page))
            if (c.visible) v += c.field + ";";
        return v;
    };
    EXPECT_EQ(visible(ppInfo), "Name;DFrom;DTo;Weight;");
    EXPECT_EQ(visible(ppResult), "Name;DFrom;DTo;ShareFrac;Days;Share;");
    EXPECT_EQ(visible(ppBill), visible(ppResult));
    EXPECT_TRUE(ProRataGridEditable(ppInfo));
    EXPECT_FALSE(ProRataGridEditable(ppResult));
    EXPECT_EQ(ProRataCellColours(ppResult, true, true), ResultCellColours());
    EXPECT_EQ(ProRataCellColours(ppInfo, true, true), StandardCellColours(true, true));
}

}  // namespace
}  // namespace clx
