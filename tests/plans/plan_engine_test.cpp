#include "plans/plan_engine.h"

#include <gtest/gtest.h>

#include "engine/skipset.h"
#include "platform/fake_ui.h"
#include "platform/richtext.h"

namespace clx {
namespace {

TDateTime D(int y, int m, int d) { return EncodeDate(y, m, d); }

// One master plan "Litigation" with key dates "Issue Proceedings" (1 March 2026) and "Trial"
// (1 June 2026) and a step 28 days after "Issue Proceedings".
struct PlanFixture : ::testing::Test {
    FakeUi ui;
    TPln e{&ui};
    int64_t plan = 0, issue = 0, trial = 0, step = 0;

    void SetUp() override {
        e.today = [] { return D(2026, 1, 15); };
        plan = AddPlan("Litigation");
        issue = AddKeyDate("Issue Proceedings", D(2026, 3, 1));
        trial = AddKeyDate("Trial", D(2026, 6, 1));
        step = AddStep("Serve defence", issue, 0, 0, 28, srAfter);
    }
    int64_t AddPlan(const std::string& name) {
        MemTable& t = e.MasterPlans();
        t.Append();
        t.FieldByName("Name").SetString(name);
        t.Post();
        return t.FieldByName("Ukey").AsInteger();
    }
    int64_t AddKeyDate(const std::string& name, TDateTime date) {
        MemTable& t = e.MasterKeyDates();
        t.Append();
        t.FieldByName("Name").SetString(name);
        t.FieldByName("Date").SetDateTime(date);
        t.Post();
        return t.FieldByName("Ukey").AsInteger();
    }
    int64_t AddStep(const std::string& text, int64_t key, int years, int months, int days, int relativity,
                    const std::string& who = "Me") {
        MemTable& t = e.MasterSteps();
        t.Append();
        t.FieldByName("Step").SetString(text);
        t.FieldByName("Who").SetString(who);
        t.FieldByName("RelativeTo").SetInteger(key);
        t.FieldByName("Years").SetInteger(years);
        t.FieldByName("Months").SetInteger(months);
        t.FieldByName("Days").SetInteger(days);
        t.FieldByName("Relativity").SetInteger(relativity);
        t.Post();
        return t.FieldByName("Ukey").AsInteger();
    }
    bool Find(MemTable& t, const std::string& field, const std::string& text) {
        for (int i = 1; i <= t.RecordCount(); ++i) {
            t.SetRecNo(i);
            if (t.FieldByName(field).AsString() == text) return true;
        }
        return false;
    }
    void Recalc() { e.Recalculate(1, nullptr, false); }
    // Step, date and lock of every plan row in order.
    std::vector<std::string> Plan() {
        std::vector<std::string> out;
        MemTable& t = e.PlanSteps();
        for (int i = 1; i <= t.RecordCount(); ++i) {
            t.SetRecNo(i);
            const CivilDate c = DecodeDate(t.FieldByName("Date").AsDateTime());
            out.push_back(t.FieldByName("Step").AsString() + " " + std::to_string(c.year) + "-" +
                          std::to_string(c.month) + "-" + std::to_string(c.day) +
                          (t.FieldByName("Lock").AsBoolean() ? " locked" : ""));
        }
        return out;
    }
    void EnterKeyDate(const std::string& name, TDateTime date) {
        MemTable& k = e.PlanKeyDates();
        ASSERT_TRUE(Find(k, "Name", name));
        k.Edit();
        if (date == 0) k.FieldByName("Date").Clear();
        else k.FieldByName("Date").SetDateTime(date);
        k.Post();
    }
};

TEST_F(PlanFixture, NewRowsTakeTheirDefaultsAndNumbers) {
    MemTable& p = e.MasterPlans();
    EXPECT_EQ(plan, 1);
    EXPECT_EQ(p.FieldByName("Who").AsString(), "Me\r\nYou");
    EXPECT_TRUE(p.FieldByName("RTFActive").AsBoolean());
    EXPECT_TRUE(p.FieldByName("Use").AsBoolean());
    EXPECT_EQ(issue, 1);
    EXPECT_EQ(trial, 2);
    EXPECT_EQ(step, 1);
    MemTable& s = e.MasterSteps();
    ASSERT_TRUE(Find(s, "Step", "Serve defence"));
    EXPECT_EQ(s.FieldByName("Master").AsInteger(), plan);
    EXPECT_EQ(s.FieldByName("Date").AsDateTime(), D(2026, 3, 29));   // example date from the example key date
    EXPECT_EQ(e.WhoChoices(), (std::vector<std::string>{"Me", "You"}));
}

TEST_F(PlanFixture, RecalculationDatesStepsFromTheEnteredKeyDates) {
    Recalc();
    EXPECT_EQ(Plan(), (std::vector<std::string>{"Issue Proceedings 2026-3-1", "Serve defence 2026-3-29",
                                                "Trial 2026-6-1"}));
    EnterKeyDate("Issue Proceedings", D(2026, 5, 10));
    Recalc();
    EXPECT_EQ(Plan(), (std::vector<std::string>{"Issue Proceedings 2026-5-10", "Trial 2026-6-1",
                                                "Serve defence 2026-6-7"}));
    // The entered date is carried by the master key date.
    ASSERT_TRUE(Find(e.MasterKeyDates(), "Name", "Issue Proceedings"));
    EXPECT_EQ(e.MasterKeyDates().FieldByName("xdate").AsDateTime(), D(2026, 5, 10));
    // Idempotent.
    const auto once = Plan();
    Recalc();
    EXPECT_EQ(Plan(), once);
    // Status: Issue is used by a step, Trial by none.
    MemTable& k = e.PlanKeyDates();
    ASSERT_TRUE(Find(k, "Name", "Trial"));
    EXPECT_EQ(k.FieldByName("Status").AsInteger(), 0);
    ASSERT_TRUE(Find(k, "Name", "Issue Proceedings"));
    EXPECT_EQ(k.FieldByName("Status").AsInteger(), 1);
}

TEST_F(PlanFixture, BeforeCountsBackAndSkipRulesMoveTheDate) {
    MemTable& s = e.MasterSteps();
    ASSERT_TRUE(Find(s, "Step", "Serve defence"));
    s.Edit();
    s.FieldByName("Relativity").SetInteger(srBefore);
    s.Post();
    Recalc();
    EnterKeyDate("Issue Proceedings", D(2026, 5, 10));
    Recalc();
    EXPECT_TRUE(Find(e.PlanSteps(), "Step", "Serve defence"));
    EXPECT_EQ(e.PlanSteps().FieldByName("Date").AsDateTime(), D(2026, 4, 12));

    // Weekends skipped: 28 counted days before Sunday 10 May 2026 lands earlier.
    std::unique_ptr<SkipSet> skip = CreateSkipSet(std::make_shared<SkipFileRef>(), "mm/dd/yyyy");
    skip->header.SetWeekday(1, true);
    skip->header.SetWeekday(7, true);
    skip->active = true;
    e.Recalculate(1, skip.get(), false);
    ASSERT_TRUE(Find(e.PlanSteps(), "Step", "Serve defence"));
    EXPECT_EQ(e.PlanSteps().FieldByName("Date").AsDateTime(), D(2026, 4, 1));   // 28 weekdays back

    // A step marked "Don't Skip Dates" counts calendar days.
    ASSERT_TRUE(Find(s, "Step", "Serve defence"));
    s.Edit();
    s.FieldByName("Skipping").SetInteger(1);
    s.Post();
    e.Recalculate(1, skip.get(), false);
    ASSERT_TRUE(Find(e.PlanSteps(), "Step", "Serve defence"));
    EXPECT_EQ(e.PlanSteps().FieldByName("Date").AsDateTime(), D(2026, 4, 12));
}

TEST_F(PlanFixture, BlankKeyDateBringsBackTheExampleDate) {
    Recalc();
    EnterKeyDate("Issue Proceedings", D(2026, 5, 10));
    Recalc();
    EnterKeyDate("Issue Proceedings", 0);
    Recalc();
    EXPECT_EQ(Plan()[0], "Issue Proceedings 2026-3-1");
}

TEST_F(PlanFixture, LockedAndUserRowsSurviveAndDeletedRowsComeBack) {
    Recalc();
    MemTable& p = e.PlanSteps();
    ASSERT_TRUE(Find(p, "Step", "Serve defence"));
    p.Edit();
    p.FieldByName("Lock").SetBoolean(true);
    p.FieldByName("Step").SetString("Serve defence (agreed)");
    p.Post();
    // A row of the user's own: locked by default.
    p.Append();
    EXPECT_TRUE(p.FieldByName("Lock").AsBoolean());
    p.FieldByName("Step").SetString("Call client");
    p.FieldByName("Date").SetDateTime(D(2026, 4, 1));
    p.Post();
    // The master step changes; the locked row keeps its text and date.
    MemTable& s = e.MasterSteps();
    ASSERT_TRUE(Find(s, "Step", "Serve defence"));
    s.Edit();
    s.FieldByName("Days").SetInteger(14);
    s.Post();
    ASSERT_TRUE(Find(p, "Step", "Trial"));
    p.Delete();
    Recalc();
    EXPECT_EQ(Plan(), (std::vector<std::string>{"Issue Proceedings 2026-3-1",
                                                "Serve defence (agreed) 2026-3-29 locked",
                                                "Call client 2026-4-1 locked", "Trial 2026-6-1"}));
}

TEST_F(PlanFixture, PlanKeyDatesCannotBeAddedOrDeleted) {
    Recalc();
    MemTable& k = e.PlanKeyDates();
    const int rows = k.RecordCount();
    try {
        k.Append();
        FAIL();
    } catch (const TableError& err) {
        EXPECT_STREQ(err.what(), kPlanKeyDatesFixed);
    }
    EXPECT_THROW(k.Delete(), TableError);
    EXPECT_EQ(k.RecordCount(), rows);
}

TEST_F(PlanFixture, EditingAKeyDateRowAsksHowToProceed) {
    Recalc();
    MemTable& p = e.PlanSteps();
    struct Case { int choice; bool posted; bool lock; };
    for (const Case c : {Case{0, false, false}, Case{1, true, true}, Case{2, true, false}}) {
        SCOPED_TRACE(c.choice);
        ui.onShowModal = [&](ModalForm& f) {
            EXPECT_EQ(f.FormName(), "EditOptions");
            static_cast<EditOptionsDialog&>(f).choice = c.choice;
            return true;
        };
        ASSERT_TRUE(Find(p, "Step", "Trial"));
        p.Edit();
        p.FieldByName("Lock").SetBoolean(false);
        p.FieldByName("Who").SetString("Me");
        if (c.posted) {
            p.Post();
            EXPECT_EQ(p.State(), TableState::Browse);
            EXPECT_EQ(p.FieldByName("Lock").AsBoolean(), c.lock);
        } else {
            EXPECT_THROW(p.Post(), TableAbort);
            EXPECT_EQ(p.State(), TableState::Edit);
            p.Cancel();
        }
    }
}

TEST_F(PlanFixture, DetailRowsNeedAMasterPlan) {
    TPln empty(&ui);
    for (MemTable* t : {&empty.MasterSteps(), &empty.MasterKeyDates(), &empty.MasterFields()}) {
        try {
            t->Append();
            FAIL() << t->Name();
        } catch (const TableError& err) {
            EXPECT_STREQ(err.what(), kNoMasterPlanYet);
        }
        EXPECT_EQ(t->State(), TableState::Browse);
    }
}

TEST_F(PlanFixture, KeyDateInUseCannotBeDeleted) {
    MemTable& k = e.MasterKeyDates();
    ASSERT_TRUE(Find(k, "Name", "Issue Proceedings"));
    EXPECT_THROW(k.Delete(), TableAbort);
    EXPECT_EQ(ui.Texts(UiCallKind::Error), (std::vector<std::string>{kKeyDateInUse}));
    EXPECT_EQ(k.RecordCount(), 2);
    MemTable& s = e.MasterSteps();
    ASSERT_TRUE(Find(s, "Step", "Serve defence"));
    s.Edit();
    s.FieldByName("RelativeTo").SetInteger(trial);
    s.Post();
    ASSERT_TRUE(Find(k, "Name", "Issue Proceedings"));
    k.Delete();
    EXPECT_EQ(k.RecordCount(), 1);
}

TEST_F(PlanFixture, ViewsFollowTheMasterPlanAndDeletingCascades) {
    MemTable& f = e.MasterFields();
    f.Append();
    f.FieldByName("Name").SetString("Court");
    f.Post();
    Recalc();
    const int64_t second = AddPlan("Probate");
    EXPECT_EQ(second, 2);
    EXPECT_EQ(e.MasterSteps().RecordCount(), 0);
    EXPECT_EQ(e.MasterKeyDates().RecordCount(), 0);
    EXPECT_EQ(e.PlanKeyDates().RecordCount(), 0);   // made under the other plan: unseen
    AddKeyDate("Grant", D(2026, 2, 1));
    ASSERT_TRUE(e.LocateMaster(plan));
    EXPECT_EQ(e.MasterKeyDates().RecordCount(), 2);
    EXPECT_EQ(e.PlanKeyDates().RecordCount(), 2);
    EXPECT_FALSE(e.LocateMaster(99));
    EXPECT_EQ(*e.CurrentMaster(), second);   // the last master plan

    ASSERT_TRUE(e.LocateMaster(plan));
    e.MasterPlans().Delete();
    {
        HandlerSuspension a(e.MasterSteps()), b(e.MasterKeyDates()), c(e.MasterFields());
        EXPECT_EQ(e.MasterSteps().RecordCount(), 0);
        EXPECT_EQ(e.MasterKeyDates().RecordCount(), 1);   // Probate's
        EXPECT_EQ(e.MasterFields().RecordCount(), 1);     // stays, unseen
    }
    EXPECT_EQ(e.PendingDeleteUkey(), 0);
    // A new master plan never takes a number in use, nor the one the left-over fields carry.
    EXPECT_EQ(AddPlan("Third"), 3);
    EXPECT_EQ(e.MasterFields().RecordCount(), 0);
}

TEST_F(PlanFixture, NumbersAreTheSmallestFree) {
    // Key dates 1, 2 and 4 in use: a new one gets 3.
    const int64_t third = AddKeyDate("Judgment", D(2026, 9, 1));
    EXPECT_EQ(third, 3);
    MemTable& k = e.MasterKeyDates();
    ASSERT_TRUE(Find(k, "Name", "Judgment"));
    k.Edit();
    k.FieldByName("Ukey").SetInteger(4);
    k.Post();
    EXPECT_EQ(e.NextKeyDateUkey(true), 3);
    EXPECT_EQ(AddKeyDate("Appeal", D(2026, 10, 1)), 3);
    EXPECT_EQ(e.NextStepUkey(true), 2);
}

TEST_F(PlanFixture, MergeFieldValuesAreCarriedByName) {
    MemTable& f = e.MasterFields();
    for (const char* name : {"Court", "Judge"}) {
        f.Append();
        f.FieldByName("Name").SetString(name);
        f.FieldByName("Value").SetString("default");
        f.Post();
    }
    Recalc();
    MemTable& v = e.PlanFields();
    ASSERT_EQ(v.RecordCount(), 2);
    ASSERT_TRUE(Find(v, "Name", "Court"));
    v.Edit();
    v.FieldByName("Value").SetString("High Court");
    v.Post();
    Recalc();
    ASSERT_TRUE(Find(v, "Name", "Court"));
    EXPECT_EQ(v.FieldByName("Value").AsString(), "High Court");
    ASSERT_TRUE(Find(v, "Name", "Judge"));
    EXPECT_EQ(v.FieldByName("Value").AsString(), "default");
}

TEST_F(PlanFixture, DesignerHelpers) {
    // Merging names keeps used key dates, drops unused ones and adds the missing names.
    e.MergeKeyDateNames("\"Trial, listed\"; Issue proceedings, Hearing", e.MasterSteps(), e.MasterKeyDates());
    std::vector<std::string> names;
    MemTable& k = e.MasterKeyDates();
    for (int i = 1; i <= k.RecordCount(); ++i) {
        k.SetRecNo(i);
        names.push_back(k.FieldByName("Name").AsString());
    }
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"Hearing", "Issue Proceedings", "Trial, listed"}));

    // A plan without key dates gets "Finish Date" once its steps are edited.
    AddPlan("Empty");
    std::vector<TPln::KeyDateChoice> choices;
    e.RecomputeExampleDates(e.MasterSteps(), e.MasterKeyDates(), &choices);
    ASSERT_EQ(choices.size(), 1u);
    EXPECT_EQ(choices[0].text, std::string(kFinishDateName) + "\t" + std::to_string(choices[0].ukey));
}

}  // namespace
}  // namespace clx

namespace clx {
namespace {

TEST(EditOptionsDialog, ExplanationReadsAsRichText) {
    const RichText t = ReadRtf(EditOptionsDialog::ExplanationRtf());
    const auto& ps = t.Paragraphs();
    ASSERT_GE(ps.size(), EditOptionsDialog::kParagraphs.size());
    for (size_t i = 0; i < EditOptionsDialog::kParagraphs.size(); ++i)
        EXPECT_EQ(ps[i].Text(), EditOptionsDialog::kParagraphs[i]) << i;
    const clx::Run& first = ps[0].runs.at(0);
    EXPECT_TRUE(first.format.bold);
    EXPECT_EQ(first.format.color, (Rgb{255, 0, 0}));
    EXPECT_EQ(first.format.fontName, "Verdana");
    EXPECT_TRUE(ps[5].runs.at(0).format.underline);
    EXPECT_EQ(ps[5].runs.at(0).text, EditOptionsDialog::kChoices[0]);
    EditOptionsDialog d;
    EXPECT_EQ(d.choice, EditOptionsDialog::CancelChanges);
}

}  // namespace
}  // namespace clx
