#include "engine/places.h"

#include <gtest/gtest.h>

#include <array>

namespace clx {
namespace {

using Bytes = std::array<uint8_t, kPlaceRecordBytes>;

void AddPlace(MemTable& t, const std::string& place, const std::string& lat, const std::string& lon,
              int plusMinus = 1, int hours = 0, int mins = 0) {
    t.Append();
    t.FieldByName("Place").SetString(place);
    t.FieldByName("Lat").SetString(lat);
    t.FieldByName("Long").SetString(lon);
    t.FieldByName("PlusMinus").SetInteger(plusMinus);
    t.FieldByName("Hours").SetInteger(hours);
    t.FieldByName("Mins").SetInteger(mins);
    t.Post();
}

class Places : public ::testing::Test {
protected:
    void SetUp() override {
        DefinePlaceFields(pll);
        DefinePlaceFields(plu);
    }
    MemTable pll{"taPll"};
    MemTable plu{"taPlu"};
};

TEST(PlaceRecordBytes, FieldsSitAtTheirOffsets) {
    PlaceRecord r{"Perth", "31S57", "115E51", -1, 8, 30, -7};
    Bytes b;
    b.fill(0xAA);
    EncodePlaceRecord(r, b);

    Bytes expected{};
    const auto put = [&](size_t off, std::string_view s) {
        expected[off] = static_cast<uint8_t>(s.size());
        for (size_t i = 0; i < s.size(); ++i) expected[off + 1 + i] = static_cast<uint8_t>(s[i]);
    };
    put(0, "Perth");
    put(81, "31S57");
    put(98, "115E51");
    expected[116] = 0xFF, expected[117] = 0xFF;                  // -1
    expected[118] = 8;
    expected[120] = 30;
    expected[124] = 0xF9, expected[125] = 0xFF, expected[126] = 0xFF, expected[127] = 0xFF;  // -7
    EXPECT_EQ(b, expected);
    EXPECT_EQ(DecodePlaceRecord(b), r);
    EXPECT_EQ(OffsetMinutes(r), -510);
}

TEST(PlaceRecordBytes, TextIsSingleByteAndCutToCapacity) {
    PlaceRecord r;
    r.name = std::string(90, 'x');
    r.latitude = "12\u00B034'56\u2033 Northern";    // degree sign in the code page, double prime not
    r.longitude = "Zürich-Ost";
    Bytes b;
    EncodePlaceRecord(r, b);
    EXPECT_EQ(b[0], 80);
    EXPECT_EQ(b[81], 16);
    EXPECT_EQ(b[83 + 1], 0xB0);
    EXPECT_EQ(b[98], 10);
    EXPECT_EQ(b[100], 0xFC);

    const PlaceRecord back = DecodePlaceRecord(b);
    EXPECT_EQ(back.name, std::string(80, 'x'));
    EXPECT_EQ(back.latitude, "12\u00B034'56? Northe");
    EXPECT_EQ(back.longitude, "Zürich-Ost");
}

TEST(PlaceRecordBytes, DamagedLengthsReadAsCapacity) {
    Bytes b;
    b.fill('a');
    b[0] = 255;
    b[81] = 200;
    b[98] = 17;
    const PlaceRecord r = DecodePlaceRecord(b);
    EXPECT_EQ(r.name.size(), 80u);
    EXPECT_EQ(r.latitude.size(), 16u);
    EXPECT_EQ(r.longitude.size(), 16u);
}

TEST_F(Places, NewRowsDefaultToPlusZero) {
    plu.Append();
    EXPECT_EQ(plu.FieldByName("PlusMinus").AsInteger(), 1);
    EXPECT_EQ(plu.FieldByName("Hours").AsInteger(), 0);
    EXPECT_EQ(plu.FieldByName("Mins").AsInteger(), 0);
    EXPECT_TRUE(plu.FieldByName("Place").IsNull());
    plu.Cancel();

    EXPECT_EQ(PlusMinusText(1), "+");
    EXPECT_EQ(PlusMinusText(-1), "-");
    EXPECT_EQ(PlusMinusText(3), "3");
    ASSERT_EQ(PlaceColumns().size(), 6u);
    EXPECT_EQ(PlaceColumns()[3].field, "PlusMinus");
    EXPECT_EQ(PlaceColumns()[3].title, "+/-");
}

TEST_F(Places, LoadFindsTheRowInTheTableOfTheKeysSign) {
    AddPlace(pll, "Sydney", "33S52", "151E12", 1, 10, 0);   // record number 1
    AddPlace(pll, "Adelaide", "34S56", "138E36", 1, 9, 30); // 2, sorted before Sydney
    AddPlace(plu, "Home", "1N", "2W", -1, 5, 15);           // 1
    Bytes b;

    b.fill(0xAA);
    ASSERT_TRUE(LoadPlaceRecord(2, pll, plu, b));
    EXPECT_EQ(DecodePlaceRecord(b), (PlaceRecord{"Adelaide", "34S56", "138E36", 1, 9, 30, 2}));
    EXPECT_EQ(b[115], 0);
    EXPECT_EQ(b[200], 0);

    ASSERT_TRUE(LoadPlaceRecord(-1, pll, plu, b));
    EXPECT_EQ(DecodePlaceRecord(b), (PlaceRecord{"Home", "1N", "2W", -1, 5, 15, -1}));
    EXPECT_EQ(OffsetMinutes(DecodePlaceRecord(b)), -315);

    b.fill(0xAA);
    EXPECT_FALSE(LoadPlaceRecord(-2, pll, plu, b));   // only in the other table
    EXPECT_EQ(b, Bytes{});

    b.fill(0xAA);
    EXPECT_FALSE(LoadPlaceRecord(0, pll, plu, b));
    Bytes untouched;
    untouched.fill(0xAA);
    EXPECT_EQ(b, untouched);
}

TEST_F(Places, LoadSearchesHiddenRowsAndKeepsTheCurrentRow) {
    AddPlace(pll, "Brisbane", "27S28", "153E01");
    AddPlace(pll, "Darwin", "12S28", "130E50");
    AddPlace(pll, "Hobart", "42S53", "147E19");
    pll.handlers.onFilterRecord = [](MemTable& t) { return t.FieldByName("Place").AsString() != "Darwin"; };
    pll.SetFiltered(true);
    pll.Last();
    ASSERT_EQ(pll.FieldByName("Place").AsString(), "Hobart");

    Bytes b;
    ASSERT_TRUE(LoadPlaceRecord(2, pll, plu, b));
    EXPECT_EQ(DecodePlaceRecord(b).name, "Darwin");
    EXPECT_EQ(pll.FieldByName("Place").AsString(), "Hobart");
    EXPECT_EQ(pll.RecordCount(), 2);
    EXPECT_TRUE(pll.handlers.onFilterRecord);
}

TEST_F(Places, LoadRefusesATableWithAnUnsavedRow) {
    AddPlace(pll, "Cairns", "16S55", "145E46");
    pll.Append();
    pll.FieldByName("Place").SetString("Half typed");
    Bytes b;
    b.fill(0xAA);
    EXPECT_THROW(LoadPlaceRecord(1, pll, plu, b), TableError);
    EXPECT_EQ(b[0], 0xAA);
    EXPECT_EQ(pll.State(), TableState::Insert);
}

TEST_F(Places, MenuListsUserPlacesThenStandardOnesThenOther) {
    AddPlace(plu, "Office", "1N", "1E");          // user 1
    AddPlace(plu, "Cottage", "2N", "2E");         // user 2, sorted first
    AddPlace(plu, "No latitude", "", "3E");       // user 3, left out
    AddPlace(pll, "Melbourne", "37S49", "144E58");  // standard 1
    AddPlace(pll, "Nameless", "1S", "");          // standard 2, left out

    const std::vector<PlaceMenuItem> expected = {
        {"Cottage", -2, false}, {"Office", -1, false}, {"-", 0, true},
        {"Melbourne", 1, false}, {"-", 0, true},       {"Other...", 0, false},
    };
    EXPECT_EQ(BuildPlaceMenu(plu, pll), expected);
}

TEST_F(Places, ButtonShowsTheRefreshedRecordAndKeepsAPlaceWhoseRowIsGone) {
    AddPlace(plu, "Farm", "30S", "150E", 1, 10, 0);
    Bytes b{};
    EncodePlaceRecord({"Farm (old name)", "30S", "150E", 1, 10, 0, -1}, b);
    PlaceButton button;
    EXPECT_EQ(button.caption, "None Selected");

    RefreshPlaceButton(button, b, pll, plu);
    EXPECT_EQ(button.caption, "Farm");
    EXPECT_EQ(button.tag, -1);
    EXPECT_EQ(DecodePlaceRecord(b).name, "Farm");

    // Tables not loaded: the document's place must survive.
    MemTable emptyPlu{"taPlu"};
    DefinePlaceFields(emptyPlu);
    const Bytes before = b;
    PlaceButton other;
    RefreshPlaceButton(other, b, pll, emptyPlu);
    EXPECT_EQ(b, before);
    EXPECT_EQ(other.caption, "Farm");
    EXPECT_EQ(other.tag, -1);

    Bytes none{};
    RefreshPlaceButton(other, none, pll, plu);
    EXPECT_EQ(other.caption, "None Selected");
    EXPECT_EQ(other.tag, 0);
}

TEST_F(Places, PickOpensTheEditorOnTheTargetsTableOrLoadsTheChosenRow) {
    AddPlace(pll, "Perth", "31S57", "115E51", 1, 8, 0);
    AddPlace(plu, "Shack", "20S", "120E", 1, 8, 0);
    Bytes target{};

    struct Case {
        int32_t key;
        PlaceSender sender;
        int tag;
        int page;
    } cases[] = {
        {0, PlaceSender::Button, 0, -1},
        {-1, PlaceSender::Button, 0, 0},
        {1, PlaceSender::Button, 5, 1},      // a button's tag does not pick
        {1, PlaceSender::MenuEntry, 0, 1},   // "Other..."
        {-9, PlaceSender::MenuEntry, 0, 0},  // row gone: the record keeps its key
    };
    for (const Case& c : cases) {
        target.fill(0);
        EncodePlaceRecord({"stale", "", "", 1, 0, 0, c.key}, target);
        const PlacePick pick = PickPlace(c.sender, c.tag, target, pll, plu);
        ASSERT_TRUE(pick.editorPage) << c.key;
        EXPECT_EQ(*pick.editorPage, c.page) << c.key;
        EXPECT_FALSE(pick.showBoth);
        EXPECT_EQ(DecodePlaceRecord(target).placeKey, c.key);
        if (c.key == 1) {
            EXPECT_EQ(DecodePlaceRecord(target).name, "Perth");
        }
    }

    PlacePick pick = PickPlace(PlaceSender::MenuEntry, -1, target, pll, plu);
    EXPECT_TRUE(pick.showBoth);
    EXPECT_FALSE(pick.editorPage);
    EXPECT_EQ(DecodePlaceRecord(target), (PlaceRecord{"Shack", "20S", "120E", 1, 8, 0, -1}));

    pick = PickPlace(PlaceSender::MenuEntry, 7, target, pll, plu);
    EXPECT_FALSE(pick.showBoth);
    EXPECT_EQ(DecodePlaceRecord(target).name, "Shack");
}

}  // namespace
}  // namespace clx
