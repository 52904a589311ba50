#include "framework/lookup.h"

#include <gtest/gtest.h>

#include "engine/series.h"

using namespace clx;

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
