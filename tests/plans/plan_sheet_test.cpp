#include "plans/plan_sheet.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <unistd.h>

#include "engine/skipset.h"
#include "platform/fake_ui.h"

namespace clx {
namespace {

namespace fs = std::filesystem;

TDateTime D(int y, int m, int d) { return EncodeDate(y, m, d); }

// Folders without macros: paths stay as they are.
class PlainFolders : public SkipFileConfig {
public:
    explicit PlainFolders(std::string dir) : dir_(std::move(dir)) {}
    std::string ExpandPathMacros(std::string_view p) const override { return std::string(p); }
    std::string ContractPathMacros(std::string_view p) const override { return std::string(p); }
    std::vector<std::string> DataFolderSearchList() const override { return {dir_}; }
    bool AddDataFolderOf(std::string_view) override { return false; }
    std::string DateEntryFormat() const override { return "mm/dd/yyyy"; }
private:
    std::string dir_;
};

// A plan file with "Litigation" (template, the weekend skip file of its own) and "Lease"
// (no template); a document header, the plan's skip set and the sheet over them.
struct PlanSheetTest : ::testing::Test {
    fs::path dir;
    FakeUi ui;
    DocumentHeader header;
    ToolRecs tools;
    SheetContext ctx;
    std::unique_ptr<PlainFolders> folders;
    std::unique_ptr<SkipSet> skip = CreateSkipSet(std::make_shared<SkipFileRef>(), "mm/dd/yyyy");
    std::unique_ptr<TPln> engine;
    std::unique_ptr<PlanSheet> sheet;
    int modified = 0;

    void SetUp() override {
        dir = fs::temp_directory_path() / ("clx_plansheet_" + std::to_string(::getpid()) + "_" +
                                           ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
        auto weekends = CreateSkipSet(std::make_shared<SkipFileRef>(), "mm/dd/yyyy");
        weekends->header.SetWeekday(1, true);
        weekends->header.SetWeekday(7, true);
        SaveSkipFile(dir / "Weekends.skx", *weekends);
        SaveSkipFile(dir / "Other.skx", *weekends);

        TPln e;
        for (int p = 0; p < 2; ++p) {
            MemTable& m = e.MasterPlans();
            m.Append();
            m.FieldByName("Name").SetString(p ? "Lease" : "Litigation");
            m.FieldByName("RTFActive").SetBoolean(p == 0);
            if (p == 0) m.FieldByName("SkipFName").SetString((dir / "Weekends.skx").string());
            m.FieldByName("Who").SetString("Partner\r\nAssociate");
            m.Post();
            MemTable& k = e.MasterKeyDates();
            for (int i = 0; i < 2; ++i) {
                k.Append();
                k.FieldByName("Name").SetString(i ? "Unused" : "Start");
                k.FieldByName("Date").SetDateTime(D(2026, 3, 2 + i));
                k.Post();
            }
            k.First();
            MemTable& s = e.MasterSteps();
            for (int i = 0; i < 2; ++i) {
                s.Append();
                s.FieldByName("Step").SetString(i ? "Second" : "First");
                s.FieldByName("Who").SetString("Partner");
                s.FieldByName("RelativeTo").SetInteger(k.FieldByName("Ukey").AsInteger());
                s.FieldByName("Days").SetInteger(7 * (i + 1));
                s.FieldByName("Relativity").SetInteger(srAfter);
                s.Post();
            }
        }
        WritePlanFile(e, dir / "plans.cpz");

        ctx.header = &header;
        ctx.dateDisplayFormat = "yyyy-mm-dd";
        ctx.dateEntryFormat = "mm/dd/yyyy";
        ctx.today = [] { return D(2026, 1, 15); };
        ctx.markModified = [this] { ++modified; };
        folders = std::make_unique<PlainFolders>(dir.string());
        engine = std::make_unique<TPln>(&ui);
        sheet = std::make_unique<PlanSheet>(*engine, *skip, *folders, ctx, &tools, &ui);
    }
    void TearDown() override { fs::remove_all(dir); }

    PlanMenuItem PlanEntry(int tag) {
        for (const PlanMenuItem& f : sheet->PlanMenu())
            for (const PlanMenuItem& p : f.items)
                if (p.tag == tag) return p;
        ADD_FAILURE() << "no menu entry " << tag;
        return {};
    }
    std::string Token(const std::string& name) {
        for (const auto& [n, v] : sheet->PlanTokenValues())
            if (n == name) return v;
        return "?";
    }
};

TEST_F(PlanSheetTest, ChoosingAPlanFromTheMenu) {
    sheet->SetPlanChoice(PlanEntry(1));
    EXPECT_EQ(header.Get(hdr::PlanFile), (dir / "plans.cpz").string());
    EXPECT_EQ(header.Get(hdr::PlanUkey), 1);
    EXPECT_GT(modified, 0);
    EXPECT_EQ(sheet->PlanCaption(), "Litigation");
    EXPECT_EQ(tools[soPlan].Destination(), static_cast<uint8_t>(OutputDestination::MergeText));
    // The master plan's own skip-date file governs the plan.
    EXPECT_EQ(sheet->SkipButton().caption, "Weekends");
    EXPECT_EQ(header.SkipRef(SkipSlot::Plan).fileName, (dir / "Weekends.skx").string());
    EXPECT_TRUE(IsSkipActive(skip.get()));

    sheet->RecalcPlan();
    EXPECT_EQ(sheet->WhoChoices(), (std::vector<std::string>{"Partner", "Associate"}));
    // Two steps of 7 and 14 counted days after Monday 2 March, weekends skipped.
    EXPECT_EQ(Token("Plan"), "2026-03-02\tStart\t\r\n2026-03-03\tUnused\t\r\n2026-03-11\tFirst\tPartner\r\n"
                             "2026-03-20\tSecond\tPartner");
    EXPECT_EQ(Token("Name"), "Litigation");
    EXPECT_EQ(Token("Date"), "01/15/2026");
    EXPECT_EQ(Token("SkipName"), "Weekends");
    EXPECT_EQ(Token("Key"), "2026-03-02\tStart\r\n2026-03-03\tUnused");
    // A key date no step uses is grey; the focused cell navy; no rows, the window colour.
    EXPECT_EQ(sheet->KeyDateCellColours(1, false).background, SheetColour::ButtonFace);
    EXPECT_EQ(sheet->KeyDateCellColours(0, false).background, SheetColour::Window);
    EXPECT_EQ(sheet->KeyDateCellColours(1, true).background, SheetColour::Navy);

    // Another plan without a template: the printed report; no skip file of its own.
    sheet->SetPlanChoice(PlanEntry(2));
    EXPECT_EQ(engine->PlanSteps().RecordCount(), 0);   // a new plan
    EXPECT_EQ(tools[soPlan].Destination(), static_cast<uint8_t>(OutputDestination::Printer));
    EXPECT_EQ(sheet->SkipButton().caption, kNoSkippedDates);
    EXPECT_EQ(Token("SkipName"), "None");
    EXPECT_EQ(Token("SkipFile"), "None");
}

TEST_F(PlanSheetTest, UnknownNumbersMissingFilesAndNoMasterPlan) {
    sheet->SetPlanChoice(PlanEntry(1));
    sheet->SelectPlanNumber(9);
    EXPECT_EQ(sheet->PlanCaption(), kNoneSelected);
    EXPECT_FALSE(IsSkipActive(skip.get()));
    EXPECT_FALSE(sheet->HasMasterPlan());
    engine->PlanSteps().Append();
    engine->PlanSteps().Post();
    sheet->RecalcPlan();   // does nothing
    EXPECT_EQ(engine->PlanSteps().RecordCount(), 1);

    // Cancelling "Find Other Master Plan File..." reloads the current file and deselects the plan.
    PlanMenuItem find;
    find.tag = kPlanMenuFindOther;
    sheet->SetPlanChoice(find);
    EXPECT_EQ(header.Get(hdr::PlanUkey), -1);
    EXPECT_EQ(engine->MasterPlans().RecordCount(), 2);
    EXPECT_EQ(ui.Calls().back().kind, UiCallKind::OpenFileDialog);

    PlanMenuItem none;
    none.tag = kPlanMenuNone;
    sheet->SetPlanChoice(none);
    EXPECT_EQ(header.Get(hdr::PlanFile), "");
    EXPECT_EQ(engine->MasterPlans().RecordCount(), 0);

    const std::vector<PlanMenuItem> menu = sheet->PlanMenu();
    EXPECT_EQ(menu.front().caption, "No Master Plan");
    EXPECT_EQ(menu.back().caption, "Create New Master Plan File...");
}

TEST_F(PlanSheetTest, HeaderToControlsKeepsThePlanAndItsOwnSkipFile) {
    sheet->SetPlanChoice(PlanEntry(1));
    sheet->RecalcPlan();
    // The user picks another skip-date file for this plan and inverts it.
    SkipMenuItem other{"Other", (dir / "Other.skx").string(), kSkipMenuChoose, false};
    sheet->SetExclusionChoicePlan(other);
    header.Set(hdr::cbInvertSkipPlan, true);
    const int rows = engine->PlanSteps().RecordCount();
    ASSERT_GT(rows, 0);

    // The document is read again into a fresh engine and sheet.
    TPln e2(&ui);
    auto skip2 = CreateSkipSet(std::make_shared<SkipFileRef>(), "mm/dd/yyyy");
    PlanSheet s2(e2, *skip2, *folders, ctx, &tools, &ui);
    e2.PlanSteps().LoadRows([&] {
        std::vector<std::vector<Value>> r;
        for (int i = 0; i < engine->PlanSteps().RecordCount(); ++i) r.push_back(engine->PlanSteps().RowValues(i));
        return r;
    }());
    s2.HeaderToControls();
    EXPECT_EQ(s2.PlanCaption(), "Litigation");
    EXPECT_EQ(e2.PlanSteps().RecordCount(), rows);
    EXPECT_EQ(s2.SkipButton().caption, "Other");
    EXPECT_EQ(header.SkipRef(SkipSlot::Plan).fileName, (dir / "Other.skx").string());
    EXPECT_TRUE(header.SkipRef(SkipSlot::Plan).invert);
}

}  // namespace
}  // namespace clx
