#include "files/docheader.h"

#include <gtest/gtest.h>

#include <cstring>
#include <set>

#include "platform/datetime.h"

namespace clx {
namespace {

using T = HeaderFieldType;

struct Layout {
    const char* name;
    uint16_t offset;
    uint16_t width;
    T type;
};

// The record layout as documents store it.
const Layout kLayout[] = {
    {"Signature", 0, 72, T::ShortString},       {"edDob", 72, 8, T::Date},
    {"edDos", 80, 8, T::Date},                   {"cbFirstDayMulti", 89, 1, T::Boolean},
    {"cbLastdayMulti", 90, 1, T::Boolean},       {"cbMiddleDatesAreTo", 91, 1, T::Index},
    {"edChrHdg", 93, 256, T::ShortString},       {"MulDatesText", 349, 256, T::ShortString},
    {"MulFirstStart", 608, 8, T::Date},          {"MulLastEnd", 616, 8, T::Date},
    {"MulTotalDays", 624, 4, T::Int32},          {"cbAgo", 648, 1, T::Boolean},
    {"cbNextEvent", 649, 1, T::Boolean},         {"cbAge", 650, 1, T::Boolean},
    {"cbBand", 651, 1, T::Boolean},              {"cbZone", 652, 1, T::Boolean},
    {"mcal1", 656, 8, T::Date},                  {"lmClipLo", 664, 8, T::Date},
    {"lmClipHi", 672, 8, T::Date},               {"lmSynch", 680, 8, T::Date},
    {"lmFreq", 688, 1, T::Index},                {"lmUnits", 692, 4, T::Int32},
    {"lmAlwaysFirst", 696, 1, T::Boolean},       {"lmAlwaysLast", 697, 1, T::Boolean},
    {"edRcrSeriesTitle", 698, 81, T::ShortString}, {"cbMulRdg", 779, 1, T::Boolean},
    {"MulTotalWeeks", 784, 8, T::Int64},         {"MulTotalYears", 792, 8, T::Int64},
    {"cbChrDayNumbers", 804, 1, T::Boolean},     {"pc1", 816, 4, T::Int32},
    {"RcrSeriesCounter", 820, 4, T::Int32},      {"cbChrFootnote", 824, 1, T::Boolean},
    {"cbCalendar", 832, 1, T::Boolean},          {"cbNotes", 833, 1, T::Boolean},
    {"cbFooter", 834, 1, T::Boolean},            {"cbHeader", 835, 1, T::Boolean},
    {"edPrinterOrientation", 840, 1, T::Index},  {"edMarTop", 848, 8, T::Float},
    {"edMarLeft", 856, 8, T::Float},             {"edMarRight", 864, 8, T::Float},
    {"edMarBottom", 872, 8, T::Float},           {"edUnits", 880, 1, T::Index},
    {"ChrSheet", 1048, 4, T::Int32},             {"cbChrEventNo", 1052, 1, T::Boolean},
    {"cbRcrLongDateFormat", 1134, 1, T::Boolean}, {"cbCalcLongDateFormat", 1135, 1, T::Boolean},
    {"cbMultiLongDateFormat", 1217, 1, T::Boolean}, {"cbUseTime", 1299, 1, T::Boolean},
    {"rgRcrStyle", 1300, 1, T::Index},           {"cbCellLines", 1301, 1, T::Boolean},
    {"cbChrDow", 1302, 1, T::Boolean},           {"cbRowGap", 1303, 1, T::Boolean},
    {"cbBorder", 1304, 1, T::Boolean},           {"cbFootnoteNewPage", 1305, 1, T::Boolean},
    {"cbLandscape", 1306, 1, T::Boolean},        {"cbRcrAmount", 1307, 1, T::Boolean},
    {"cbShadeHdg", 1312, 1, T::Boolean},         {"edRcrAmtBal", 1313, 1, T::Index},
    {"cbMulLegend", 1314, 1, T::Boolean},        {"edNumRep", 1316, 4, T::Int32},
    {"ChrDateFormat", 1320, 4, T::Int32},        {"cbChrAutoInsert", 1324, 1, T::Boolean},
    {"edRcrAmount", 1328, 8, T::Float},          {"cbRcrComment", 1336, 1, T::Boolean},
    {"cbInvertSkip", 1593, 1, T::Boolean},       {"SkipFile", 1594, 161, T::ShortString},
    {"sbAstroPlace.Place", 1852, 81, T::ShortString}, {"sbAstroPlace.Lat", 1933, 17, T::ShortString},
    {"sbAstroPlace.Long", 1950, 17, T::ShortString}, {"sbAstroPlace.PlusMinus", 1968, 2, T::Int16},
    {"sbAstroPlace.Hours", 1970, 2, T::Int16},   {"sbAstroPlace.Mins", 1972, 2, T::Int16},
    {"sbAstroPlace.PlaceKey", 1976, 4, T::Int32}, {"sbPlanPlace.Place", 2108, 81, T::ShortString},
    {"sbPlanPlace.PlaceKey", 2232, 4, T::Int32}, {"PlanUkey", 2364, 4, T::Int32},
    {"cbPlanCollate", 2370, 1, T::Boolean},      {"edPlanLocalorCollated", 2371, 1, T::Index},
    {"cbPlanRestrictDate", 2631, 1, T::Boolean}, {"cbPlanRestrictWho", 2632, 1, T::Boolean},
    {"edPlanFrom", 2640, 8, T::Date},            {"edPlanTo", 2648, 8, T::Date},
    {"edPlanSeriesName", 2656, 49, T::ShortString}, {"edCalcMethod", 2705, 1, T::Index},
    {"cbInvertSkipPlan", 2706, 1, T::Boolean},   {"SkipFilePlan", 2707, 161, T::ShortString},
    {"cbDosToday", 2962, 1, T::Boolean},         {"edEasterFirstYear", 2964, 4, T::Int32},
    {"edEasterYears", 2968, 4, T::Int32},        {"edMiscType", 2972, 1, T::Index},
    {"PlanFile", 2973, 161, T::ShortString},     {"cbProRataAMt", 3134, 1, T::Boolean},
    {"edProRataAmt", 3136, 8, T::Float},         {"edProDFrom", 3144, 8, T::Date},
    {"edProDTo", 3152, 8, T::Date},              {"edProAmt", 3160, 8, T::Float},
    {"cbProIncludeFirst", 3168, 1, T::Boolean},  {"cbProIncludeLast", 3169, 1, T::Boolean},
    {"ProReportColumns", 3170, 2, T::BitSet},    {"cb2rprDays", 3170, 2, T::Bit},
};

TEST(DocumentHeaderLayout, EveryNamedFieldSitsAtItsOffset) {
    for (const auto& l : kLayout) {
        SCOPED_TRACE(l.name);
        const HeaderFieldInfo* f = FindHeaderField(l.name);
        ASSERT_NE(f, nullptr);
        EXPECT_EQ(f->offset, l.offset);
        EXPECT_EQ(f->width, l.width);
        EXPECT_EQ(f->type, l.type);
    }
    EXPECT_EQ(sizeof(DocumentHeader), 4096u);
    EXPECT_EQ(sizeof(ToolRecs), 7680u);
}

TEST(DocumentHeaderLayout, FieldsStayInsideTheRecordAndDoNotOverlap) {
    std::set<int> used;
    std::set<std::string_view> names;
    for (const auto& f : DocumentHeaderFields()) {
        SCOPED_TRACE(f.name);
        EXPECT_TRUE(names.insert(f.name).second) << "duplicate name";
        EXPECT_LE(f.offset + f.width, 4096);
        if (f.type == T::Bit) {
            EXPECT_LT(f.bit, 9);
            continue;   // bits share the bytes of their set
        }
        for (int b = f.offset; b < f.offset + f.width; ++b)
            EXPECT_TRUE(used.insert(b).second) << "byte " << b << " used twice";
    }
}

TEST(DocumentHeaderLayout, TypedAccessWritesLittleEndianAtTheOffset) {
    DocumentHeader h;
    h.Set(hdr::lmUnits, 0x01020304);
    EXPECT_EQ(h.bytes[692], 0x04);
    EXPECT_EQ(h.bytes[695], 0x01);
    h.Set(hdr::MulTotalWeeks, int64_t{-2});
    EXPECT_EQ(h.bytes[784], 0xFE);
    EXPECT_EQ(h.bytes[791], 0xFF);
    h.Set(hdr::edProAmt, 1.5);
    double d;
    std::memcpy(&d, h.bytes.data() + 3160, 8);
    EXPECT_EQ(d, 1.5);
    h.Set(hdr::cb2rprShare, true);
    h.Set(hdr::cb2rprDays, true);
    EXPECT_EQ(h.Get(hdr::ProReportColumns), (1u << 4) | (1u << 8));
    h.Set(hdr::cb2rprShare, false);
    EXPECT_EQ(h.bytes[3170], 0);
    EXPECT_EQ(h.bytes[3171], 1);
    h.bytes[779] = 7;   // any non-zero byte reads as ticked
    EXPECT_TRUE(h.Get(hdr::cbMulRdg));
}

TEST(DocumentHeaderLayout, ShortStringsAreLengthByteAndSingleByteCharacters) {
    DocumentHeader h;
    h.bytes[698 + 10] = 0xAA;   // beyond the text: left as it was
    h.Set(hdr::edRcrSeriesTitle, "Caf\xC3\xA9");   // UTF-8 e-acute
    EXPECT_EQ(h.bytes[698], 4);
    EXPECT_EQ(h.bytes[702], 0xE9);
    EXPECT_EQ(h.bytes[708], 0xAA);
    EXPECT_EQ(h.Get(hdr::edRcrSeriesTitle), "Caf\xC3\xA9");

    h.bytes[2656] = 200;   // damaged length: reads at most the capacity
    EXPECT_EQ(h.Get(hdr::edPlanSeriesName).size(), 48u);

    EXPECT_THROW(h.Set(hdr::edRcrSeriesTitle, std::string(81, 'x')), HeaderFieldError);
    EXPECT_NO_THROW(h.Set(hdr::edRcrSeriesTitle, std::string(80, 'x')));
    EXPECT_THROW(h.Set(hdr::edRcrSeriesTitle, "\xE2\x82\xAC\xE4\xB8\xAD"), HeaderFieldError);  // CJK

    h.WriteSignature();
    EXPECT_EQ(h.bytes[0], 8);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(h.bytes.data() + 1), 8), "Chronlex");
}

TEST(DocumentHeaderLayout, SkipReferencesMapToTheInvertByteAndTheName) {
    DocumentHeader h;
    h.SetSkipRef(SkipSlot::Calculator, {true, "<DAT>uk.skx"});
    h.SetSkipRef(SkipSlot::Plan, {false, "<RSC>plan.skx"});
    EXPECT_EQ(h.bytes[1593], 1);
    EXPECT_EQ(h.bytes[1594], 11);
    EXPECT_EQ(h.bytes[2706], 0);
    EXPECT_EQ(h.Get(hdr::SkipFilePlan), "<RSC>plan.skx");
    const SkipFileRef calc = h.SkipRef(SkipSlot::Calculator);
    EXPECT_TRUE(calc.invert);
    EXPECT_EQ(calc.fileName, "<DAT>uk.skx");
    EXPECT_THROW(h.SetSkipRef(SkipSlot::Plan, {true, std::string(161, 'a')}), HeaderFieldError);
    EXPECT_EQ(h.bytes[2706], 0) << "a refused name leaves the invert flag alone";
}

TEST(DocumentHeaderRegistry, TextValuesRoundTrip) {
    DocumentHeader h;
    struct Case { const char* name; const char* in; const char* out; };
    const Case cases[] = {
        {"cbMulRdg", "true", "1"},          {"cbMulRdg", "No", "0"},
        {"lmFreq", "3", "3"},               {"lmUnits", " 12 ", "12"},
        {"MulTotalWeeks", "-123456789012", "-123456789012"},
        {"edProAmt", "1234.56", "1234.56"}, {"edMarTop", "-0.5", "-0.5"},
        {"edProDFrom", "2024-02-29", "2024-02-29"}, {"edProDTo", "", ""},
        {"edDob", "1990-05-17T13:45", "1990-05-17T13:45:00"},
        {"edChrHdg", "  Smith v Jones  ", "  Smith v Jones  "},
        {"cb2rprCalc", "1", "1"},           {"ProReportColumns", "511", "511"},
        {"sbPlanPlace.PlusMinus", "-1", "-1"}, {"edcalcmethod", "5", "5"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.name) + "=" + c.in);
        SetHeaderText(h, c.name, c.in);
        EXPECT_EQ(HeaderValueText(h, c.name), c.out);
    }
    EXPECT_EQ(h.Get(hdr::edProDFrom), EncodeDate(2024, 2, 29));
    EXPECT_EQ(h.Get(hdr::sbPlanPlace_PlusMinus), -1);
}

TEST(DocumentHeaderRegistry, BadValuesAreRefusedNamingTheSettingAndChangeNothing) {
    DocumentHeader h;
    h.Set(hdr::lmUnits, 2);
    const std::string longName(49, 'n');
    struct Case { const char* name; const char* value; const char* message; };
    const Case cases[] = {
        {"lmUnits", "0", "Setting lmUnits: 0 is out of range 1 to 9999"},
        {"lmUnits", "10000", "Setting lmUnits: 10000 is out of range 1 to 9999"},
        {"lmUnits", "2.5", "Setting lmUnits: \"2.5\" is not a whole number"},
        {"lmFreq", "11", "Setting lmFreq: 11 is out of range 0 to 10"},
        {"cbMulRdg", "maybe", "Setting cbMulRdg: \"maybe\" is not a boolean (use 1 or 0, true or false)"},
        {"cbMulRdg", "2", "Setting cbMulRdg: \"2\" is not a boolean (use 1 or 0, true or false)"},
        {"edProDFrom", "2023-02-29", "Setting edProDFrom: \"2023-02-29\" is not a date (use YYYY-MM-DD, or empty for no date)"},
        {"edProAmt", "1,5", "Setting edProAmt: \"1,5\" is not a number (use a \".\" as the decimal point)"},
        {"edProAmt", "inf", "Setting edProAmt: \"inf\" is not a number (use a \".\" as the decimal point)"},
        {"edPlanSeriesName", longName.c_str(), "Setting edPlanSeriesName: text longer than 48 characters"},
        {"pc1", "13", "Setting pc1: 13 is out of range 0 to 12"},
        {"ChrDateFormat", "3000000000", "Setting ChrDateFormat: 3000000000 is out of range -2147483648 to 2147483647"},
        {"nosuch", "1", "Unknown setting: nosuch"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const DocumentHeader before = h;
        try {
            SetHeaderText(h, c.name, c.value);
            ADD_FAILURE() << "accepted " << c.value;
        } catch (const HeaderFieldError& e) {
            EXPECT_STREQ(e.what(), c.message);
        }
        EXPECT_TRUE(h == before);
    }
}

TEST(DocumentHeaderRegistry, TypedValuesAreTypeChecked) {
    DocumentHeader h;
    SetHeaderValue(h, "cbAge", true);
    SetHeaderValue(h, "cbZone", int64_t{1});
    SetHeaderValue(h, "edProDFrom", int64_t{45000});
    SetHeaderValue(h, "edChrHdg", std::string("Heading"));
    EXPECT_EQ(std::get<bool>(GetHeaderValue(h, "cbAge")), true);
    EXPECT_EQ(std::get<bool>(GetHeaderValue(h, "cbZone")), true);
    EXPECT_EQ(std::get<double>(GetHeaderValue(h, "edProDFrom")), 45000.0);
    EXPECT_EQ(std::get<std::string>(GetHeaderValue(h, "edChrHdg")), "Heading");
    EXPECT_THROW(SetHeaderValue(h, "lmUnits", std::string("3")), HeaderFieldError);
    EXPECT_THROW(SetHeaderValue(h, "lmUnits", 3.0), HeaderFieldError);
    EXPECT_THROW(SetHeaderValue(h, "edChrHdg", int64_t{3}), HeaderFieldError);
    EXPECT_THROW(SetHeaderValue(h, "edDob", true), HeaderFieldError);
    EXPECT_THROW(SetHeaderValue(h, "edDob", 1e9), HeaderFieldError);
}

TEST(ToolRecTest, DefaultsFollowTheSheetName) {
    const ToolRec r = ToolRec::Defaults(soInterval);
    EXPECT_TRUE(r.Initialised());
    EXPECT_EQ(r.Destination(), 0);
    EXPECT_EQ(r.Delimiter(), 0);
    EXPECT_TRUE(r.FieldNames());
    EXPECT_EQ(r.LaunchBits(), 30);
    EXPECT_TRUE(r.Launch(kLaunchCsv));
    EXPECT_EQ(r.FileName(ToolFile::Csv), "<TMP>interval.csv");
    EXPECT_EQ(r.FileName(ToolFile::Rtf), "<TMP>interval.rtf");
    EXPECT_EQ(r.FileName(ToolFile::Web), "<TMP>interval.htm");
    EXPECT_EQ(r.FileName(ToolFile::Sylk), "<TMP>interval.slk");
    EXPECT_EQ(r.bytes[6], 17);
    EXPECT_EQ(ToolRec::Defaults(soProRata).FileName(ToolFile::Sylk), "<TMP>pro-rata.slk");
    EXPECT_EQ(ToolRec::Defaults(12).FileName(ToolFile::Csv), "<TMP>.csv");
    for (size_t i = 330; i < 512; ++i) ASSERT_EQ(r.bytes[i], 0) << i;
}

TEST(ToolRecTest, OutputRecordRuleResetsOnlyUninitialisedUnlessAll) {
    ToolRecs recs;
    recs[2].SetInitialised(true);
    recs[2].SetDestination(3);
    recs[2].SetFileName(ToolFile::Csv, "/home/x/out.csv");
    ToolRecs kept = recs;
    kept.ApplyOutputRecordRule(false);
    EXPECT_EQ(kept[2], recs[2]);
    EXPECT_EQ(kept[0], ToolRec::Defaults(0));
    EXPECT_EQ(kept[14], ToolRec::Defaults(14));
    recs.ApplyOutputRecordRule(true);
    EXPECT_EQ(recs[2], ToolRec::Defaults(2));
}

}  // namespace
}  // namespace clx
