#include "framework/lookup.h"

#include <gtest/gtest.h>

#include "engine/series.h"
#include "framework/lookupcombo.h"
#include "platform/memtable.h"

using namespace clx;

namespace clx {
void PrintTo(const LookupItem& item, std::ostream* os) { *os << item.value << " \"" << item.text << '"'; }
}  // namespace clx

using List = std::vector<std::string>;

TEST(SplitCsv, TextLists) {
    struct Case { const char* text; bool keepEmpty; List expected; };
    const Case cases[] = {
        {";365.25 days/year;366 days/year", true, {"", "365.25 days/year", "366 days/year"}},
        {";365.25 days/year;366 days/year", false, {"365.25 days/year", "366 days/year"}},
        {"Cancel changes & press Esc;Proceed and lock;\"Proceed, but don't lock\"", true,
         {"Cancel changes & press Esc", "Proceed and lock", "Proceed, but don't lock"}},
        {"Use Control Panel Setting;\" Comma (,)\";\"Semi-Colon (;)\";Tab Character", true,
         {"Use Control Panel Setting", "Comma (,)", "Semi-Colon (;)", "Tab Character"}},
        {"  a , b\t;\r\n c  ", true, {"a", "b", "c"}},
        {"a,,b;", true, {"a", "", "b", ""}},
        {"a,,b;", false, {"a", "b"}},
        {"x\"y\"z", true, {"xyz"}},
        {"\"unclosed, still one", true, {"unclosed, still one"}},
        {"", true, {""}},
        {"", false, {}},
        {"   ", false, {}},
        {"Ann\xC3\xA9" "e;Gr\xC3\xB6\xC3\x9F" "e", true, {"Ann\xC3\xA9" "e", "Gr\xC3\xB6\xC3\x9F" "e"}},
        {"\xC2\xA0" "caf\xC3\xA9\xC2\xA0;\xE2\x80\x83x", true, {"caf\xC3\xA9", "x"}},   // no-break and em spaces
        {"ab\xFF;\xC3", true, {"ab", ""}},   // stray bytes at the ends
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(SplitCsv(c.text, c.keepEmpty), c.expected);
    }
}

TEST(SplitCsv, ReadsOnly255Characters) {
    const std::string first(250, 'a');
    EXPECT_EQ(SplitCsv(first + ";bcdefgh", true), (List{first, "bcde"}));
    // Characters, not bytes: 250 two-byte letters and a separator leave four letters.
    std::string wide;
    for (int i = 0; i < 250; ++i) wide += "\xC3\xA9";
    const List got = SplitCsv(wide + ";\xC3\xB6\xC3\xB6\xC3\xB6\xC3\xB6\xC3\xB6\xC3\xB6", true);
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0], wide);
    EXPECT_EQ(got[1], "\xC3\xB6\xC3\xB6\xC3\xB6\xC3\xB6");
}

TEST(NamedLists, FrequencyList) {
    const NamedLists lists(Locale::Default());
    const auto* texts = lists.Texts("Frequency");
    ASSERT_NE(texts, nullptr);
    EXPECT_EQ(*texts, FrequencyTexts(Locale::Default()));

    const auto items = lists.Items("Frequency", {fqNone});
    ASSERT_TRUE(items);
    ASSERT_EQ(items->size(), 10u);
    EXPECT_EQ(items->front(), (LookupItem{1, "Day(s) apart"}));
    EXPECT_EQ(items->back(), (LookupItem{10, "June 30"}));
    EXPECT_EQ(lists.Items("Frequency")->size(), 11u);

    Locale fr;
    fr.longMonthNames[5] = "juin";
    fr.longMonthNames[11] = "d\xC3\xA9" "cembre";
    EXPECT_EQ((*NamedLists(fr).Texts("Frequency"))[8], "juin 30, d\xC3\xA9" "cembre 31");
}

TEST(NamedLists, NamesMatchAsTheCombosDo) {
    ASSERT_EQ(NamedLists::Names().size(), 25u);
    EXPECT_EQ(NamedLists::Names()[16], "Frequency");
    struct Case { const char* name; std::optional<size_t> index; };
    const Case cases[] = {
        {"Frequency", 16}, {"FREQUENCY", 16}, {"ltFrequency", 16}, {"12xFrequency", 16},
        {"frequency", std::nullopt},   // all lower case: nothing is left to compare
        {"DateFmt", 1},    {"ltY2D", 15},     {"DELTA", 24},       {"Nothing", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto& c : cases) EXPECT_EQ(NamedLists::Find(c.name), c.index) << c.name;

    const NamedLists lists(Locale::Default());
    EXPECT_EQ(lists.Texts("Nothing"), nullptr);
    EXPECT_FALSE(lists.Items("Nothing"));
}

TEST(NamedLists, EveryListWithItsTexts) {
    const NamedLists lists(Locale::Default());
    struct Case {
        const char* name;
        size_t count;
        std::vector<std::pair<size_t, const char*>> texts;   // a few by value
    };
    const Case cases[] = {
        {"GENDER", 4, {{0, "Male"}, {3, "Unknown"}}},
        {"DATEFMT", 17, {{0, "dd/mm/yyyy"}, {dfJanJun1999, "mmm1-mmm2 yyyy"},
                         {dfWednesday30June1999, "dddd, dd mmmm yyyy"}}},
        {"DUEDATETYPE", 3, {{0, "Normal (Same as Date)"}, {2, "Other Date"}}},
        {"COUNTRY", 9, {{0, "Native(Aus)"}, {8, "Deutchland"}}},
        {"MEDCAT", 6, {{3, "Married With Children"}, {5, "Single Parent"}}},
        {"CPIREFDATE", 9, {{0, "Normal (Quarter that relevant dates fall in)"},
                           {8, "Value at end of Financial year before the year that relevant dates fall in"}}},
        {"VALTYPE", 11, {{0, "Dollars"}, {5, "Per Day of Week"}, {10, "N/A"}}},
        {"FIELDPRINT", 5, {{fpSkipRedundant, "Skip if Redundant"}, {fpZen, "Skip Non-Zero & Redundant"}}},
        {"PRORATA", 3, {{0, "Skip any part-period"}, {2, "Pro-Rata any part-period"}}},
        {"ENDADJUST", 2, {{0, "Abandon"}, {1, "Pro-rata"}}},
        {"DATESOURCE", 8, {{0, "Relative eg \"Today\" or \"Tomorrow\""},
                           {2, "Multiple Dates eg \"3/3/2003;5/5/2002\""},
                           {5, "Range eg \"Every fortnight between 5/5/2002 & 6/6/2003\""},
                           {dsSL, "<Internal Use Only>"}, {dsProgram, "<Internal Use Only>"}}},
        {"YESNO", 2, {{0, "No"}, {1, "Yes"}}},
        {"TRUEFALSE", 2, {{0, "False"}, {1, "True"}}},
        {"CPIQTR", 5, {{2, "Year Average"}, {4, "December"}}},
        {"CPICITY", 9, {{0, "Sydney"}, {8, "Weighted Average"}}},
        {"Y2D", 5, {{0, "Auto"}, {1, "365.25"}, {4, "360"}}},
        {"Frequency", 11, {{fqNone, "None"}, {fqNDay, "Day(s) apart"}, {fqHalfYear, "June 30, December 31"}}},
        {"PRINTOR", 2, {{0, "Portrait"}, {1, "Landscape"}}},
        {"ORIENTATION", 3, {{0, "Portrait"}, {2, "Default"}}},
        {"RELDATE", 16, {{rdSpecificSing, "Manually Input Date"}, {rdSpecificMult, "Manually Input Dates"},
                         {4, "Next Week Day"}, {rdEndNextMonth, "End Next Month"}}},
        {"DRCR", 2, {{0, "Debit"}, {1, "Credit"}}},
        {"TIERDEF", 10, {{0, "Normal (Fixed Rate)"}, {9, "Simple Average Last n Years"}}},
        {"INTTYPE", 3, {{0, "No Interest"}, {2, "Variable Rate"}}},
        {"PROCASE", 19, {{2, "I/Me/My"}, {16, "Authority etc"}, {18, "Consortium etc"}}},
        {"DELTA", 9, {{2, "Amount reaches an end figure by $ changes"}, {4, "Amount changes by x% every p period"},
                      {8, "Amount changes on specified dates"}}},
    };
    ASSERT_EQ(std::size(cases), NamedLists::Names().size());
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto* texts = lists.Texts(c.name);
        ASSERT_NE(texts, nullptr);
        ASSERT_EQ(texts->size(), c.count);
        for (const auto& [value, text] : c.texts) EXPECT_EQ((*texts)[value], text);
        for (const auto& text : *texts) EXPECT_FALSE(text.empty());
    }
}

TEST(NamedLists, FillNamedList) {
    const NamedLists lists(Locale::Default());
    std::vector<LookupItem> items{{7, "kept"}};
    EXPECT_FALSE(FillNamedList(lists, "NOSUCHLIST", items));
    EXPECT_EQ(items, (std::vector<LookupItem>{{7, "kept"}}));

    EXPECT_TRUE(FillNamedList(lists, "ltCpiQtr", items, {1, 3}));
    EXPECT_EQ(items, (std::vector<LookupItem>{{0, "March"}, {2, "Year Average"}, {4, "December"}}));
    // Excluding values a list does not have changes nothing.
    EXPECT_TRUE(FillNamedList(lists, "DRCR", items, {-1, 2, 99}));
    EXPECT_EQ(items, (std::vector<LookupItem>{{0, "Debit"}, {1, "Credit"}}));
}

TEST(NamedLists, EveryLookupTypeNamesAList) {
    int named = 0;
    for (int t = 0; t < kLookupTypeCount; ++t) {
        const auto type = static_cast<TLookupType>(t);
        const char* name = NamedListOf(type);
        const bool expectNamed = t >= ltFrequency && t != ltPrintUnit;
        EXPECT_EQ(name != nullptr, expectNamed) << t;
        if (name) {
            ++named;
            EXPECT_TRUE(NamedLists::Find(name)) << name;
        }
    }
    EXPECT_EQ(named, 25);
    EXPECT_STREQ(NamedListOf(ltPrinterOrientation), "PRINTOR");
    EXPECT_STREQ(NamedListOf(ltPronounCase), "PROCASE");
}

// ---- TDbc1 ----

namespace {

using Items = std::vector<LookupItem>;

class LookupCombo : public ::testing::Test {
protected:
    NamedLists lists{Locale::Default()};

    TDbc1 Combo(TLookupType type, const char* csv = "") {
        TDbc1 c("edTest", &lists);
        c.lookupType = type;
        c.csvItems = csv;
        return c;
    }
};

}  // namespace

TEST_F(LookupCombo, CsvItemsAreValuedByPosition) {
    struct Case { const char* csv; Items expected; };
    const Case cases[] = {
        {";365.25 days/year;366 days/year", {{1, "365.25 days/year"}, {2, "366 days/year"}}},
        {"a;;c;", {{0, "a"}, {2, "c"}}},
        {",,", {}},
        {kCsvEditChoice, {{0, "Cancel changes & press Esc"}, {1, "Proceed and lock"},
                          {2, "Proceed, but don't lock"}}},
        {kCsvDelimiter, {{0, "Use Control Panel Setting"}, {1, "Comma (,)"}, {2, "Semi-Colon (;)"},
                         {3, "Tab Character"}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.csv);
        TDbc1 combo = Combo(ltCSV, c.csv);
        combo.LoadItems();
        EXPECT_EQ(combo.Items(), c.expected);
    }
}

TEST_F(LookupCombo, FormTextLists) {
    struct Case { const char* csv; size_t count; LookupItem first, last; };
    const Case cases[] = {
        {kCsvCalcMethod, 6, {0, "Normal"}, {5, "Finance - European 30/360"}},
        {kCsvMiddleDates, 2, {0, "Middle dates are FROM (start a new date span)"},
         {1, "Middle dates are TO (end the previous date span)"}},
        {kCsvRepeatStyle, 2, {0, "All dates in span - eg every pay-day in 2004"}, {1, "Repeats - eg 12 loan payments"}},
        {kCsvPlanScope, 2, {0, "Current plan only"}, {1, "The collated plans"}},
        {kCsvTwilight, 3, {0, "Civil"}, {2, "Astronomical"}},
        {kCsvDaysPerYear, 4, {1, "365.25 days/year"}, {4, "360 days/year"}},
        {kCsvDateEntryFormat, 4, {0, "Use Control Panel Setting"}, {3, "yyyy/mm/dd"}},
        {kCsvFirstDayOfWeek, 8, {0, "Monday"}, {7, "Locale Default"}},
        {kCsvAmountBalance, 4, {0, "Auto Select"}, {3, "Balance but not Amount"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.csv);
        TDbc1 combo = Combo(ltCSV, c.csv);
        combo.LoadItems();
        ASSERT_EQ(combo.Items().size(), c.count);
        EXPECT_EQ(combo.Items().front(), c.first);
        EXPECT_EQ(combo.Items().back(), c.last);
    }
    // The calculation method texts match the interval sheet's method names.
    TDbc1 methods = Combo(ltCSV, kCsvCalcMethod);
    methods.LoadItems();
    EXPECT_EQ(methods.Items()[1].text, "Finance - US (NASD) 30/360");
    EXPECT_EQ(methods.Items()[3].text, "Finance - Actual/360 ( USA Money Market Basis)");
}

TEST_F(LookupCombo, NamedListsWithTheirExclusions) {
    struct Case { TLookupType type; size_t count; LookupItem first, last; };
    const Case cases[] = {
        {ltDateSource, 3, {0, "Relative eg \"Today\" or \"Tomorrow\""}, {2, "Multiple Dates eg \"3/3/2003;5/5/2002\""}},
        {ltDateFmt, 16, {0, "dd/mm/yyyy"}, {16, "dddd, dd mmmm yyyy"}},
        {ltFieldPrint, 3, {0, "Always Print"}, {2, "Print if Non-Zero"}},
        {ltRelDate, 14, {2, "Today"}, {15, "End Next Month"}},
        {ltFrequency, 11, {0, "None"}, {10, "June 30"}},
        {ltPrinterOrientation, 2, {0, "Portrait"}, {1, "Landscape"}},
        {ltOrientation, 3, {0, "Portrait"}, {2, "Default"}},
        {ltEndAdjust, 2, {0, "Abandon"}, {1, "Pro-rata"}},
        {ltPronounCase, 19, {0, "Our Client"}, {18, "Consortium etc"}},
        {ltDeltaType, 9, {0, "Normal - Amount does not change"}, {8, "Amount changes on specified dates"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.type));
        TDbc1 combo = Combo(c.type);
        combo.LoadItems();
        ASSERT_EQ(combo.Items().size(), c.count);
        EXPECT_EQ(combo.Items().front(), c.first);
        EXPECT_EQ(combo.Items().back(), c.last);
    }

    TDbc1 freq = Combo(ltFrequency);
    freq.exclusions.xFrequency = {fqNone};
    freq.LoadItems();
    EXPECT_EQ(freq.Items().front(), (LookupItem{fqNDay, "Day(s) apart"}));

    // A set that belongs to another list changes nothing.
    TDbc1 yn = Combo(ltYesNo);
    yn.exclusions.xTrueFalse = {0};
    yn.LoadItems();
    EXPECT_EQ(yn.Items(), (Items{{0, "No"}, {1, "Yes"}}));
    yn.exclusions.xYesNo = {0};
    yn.LoadItems();
    EXPECT_EQ(yn.Items(), (Items{{1, "Yes"}}));
}

TEST_F(LookupCombo, OtherItemSources) {
    TDbc1 typed = Combo(ltItems);
    for (const char* t : {"one", "two", "three"}) typed.AddItem(t, 42);
    typed.LoadItems();
    EXPECT_EQ(typed.Items(), (Items{{0, "one"}, {1, "two"}, {2, "three"}}));

    TDbc1 general = Combo(ltGeneral);
    general.AddItem("stale", 1);
    general.LoadItems();   // no handler: nothing
    EXPECT_TRUE(general.Items().empty());
    general.onLoadItems = [](TDbc1& c) { c.AddItem("mm", 5); c.AddItem("inch", 9); };
    general.LoadItems();
    EXPECT_EQ(general.Items(), (Items{{5, "mm"}, {9, "inch"}}));

    TDbc1 unit = Combo(ltPrintUnit);
    unit.AddItem("left by the form", 1);
    unit.LoadItems();
    EXPECT_TRUE(unit.Items().empty());

    TDbc1 noLists("edNoLists");
    noLists.lookupType = ltYesNo;
    noLists.AddItem("kept", 3);
    EXPECT_THROW(noLists.LoadItems(), LookupError);
    EXPECT_EQ(noLists.Items(), (Items{{3, "kept"}}));
}

TEST_F(LookupCombo, TableItems) {
    MemTable t("taUnits");
    t.AddField("Caption", FieldType::String, 20);
    t.AddField("Code", FieldType::Integer);
    t.AddField("Note", FieldType::String, 20);
    auto add = [&](const char* caption, std::optional<int> code, const char* note = "") {
        t.Append();
        t.FieldByName("Caption").SetString(caption);
        if (code) t.FieldByName("Code").SetInteger(*code);
        t.FieldByName("Note").SetString(note);
        t.Post();
    };
    add("Millimetres", 10);
    add("Inches", 20);
    add("Unset", std::nullopt);
    t.SetRecNo(2);

    TDbc1 combo = Combo(ltTable);
    combo.lookupTable = &t;
    combo.lookupTableMenuField = "caption";
    combo.lookupTableValueField = "CODE";
    combo.LoadItems();
    EXPECT_EQ(combo.Items(), (Items{{10, "Millimetres"}, {20, "Inches"}, {0, "Unset"}}));
    EXPECT_EQ(t.RecNo(), 2);   // reading the items leaves the table where it was

    // Only the rows the filter shows.
    t.handlers.onFilterRecord = [](MemTable& m) { return m.FieldByName("Code").AsInteger() != 20; };
    t.SetFiltered(true);
    combo.LoadItems();
    EXPECT_EQ(combo.Items(), (Items{{10, "Millimetres"}, {0, "Unset"}}));
    t.SetFiltered(false);

    // A value field that is missing or holds text that is no number is refused, naming it.
    combo.lookupTableValueField = "Missing";
    try {
        combo.LoadItems();
        ADD_FAILURE() << "no error";
    } catch (const LookupError& e) {
        EXPECT_NE(std::string(e.what()).find("'Missing'"), std::string::npos) << e.what();
    }
    combo.lookupTableValueField = "Note";
    t.SetRecNo(1);
    t.Edit();
    t.FieldByName("Note").SetString("12");
    t.Post();
    t.SetRecNo(2);
    t.Edit();
    t.FieldByName("Note").SetString("twelve");
    t.Post();
    try {
        combo.LoadItems();
        ADD_FAILURE() << "no error";
    } catch (const LookupError& e) {
        EXPECT_NE(std::string(e.what()).find("'twelve' in row 2"), std::string::npos) << e.what();
    }
    EXPECT_EQ(combo.Items(), (Items{{10, "Millimetres"}, {0, "Unset"}}));   // unchanged

    TDbc1 noTable = Combo(ltTable);
    noTable.AddItem("x", 1);
    noTable.LoadItems();
    EXPECT_TRUE(noTable.Items().empty());
}

TEST_F(LookupCombo, DropDownRows) {
    struct Case { int items, dropDownCount, expected; };
    const Case cases[] = {{40, 8, 30}, {5, 8, 30}, {12, 8, 12}, {30, 8, 30}, {31, 8, 30}, {12, 12, 30}, {0, 8, 30}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.items);
        TDbc1 combo = Combo(ltItems);
        for (int i = 0; i < c.items; ++i) combo.AddItem("item");
        combo.SetDropDownCount(c.dropDownCount);
        combo.LoadItems();
        EXPECT_EQ(combo.DropDownCount(), c.expected);
    }
}

TEST_F(LookupCombo, SetValueInTheChooseOnlyStyle) {
    TDbc1 combo = Combo(ltCSV, kCsvDaysPerYear);
    combo.CreateWnd();
    EXPECT_EQ(combo.ItemIndex(), 0);
    EXPECT_EQ(combo.Value(), 1);
    EXPECT_EQ(combo.Text(), "365.25 days/year");

    struct Case { int set; int index; int value; const char* text; };
    const Case cases[] = {
        {3, 2, 3, "365 days/year"},
        {4, 3, 4, "360 days/year"},
        {0, 0, 1, "365.25 days/year"},   // no item carries 0: the first is selected
        {-1, 0, 1, "365.25 days/year"},
        {7, -1, 0, ""},                  // unknown: nothing selected
        {2, 1, 2, "366 days/year"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.set);
        combo.SetValue(c.set);
        EXPECT_EQ(combo.ItemIndex(), c.index);
        EXPECT_EQ(combo.Value(), c.value);
        EXPECT_EQ(combo.Text(), c.text);
    }
    combo.SetValue(4);
    EXPECT_EQ(combo.ValueString(), "360 days/year");
    combo.SetValue(9);
    EXPECT_EQ(combo.ValueString(), "");   // Value 0: the empty first entry

    TDbc1 empty = Combo(ltCSV, "");
    empty.CreateWnd();
    empty.SetValue(0);
    EXPECT_EQ(empty.ItemIndex(), -1);
    EXPECT_EQ(empty.Value(), 0);

    TDbc1 named = Combo(ltYesNo);
    named.CreateWnd();
    named.SetValue(1);
    EXPECT_EQ(named.Text(), "Yes");
    EXPECT_EQ(named.ValueString(), "");   // only text lists have one
    named.SetText("no");
    EXPECT_EQ(named.Value(), 0);
    EXPECT_EQ(named.Text(), "No");
}

TEST_F(LookupCombo, TypingStylesReadTheText) {
    TDbc1 combo = Combo(ltCSV, "zero;one;two");
    combo.SetStyle(ComboStyle::DropDown);
    combo.CreateWnd();
    EXPECT_EQ(combo.Text(), "zero");
    EXPECT_EQ(combo.Value(), 0);   // the text is no number

    combo.SetValue(2);
    EXPECT_EQ(combo.ItemIndex(), 2);
    EXPECT_EQ(combo.Text(), "2");
    EXPECT_EQ(combo.Value(), 2);

    struct Case { const char* text; int value; };
    const Case cases[] = {
        {"", 0}, {"Count", 0}, {"12abc", 0}, {" 1 2 ", 12}, {"-7", -7}, {"+8", 8}, {"+-8", 0},
        {"2147483647", 2147483647}, {"-2147483648", -2147483647 - 1},
        {"2147483648", -1}, {"99999999999999999999", -1},
    };
    for (const auto& c : cases) {
        combo.SetText(c.text);
        EXPECT_EQ(combo.Value(), c.value) << c.text;
    }

    // The same value with a text shown changes nothing, unless the form is loading.
    combo.SetText("05");
    combo.SetValue(5);
    EXPECT_EQ(combo.Text(), "05");
    combo.loading = true;
    combo.SetValue(5);
    EXPECT_EQ(combo.Text(), "5");
    EXPECT_EQ(combo.ItemIndex(), -1);   // no item carries 5

    TDbc1 simple = Combo(ltCSV, "zero;one;two");
    simple.SetStyle(ComboStyle::Simple);
    simple.CreateWnd();
    simple.SetValue(1);   // the list is not moved, only the text
    EXPECT_EQ(simple.ItemIndex(), 0);
    EXPECT_EQ(simple.Text(), "1");
    EXPECT_EQ(simple.Value(), 1);
}

TEST_F(LookupCombo, SortedItemsKeepTheirValues) {
    TDbc1 combo = Combo(ltCSV, "pear;Apple;;banana");
    combo.SetSorted(true);
    combo.LoadItems();
    EXPECT_EQ(combo.Items(), (Items{{1, "Apple"}, {3, "banana"}, {0, "pear"}}));
    combo.SetValue(0);
    EXPECT_EQ(combo.Text(), "pear");
    EXPECT_EQ(combo.ValueString(), "pear");

    // Sorting later keeps the selected item selected.
    TDbc1 later = Combo(ltCSV, "pear;Apple;banana");
    later.LoadItems();
    later.SetValue(0);
    later.SetSorted(true);
    EXPECT_EQ(later.ItemIndex(), 2);
    EXPECT_EQ(later.Value(), 0);
    later.AddItem("aardvark", 9);
    EXPECT_EQ(later.Items().front(), (LookupItem{9, "aardvark"}));
    EXPECT_EQ(later.Value(), 0);
}
