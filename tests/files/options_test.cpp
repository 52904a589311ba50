#include "files/options.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <set>

#include "engine/julian.h"
#include "files/bytestream.h"
#include "files/fileio.h"
#include "files/tablestream.h"
#include "platform/fake_ui.h"

namespace clx {
namespace {

namespace fs = std::filesystem;

class OptionsFiles : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("clx_options_" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    fs::path Path(const std::string& name) const { return dir_ / name; }
    void Write(const fs::path& p, std::span<const uint8_t> bytes) { WriteFileAtomic(p, bytes); }

    fs::path dir_;
};

void AddRow(MemTable& t, const std::vector<std::pair<const char*, Value>>& values) {
    t.Append();
    for (const auto& [name, v] : values) t.FieldByName(name).SetValue(v);
    t.Post();
}

// Options with something in every part.
void Fill(Options& o) {
    o.header.daysPerYearType = 3;
    o.header.dateEntryFormat = 2;
    o.header.firstDayOfWeek = 6;
    o.header.SetShowTips(true);
    o.header.nextTip = 12;
    AddRow(o.taDaa, {{"Days", int64_t{10}}, {"Months", int64_t{3}}});
    AddRow(o.taDaa, {{"Years", int64_t{1}}, {"MenuCaption", std::string("A year")}});
    AddRow(o.taAno, {{"Format", std::string("Instalment %n of %q")}});
    AddRow(o.taFmt, {{"Format", std::string("d mmmm yyyy")}, {"Approx", false}});
    AddRow(o.taFmt, {{"Format", std::string("yyyy")}, {"Approx", true}});
    AddRow(o.taRpt, {{"Menu", std::string("Interval")}, {"Ukey", int64_t{1}},
                     {"Body", std::string("{\\rtf1 Interval %dd%\\par}")}});
    AddRow(o.taWrd, {{"Token", std::string("BADGREG")}, {"Value", std::string("Before 1753.\r\nCheck.")}});
    AddRow(o.taWrd, {{"Menu", std::string("FIRM")}, {"Value", std::string("Smith & Co \xE2\x80\x94 Solicitors")}});
    o.paths = {"/srv/matters", "/home/kim/Skip Files"};
}

std::vector<std::string> Column(const MemTable& t, const char* field) {
    std::vector<std::string> out;
    const int k = t.FieldIndex(field);
    for (int i = 0; i < t.RecordCount(); ++i) {
        const Value& v = t.RowValues(i)[static_cast<size_t>(k)];
        if (const auto* s = std::get_if<std::string>(&v))
            out.push_back(*s);
        else if (const auto* n = std::get_if<int64_t>(&v))
            out.push_back(std::to_string(*n));
        else if (const auto* b = std::get_if<bool>(&v))
            out.push_back(*b ? "true" : "false");
        else
            out.push_back("null");
    }
    return out;
}

std::vector<uint8_t> Inflated(std::vector<uint8_t> image) {
    PackStream(image, kPackNormal, PackDirection::Unpack);
    return image;
}

// The ids of the sections of a plain image, in order.
std::vector<int32_t> SectionIds(const std::vector<uint8_t>& image) {
    std::vector<int32_t> ids;
    ByteReader r(image);
    while (!r.AtEnd()) {
        ids.push_back(r.ReadI32());
        r.ReadI32();
        int32_t size = r.ReadI32();
        r.Skip(20 + static_cast<size_t>(size));
    }
    return ids;
}

// --- header ---------------------------------------------------------------------------------

TEST(OptionsHeaderLayout, FieldsSitAtTheirOffsets) {
    OptionsHeader h{};
    h.WriteSignature();
    h.daysPerYearType = 4;
    h.dateEntryFormat = 3;
    h.firstDayOfWeek = 7;
    h.SetShowTips(true);
    h.nextTip = 0x01020304;
    auto b = h.Bytes();
    ASSERT_EQ(b.size(), 1024u);
    std::vector<uint8_t> expected(1024, 0);
    const std::string sig = "\x08" "Chronlex";
    std::copy(sig.begin(), sig.end(), expected.begin());
    expected[65] = 4;
    expected[66] = 3;
    expected[67] = 7;
    expected[68] = 1;
    expected[72] = 0x04;
    expected[73] = 0x03;
    expected[74] = 0x02;
    expected[75] = 0x01;
    EXPECT_EQ(std::vector<uint8_t>(b.begin(), b.end()), expected);

    h.Clear();
    EXPECT_TRUE(std::all_of(b.begin(), b.end(), [](uint8_t c) { return c == 0; }));
}

TEST(OptionsHeaderLayout, OutOfRangeChoicesAreNotTakenAtFaceValue) {
    Options o;
    o.header.daysPerYearType = 5;
    o.header.dateEntryFormat = 4;
    EXPECT_FALSE(o.DaysPerYearType());
    EXPECT_FALSE(o.DateEntryFormat());
    o.header.daysPerYearType = 0;   // the average of the calendar years is a real choice
    EXPECT_EQ(o.DaysPerYearType(), 0);
}

// --- tables ---------------------------------------------------------------------------------

struct QuickAddCase {
    int64_t days, months, years;
    std::string caption;
    int64_t sort;
    std::string shown;
};

TEST(QuickAddTable, SortIsTheWholeDaysOfThePeriodAndNamesBlankEntries) {
    const std::vector<QuickAddCase> cases = {
        {10, 3, 0, "", 101, "101 Days"},      // 10 + 91.3125
        {0, 0, 1, "", 365, "365 Days"},       // 365.25 cut
        {0, 0, 1, "A year", 365, "A year"},
        {0, 1, 0, "", 30, "30 Days"},         // 30.4375
        {0, 0, 4, "", 1461, "1461 Days"},
        {0, 0, -1, "", -365, "-365 Days"},    // toward zero, not down
        {-10, 1, 0, "", 20, "20 Days"},
        {0, 0, 0, "", 0, "0 Days"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.shown);
        Options o;
        AddRow(o.taDaa, {{"Days", c.days}, {"Months", c.months}, {"Years", c.years},
                         {"MenuCaption", c.caption.empty() ? Value{} : Value{c.caption}}});
        EXPECT_EQ(o.taDaa.FieldByName("Sort").AsInteger(), c.sort);
        EXPECT_EQ(o.taDaa.FieldByName("MenuCaption").AsString(), c.shown);
    }
}

TEST(QuickAddTable, KeptInSortOrderAndRefusesPeriodsTooLongToCount) {
    Options o;
    AddRow(o.taDaa, {{"Years", int64_t{2}}});
    AddRow(o.taDaa, {{"Days", int64_t{7}}});
    AddRow(o.taDaa, {{"Months", int64_t{6}}});
    EXPECT_EQ(Column(o.taDaa, "Sort"), (std::vector<std::string>{"7", "182", "730"}));
    EXPECT_EQ(o.taDaa.FieldByName("Sort").AsInteger(), 182);   // the posted row stays current

    o.taDaa.Append();
    o.taDaa.FieldByName("Years").SetInteger(10'000'000);
    EXPECT_THROW(o.taDaa.Post(), TableError);
    EXPECT_EQ(o.taDaa.State(), TableState::Insert);
    o.taDaa.Cancel();
    EXPECT_EQ(o.taDaa.RecordCount(), 3);
}

TEST(OptionTables, DeletingAsksAndAnswerNoKeepsTheRow) {
    FakeUi ui;
    Options o;
    o.ui = &ui;
    int modified = 0;
    o.onModified = [&] { ++modified; };
    AddRow(o.taFmt, {{"Format", std::string("yyyy")}});
    AddRow(o.taFmt, {{"Format", std::string("mmmm yyyy")}});
    EXPECT_EQ(modified, 2);

    ui.QueueAnswer(ConfirmResult::No);
    EXPECT_THROW(o.taFmt.Delete(), TableAbort);
    EXPECT_EQ(o.taFmt.RecordCount(), 2);
    ui.QueueAnswer(ConfirmResult::Yes);
    o.taFmt.Delete();
    EXPECT_EQ(o.taFmt.RecordCount(), 1);
    EXPECT_EQ(ui.Texts(UiCallKind::Ask), (std::vector<std::string>{"Delete Record?", "Delete Record?"}));
    EXPECT_EQ(modified, 3);

    // The token engine's tables delete without a question.
    AddRow(o.taWrd, {{"Token", std::string("A")}});
    o.taWrd.Delete();
    EXPECT_EQ(ui.Texts(UiCallKind::Ask).size(), 2u);
}

TEST(OptionTables, NewWordAndReportRowsGetTheirDefaults) {
    Options o;
    AddRow(o.taWrd, {{"Token", std::string("ZED")}});
    AddRow(o.taWrd, {{"Menu", std::string("ALPHA")}});   // Token from Menu
    AddRow(o.taWrd, {});                                 // both stay empty
    EXPECT_EQ(Column(o.taWrd, "Token"), (std::vector<std::string>{"null", "ALPHA", "ZED"}));
    EXPECT_EQ(Column(o.taWrd, "Menu"), (std::vector<std::string>{"null", "ALPHA", "ZED"}));
    EXPECT_EQ(Column(o.taWrd, "Sort"), (std::vector<std::string>{"30", "20", "10"}));
    for (const char* f : {"xOut", "xFmt", "AllowUserEdit", "AllowUserSee"})
        EXPECT_EQ(Column(o.taWrd, f), std::vector<std::string>(3, "true")) << f;
    for (const char* f : {"BlankOk", "xVar", "xFirstRun"})
        EXPECT_EQ(Column(o.taWrd, f), std::vector<std::string>(3, "false")) << f;

    AddRow(o.taRpt, {{"Ukey", int64_t{5}}});
    AddRow(o.taRpt, {{"Ukey", int64_t{2}}});
    EXPECT_EQ(Column(o.taRpt, "Ukey"), (std::vector<std::string>{"2", "5"}));
    EXPECT_EQ(Column(o.taRpt, "ImageIndex"), (std::vector<std::string>{"4", "4"}));
    EXPECT_EQ(Column(o.taRpt, "Sequence"), (std::vector<std::string>{"-1;0;1", "-1;0;1"}));
    EXPECT_EQ(Column(o.taRpt, "ForceDisclaimer"), (std::vector<std::string>{"true", "true"}));
    EXPECT_EQ(Column(o.taRpt, "Landscape"), (std::vector<std::string>{"false", "false"}));
}

TEST(OptionTables, FindWordMatchesTheUpperCasedKey) {
    Options o;
    AddRow(o.taWrd, {{"Token", std::string("BADGREG")}, {"Value", std::string("text")}});
    AddRow(o.taWrd, {{"Token", std::string("EMPTY")}});
    EXPECT_EQ(o.FindWord("badgreg"), "text");
    EXPECT_EQ(o.FindWord("EMPTY"), "");
    EXPECT_FALSE(o.FindWord("NOPE"));
}

TEST(LinkTables, NewRowsGetAKeyNoOtherRowCarries) {
    Links l;
    int changes = 0;
    l.onChanged = [&] { ++changes; };
    AddRow(l.taAdl, {{"Menu", std::string("b")}});
    AddRow(l.taAdl, {{"Menu", std::string("a")}});
    EXPECT_EQ(Column(l.taAdl, "Ukey"), (std::vector<std::string>{"2", "1"}));
    EXPECT_EQ(Column(l.taAdl, "PC"), (std::vector<std::string>{"0", "0"}));
    EXPECT_EQ(Column(l.taAdl, "NB"), (std::vector<std::string>{"null", "null"}));
    EXPECT_EQ(Column(l.taAdl, "UseHint"), (std::vector<std::string>{"false", "false"}));
    EXPECT_EQ(changes, 2);

    // Loaded rows are numbered again from 1 but keep their stored keys, so the row number of a
    // new row (4) would repeat the key of "d".
    Links loaded;
    loaded.taAdl.LoadRows({{std::string("a"), Value{}, Value{}, Value{}, int64_t{1}, Value{}, Value{}, false},
                           {std::string("c"), Value{}, Value{}, Value{}, int64_t{3}, Value{}, Value{}, false},
                           {std::string("d"), Value{}, Value{}, Value{}, int64_t{4}, Value{}, Value{}, false}});
    AddRow(loaded.taAdl, {{"Menu", std::string("e")}});
    EXPECT_EQ(Column(loaded.taAdl, "Ukey"), (std::vector<std::string>{"1", "3", "4", "5"}));

    AddRow(l.taAdc, {{"Menu", std::string("Dates")}});
    EXPECT_EQ(Column(l.taAdc, "Use"), (std::vector<std::string>{"true"}));
    EXPECT_EQ(Column(l.taAdc, "Ukey"), (std::vector<std::string>{"1"}));
}

TEST(LinkTables, FilterKeysReadsOneKeyPerLine) {
    EXPECT_EQ(FilterKeys("1\r\n12\n 7 \r\nx\r\n\r\n3"), (std::vector<int64_t>{1, 12, 7, 3}));
    EXPECT_TRUE(FilterKeys("").empty());
}

// --- files ----------------------------------------------------------------------------------

TEST_F(OptionsFiles, WriteReadWriteGivesTheSameBytes) {
    Options a;
    Fill(a);
    std::vector<uint8_t> first = OptionsImage(a);
    Write(Path("options.dcz"), first);

    Options b;
    OptionsLoadReport r = LoadOptions(b, Path("options.dcz"), Path("default.dcz"));
    ASSERT_TRUE(r.Loaded()) << r.error;
    EXPECT_FALSE(r.usedFactory);
    EXPECT_EQ(r.sections, std::vector<SectionResult>(7, SectionResult::Loaded));
    EXPECT_EQ(b.header.daysPerYearType, 3);
    EXPECT_EQ(b.header.nextTip, 12);
    EXPECT_EQ(Column(b.taDaa, "MenuCaption"), (std::vector<std::string>{"101 Days", "A year"}));
    EXPECT_EQ(Column(b.taFmt, "Approx"), (std::vector<std::string>{"false", "true"}));
    EXPECT_EQ(b.FindWord("FIRM"), "Smith & Co \xE2\x80\x94 Solicitors");
    EXPECT_EQ(b.paths, a.paths);
    EXPECT_EQ(OptionsImage(b), first);

    // Always deflated: the inflated image holds the seven sections in order.
    EXPECT_EQ(SectionIds(Inflated(first)), (std::vector<int32_t>{0, 1, 2, 3, 7, 8, 9}));
}

TEST_F(OptionsFiles, LinksWriteReadWriteGivesTheSameBytesUncompressed) {
    Links a;
    AddRow(a.taAdl, {{"Menu", std::string("Count days")}, {"PC", int64_t{1}}, {"SNB", std::string("CalcMethod")},
                     {"Hint", std::string("{\\rtf1 Hint\\par}")}, {"UseHint", true}});
    AddRow(a.taAdl, {{"Menu", std::string("Easter")}, {"PC", int64_t{10}}, {"SNB", std::string("Easter")}});
    AddRow(a.taAdc, {{"Menu", std::string("Dates")}, {"Filter", std::string("1\r\n2")}});
    std::vector<uint8_t> first = LinksImage(a);
    EXPECT_EQ(SectionIds(first), (std::vector<int32_t>{1, 2}));
    Write(Path("lnk.dat"), first);

    Links b;
    LinksLoadReport r = LoadLinks(b, "\"" + Path("lnk.dat").string() + "\"");   // quotes are dropped
    ASSERT_TRUE(r.Loaded()) << r.error;
    EXPECT_EQ(Column(b.taAdl, "SNB"), (std::vector<std::string>{"CalcMethod", "Easter"}));
    EXPECT_EQ(LinksImage(b), first);

    FakeUi ui;
    Links c;
    r = LoadLinks(c, Path("missing.dat"), &ui);
    EXPECT_FALSE(r.Loaded());
    EXPECT_EQ(ui.Texts(UiCallKind::Error),
              (std::vector<std::string>{"Could not locate options file\n" + Path("missing.dat").string()}));
}

TEST_F(OptionsFiles, DamagedAndMissingSectionsKeepTheirContent) {
    // Header (70 bytes only), Add Dates, a broken Rcr Notes, Date Formats, then the file ends.
    Options src;
    Fill(src);
    SectionStream s;
    std::vector<uint8_t> shortHeader(src.header.Bytes().begin(), src.header.Bytes().begin() + 70);
    s.StreamSection(std::span<uint8_t>(shortHeader), kOptHeader, "Header");
    s.StreamSection(src.taDaa, kOptAddDates, "Add Dates");
    ByteWriter broken;
    broken.WriteBytes("Ver", 3);
    broken.WriteF64(1.8);
    broken.WriteI32(1);
    broken.WriteI32(81);
    broken.WriteI16(1);
    broken.WriteI16(300);   // a field name longer than 255
    std::vector<uint8_t> brokenPayload = broken.Take();
    s.StreamSection(std::span<uint8_t>(brokenPayload), kOptRcrNotes, "Rcr Notes");
    s.StreamSection(src.taFmt, kOptDateFormats, "Date Formats");
    std::vector<uint8_t> image = s.TakeImage();
    PackStream(image, kPackNormal, PackDirection::Pack);
    Write(Path("options.dcz"), image);

    Options o;
    AddRow(o.taAno, {{"Format", std::string("kept note")}});
    AddRow(o.taWrd, {{"Token", std::string("KEPT")}});
    o.paths = {"/kept"};
    o.header.nextTip = 77;
    OptionsLoadReport r = LoadOptions(o, Path("options.dcz"), Path("default.dcz"));
    ASSERT_TRUE(r.Loaded()) << r.error;
    EXPECT_EQ(r.sections, (std::vector<SectionResult>{SectionResult::Loaded, SectionResult::Loaded,
                                                       SectionResult::Damaged, SectionResult::Loaded,
                                                       SectionResult::End, SectionResult::End, SectionResult::End}));
    ASSERT_EQ(r.sectionErrors.size(), 1u);
    EXPECT_NE(r.sectionErrors[0].find("Rcr Notes"), std::string::npos);
    EXPECT_EQ(o.header.daysPerYearType, 3);
    EXPECT_EQ(o.header.nextTip, 0);   // beyond the short header: cleared, not kept
    EXPECT_EQ(Column(o.taDaa, "MenuCaption").size(), 2u);
    EXPECT_EQ(Column(o.taAno, "Format"), (std::vector<std::string>{"kept note"}));
    EXPECT_EQ(Column(o.taFmt, "Format"), (std::vector<std::string>{"d mmmm yyyy", "yyyy"}));
    EXPECT_EQ(Column(o.taWrd, "Token"), (std::vector<std::string>{"KEPT"}));
    EXPECT_EQ(o.paths, (std::vector<std::string>{"/kept"}));
}

TEST_F(OptionsFiles, MissingOrUnreadableFilesGiveWayToTheFactoryFile) {
    Options factory;
    Fill(factory);
    Write(Path("default.dcz"), OptionsImage(factory));

    Options o;
    OptionsLoadReport r = LoadOptions(o, "\"" + Path("options.dcz").string() + "\"", Path("default.dcz"));
    ASSERT_TRUE(r.Loaded()) << r.error;
    EXPECT_TRUE(r.usedFactory);
    EXPECT_EQ(r.file, Path("default.dcz"));
    EXPECT_EQ(o.header.daysPerYearType, 3);

    const std::vector<uint8_t> notDeflate = {'n', 'o', 't', ' ', 'o', 'p', 't', 'i', 'o', 'n', 's'};
    Write(Path("options.dcz"), notDeflate);
    Options p;
    r = LoadOptions(p, Path("options.dcz"), Path("default.dcz"));
    ASSERT_TRUE(r.Loaded()) << r.error;
    EXPECT_TRUE(r.usedFactory);
    EXPECT_EQ(p.paths, factory.paths);
}

TEST_F(OptionsFiles, NoFileAtAllKeepsTheTablesAndClearsTheHeader) {
    FakeUi ui;
    Options o;
    AddRow(o.taAno, {{"Format", std::string("kept")}});
    o.header.daysPerYearType = 2;
    OptionsLoadReport r = LoadOptions(o, Path("options.dcz"), Path("default.dcz"), &ui);
    EXPECT_FALSE(r.Loaded());
    EXPECT_EQ(r.error, "Could not locate options file\n" + Path("default.dcz").string());
    EXPECT_EQ(ui.Texts(UiCallKind::Error), (std::vector<std::string>{r.error}));
    EXPECT_EQ(o.header.daysPerYearType, 0);
    EXPECT_EQ(Column(o.taAno, "Format"), (std::vector<std::string>{"kept"}));
    EXPECT_EQ(ui.CurrentCursor(), Cursor::Default);
}

TEST_F(OptionsFiles, OptionsWithoutDateFormatsTakeTheFactoryFormats) {
    Options factory;
    Fill(factory);
    Write(Path("default.dcz"), OptionsImage(factory));

    // An older file: header and quick-add menu only.
    Options old;
    Fill(old);
    SectionStream s;
    s.StreamSection(old.header.Bytes(), kOptHeader, "Header");
    s.StreamSection(old.taDaa, kOptAddDates, "Add Dates");
    std::vector<uint8_t> image = s.TakeImage();
    PackStream(image, kPackNormal, PackDirection::Pack);
    Write(Path("options.dcz"), image);

    Options o;
    OptionsLoadReport r = LoadOptions(o, Path("options.dcz"), Path("default.dcz"));
    EXPECT_TRUE(r.formatsFromFactory);
    EXPECT_EQ(Column(o.taFmt, "Format"), (std::vector<std::string>{"d mmmm yyyy", "yyyy"}));
    o.taFmt.Last();
    EXPECT_EQ(o.taFmt.RecordNumber(), 2);   // chronology rows refer to formats by this number

    // A file whose format list was emptied on purpose stays empty.
    Options emptied;
    Fill(emptied);
    emptied.taFmt.EmptyTable();
    Write(Path("options.dcz"), OptionsImage(emptied));
    Options p;
    r = LoadOptions(p, Path("options.dcz"), Path("default.dcz"));
    EXPECT_FALSE(r.formatsFromFactory);
    EXPECT_TRUE(p.taFmt.IsEmpty());
}

TEST_F(OptionsFiles, SavingRotatesTheBackupAndPostsPendingEdits) {
    Options o;
    Fill(o);
    fs::path target = Path("options.dcz");
    Write(Path("default.dcz"), OptionsImage(o));   // a resource folder is never empty
    ASSERT_EQ(SaveOptions(o, target), SaveOutcome::Written);
    std::vector<uint8_t> firstImage = ReadFileBytes(target);

    o.taAno.Append();
    o.taAno.FieldByName("Format").SetString("unposted note");
    ASSERT_EQ(SaveOptions(o, target), SaveOutcome::Written);
    EXPECT_EQ(o.taAno.State(), TableState::Browse);
    EXPECT_EQ(ReadFileBytes(Path("options.~cz")), firstImage);

    Options back;
    ASSERT_TRUE(LoadOptions(back, target, {}).Loaded());
    EXPECT_EQ(Column(back.taAno, "Format"), (std::vector<std::string>{"Instalment %n of %q", "unposted note"}));
    EXPECT_EQ(back.header.signature[0], 8);
}

TEST_F(OptionsFiles, SavingIntoAMissingOrEmptyFolderWritesNothing) {
    FakeUi ui;
    Options o;
    fs::create_directories(Path("empty"));
    for (const fs::path& target : {Path("empty") / "options.dcz", Path("gone") / "options.dcz"}) {
        SCOPED_TRACE(target.string());
        ui.ClearCalls();
        EXPECT_EQ(SaveOptions(o, target, &ui), SaveOutcome::FolderMissing);
        EXPECT_FALSE(fs::exists(target));
        EXPECT_EQ(ui.Texts(UiCallKind::Information), (std::vector<std::string>{target.string()}));
    }
}

TEST_F(OptionsFiles, RestoreDefaultsLoadsTheFactoryOptionsOnlyOnYes) {
    Options factory;
    Fill(factory);
    Write(Path("default.dcz"), OptionsImage(factory));

    FakeUi ui;
    Options o;
    o.header.daysPerYearType = 4;
    AddRow(o.taAno, {{"Format", std::string("mine")}});
    ui.QueueAnswer(ConfirmResult::No);
    EXPECT_FALSE(RestoreDefaults(o, Path("default.dcz"), ui));
    EXPECT_EQ(o.header.daysPerYearType, 4);
    EXPECT_EQ(Column(o.taAno, "Format"), (std::vector<std::string>{"mine"}));

    ui.QueueAnswer(ConfirmResult::Yes);
    auto r = RestoreDefaults(o, Path("default.dcz"), ui);
    ASSERT_TRUE(r && r->Loaded());
    EXPECT_EQ(o.header.daysPerYearType, 3);
    EXPECT_EQ(Column(o.taAno, "Format"), (std::vector<std::string>{"Instalment %n of %q"}));
    EXPECT_EQ(ui.Texts(UiCallKind::Ask), (std::vector<std::string>(2, std::string(kRestoreDefaultsQuestion))));
    EXPECT_FALSE(fs::exists(Path("options.dcz")));   // nothing is written
}

TEST(OptionsReader, CutAndCorruptedImagesLoadWithoutHarmAndReadBackAsWritten) {
    Options src;
    Fill(src);
    const std::vector<uint8_t> good = Inflated(OptionsImage(src));
    uint32_t seed = 12345;
    auto next = [&] { return seed = seed * 1103515245u + 12345u; };
    for (int round = 0; round < 120; ++round) {
        std::vector<uint8_t> image = good;
        if (round % 3 == 0) {
            image.resize(next() % image.size());
        } else {
            for (int k = 0; k < 1 + round % 4; ++k) image[next() % image.size()] = static_cast<uint8_t>(next());
        }
        SCOPED_TRACE(round);
        Options o;
        SectionStream in(image);
        ASSERT_NO_THROW(StreamOptions(o, in));
        const std::vector<uint8_t> written = OptionsImage(o);
        Options back;
        SectionStream again(Inflated(written));
        StreamOptions(back, again);
        ASSERT_EQ(OptionsImage(back), written);
    }
}

// --- the factory files of the build ---------------------------------------------------------

const fs::path kRsc = fs::path(CLX_BUILD_ROOT) / "Bin" / "Rsc" / "Eng";

// The word tokens the program asks for.
const std::vector<std::string> kWordTokens = {"NOHLP", "LOADDEMO", "BADGREG", "EASTERCLIP",
                                              "XDASAVE", "PLNFNAME", "TIPSOFF"};

TEST(FactoryFiles, OptionsAreCompleteAndBothCopiesAgree) {
    ASSERT_TRUE(fs::exists(kRsc / "default.dcz")) << "build the clx_rsc_options target";
    EXPECT_EQ(ReadFileBytes(kRsc / "default.dcz"), ReadFileBytes(kRsc / "options.dcz"));

    Options o;
    OptionsLoadReport r = LoadOptions(o, kRsc / "default.dcz", {});
    ASSERT_TRUE(r.Loaded()) << r.error;
    EXPECT_EQ(r.sections[0], SectionResult::Loaded);
    for (size_t i = 1; i < 6; ++i) EXPECT_EQ(r.sections[i], SectionResult::Loaded) << kOptionsSections[i].label;
    EXPECT_EQ(o.header.daysPerYearType, 1);
    EXPECT_EQ(o.header.dateEntryFormat, 0);
    EXPECT_TRUE(o.header.ShowTips());
    EXPECT_TRUE(o.paths.empty());

    for (const std::string& token : kWordTokens) {
        auto text = o.FindWord(token);
        ASSERT_TRUE(text) << token;
        EXPECT_GT(text->size(), 20u) << token;
        EXPECT_EQ(text->find("%s") != std::string::npos, token == "NOHLP") << token;
    }
    EXPECT_EQ(o.FindWord("BADGREG"), kFactoryBadGregText);
    EXPECT_EQ(o.FindWord("EASTERCLIP"), kFactoryEasterClipText);
    const std::string nohlp = *o.FindWord("NOHLP");
    size_t first = nohlp.find("%s");
    EXPECT_NE(nohlp.find("%s", first + 2), std::string::npos);
    EXPECT_EQ(nohlp.find("%s", nohlp.find("%s", first + 2) + 2), std::string::npos);   // exactly two

    // Stock notes use only the placeholders the repeat sheet expands.
    ASSERT_FALSE(o.taAno.IsEmpty());
    for (const std::string& note : Column(o.taAno, "Format")) {
        for (size_t p = note.find('%'); p != std::string::npos; p = note.find('%', p + 2))
            EXPECT_NE(std::string("nqr").find(note[p + 1]), std::string::npos) << note;
    }
    // Chronology date formats fit the chronology's own Format field.
    ASSERT_FALSE(o.taFmt.IsEmpty());
    for (const std::string& f : Column(o.taFmt, "Format")) EXPECT_LE(f.size(), 24u) << f;
    EXPECT_EQ(Column(o.taRpt, "Ukey").size(), 8u);
    EXPECT_FALSE(o.taDaa.IsEmpty());
}

TEST(FactoryFiles, LinksLeadToEverySheetThatCanBeShown) {
    Links l;
    LinksLoadReport r = LoadLinks(l, kRsc / "lnk.dat");
    ASSERT_TRUE(r.Loaded()) << r.error;
    EXPECT_EQ(r.sections, std::vector<SectionResult>(2, SectionResult::Loaded));

    std::map<int64_t, int64_t> sheetOfKey;
    const auto keys = Column(l.taAdl, "Ukey");
    const auto sheets = Column(l.taAdl, "PC");
    for (size_t i = 0; i < keys.size(); ++i) sheetOfKey[std::stoll(keys[i])] = std::stoll(sheets[i]);
    EXPECT_EQ(sheetOfKey.size(), keys.size()) << "keys are unique";

    std::set<int64_t> reached;
    const auto use = Column(l.taAdc, "Use");
    const auto filters = Column(l.taAdc, "Filter");
    for (size_t i = 0; i < filters.size(); ++i) {
        if (use[i] != "true") continue;
        for (int64_t k : FilterKeys(filters[i])) {
            ASSERT_TRUE(sheetOfKey.count(k)) << "category " << i << " lists the unknown key " << k;
            reached.insert(sheetOfKey[k]);
        }
    }
    EXPECT_EQ(reached, (std::set<int64_t>{0, 1, 2, 3, 4, 5, 6, 7, 8, 10, 11, 12}));
}

}  // namespace
}  // namespace clx
