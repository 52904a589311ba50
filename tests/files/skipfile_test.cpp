#include "files/skipfile.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <map>
#include <filesystem>
#include <fstream>
#include <unistd.h>

#include "../../fuzz/skipfile_checks.h"
#include "files/fileio.h"
#include "files/sectionstream.h"
#include "files/tablestream.h"
#include "platform/datetime.h"
#include "platform/fake_ui.h"

namespace clx {
namespace {

namespace fs = std::filesystem;

TDateTime D(int y, int m, int d) { return EncodeDate(y, m, d); }
int32_t Day(int y, int m, int d) { return WholeDays(EncodeDate(y, m, d)); }

void AddDate(MemTable& t, TDateTime date, const std::string& text, bool use = true) {
    t.Append();
    t.FieldByName("Date").SetDateTime(date);
    t.FieldByName("Description").SetString(text);
    if (!use) t.FieldByName("Use").SetBoolean(false);
    t.Post();
}

void AddRecurring(SkipSet& s, int day, int month, const std::string& text, bool use = true) {
    s.recurring.Append();
    s.recurring.FieldByName("Day").SetInteger(day);
    s.recurring.FieldByName("Month").SetInteger(month);
    s.recurring.FieldByName("Description").SetString(text);
    if (!use) s.recurring.FieldByName("Use").SetBoolean(false);
    s.recurring.Post();
}

void AddRange(SkipSet& s, TDateTime from, TDateTime to, const std::string& text) {
    s.ranges.Append();
    s.ranges.FieldByName("DFrom").SetDateTime(from);
    s.ranges.FieldByName("DTo").SetDateTime(to);
    s.ranges.FieldByName("Description").SetString(text);
    s.ranges.Post();
}

std::unique_ptr<SkipSet> NewSet(std::string fileName = {}) {
    auto ref = std::make_shared<SkipFileRef>();
    ref->fileName = std::move(fileName);
    return CreateSkipSet(ref, "dd/mm/yyyy");
}

// A set with a row in every table and bits in both header bytes.
std::unique_ptr<SkipSet> CourtSet() {
    auto s = NewSet();
    s->header.SetWeekday(1, true);
    s->header.SetWeekday(7, true);
    s->header.SetHoliday(hdChristmas, true);
    s->header.SetHoliday(hdGoodFriday, true);
    AddDate(s->single, D(2027, 3, 1), "Registry closed for stocktaking");
    AddDate(s->single, D(2027, 6, 14), "Judges' conference", false);
    AddRecurring(*s, 1, 5, "Labour Day");
    AddRecurring(*s, 11, 11, "Armistice Day");
    AddRange(*s, D(2027, 8, 2), D(2027, 8, 27), "Summer closure");
    AddDate(s->inclusions, D(2027, 3, 13), "Saturday sitting");
    return s;
}

size_t Rows(const SkipSet& s) {
    return s.recurring.RecordCount() + s.single.RecordCount() + s.ranges.RecordCount() +
           s.inclusions.RecordCount();
}

// Little-endian bytes built by hand, independent of the writers under test.
struct Bytes {
    std::vector<uint8_t> b;
    Bytes& U8(uint8_t v) { b.push_back(v); return *this; }
    Bytes& I16(int16_t v) { return Raw(&v, 2); }
    Bytes& I32(int32_t v) { return Raw(&v, 4); }
    Bytes& F64(double v) { return Raw(&v, 8); }
    Bytes& Str(const char* s) { return Raw(s, std::strlen(s)); }
    Bytes& Zero(size_t n) { b.insert(b.end(), n, 0); return *this; }
    Bytes& Raw(const void* p, size_t n) {
        auto c = static_cast<const uint8_t*>(p);
        b.insert(b.end(), c, c + n);
        return *this;
    }
    Bytes& Field(int32_t size, int16_t code, const char* name) {
        I32(size).I16(code).I16(int16_t(std::strlen(name) + 1)).Str(name).U8(0);
        return *this;
    }
    Bytes& Section(int32_t id, const std::vector<uint8_t>& payload) {
        I32(id).I32(0).I32(int32_t(payload.size())).U8(7).Str("1234567").Zero(12);
        b.insert(b.end(), payload.begin(), payload.end());
        return *this;
    }
};

std::vector<uint8_t> TableHead(std::initializer_list<std::pair<const char*, int>> keys) {
    Bytes t;
    t.Str("Ver").F64(1.8).I32(int32_t(keys.size() + 2));
    for (auto [name, code] : keys) t.Field(4, int16_t(code), name);
    t.Field(65, 1, "Description").Field(2, 5, "Use");
    return t.b;
}

TEST(SkipFileLayout, SmallFileHasTheFiveSectionsByteForByte) {
    auto s = NewSet();
    s->header.SetWeekday(1, true);
    s->header.SetWeekday(7, true);
    s->header.SetHoliday(hdChristmas, true);
    AddDate(s->single, D(2027, 1, 4), "Court closed");

    std::vector<uint8_t> header(1024, 0);
    header[0] = 0x82;   // Sunday (bit 1) and Saturday (bit 7)
    header[1] = 0x08;   // Christmas
    Bytes single;
    single.Raw(TableHead({{"Date", 9}}).data(), TableHead({{"Date", 9}}).size());
    single.U8(1).I32(Day(2027, 1, 4) + 693594).I32(13).Str("Court closed").U8(0).U8(1).I16(1);

    Bytes expected;
    expected.Section(0, header)
        .Section(1, single.b)
        .Section(2, TableHead({{"Day", 3}, {"Month", 3}}))
        .Section(3, TableHead({{"DFrom", 9}, {"DTo", 9}}))
        .Section(4, TableHead({{"Date", 9}}));
    EXPECT_EQ(SkipFileImage(*s), expected.b);
}

TEST(SkipFileLayout, WritingWhatWasReadGivesTheSameBytes) {
    auto s = CourtSet();
    s->header.bytes[500] = 0x5A;   // reserved bytes travel with the header
    const std::vector<uint8_t> image = SkipFileImage(*s);

    auto back = NewSet();
    SectionStream in(image);
    SkipReadReport r = ReadSkipSections(in, *back);
    EXPECT_TRUE(r.Complete()) << r.Summary();
    EXPECT_EQ(back->header, s->header);
    EXPECT_EQ(Rows(*back), 6u);
    EXPECT_EQ(SkipFileImage(*back), image);
    EXPECT_TRUE(IsSkipDate(back.get(), Day(2027, 8, 10)));
    EXPECT_FALSE(IsSkipDate(back.get(), Day(2027, 3, 13)));   // Saturday, included
    EXPECT_FALSE(IsSkipDate(back.get(), Day(2027, 6, 14)));   // row not in use
    EXPECT_TRUE(IsSkipDate(back.get(), Day(2027, 3, 26)));    // Good Friday
}

// ---- loading files -------------------------------------------------------------------------

class SkipFileDir : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("clx_skipfile_" + std::to_string(::getpid()) + "_" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override {
        std::error_code ec;
        fs::permissions(dir_, fs::perms::owner_all, fs::perm_options::add, ec);
        fs::remove_all(dir_, ec);
    }
    std::string Path(const std::string& name) const { return (dir_ / name).string(); }
    std::string Write(const std::string& name, const std::vector<uint8_t>& bytes) const {
        fs::create_directories((dir_ / name).parent_path());
        WriteFileAtomic(dir_ / name, bytes);
        return Path(name);
    }
    std::string Touch(const std::string& name) const { return Write(name, {}); }

    fs::path dir_;
};

using SkipFileLoad = SkipFileDir;

TEST_F(SkipFileLoad, SavedFileLoadsIntoASetWithRulesAlready) {
    auto src = CourtSet();
    SaveSkipFile(Path("court.skx"), *src);

    auto s = NewSet("kept");
    AddRecurring(*s, 25, 12, "Old rule");
    AddDate(s->single, D(2001, 1, 1), "old");
    s->active = false;
    SkipReadReport r;
    ASSERT_TRUE(LoadSkipFile(Path("court.skx"), s.get(), nullptr, &r));
    EXPECT_TRUE(r.Complete()) << r.Summary();
    EXPECT_EQ(SkipFileImage(*s), SkipFileImage(*src));
    EXPECT_FALSE(s->active);            // loading does not activate
    EXPECT_EQ(s->ref->fileName, "kept");
}

TEST_F(SkipFileLoad, MissingOrUnusableFileLeavesTheSetAlone) {
    auto s = CourtSet();
    const auto before = SkipFileImage(*s);
    fs::create_directories(dir_ / "folder.skx");
    for (const std::string& name : {Path("none.skx"), Path("folder.skx"), std::string()}) {
        SkipReadReport r;
        EXPECT_FALSE(LoadSkipFile(name, s.get(), nullptr, &r)) << name;
        EXPECT_FALSE(r.fileError.empty());
        EXPECT_EQ(SkipFileImage(*s), before);
    }
    EXPECT_FALSE(LoadSkipFile(Path("none.skx"), nullptr));
}

TEST_F(SkipFileLoad, UnreadableFileLeavesTheSetAlone) {
    if (::geteuid() == 0) GTEST_SKIP() << "root reads every file";
    auto src = CourtSet();
    SaveSkipFile(Path("locked.skx"), *src);
    fs::permissions(Path("locked.skx"), fs::perms::none);
    auto s = CourtSet();
    AddRecurring(*s, 2, 2, "extra");
    const auto before = SkipFileImage(*s);
    SkipReadReport r;
    EXPECT_FALSE(LoadSkipFile(Path("locked.skx"), s.get(), nullptr, &r));
    EXPECT_FALSE(r.fileError.empty());
    EXPECT_EQ(SkipFileImage(*s), before);
}

// The image of CourtSet with one section changed by `edit` (sections 0-4).
std::vector<uint8_t> ImageWith(int section, const std::function<void(Bytes&, std::vector<uint8_t>&)>& edit) {
    auto s = CourtSet();
    std::vector<std::vector<uint8_t>> payloads;
    payloads.push_back(std::vector<uint8_t>(s->header.bytes.begin(), s->header.bytes.end()));
    for (MemTable* t : {&s->single, &s->recurring, &s->ranges, &s->inclusions}) payloads.push_back(SaveToStream(*t));
    Bytes out;
    for (int i = 0; i < 5; ++i) {
        if (i == section) {
            edit(out, payloads[i]);
        } else {
            out.Section(i, payloads[i]);
        }
    }
    return out.b;
}

struct DamageCase {
    const char* what;
    std::vector<uint8_t> image;
    // Rows expected after the load (single, recurring, ranges, inclusions) and header byte 0.
    std::array<int, 4> rows;
    uint8_t weekdays;
    size_t problems;
};

TEST_F(SkipFileLoad, DamagedPartsStayClearedAndTheRestLoads) {
    const std::vector<uint8_t> whole = SkipFileImage(*CourtSet());
    const size_t headerAndSingle = 32 + 1024 + 32 + SaveToStream(CourtSet()->single).size();
    std::vector<uint8_t> nameTooLong = TableHead({{"DFrom", 9}, {"DTo", 9}});
    nameTooLong[21] = 0x00;
    nameTooLong[22] = 0x01;   // first field name length 256
    const std::vector<DamageCase> cases = {
        {"whole", whole, {2, 2, 1, 1}, 0x82, 0},
        {"empty file", {}, {0, 0, 0, 0}, 0, 5},
        {"ends after the single dates", std::vector<uint8_t>(whole.begin(), whole.begin() + headerAndSingle),
         {2, 0, 0, 0}, 0x82, 3},
        {"ends inside the recurring section", std::vector<uint8_t>(whole.begin(), whole.begin() + headerAndSingle + 40),
         {2, 0, 0, 0}, 0x82, 3},
        {"header with another id", ImageWith(0, [](Bytes& o, std::vector<uint8_t>& p) { o.Section(9, p); }),
         {2, 2, 1, 1}, 0, 1},
        {"single dates with another id", ImageWith(1, [](Bytes& o, std::vector<uint8_t>& p) { o.Section(7, p); }),
         {0, 2, 1, 1}, 0x82, 1},
        {"extra section before the recurring days",
         ImageWith(2, [](Bytes& o, std::vector<uint8_t>& p) { o.Section(44, {1, 2, 3}).Section(2, p); }),
         {2, 0, 0, 0}, 0x82, 4},   // no resynchronising: each later part meets the previous id
        {"ranges with a name length over 255",
         ImageWith(3, [&](Bytes& o, std::vector<uint8_t>&) { o.Section(3, nameTooLong); }), {2, 2, 0, 1}, 0x82, 1},
        {"ranges that are not a table",
         ImageWith(3, [](Bytes& o, std::vector<uint8_t>&) { o.Section(3, {'V', 'e', 'r', 1, 2}); }),
         {2, 2, 0, 1}, 0x82, 1},
        {"empty inclusions section", ImageWith(4, [](Bytes& o, std::vector<uint8_t>&) { o.Section(4, {}); }),
         {2, 2, 1, 0}, 0x82, 1},
        {"negative payload size", ImageWith(2, [](Bytes& o, std::vector<uint8_t>&) { o.I32(2).I32(0).I32(-5).Zero(20); }),
         {2, 0, 0, 0}, 0x82, 3},
        {"short header payload", ImageWith(0, [](Bytes& o, std::vector<uint8_t>&) { o.Section(0, {0x40}); }),
         {2, 2, 1, 1}, 0x40, 0},
        {"trailing bytes", [&] { auto b = whole; b.push_back(0); return b; }(), {2, 2, 1, 1}, 0x82, 1},
    };
    for (const DamageCase& c : cases) {
        SCOPED_TRACE(c.what);
        auto s = CourtSet();
        s->header.bytes[900] = 1;   // cleared before the read
        const std::string path = Write("case.skx", c.image);
        SkipReadReport r;
        ASSERT_TRUE(LoadSkipFile(path, s.get(), nullptr, &r));
        EXPECT_EQ(s->single.RecordCount(), c.rows[0]);
        EXPECT_EQ(s->recurring.RecordCount(), c.rows[1]);
        EXPECT_EQ(s->ranges.RecordCount(), c.rows[2]);
        EXPECT_EQ(s->inclusions.RecordCount(), c.rows[3]);
        EXPECT_EQ(s->header.WeekdayBits(), c.weekdays);
        EXPECT_EQ(s->header.bytes[900], 0);
        EXPECT_EQ(r.problems.size(), c.problems) << r.Summary();
    }
}

TEST(SkipFileSections, ReadingKeepsWhatDamagedPartsHeld) {
    // The editor reads into a set it has not cleared: a broken part keeps its rows.
    std::vector<uint8_t> image = ImageWith(3, [](Bytes& o, std::vector<uint8_t>&) { o.Section(3, {'V', 'e', 'r'}); });
    image.resize(image.size() - 10);   // and the inclusions are cut short
    auto s = NewSet();
    AddRange(*s, D(2001, 1, 1), D(2001, 1, 5), "kept range");
    AddDate(s->inclusions, D(2001, 2, 3), "kept inclusion");
    SectionStream in(image);
    SkipReadReport r = ReadSkipSections(in, *s);
    EXPECT_EQ(r.problems.size(), 2u) << r.Summary();
    ASSERT_EQ(s->ranges.RecordCount(), 1);
    s->ranges.First();
    EXPECT_EQ(s->ranges.FieldByName("Description").AsString(), "kept range");
    EXPECT_EQ(s->inclusions.RecordCount(), 1);
    EXPECT_EQ(s->recurring.RecordCount(), 2);
    EXPECT_NE(r.Summary().find("ranges"), std::string::npos);
    EXPECT_NE(r.Summary().find("inclusions"), std::string::npos);
}

// ---- choosing a file -----------------------------------------------------------------------

// "<DAT>" stands for the test folder; records the folders added.
class FakeConfig : public SkipFileConfig {
public:
    explicit FakeConfig(std::string dat) : dat_(std::move(dat)) {}
    std::string ExpandPathMacros(std::string_view p) const override {
        if (p.substr(0, 5) == "<DAT>") return dat_ + "/" + std::string(p.substr(p.size() > 5 && p[5] == '/' ? 6 : 5));
        return std::string(p);
    }
    std::string ContractPathMacros(std::string_view p) const override {
        if (p.substr(0, dat_.size() + 1) == dat_ + "/") return "<DAT>/" + std::string(p.substr(dat_.size() + 1));
        return std::string(p);
    }
    std::vector<std::string> DataFolderSearchList() const override { return folders; }
    bool AddDataFolderOf(std::string_view file) override {
        std::string folder = fs::path(std::string(file)).parent_path().string();
        if (folder == dat_) return false;
        for (const auto& f : added)
            if (f == folder) return false;
        added.push_back(folder);
        return true;
    }
    std::string DateEntryFormat() const override { return "dd/mm/yyyy"; }

    std::vector<std::string> folders, added;

private:
    std::string dat_;
};

using SkipFileSelect = SkipFileDir;

TEST_F(SkipFileSelect, ChoosingFilesAndNoFile) {
    SaveSkipFile(Path("vic holidays.2003.skx"), *CourtSet());
    fs::create_directories(dir_ / "other");
    auto weekends = NewSet();
    weekends->header.SetWeekday(1, true);
    SaveSkipFile(Path("other/weekends.skx"), *weekends);

    FakeConfig cfg(dir_.string());
    auto s = NewSet();
    s->ref->invert = true;

    SkipFileSelection a = SelectSkipFile(Path("vic holidays.2003.skx"), *s, cfg);
    EXPECT_EQ(a.outcome, SkipSelectOutcome::Selected);
    EXPECT_EQ(a.button, (SkipButtonState{"Vic Holidays", Path("vic holidays.2003.skx")}));
    EXPECT_TRUE(a.documentModified);
    EXPECT_FALSE(a.optionsChanged);   // the data folder itself
    EXPECT_EQ(s->ref->fileName, "<DAT>/vic holidays.2003.skx");
    EXPECT_TRUE(s->active);
    EXPECT_EQ(Rows(*s), 6u);

    // The same file again, also by its macro name: not a change.
    EXPECT_FALSE(SelectSkipFile(Path("vic holidays.2003.skx"), *s, cfg).documentModified);
    EXPECT_FALSE(SelectSkipFile("<DAT>/vic holidays.2003.skx", *s, cfg).documentModified);

    SkipFileSelection b = SelectSkipFile(Path("other/weekends.skx"), *s, cfg);
    EXPECT_TRUE(b.documentModified);
    EXPECT_TRUE(b.optionsChanged);
    EXPECT_EQ(cfg.added, std::vector<std::string>{Path("other")});
    EXPECT_EQ(s->ref->fileName, "<DAT>/other/weekends.skx");
    EXPECT_EQ(Rows(*s), 0u);
    EXPECT_EQ(s->header.WeekdayBits(), 0x02);

    // A stored file deleted since: no skipped dates, the name dropped, the invert flag kept.
    fs::remove(Path("other/weekends.skx"));
    SkipFileSelection c = SelectSkipFile(s->ref->fileName, *s, cfg);
    EXPECT_EQ(c.outcome, SkipSelectOutcome::Cleared);
    EXPECT_EQ(c.button, (SkipButtonState{"No Skipped Dates", ""}));
    EXPECT_TRUE(c.documentModified);
    EXPECT_TRUE(c.error.empty());
    EXPECT_EQ(s->ref->fileName, "");
    EXPECT_TRUE(s->ref->invert);
    EXPECT_FALSE(s->active);
    EXPECT_EQ(s->header.WeekdayBits(), 0);

    // No file when there was none: nothing to save.
    SkipFileSelection d = SelectSkipFile("", *s, cfg);
    EXPECT_EQ(d.outcome, SkipSelectOutcome::Cleared);
    EXPECT_FALSE(d.documentModified);
}

TEST_F(SkipFileSelect, DamagedFileIsStillSelected) {
    Write("broken.skx", {1, 2, 3});
    FakeConfig cfg(dir_.string());
    auto s = CourtSet();
    SkipFileSelection r = SelectSkipFile(Path("broken.skx"), *s, cfg);
    EXPECT_EQ(r.outcome, SkipSelectOutcome::Selected);
    EXPECT_TRUE(s->active);
    EXPECT_EQ(Rows(*s), 0u);
    EXPECT_FALSE(r.report.Complete());
    EXPECT_TRUE(r.error.empty());
}

TEST_F(SkipFileSelect, SetWithoutReferenceIsLeftAlone) {
    SaveSkipFile(Path("a.skx"), *CourtSet());
    FakeConfig cfg(dir_.string());
    auto s = CreateSkipSet(nullptr, "dd/mm/yyyy");
    EXPECT_EQ(SelectSkipFile(Path("a.skx"), *s, cfg).outcome, SkipSelectOutcome::NoReference);
    EXPECT_EQ(Rows(*s), 0u);
    EXPECT_FALSE(s->active);
}

TEST_F(SkipFileSelect, NameTheDocumentCannotKeepIsRefused) {
    const std::string longName = std::string(170, 'x') + ".skx";
    SaveSkipFile(Path(longName), *CourtSet());
    SaveSkipFile(Path("\xd0\x9a\xd0\xb8\xd1\x97\xd0\xb2.skx"), *CourtSet());   // Cyrillic: not in the code page
    SaveSkipFile(Path("\xc3\xa9t\xc3\xa9.skx"), *CourtSet());                 // accented: kept
    FakeConfig cfg(dir_.string());
    auto s = NewSet("<DAT>/before.skx");
    s->active = true;
    for (const std::string& name : {longName, std::string("\xd0\x9a\xd0\xb8\xd1\x97\xd0\xb2.skx")}) {
        SkipFileSelection r = SelectSkipFile(Path(name), *s, cfg);
        EXPECT_EQ(r.outcome, SkipSelectOutcome::Refused);
        EXPECT_FALSE(r.error.empty());
        EXPECT_FALSE(r.documentModified);
        EXPECT_EQ(s->ref->fileName, "<DAT>/before.skx");
        EXPECT_EQ(Rows(*s), 0u);
        EXPECT_TRUE(s->active);
    }
    SkipFileSelection ok = SelectSkipFile(Path("\xc3\xa9t\xc3\xa9.skx"), *s, cfg);
    EXPECT_EQ(ok.outcome, SkipSelectOutcome::Selected);
    EXPECT_EQ(ok.button.caption, "\xc3\x89t\xc3\xa9");
}

TEST(SkipFileCaptions, MenuAndButtonCaptions) {
    struct Case {
        const char* path;
        const char* menu;
        const char* button;
    };
    const Case cases[] = {
        {"/data/vic holidays.2003.skx", "vic holidays", "Vic Holidays"},
        {"/data/NSW COURTS.skx", "NSW COURTS", "Nsw Courts"},
        {"o'brien (county)-court.skx", "o'brien (county)-court", "O'Brien (County)-Court"},
        {"/data/R&D days.skx", "R&&D days", "R&&d Days"},
        {"/data/a&&b.SKX", "a&&&&b", "A&&&&b"},
        {"/data/.hidden.skx", ".hidden.skx", ".hidden.skx"},
        {"/data/2027 sittings.skx", "2027 sittings", "2027 Sittings"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(SkipMenuCaption(c.path), c.menu) << c.path;
        EXPECT_EQ(SkipButtonCaption(c.path), c.button) << c.path;
    }
}

// ---- the menu ------------------------------------------------------------------------------

using SkipFileMenu = SkipFileDir;

std::vector<std::string> Captions(const std::vector<SkipMenuItem>& menu) {
    std::vector<std::string> out;
    for (const auto& m : menu) out.push_back(m.separator ? "-" : m.caption);
    return out;
}

TEST_F(SkipFileMenu, ListsSubfoldersAndEachFileOnce) {
    Touch("rsc/factory.skx");
    Touch("data/zeta.skx");
    Touch("data/Alpha.SKX");
    Touch("data/notes.txt");
    Touch("data/skx");
    Touch("data/courts/vic/supreme.skx");
    Touch("data/courts/federal.skx");
    Touch("extra/r&d.skx");
    fs::create_directories(dir_ / "data/empty");
    fs::create_symlink(dir_ / "data", dir_ / "data/courts/loop");   // never entered
    fs::create_directory_symlink(dir_ / "data", dir_ / "Linked");

    const std::vector<std::string> folders = {Path("rsc"), Path("data"),
                                              Path("data/courts"),      // inside the data folder
                                              Path("Linked/courts/"),   // the same folder again
                                              Path("DATA"),             // no such folder here
                                              Path("missing"), Path("extra")};
    const std::vector<std::string> expectedFiles = {
        Path("rsc/factory.skx"),         Path("data/Alpha.SKX"),      Path("data/zeta.skx"),
        Path("data/courts/federal.skx"), Path("data/courts/vic/supreme.skx"), Path("extra/r&d.skx")};
    EXPECT_EQ(FindSkipFiles(folders), expectedFiles);

    const auto menu = BuildSkipFileMenu(folders);
    EXPECT_EQ(Captions(menu), (std::vector<std::string>{"No Skip-Dates", "-", "factory", "Alpha", "zeta",
                                                        "federal", "supreme", "r&&d", "-",
                                                        "Find Other Skip-Dates File...", "-",
                                                        "Edit Skip-Dates File...",
                                                        "Create New Skip-Dates file..."}));
    EXPECT_EQ(menu[0].tag, kSkipMenuChoose);
    EXPECT_EQ(menu[0].hint, "");
    EXPECT_EQ(menu[5].hint, Path("data/courts/federal.skx"));
    EXPECT_EQ(menu[9].tag, kSkipMenuFindOther);
    EXPECT_EQ(menu[11].tag, kSkipMenuEdit);
    EXPECT_EQ(menu[12].tag, kSkipMenuCreate);
}

TEST_F(SkipFileMenu, WithoutFilesOnlyNoneEditAndCreate) {
    Touch("data/readme.txt");
    const auto menu = BuildSkipFileMenu({Path("data"), Path("nowhere"), ""});
    EXPECT_EQ(Captions(menu), (std::vector<std::string>{"No Skip-Dates", "-", "Edit Skip-Dates File...",
                                                        "Create New Skip-Dates file..."}));
}

// ---- the editor and the button -------------------------------------------------------------

TEST(SkipFileEditor, EditsACopyAndCopiesBackOnlyWhenAccepted) {
    auto s = CourtSet();
    int calls = 0;
    SkipEditor cancel = [&](SkipSet& e, const std::string& name) -> std::optional<std::string> {
        ++calls;
        EXPECT_EQ(name, "/d/court.skx");
        EXPECT_EQ(Rows(e), 6u);
        e.recurring.First();
        e.recurring.Delete();
        return std::nullopt;
    };
    EXPECT_EQ(EditSkipFile(s.get(), "/d/court.skx", cancel, "dd/mm/yyyy"), "/d/court.skx");
    EXPECT_EQ(Rows(*s), 6u);

    SkipEditor accept = [&](SkipSet& e, const std::string&) -> std::optional<std::string> {
        ++calls;
        e.header.SetWeekday(2, true);
        AddRecurring(e, 26, 1, "Australia Day");
        return "/d/renamed.skx";
    };
    EXPECT_EQ(EditSkipFile(s.get(), "/d/court.skx", accept, "dd/mm/yyyy"), "/d/renamed.skx");
    EXPECT_EQ(s->recurring.RecordCount(), 3);
    EXPECT_TRUE(s->header.SkipsWeekday(2));

    SkipEditor fresh = [&](SkipSet& e, const std::string& name) -> std::optional<std::string> {
        ++calls;
        EXPECT_EQ(Rows(e), 0u);
        EXPECT_EQ(e.header, SkipHeader{});
        EXPECT_EQ(name, "/d/proposed.skx");
        return "/d/new.skx";
    };
    EXPECT_EQ(EditSkipFile(nullptr, "/d/proposed.skx", fresh, "dd/mm/yyyy"), "/d/new.skx");
    EXPECT_EQ(calls, 3);
    EXPECT_EQ(EditSkipFile(s.get(), "/d/x.skx", SkipEditor{}, "dd/mm/yyyy"), "/d/x.skx");
}

using SkipFileButton = SkipFileDir;

TEST_F(SkipFileButton, MenuChoicesAndButtonClick) {
    SaveSkipFile(Path("court.skx"), *CourtSet());
    FakeConfig cfg(dir_.string());
    FakeUi ui;
    auto s = NewSet();
    std::vector<std::string> edited;
    SkipFileGroup g{*s, cfg, ui, [&](SkipSet& e, const std::string& name) -> std::optional<std::string> {
                        edited.push_back(name + "|" + std::to_string(Rows(e)));
                        auto w = NewSet();
                        w->header.SetWeekday(7, true);
                        SaveSkipFile(Path("saved.skx"), *w);
                        return Path("saved.skx");
                    }};

    // The button with nothing chosen.
    EXPECT_FALSE(ClickSkipFileButton(g).has_value());
    EXPECT_EQ(ui.Texts(UiCallKind::Error), std::vector<std::string>{std::string(kEditWithoutSkipFile)});

    // Find Other: cancelled, then a file.
    SkipMenuItem findOther{"Find Other Skip-Dates File...", {}, kSkipMenuFindOther, false};
    EXPECT_FALSE(ChooseSkipMenuItem(g, findOther).has_value());
    ui.QueueOpenResult(Path("court.skx"));
    auto chosen = ChooseSkipMenuItem(g, findOther);
    ASSERT_TRUE(chosen.has_value());
    EXPECT_EQ(chosen->button.caption, "Court");
    EXPECT_EQ(ui.Calls().back().dialog.filter, kFindOtherSkipFilter);
    EXPECT_EQ(s->ref->fileName, "<DAT>/court.skx");

    // The button edits the chosen file and selects what the editor saved.
    auto clicked = ClickSkipFileButton(g);
    ASSERT_TRUE(clicked.has_value());
    EXPECT_EQ(edited.back(), Path("court.skx") + "|6");
    EXPECT_EQ(s->ref->fileName, "<DAT>/saved.skx");
    EXPECT_EQ(s->header.WeekdayBits(), 0x80);

    // Create starts empty with the current name proposed.
    ChooseSkipMenuItem(g, {"Create New Skip-Dates file...", {}, kSkipMenuCreate, false});
    EXPECT_EQ(edited.back(), Path("saved.skx") + "|0");

    // "No Skip-Dates".
    auto none = ChooseSkipMenuItem(g, {"No Skip-Dates", {}, kSkipMenuChoose, false});
    ASSERT_TRUE(none.has_value());
    EXPECT_EQ(none->button.caption, "No Skipped Dates");
    EXPECT_FALSE(s->active);
    EXPECT_EQ(ui.Texts(UiCallKind::Error).size(), 1u);
}

// ---- factory files -------------------------------------------------------------------------

TEST(SkipFactoryFiles, LoadWholeAndSkipTheirDays) {
    struct Check {
        int y, m, d;
        bool skipped;
    };
    const std::vector<std::pair<std::string, std::vector<Check>>> files = {
        {"Weekends.skx",
         {{2027, 3, 13, true}, {2027, 3, 14, true}, {2027, 3, 15, false}, {2027, 3, 26, false}, {2027, 12, 27, false}}},
        {"Weekends and Christian holidays.skx",
         {{2027, 3, 26, true},     // Good Friday
          {2027, 3, 29, true},     // Easter Monday
          {2027, 3, 25, false},
          {2028, 12, 25, true},
          {2028, 12, 26, true},
          {2027, 1, 1, true},
          {2027, 12, 24, false},
          {2027, 3, 20, true}}},
        {"Christian holidays.skx",
         {{2027, 3, 28, true},     // Easter Sunday
          {2027, 3, 27, false},    // Saturdays count
          {2027, 3, 26, true},
          {2027, 3, 29, true},
          {2028, 1, 1, true},
          {2027, 3, 14, false}}},
        {"Sample court closures.skx",
         {{2027, 3, 13, false},    // Saturday sitting
          {2027, 3, 20, true},
          {2027, 3, 26, true},
          {2027, 8, 10, true},     // summer closure
          {2027, 8, 30, false},
          {2028, 5, 1, true},      // May Day, every year
          {2029, 5, 1, true},
          {2027, 6, 18, true},
          {2027, 12, 31, true},
          {2028, 1, 4, false},     // vacation sitting inside the vacation
          {2028, 1, 5, true},
          {2028, 1, 10, false},
          {2027, 3, 22, false}}},
    };
    const fs::path data = fs::path(CLX_BUILD_ROOT) / "Data";
    for (const auto& [name, checks] : files) {
        SCOPED_TRACE(name);
        auto s = NewSet();
        SkipReadReport r;
        ASSERT_TRUE(LoadSkipFile((data / name).string(), s.get(), nullptr, &r));
        EXPECT_TRUE(r.Complete()) << r.Summary();
        for (const Check& c : checks)
            EXPECT_EQ(IsSkipDate(s.get(), Day(c.y, c.m, c.d)), c.skipped) << c.y << "-" << c.m << "-" << c.d;
        // Written again, the file comes out byte for byte.
        EXPECT_EQ(SkipFileImage(*s), ReadFileBytes(data / name));
    }
}

// ---- fuzz inputs ---------------------------------------------------------------------------

const fs::path kFuzzDir = fs::path(__FILE__).parent_path().parent_path().parent_path() / "fuzz";

std::map<std::string, std::vector<uint8_t>> SkipSeeds() {
    std::map<std::string, std::vector<uint8_t>> seeds;
    const std::vector<uint8_t> court = SkipFileImage(*CourtSet());
    seeds["court"] = court;
    seeds["empty"] = SkipFileImage(*NewSet());
    seeds["cut"] = std::vector<uint8_t>(court.begin(), court.begin() + court.size() / 2);
    seeds["other_ids"] = ImageWith(2, [](Bytes& o, std::vector<uint8_t>& p) { o.Section(44, {1, 2, 3}).Section(2, p); });
    // Values at the edges: days and months no calendar has, the first and last days of the
    // calendar, a range over all of it, and a row of nulls.
    auto edge = NewSet();
    edge->header.bytes.fill(0xFF);
    edge->recurring.LoadRows({{int64_t{2147483647}, int64_t{-1}, std::string("huge"), true},
                              {int64_t{0}, int64_t{13}, Value{}, true},
                              {Value{}, Value{}, Value{}, Value{}}});
    edge->single.LoadRows({{D(1, 1, 1), std::string("first"), true}, {Value{}, Value{}, true}});
    edge->ranges.LoadRows({{D(1, 1, 1), D(9999, 12, 31), std::string("everything"), true},
                           {D(9999, 12, 31), D(1, 1, 1), std::string("backwards"), true}});
    edge->inclusions.LoadRows({{D(9999, 12, 31), std::string("last"), true}, {D(2027, 3, 1), Value{}, Value{}}});
    seeds["edges"] = SkipFileImage(*edge);
    return seeds;
}

TEST(SkipFileFuzzInputs, SeedsAreTheWritersOutput) {
    const bool update = std::getenv("CLX_UPDATE_FUZZ_SEEDS") != nullptr;
    for (const auto& [name, bytes] : SkipSeeds()) {
        const fs::path p = kFuzzDir / "corpus" / "skipfile_fuzz" / name;
        if (update) {
            fs::create_directories(p.parent_path());
            WriteFileAtomic(p, bytes);
        }
        ASSERT_TRUE(fs::exists(p)) << p << " is missing (CLX_UPDATE_FUZZ_SEEDS=1 writes it)";
        EXPECT_EQ(ReadFileBytes(p), bytes) << p << " differs from what the writer produces now";
    }
}

TEST(SkipFileFuzzInputs, EveryKeptInputPassesTheChecks) {
    int n = 0;
    for (const char* kind : {"corpus", "regressions"}) {
        const fs::path dir = kFuzzDir / kind / "skipfile_fuzz";
        if (!fs::is_directory(dir)) continue;
        for (const auto& e : fs::directory_iterator(dir)) {
            if (!e.is_regular_file() || e.path().filename() == ".gitkeep") continue;
            EXPECT_NO_THROW(fuzz::CheckSkipFile(ReadFileBytes(e.path()))) << e.path();
            ++n;
        }
    }
    EXPECT_GE(n, 5);
}

}  // namespace
}  // namespace clx
