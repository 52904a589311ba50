#include "plans/plan_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "files/bytestream.h"
#include "files/fileio.h"
#include "files/tablestream.h"
#include "platform/fake_ui.h"

namespace clx {
namespace {

namespace fs = std::filesystem;

struct TempDir {
    fs::path path;
    TempDir() {
        path = fs::temp_directory_path() /
               ("clx-planfile-" + std::to_string(::getpid()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(path);
        fs::create_directories(path);
    }
    ~TempDir() { fs::remove_all(path); }
};

// Three master plans, the second not in the menu; key dates, steps and a field on each.
void FillThreePlans(TPln& e) {
    const char* names[] = {"Litigation", "Hidden", "Lease"};
    for (int p = 0; p < 3; ++p) {
        MemTable& s = e.MasterPlans();
        s.Append();
        s.FieldByName("Name").SetString(names[p]);
        s.FieldByName("Use").SetBoolean(p != 1);
        s.FieldByName("RTF").SetString("{\\rtf1 %PlnName%\\par %PlnPlan%}");
        s.Post();
        MemTable& k = e.MasterKeyDates();
        k.Append();
        k.FieldByName("Name").SetString("Key");
        k.FieldByName("Date").SetDateTime(EncodeDate(2026, 3, 1 + p));
        k.Post();
        const int64_t key = k.FieldByName("Ukey").AsInteger();
        MemTable& st = e.MasterSteps();
        st.Append();
        st.FieldByName("Step").SetString(std::string("Step of ") + names[p]);
        st.FieldByName("RelativeTo").SetInteger(key);
        st.FieldByName("Days").SetInteger(10);
        st.FieldByName("Relativity").SetInteger(srAfter);
        st.Post();
        MemTable& f = e.MasterFields();
        f.Append();
        f.FieldByName("Name").SetString("Court");
        f.FieldByName("Value").SetString(names[p]);
        f.Post();
    }
}

TEST(PlanFile, RoundTripIsByteIdenticalAndTheMenuListsOnlyPlansInUse) {
    TempDir dir;
    const fs::path file = dir.path / "plans.cpz";
    TPln e;
    FillThreePlans(e);
    WritePlanFile(e, file);
    EXPECT_EQ(e.FileName(), file.string());
    const std::vector<uint8_t> image = ReadFileBytes(file);

    // The first section is the plain menu; the rest cannot be read without inflating.
    ByteReader r(image);
    EXPECT_EQ(r.ReadI32(), kPlanMenuSection);
    r.ReadI32();
    const int32_t menuSize = r.ReadI32();
    MemTable menu;
    DefineMenuFields(menu);
    EXPECT_EQ(ReadPlanFileMenu(file, menu), 2);
    EXPECT_EQ(static_cast<size_t>(menuSize), SaveToStream(menu).size());

    TPln back;
    const PlanOpenResult opened = OpenPlanFile(back, nullptr, file.string(), {}, false);
    ASSERT_TRUE(opened.opened);
    EXPECT_TRUE(opened.report.Complete());
    EXPECT_EQ(back.MasterPlans().RecordCount(), 3);
    ASSERT_TRUE(back.LocateMaster(3));
    EXPECT_EQ(back.MasterSteps().RecordCount(), 1);
    EXPECT_EQ(back.MasterFields().FieldByName("Value").AsString(), "Lease");
    EXPECT_EQ(back.NextStepUkey(false), 4);
    EXPECT_EQ(back.NextKeyDateUkey(false), 4);
    EXPECT_EQ(PlanFileImage(back), image);
}

TEST(PlanFile, AnEmptyFileHasAllSixSections) {
    TPln e;
    const std::vector<uint8_t> image = PlanFileImage(e);
    SectionStream plain(image);
    MemTable menu;
    DefineMenuFields(menu);
    EXPECT_EQ(plain.StreamSection(menu, 0, "Menu"), SectionResult::Loaded);
    std::vector<uint8_t> body(image.begin() + static_cast<std::ptrdiff_t>(plain.Pos()), image.end());
    PackStream(body, kPackNormal, PackDirection::Unpack);
    SectionStream packed(std::move(body));
    std::array<uint8_t, 4096> header{};
    EXPECT_EQ(packed.StreamSection(header, 0, "Header"), SectionResult::Loaded);
    for (int id = 1; id <= 4; ++id) {
        MemTable t;
        DefineMasterPlanFields(t);   // any layout: unknown fields are skipped
        EXPECT_EQ(packed.StreamSection(t, id, "t"), SectionResult::Loaded) << id;
    }
    EXPECT_TRUE(packed.AtEnd());
}

TEST(PlanFile, DamagedFilesRaiseOrSkipAndNeverCrash) {
    TempDir dir;
    TPln e;
    FillThreePlans(e);
    const std::vector<uint8_t> good = PlanFileImage(e);
    // Every truncation: reading either raises a stream error or reads what it can.
    for (size_t len = 0; len < good.size(); len += std::max<size_t>(1, good.size() / 97)) {
        TPln t;
        std::vector<uint8_t> cut(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(len));
        try {
            ReadPlanFileImage(t, cut);
        } catch (const StreamError&) {
        }
    }
    // A deflated part that is not deflate: an error, the engine already reset.
    std::vector<uint8_t> bad = good;
    for (size_t i = bad.size() - 40; i < bad.size(); ++i) bad[i] ^= 0x5A;
    const fs::path file = dir.path / "bad.cpz";
    WriteFileAtomic(file, bad);
    TPln t;
    FillThreePlans(t);
    EXPECT_THROW(OpenPlanFile(t, nullptr, file.string(), {}, false), StreamError);
    EXPECT_EQ(t.FileName(), file.string());
    // The menu alone still reads; a file that is not a plan file gives no menu.
    MemTable menu;
    DefineMenuFields(menu);
    EXPECT_EQ(ReadPlanFileMenu(file, menu), 2);
    const fs::path text = dir.path / "notes.cpz";
    std::ofstream(text) << "not a master plan file";
    MemTable other;
    DefineMenuFields(other);
    EXPECT_EQ(ReadPlanFileMenu(text, other), 0);
    EXPECT_EQ(ReadPlanFileMenu(dir.path / "missing.cpz", other), 0);
}

TEST(PlanFile, OpenAndSaveFollowTheDialogs) {
    TempDir dir;
    FakeUi ui;
    TPln e(&ui);
    FillThreePlans(e);
    // Without asking only an existing file is written; a cancelled dialog writes nothing.
    e.SetFileName((dir.path / "new.cpz").string());
    EXPECT_FALSE(SavePlanFile(e, &ui, dir.path.string(), false));
    EXPECT_FALSE(SavePlanFile(e, &ui, dir.path.string(), true));
    EXPECT_FALSE(fs::exists(dir.path / "new.cpz"));
    ui.QueueSaveResult((dir.path / "chosen.cpz").string());
    EXPECT_TRUE(SavePlanFile(e, &ui, dir.path.string(), true));
    EXPECT_EQ(ui.Calls().back().dialog.filter, kPlanSaveFilter);
    EXPECT_EQ(e.FileName(), (dir.path / "chosen.cpz").string());
    EXPECT_TRUE(SavePlanFile(e, &ui, dir.path.string(), false));

    // A missing name or a cancelled dialog leaves the engine unchanged.
    TPln other(&ui);
    FillThreePlans(other);
    EXPECT_FALSE(OpenPlanFile(other, &ui, (dir.path / "missing.cpz").string(), {}, false).opened);
    const PlanOpenResult cancelled = OpenPlanFile(other, &ui, "\"x.cpz\"", {}, true);
    EXPECT_FALSE(cancelled.opened);
    EXPECT_EQ(cancelled.chosen, "\"x.cpz\"");
    EXPECT_EQ(other.MasterPlans().RecordCount(), 3);
    // Quotes around a name are dropped.
    const PlanOpenResult quoted = OpenPlanFile(other, &ui, "\"" + (dir.path / "chosen.cpz").string() + "\"", {}, false);
    EXPECT_TRUE(quoted.opened);
    EXPECT_EQ(other.FileName(), (dir.path / "chosen.cpz").string());
}

TEST(PlanFile, MenuListsFilesInSubfoldersWithTheirPlans) {
    TempDir dir;
    fs::create_directories(dir.path / "sub");
    TPln e;
    FillThreePlans(e);
    WritePlanFile(e, dir.path / "sub" / "Smith & Co.2026.cpz");
    TPln empty;
    WritePlanFile(empty, dir.path / "Empty.CPZ");

    const std::vector<PlanMenuItem> menu = BuildPlanMenu({dir.path.string()});
    std::vector<std::string> captions;
    for (const auto& m : menu) captions.push_back(m.caption);
    EXPECT_EQ(captions, (std::vector<std::string>{"No Master Plan", "-", "Empty", "Smith && Co", "-",
                                                  "Find Other Master Plan File...", "-",
                                                  "Edit Master Plan File...", "Create New Master Plan File..."}));
    EXPECT_EQ(menu[0].tag, kPlanMenuNone);
    EXPECT_TRUE(menu[2].items.empty());
    ASSERT_EQ(menu[3].items.size(), 2u);
    EXPECT_EQ(menu[3].items[0].caption, "Litigation");
    EXPECT_EQ(menu[3].items[1].caption, "Lease");
    EXPECT_EQ(menu[3].items[1].tag, 3);
    EXPECT_EQ(menu[3].items[1].hint, (dir.path / "sub" / "Smith & Co.2026.cpz").string());
    EXPECT_EQ(menu[6].tag, kPlanMenuNone);
    EXPECT_FALSE(menu[6].clickable);

    const std::vector<PlanMenuItem> none = BuildPlanMenu({(dir.path / "nothing").string()});
    ASSERT_EQ(none.size(), 4u);
    EXPECT_EQ(none[2].caption, "Edit Master Plan File...");
}

}  // namespace
}  // namespace clx
