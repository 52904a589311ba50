#include "files/document.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>

#include "files/fileio.h"
#include "files/sectionstream.h"
#include "files/tablestream.h"
#include "platform/fake_ui.h"

namespace clx {
namespace {

namespace fs = std::filesystem;

std::vector<std::string_view> TableNames() {
    std::vector<std::string_view> n;
    for (const auto& s : kDocumentSections)
        if (s.kind == SectionKind::Table) n.push_back(s.object);
    return n;
}

std::vector<std::string_view> TextNames() {
    std::vector<std::string_view> n;
    for (const auto& s : kDocumentSections)
        if (s.kind == SectionKind::Text) n.push_back(s.object);
    return n;
}

// Stand-in definitions: every stored kind the program's tables use.
void DefineTable(MemTable& t) {
    t.AddField("Name", FieldType::String, 40);
    t.AddField("Count", FieldType::Integer);
    t.AddField("Small", FieldType::SmallInt);
    t.AddField("Flag", FieldType::Boolean);
    t.AddField("Amount", FieldType::Currency);
    t.AddField("Ratio", FieldType::Float);
    t.AddField("Weeks", FieldType::BCD, 4);
    t.AddField("Day", FieldType::Date);
    t.AddField("At", FieldType::DateTime);
    t.AddField("Clock", FieldType::Time);
    t.AddField("Memo", FieldType::Memo);
    t.AddField("Calc", FieldType::String, 10, FieldKind::Calculated);
}

void DefineAll(Document& d, bool withPlanTables = true) {
    for (auto name : TableNames()) {
        if (!withPlanTables && (name == "taPln" || name == "taMpd" || name == "taPlf")) continue;
        DefineTable(d.Table(name));
    }
}

// Rows, texts, settings and output records that differ by the seed.
void Fill(Document& d, int seed) {
    int k = 0;
    for (auto name : TableNames()) {
        MemTable& t = d.Table(name);
        t.EmptyTable();
        for (int r = 0; r < 3; ++r) {
            const int v = seed * 100 + k * 10 + r;
            std::vector<Value> row = {
                std::string(name) + " row " + std::to_string(v), int64_t{v}, int64_t{-v},
                r % 2 == 0, v * 1.25, v / 7.0, std::to_string(v) + ".5000",
                EncodeDate(2000 + r, 1 + k % 12, 1 + r), EncodeDate(2010, 5, 6) + 0.25,
                0.5, std::string("memo\r\n") + std::to_string(v), std::monostate{},
            };
            if (r == 2) row[0] = std::monostate{};   // a null string
            if (r == 1) row[5] = std::monostate{};   // a null number
            t.AppendRaw(row);
        }
        ++k;
    }
    for (auto name : TextNames())
        d.Rtf(name) = "{\\rtf1\\ansi " + std::string(name) + " " + std::to_string(seed) + "\\par }";
    d.header.Set(hdr::edChrHdg, "Heading " + std::to_string(seed));
    d.header.Set(hdr::lmUnits, seed);
    d.header.Set(hdr::edProDFrom, EncodeDate(2024, 1, seed));
    d.header.bytes[4000] = static_cast<uint8_t>(seed);   // a reserved byte travels too
    for (int i = 0; i < kToolRecCount; ++i) {
        d.tools[i].Reset(i);
        d.tools[i].SetDestination(static_cast<uint8_t>(seed % 6));
    }
}

std::vector<uint8_t> ReadAll(const fs::path& p) { return ReadFileBytes(p); }

void WriteAll(const fs::path& p, const std::vector<uint8_t>& b) {
    std::ofstream f(p, std::ios::binary);
    f.write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
}

// Offsets of the section headers of a plain image.
std::vector<size_t> SectionOffsets(const std::vector<uint8_t>& img) {
    std::vector<size_t> offs;
    size_t pos = 0;
    while (pos + kSectionHeaderSize <= img.size()) {
        offs.push_back(pos);
        int32_t size;
        std::memcpy(&size, img.data() + pos + 8, 4);
        pos += kSectionHeaderSize + static_cast<size_t>(size);
    }
    return offs;
}

class DocumentFile : public ::testing::Test {
protected:
    void SetUp() override {
        dir = fs::temp_directory_path() /
              ("clx_document_" + std::to_string(::getpid()) + "_" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir / "rsc");
        fs::create_directories(dir / "dat");
        paths.templateFile = (dir / "rsc" / "new.cxz").string();
        paths.dataNewFile = (dir / "dat" / "new.cxz").string();
        paths.demoFile = (dir / "rsc" / "demo.cxz").string();
        paths.dataFolder = (dir / "dat").string();
    }
    void TearDown() override { fs::remove_all(dir); }

    std::unique_ptr<Document> Make(bool withPlanTables = true) {
        auto d = std::make_unique<Document>(paths);
        DefineAll(*d, withPlanTables);
        d->hooks.storeLastFile = [this](const std::string& n) { lastFiles.push_back(n); };
        d->hooks.today = [] { return EncodeDate(2024, 3, 15); };
        return d;
    }
    std::string P(const std::string& name) const { return (dir / name).string(); }

    fs::path dir;
    DocumentPaths paths;
    std::vector<std::string> lastFiles;
};

TEST_F(DocumentFile, SaveLoadSaveIsByteIdenticalCompressedAndPlain) {
    for (std::string ext : {".cxz", ".qdk"}) {
        SCOPED_TRACE(ext);
        auto a = Make();
        Fill(*a, 1);
        a->Save(P("a" + ext));
        auto b = Make();
        Fill(*b, 2);
        b->Load(P("a" + ext));
        b->Save(P("b" + ext));
        EXPECT_EQ(ReadAll(P("a" + ext)), ReadAll(P("b" + ext)));

        EXPECT_EQ(b->header, a->header);
        EXPECT_EQ(b->tools, a->tools);
        EXPECT_EQ(b->Rtf("redProTitle"), a->Rtf("redProTitle"));
        for (auto name : TableNames()) {
            SCOPED_TRACE(name);
            const MemTable& ta = a->Table(name);
            const MemTable& tb = b->Table(name);
            ASSERT_EQ(tb.RecordCount(), 3);
            for (int r = 0; r < 3; ++r)
                for (int f = 0; f < ta.FieldCount() - 1; ++f)   // the calculated field aside
                    EXPECT_EQ(tb.RowValues(r)[f], ta.RowValues(r)[f]) << "row " << r << " field " << f;
        }
    }
}

TEST_F(DocumentFile, TheNameDecidesCompressionAndCompressedIsTheDeflatedPlainImage) {
    auto a = Make();
    Fill(*a, 1);
    a->Save(P("a.qdk"));
    a->Save(P("a.cxz"));
    a->Save(P("a.~dz"));   // any name ending in z or Z
    const auto plain = ReadAll(P("a.qdk"));
    int32_t firstId;
    std::memcpy(&firstId, plain.data(), 4);
    EXPECT_EQ(firstId, 0);
    EXPECT_EQ(SectionOffsets(plain).size(), 25u);
    for (const char* packed : {"a.cxz", "a.~dz"}) {
        auto bytes = ReadAll(P(packed));
        EXPECT_LT(bytes.size(), plain.size());
        PackStream(bytes, kPackNormal, PackDirection::Unpack);
        EXPECT_EQ(bytes, plain) << packed;
    }
    EXPECT_TRUE(IsCompressedDocumentName("X.CXZ"));
    EXPECT_TRUE(IsCompressedDocumentName("x.foo.z"));
    EXPECT_FALSE(IsCompressedDocumentName("x.cxz.bak"));
    EXPECT_FALSE(IsCompressedDocumentName(""));
}

TEST_F(DocumentFile, AFileThatCannotBeInflatedChangesNothingAndTheNameMustBeConfirmed) {
    auto a = Make();
    Fill(*a, 1);
    a->Save(P("plain.qdk"));
    fs::copy_file(P("plain.qdk"), P("plain.cxz"));
    auto b = Make();
    Fill(*b, 2);
    b->SetFileName(P("b.cxz"));
    b->Save(P("b.cxz"));
    ASSERT_FALSE(b->NameUnconfirmed());
    const DocumentHeader before = b->header;
    EXPECT_THROW(b->Load(P("plain.cxz")), DocumentError);
    EXPECT_EQ(b->header, before);
    EXPECT_EQ(b->Table("taOne").RowValues(0)[1], Value(int64_t{200 + 20}));
    EXPECT_TRUE(b->NameUnconfirmed()) << "Ctrl+S would otherwise write over the unread file";
    EXPECT_EQ(b->Size(), 0);
}

TEST_F(DocumentFile, ADocumentThatEndsEarlyKeepsTheRestAsItWas) {
    auto a = Make();
    Fill(*a, 1);
    const auto image = a->WriteImage(false);
    const auto offs = SectionOffsets(image);
    // Cut inside the 6th section ("Multiple"): sections 1-5 load, the rest stay.
    std::vector<uint8_t> cut(image.begin(), image.begin() + static_cast<long>(offs[5] + 40));
    auto b = Make();
    Fill(*b, 2);
    const std::string bMul = std::get<std::string>(b->Table("taMul").RowValues(0)[0]);
    const LoadReport rep = b->ReadImage(cut, false);
    EXPECT_EQ(b->header.Get(hdr::edChrHdg), "Heading 1");
    EXPECT_EQ(b->Rtf("redNote"), a->Rtf("redNote"));
    EXPECT_EQ(b->Table("taOne").RowValues(0)[0], a->Table("taOne").RowValues(0)[0]);
    EXPECT_EQ(std::get<std::string>(b->Table("taMul").RowValues(0)[0]), bMul);
    EXPECT_EQ(b->Rtf("redProTitle"), "{\\rtf1\\ansi redProTitle 2\\par }");
    EXPECT_EQ(b->tools[3].Destination(), 2);
    EXPECT_EQ(rep[4].result, SectionResult::Loaded);
    EXPECT_NE(rep[5].result, SectionResult::Loaded);
    EXPECT_EQ(rep[24].result, SectionResult::End);
}

TEST_F(DocumentFile, ADamagedTableSectionKeepsItsRowsAndTheFollowingSectionsLoad) {
    auto a = Make();
    Fill(*a, 1);
    auto image = a->WriteImage(false);
    const auto offs = SectionOffsets(image);
    // taOne (5th section): a field name length of 300 is refused by the table reader.
    const size_t firstDescriptor = offs[4] + kSectionHeaderSize + 15;
    const int16_t bad = 300;
    std::memcpy(image.data() + firstDescriptor + 6, &bad, 2);
    auto b = Make();
    Fill(*b, 2);
    const LoadReport rep = b->ReadImage(image, false);
    EXPECT_EQ(rep[4].result, SectionResult::Damaged);
    EXPECT_FALSE(rep[4].error.empty());
    EXPECT_EQ(b->Table("taOne").RowValues(0)[1], Value(int64_t{200 + 20}));
    EXPECT_EQ(b->Table("taMul").RowValues(0)[1], a->Table("taMul").RowValues(0)[1]);
    EXPECT_EQ(b->Rtf("redProTitle"), a->Rtf("redProTitle"));
}

TEST_F(DocumentFile, AShortHeaderPayloadReplacesOnlyItsFirstBytes) {
    std::vector<uint8_t> part(100, 0xAB);
    SectionStream s;
    s.StreamSection(std::span<uint8_t>(part), 0, "Header");
    auto b = Make();
    Fill(*b, 2);
    const DocumentHeader before = b->header;
    b->ReadImage(s.TakeImage(), false);
    for (size_t i = 0; i < 100; ++i) ASSERT_EQ(b->header.bytes[i], 0xAB) << i;
    EXPECT_TRUE(std::equal(b->header.bytes.begin() + 100, b->header.bytes.end(), before.bytes.begin() + 100));
}

TEST_F(DocumentFile, UndefinedTablesAreCarriedThroughUnchanged) {
    auto a = Make();
    Fill(*a, 1);
    a->Save(P("a.cxz"));
    auto b = Make(/*withPlanTables=*/false);
    b->Load(P("a.cxz"));
    EXPECT_EQ(b->Table("taPln").FieldCount(), 0);
    EXPECT_FALSE(b->CarriedTable("taPln").empty());
    b->Save(P("b.cxz"));
    EXPECT_EQ(ReadAll(P("a.cxz")), ReadAll(P("b.cxz")));

    // A defined table reads what the carried image holds.
    MemTable check("taPln");
    DefineTable(check);
    LoadFromStream(check, b->CarriedTable("taPln"));
    EXPECT_EQ(check.RecordCount(), 3);
}

TEST_F(DocumentFile, AnEmptyTextReplacesTheTextOfTheDocumentBefore) {
    auto a = Make();
    Fill(*a, 1);
    a->Rtf("redNote").clear();
    a->Save(P("a.cxz"));
    auto b = Make();
    Fill(*b, 2);
    b->Load(P("a.cxz"));
    EXPECT_EQ(b->Rtf("redNote").find("redNote 2"), std::string::npos);
    EXPECT_EQ(b->Rtf("redNote").rfind("{\\rtf1", 0), 0u);
}

TEST_F(DocumentFile, OutputRecordsAreResetWhenNeverInitialisedOrWhenAsked) {
    auto a = Make();
    Fill(*a, 1);
    a->tools = ToolRecs{};
    a->tools[2].SetInitialised(true);
    a->tools[2].SetDestination(4);
    a->Save(P("a.cxz"));
    for (bool initAll : {false, true}) {
        auto b = Make();
        b->initFileOnOpen = initAll;
        b->Load(P("a.cxz"));
        EXPECT_EQ(b->tools[0], ToolRec::Defaults(0));
        EXPECT_EQ(b->tools[14], ToolRec::Defaults(14));
        EXPECT_EQ(b->tools[2].Destination(), initAll ? 0 : 4);
    }
}

TEST_F(DocumentFile, ProRataDatesAfter2100AreBlankedTogether) {
    struct Case { TDateTime from, to; bool blank; };
    const TDateTime y2100 = EncodeDate(2100, 1, 1);
    const Case cases[] = {
        {EncodeDate(2024, 1, 1), y2100, false},
        {EncodeDate(2024, 1, 1), y2100 + 1, true},
        {y2100 + 400, EncodeDate(2024, 1, 1), true},
    };
    for (const auto& c : cases) {
        auto a = Make();
        a->header.Set(hdr::edProDFrom, c.from);
        a->header.Set(hdr::edProDTo, c.to);
        a->Save(P("p.cxz"));
        auto b = Make();
        b->Load(P("p.cxz"));
        EXPECT_EQ(b->header.Get(hdr::edProDFrom), c.blank ? 0 : c.from);
        EXPECT_EQ(b->header.Get(hdr::edProDTo), c.blank ? 0 : c.to);
    }
}

TEST_F(DocumentFile, LoadStateNamesAndLastFile) {
    auto a = Make();
    Fill(*a, 1);
    a->Save(P("smith.cxz"));
    lastFiles.clear();

    auto b = Make();
    b->MarkModified();
    std::vector<std::string> captions;
    b->hooks.captionChanged = [&](const std::string& c) { captions.push_back(c); };
    b->Load("\"" + P("smith.cxz") + "\"");
    EXPECT_EQ(b->FileName(), P("smith.cxz"));
    EXPECT_FALSE(b->Modified());
    EXPECT_TRUE(b->NameUnconfirmed());
    EXPECT_EQ(b->Size(), static_cast<int32_t>(fs::file_size(P("smith.cxz"))));
    ASSERT_FALSE(captions.empty());
    EXPECT_EQ(captions.back(), "Chronolex (" + P("smith.cxz") + " " + std::to_string(b->Size()) + " bytes)");
    EXPECT_EQ(lastFiles, (std::vector<std::string>{P("smith.cxz"), P("smith.cxz")}));
    EXPECT_EQ(b->recent.Items(), std::vector<std::string>{P("smith.cxz")});

    // The missing file takes the name and is the last file, but nothing is read.
    const DocumentHeader before = b->header;
    try {
        b->Load(P("gone.cxz"));
        ADD_FAILURE();
    } catch (const DocumentMissingError& e) {
        EXPECT_EQ(std::string(e.what()), "Cannot locate file:\n" + P("gone.cxz"));
    }
    EXPECT_EQ(b->header, before);
    EXPECT_EQ(b->FileName(), P("gone.cxz"));
    EXPECT_EQ(lastFiles.back(), P("gone.cxz"));
    EXPECT_EQ(b->Size(), 0);
    EXPECT_EQ(b->recent.Items().size(), 1u);
}

TEST_F(DocumentFile, TheTemplateIsRenamedIntoTheDataFolderAndNeverRemembered) {
    auto a = Make();
    Fill(*a, 1);
    a->Save(paths.templateFile);
    EXPECT_TRUE(lastFiles.empty());
    EXPECT_TRUE(a->recent.Items().empty());
    auto b = Make();
    b->Load(paths.templateFile);
    EXPECT_EQ(b->FileName(), paths.dataNewFile);
    EXPECT_TRUE(lastFiles.empty());
    EXPECT_TRUE(b->recent.Items().empty());
}

TEST_F(DocumentFile, SavingOverAFileKeepsABackupByKind) {
    for (std::string ext : {".cxz", ".qdk"}) {
        SCOPED_TRACE(ext);
        auto a = Make();
        Fill(*a, 1);
        a->Save(P("a" + ext));
        const auto first = ReadAll(P("a" + ext));
        Fill(*a, 2);
        a->Save(P("a" + ext));
        const std::string backup = P(ext == ".cxz" ? "a.~dz" : "a.~dc");
        ASSERT_TRUE(fs::exists(backup));
        EXPECT_EQ(ReadAll(backup), first);
        EXPECT_NE(ReadAll(P("a" + ext)), first);
    }
}

TEST_F(DocumentFile, AFailedSaveKeepsTheFlagsButRemembersTheName) {
    auto a = Make();
    Fill(*a, 1);
    a->MarkModified();
    const std::string bad = P("no/such/folder/x.cxz");
    EXPECT_THROW(a->Save(bad), DocumentError);
    EXPECT_TRUE(a->Modified());
    EXPECT_EQ(a->Size(), 0);
    EXPECT_EQ(a->FileName(), bad);
    EXPECT_EQ(a->recent.Items(), std::vector<std::string>{bad});
    EXPECT_EQ(lastFiles.back(), bad);
}

TEST_F(DocumentFile, NewDefaultsByMask) {
    const TDateTime today = EncodeDate(2024, 3, 15);
    auto d = Make();
    Fill(*d, 1);
    d->header.Set(hdr::RcrSeriesCounter, 9);
    d->header.Set(hdr::lmAlwaysFirst, true);
    d->ApplyNewDefaults(ndRepeatPeriod);
    EXPECT_EQ(d->header.Get(hdr::lmClipLo), today);
    EXPECT_EQ(d->header.Get(hdr::lmClipHi), today + 183);
    EXPECT_EQ(d->header.Get(hdr::lmFreq), 2);
    EXPECT_EQ(d->header.Get(hdr::lmUnits), 2);
    EXPECT_FALSE(d->header.Get(hdr::lmAlwaysFirst));
    EXPECT_EQ(d->header.Get(hdr::RcrSeriesCounter), 9);
    EXPECT_EQ(d->Table("taMul").RecordCount(), 3);
    EXPECT_EQ(d->header.Get(hdr::mcal1), 0);

    int controlsToHeader = 0, headerToControls = 0;
    d->hooks.controlsToHeader = [&] { ++controlsToHeader; };
    d->hooks.headerToControls = [&] { EXPECT_EQ(controlsToHeader, 1); ++headerToControls; };
    d->hooks.chrDateFormat = [] { return 7; };
    d->ApplyNewDefaults(0);
    EXPECT_EQ(headerToControls, 1);
    EXPECT_EQ(d->header.Get(hdr::RcrSeriesCounter), 0);
    EXPECT_EQ(d->header.Get(hdr::mcal1), today);
    EXPECT_EQ(d->header.Get(hdr::edDos), today);
    EXPECT_EQ(d->header.Get(hdr::ChrDateFormat), 7);
    EXPECT_EQ(d->Table("taMul").RecordCount(), 0);
    EXPECT_EQ(d->Table("taMin").RecordCount(), 0);
    EXPECT_EQ(d->Table("taChr").RecordCount(), 0);
    EXPECT_EQ(d->Table("taOne").RecordCount(), 3);
}

TEST_F(DocumentFile, SetByNameMarksModifiedAndRefusesBadValues) {
    auto d = Make();
    d->Set("cbMulRdg", "1");
    EXPECT_TRUE(d->Modified());
    EXPECT_EQ(d->Get("cbMulRdg"), "1");
    d->SetModified(false);
    EXPECT_THROW(d->Set("lmUnits", "0"), HeaderFieldError);
    EXPECT_FALSE(d->Modified());
    EXPECT_THROW(d->Table("taNope"), DocumentError);
    EXPECT_THROW(d->Rtf("taOne"), DocumentError);
}

// ---- Commands with the dialogs -------------------------------------------------------------

TEST_F(DocumentFile, SaveProposals) {
    struct Case {
        std::string name;
        bool unconfirmed;
        SaveSender sender;
        bool exists;
        bool direct;
        std::string proposed;
        int filter;
    };
    const std::string dat = paths.dataFolder;
    const Case cases[] = {
        {"", true, SaveSender::SaveDirect, false, false, (fs::path(dat) / "new").string(), 1},
        {P("a.cxz"), false, SaveSender::SaveDirect, true, true, P("a"), 1},
        {P("a.cxz"), true, SaveSender::SaveDirect, true, false, P("a"), 1},
        {P("a.cxz"), false, SaveSender::SaveDirect, false, false, P("a"), 1},
        {P("a.cxz"), false, SaveSender::Save, true, false, P("a"), 1},
        {P("a.cxz"), false, SaveSender::None, true, false, P("a"), 1},
        {P("a.QDK"), false, SaveSender::SaveAs, false, false, P("a"), 2},
        {P("a.~dc"), false, SaveSender::SaveAs, false, false, P("a"), 3},
        {P("a.txt"), false, SaveSender::SaveAs, false, false, P("a.txt"), 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto d = Make();
        d->SetFileName(c.name);
        d->SetNameUnconfirmed(c.unconfirmed);
        if (c.exists) WriteAll(c.name, {1});
        const auto plan = d->PlanSave(c.sender);
        EXPECT_EQ(plan.direct, c.direct);
        EXPECT_EQ(plan.dialog.fileName, c.proposed);
        EXPECT_EQ(plan.filterIndex, c.filter);
        EXPECT_EQ(plan.dialog.defaultExt, "cxz");
        EXPECT_EQ(plan.dialog.initialDir, c.name.empty() ? dat : dir.string());
        if (c.exists) fs::remove(c.name);
    }
}

TEST_F(DocumentFile, SaveThroughTheDialogThenCtrlSWritesDirectly) {
    FakeUi ui;
    auto d = Make();
    Fill(*d, 1);
    d->MarkModified();
    d->SetFileName(P("a.cxz"));
    d->SetNameUnconfirmed(true);

    // Cancel: nothing written, nothing changed.
    EXPECT_FALSE(SaveDocument(*d, ui, SaveSender::SaveDirect));
    EXPECT_FALSE(fs::exists(P("a.cxz")));
    EXPECT_TRUE(d->Modified());
    EXPECT_TRUE(d->NameUnconfirmed());

    // The dialog with the same name confirms it.
    ui.QueueSaveResult(P("a.cxz"));
    EXPECT_TRUE(SaveDocument(*d, ui, SaveSender::SaveDirect));
    EXPECT_FALSE(d->NameUnconfirmed());
    EXPECT_FALSE(d->Modified());
    EXPECT_GT(d->Size(), 0);

    // Now Ctrl+S writes without a dialog; Alt+S always asks.
    ui.ClearCalls();
    d->MarkModified();
    EXPECT_TRUE(SaveDocument(*d, ui, SaveSender::SaveDirect));
    for (const auto& c : ui.Calls()) EXPECT_NE(c.kind, UiCallKind::SaveFileDialog);
    EXPECT_TRUE(fs::exists(P("a.~dz")));

    // Another name in the dialog leaves the name unconfirmed.
    ui.QueueSaveResult(P("b.cxz"));
    EXPECT_TRUE(SaveDocument(*d, ui, SaveSender::Save));
    EXPECT_EQ(d->FileName(), P("b.cxz"));
    EXPECT_TRUE(d->NameUnconfirmed());
    EXPECT_EQ(ui.CurrentCursor(), Cursor::Default);
}

TEST_F(DocumentFile, AskSaveAnswers) {
    struct Case {
        bool modified;
        std::optional<ConfirmResult> answer;
        std::optional<std::string> dialog;
        bool proceed;
        int messages;
    };
    const Case cases[] = {
        {false, std::nullopt, std::nullopt, true, 0},
        {true, ConfirmResult::No, std::nullopt, true, 1},
        {true, ConfirmResult::Cancel, std::nullopt, false, 1},
        {true, ConfirmResult::Yes, std::string("saved.cxz"), true, 1},
        {true, ConfirmResult::Yes, std::nullopt, false, 1},   // the save dialog was cancelled
        {true, ConfirmResult::Yes, std::string("no/such/dir/x.cxz"), false, 2},   // write error
    };
    for (const auto& c : cases) {
        FakeUi ui;
        auto d = Make();
        d->SetModified(c.modified);
        if (c.answer) ui.QueueAnswer(*c.answer);
        if (c.dialog) ui.QueueSaveResult(P(*c.dialog));
        EXPECT_EQ(AskSave(*d, ui), c.proceed);
        EXPECT_EQ(ui.Messages().size(), static_cast<size_t>(c.messages));
        if (c.messages > 0) {
            EXPECT_EQ(ui.Texts(UiCallKind::Confirm).front(), "Save changes?");
        }
    }
}

TEST_F(DocumentFile, NewLoadsTheTemplateAndAppliesTheDefaults) {
    auto tpl = Make();
    Fill(*tpl, 1);
    tpl->Save(paths.templateFile);

    FakeUi ui;
    auto d = Make();
    Fill(*d, 2);
    d->SetFileName(P("old.cxz"));
    d->MarkModified();
    bool startSheet = false;
    d->hooks.showStartSheet = [&] { startSheet = true; };
    ui.QueueAnswer(ConfirmResult::No);
    EXPECT_TRUE(NewDocument(*d, ui));
    EXPECT_TRUE(startSheet);
    EXPECT_EQ(d->FileName(), paths.dataNewFile);
    EXPECT_FALSE(d->Modified());
    EXPECT_TRUE(d->NameUnconfirmed());
    EXPECT_EQ(d->header.Get(hdr::edChrHdg), "Heading 1");
    EXPECT_EQ(d->Table("taChr").RecordCount(), 0);
    EXPECT_EQ(d->Table("taOne").RowValues(0)[0], tpl->Table("taOne").RowValues(0)[0]);
    EXPECT_EQ(d->header.Get(hdr::ChrDateFormat), -10);
    EXPECT_TRUE(d->recent.Items().empty());

    // Cancel keeps the document.
    d->MarkModified();
    ui.QueueAnswer(ConfirmResult::Cancel);
    EXPECT_FALSE(NewDocument(*d, ui));
    EXPECT_TRUE(d->Modified());
}

TEST_F(DocumentFile, NewWithoutTheTemplateStartsEmpty) {
    FakeUi ui;
    auto d = Make();
    Fill(*d, 2);
    EXPECT_TRUE(NewDocument(*d, ui));
    EXPECT_EQ(ui.Texts(UiCallKind::Error), std::vector<std::string>{"Cannot locate file:\n" + paths.templateFile});
    EXPECT_EQ(d->FileName(), paths.dataNewFile);
    EXPECT_EQ(d->Table("taOne").RecordCount(), 0);
    EXPECT_EQ(d->header.Get(hdr::edChrHdg), "");
    EXPECT_EQ(d->tools[0], ToolRec::Defaults(0));
}

TEST_F(DocumentFile, OpenRecentAndDemoAskFirstOpenDoesNot) {
    auto a = Make();
    Fill(*a, 1);
    a->Save(P("a.cxz"));
    a->Save(paths.demoFile);

    FakeUi ui;
    auto d = Make();
    d->MarkModified();
    ui.QueueAnswer(ConfirmResult::Cancel);
    EXPECT_FALSE(OpenRecentDocument(*d, ui, P("a.cxz")));
    EXPECT_TRUE(d->FileName().empty());

    ui.QueueAnswer(ConfirmResult::No);
    EXPECT_TRUE(OpenDemoDocument(*d, ui, "Demo loaded|Enjoy"));
    EXPECT_EQ(d->FileName(), paths.demoFile);
    EXPECT_EQ(ui.Texts(UiCallKind::Information), std::vector<std::string>{"Demo loaded\nEnjoy"});

    ui.ClearCalls();
    d->MarkModified();
    d->SetCalcModified(true);
    ui.QueueOpenResult(P("a.cxz"));
    EXPECT_TRUE(OpenDocumentDialog(*d, ui));
    EXPECT_TRUE(ui.Messages().empty());
    EXPECT_FALSE(d->CalcModified());
    EXPECT_EQ(d->FileName(), P("a.cxz"));
    const auto& dlg = ui.Calls().front().dialog;
    EXPECT_EQ(dlg.fileName, "demo.cxz");
    EXPECT_EQ(dlg.initialDir, (dir / "rsc").string());
    EXPECT_EQ(dlg.filter, kDocumentFilter);
}

TEST(DocumentCaptionTest, NameAndSize) {
    EXPECT_EQ(DocumentCaption("", 0), "Chronolex");
    EXPECT_EQ(DocumentCaption("", 100), "Chronolex");
    EXPECT_EQ(DocumentCaption("/f/smith.cxz", 0), "Chronolex (/f/smith.cxz)");
    EXPECT_EQ(DocumentCaption("/f/smith.cxz", 20480), "Chronolex (/f/smith.cxz 20480 bytes)");
}

TEST(RecentFilesTest, NewestFirstNoRepeatsAtMostFifteen) {
    RecentFiles r;
    for (int i = 1; i <= 17; ++i) r.Add("/d/f" + std::to_string(i) + ".cxz");
    ASSERT_EQ(r.Items().size(), 15u);
    EXPECT_EQ(r.Items().front(), "/d/f17.cxz");
    EXPECT_EQ(r.Items().back(), "/d/f3.cxz");
    r.Add("/D/F10.CXZ");
    EXPECT_EQ(r.Items().size(), 15u);
    EXPECT_EQ(r.Items().front(), "/D/F10.CXZ");
    EXPECT_EQ(std::count_if(r.Items().begin(), r.Items().end(),
                            [](const std::string& s) { return s == "/d/f10.cxz"; }), 0);
    r.Add("");
    EXPECT_EQ(r.Items().front(), "/D/F10.CXZ");
    EXPECT_TRUE(r.Remove("/d/f17.cxz"));
    EXPECT_FALSE(r.Remove("/d/f17.cxz"));
}

TEST(RecentFilesTest, StoredInTheSettingsStore) {
    const fs::path ini = fs::temp_directory_path() / ("clx_mru_" + std::to_string(::getpid()) + ".ini");
    {
        std::ofstream f(ini);
        f << "[mru1]\nFile1=/a.cxz\nFile2=\nFile3=/A.CXZ\nFile4=/b.cxz\nFile20=/z.cxz\n";
    }
    IniFile store(ini.string());
    RecentFiles r;
    r.Read(store);
    EXPECT_EQ(r.Items(), (std::vector<std::string>{"/a.cxz", "/b.cxz"}));
    r.Add("/c.cxz");
    r.Write(store);
    store.Save();
    IniFile again(ini.string());
    RecentFiles r2;
    r2.Read(again);
    EXPECT_EQ(r2.Items(), (std::vector<std::string>{"/c.cxz", "/a.cxz", "/b.cxz"}));
    EXPECT_FALSE(again.ValueExists("mru1", "File4"));
    fs::remove(ini);
}

}  // namespace
}  // namespace clx
