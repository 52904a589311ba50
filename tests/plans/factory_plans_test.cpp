// The factory master plan file and the designer's sample reports, as the build makes them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "engine/skipset.h"
#include "files/fileio.h"
#include "files/skipfile.h"
#include "plans/plan_engine.h"
#include "plans/plan_file.h"
#include "platform/richtext.h"

namespace clx {
namespace {

const std::string kPlanFile = CLX_BUILD_ROOT "/Data/Sample master plans.cpz";
const std::string kRsc = CLX_BUILD_ROOT "/Bin/Rsc/Eng/";

TDateTime D(int y, int m, int d) { return EncodeDate(y, m, d); }

bool Find(MemTable& t, const std::string& field, const std::string& text) {
    for (int i = 1; i <= t.RecordCount(); ++i) {
        t.SetRecNo(i);
        if (t.FieldByName(field).AsString() == text) return true;
    }
    return false;
}

std::string Iso(TDateTime d) {
    const CivilDate c = DecodeDate(d);
    char buf[16];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", c.year, c.month, c.day);
    return buf;
}

struct KeyDate {
    const char* name;
    TDateTime date;
};
struct StepDate {
    const char* step;
    const char* date;   // YYYY-MM-DD
};

// The Plan sheet's way: open the file, pick the plan from the menu, enter the key dates and
// recalculate.
struct FactoryPlans : ::testing::Test {
    TPln e;

    void SetUp() override {
        e.today = [] { return D(2026, 1, 15); };
        const PlanOpenResult r = OpenPlanFile(e, nullptr, kPlanFile, {}, false);
        ASSERT_TRUE(r.opened) << kPlanFile;
        ASSERT_TRUE(r.report.Complete());
    }
    void Select(const std::string& plan) {
        MemTable menu("menu");
        DefineMenuFields(menu);
        ASSERT_EQ(ReadPlanFileMenu(kPlanFile, menu), 3);
        ASSERT_TRUE(Find(menu, "Name", plan)) << plan;
        ASSERT_TRUE(e.LocateMaster(menu.FieldByName("Ukey").AsInteger()));
        e.Recalculate(1, nullptr, false);
    }
    void Enter(const std::vector<KeyDate>& keys, const SkipSet* skip = nullptr) {
        MemTable& k = e.PlanKeyDates();
        for (const KeyDate& key : keys) {
            ASSERT_TRUE(Find(k, "Name", key.name)) << key.name;
            k.Edit();
            k.FieldByName("Date").SetDateTime(key.date);
            k.Post();
        }
        e.Recalculate(1, skip, false);
    }
    void Expect(const std::vector<StepDate>& steps) {
        for (const StepDate& s : steps) {
            ASSERT_TRUE(Find(e.PlanSteps(), "Step", s.step)) << s.step;
            EXPECT_EQ(Iso(e.PlanSteps().FieldByName("Date").AsDateTime()), s.date) << s.step;
        }
    }
};

TEST_F(FactoryPlans, MenuListsTheThreePlansAndEachIsComplete) {
    MemTable menu("menu");
    DefineMenuFields(menu);
    ASSERT_EQ(ReadPlanFileMenu(kPlanFile, menu), 3);
    std::vector<std::string> names;
    for (int i = 1; i <= menu.RecordCount(); ++i) {
        menu.SetRecNo(i);
        names.push_back(menu.FieldByName("Name").AsString());
    }
    EXPECT_EQ(names, (std::vector<std::string>{"Civil Litigation Timetable", "Commercial Lease",
                                               "Company Annual Compliance Calendar"}));

    struct Case {
        const char* plan;
        std::vector<std::string> who;
        std::vector<std::string> tokens;   // in the custom report's template
    };
    const Case cases[] = {
        {"Civil Litigation Timetable", {"Partner", "Associate", "Paralegal"},
         {"%PlnName%", "%PlnDate%", "%PlnKey%", "%PlnPlan%", "%PlnSkipName%", "%AltClaim_Number%", "%AltCourt%"}},
        {"Commercial Lease", {"Partner", "Associate", "Paralegal", "Surveyor"},
         {"%PlnName%", "%PlnPlan%", "%AltLandlord%", "%AltTenant%", "%AltPremises%"}},
        {"Company Annual Compliance Calendar", {"Company Secretary", "Finance Director", "Auditors"},
         {"%PlnName%", "%PlnPlan%", "%AltCompany_Number%"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.plan);
        ASSERT_TRUE(Find(menu, "Name", c.plan));
        ASSERT_TRUE(e.LocateMaster(menu.FieldByName("Ukey").AsInteger()));
        MemTable& p = e.MasterPlans();
        EXPECT_EQ(p.FieldByName("Name").AsString(), c.plan);
        EXPECT_EQ(e.WhoChoices(), c.who);
        EXPECT_TRUE(p.FieldByName("RTFActive").AsBoolean());
        const std::string tmpl = ReadRtf(p.FieldByName("RTF").AsString()).PlainText();
        for (const std::string& t : c.tokens) EXPECT_NE(tmpl.find(t), std::string::npos) << t;
        EXPECT_NE(ReadRtf(p.FieldByName("Description").AsString()).PlainText().find(c.plan), std::string::npos);
        EXPECT_GE(e.MasterKeyDates().RecordCount(), 3);
        EXPECT_GE(e.MasterSteps().RecordCount(), 10);
        EXPECT_LE(e.MasterSteps().RecordCount(), 12);
        EXPECT_GE(e.MasterFields().RecordCount(), 3);
        // Every step is given to one of the plan's people.
        for (int i = 1; i <= e.MasterSteps().RecordCount(); ++i) {
            e.MasterSteps().SetRecNo(i);
            const std::string who = e.MasterSteps().FieldByName("Who").AsString();
            EXPECT_NE(std::find(c.who.begin(), c.who.end(), who), c.who.end()) << who;
        }
    }
}

TEST_F(FactoryPlans, CivilLitigationDatesFromTheEnteredKeyDates) {
    Select("Civil Litigation Timetable");
    // The example dates first.
    Expect({{"Issue Proceedings", "2026-03-02"}, {"Last day to serve the claim form (CPR 7.5)", "2026-07-02"}});
    Enter({{"Issue Proceedings", D(2026, 5, 11)},
           {"Service of Particulars", D(2026, 5, 18)},
           {"Case Management Conference", D(2026, 9, 14)},
           {"Trial", D(2027, 1, 18)}});
    Expect({{"Issue Proceedings", "2026-05-11"},
            {"Send letter of claim under the pre-action protocol", "2026-02-11"},
            {"Last day to serve the claim form (CPR 7.5)", "2026-09-11"},
            {"Acknowledgment of service due", "2026-06-01"},
            {"Defence due (acknowledgment of service filed)", "2026-06-15"},
            {"File and exchange costs budgets (Precedent H)", "2026-08-24"},
            {"Exchange lists of documents (disclosure)", "2026-04-18"},
            {"File pre-trial checklist", "2026-11-23"},
            {"Last day to lodge the trial bundle", "2027-01-15"},
            {"Last day to file an appellant's notice (CPR 52.12)", "2027-02-08"}});
}

TEST_F(FactoryPlans, CommercialLeaseNoticesClipToTheEndOfTheMonth) {
    Select("Commercial Lease");
    Enter({{"Lease Start", D(2026, 4, 1)}, {"Break Date", D(2029, 3, 31)}, {"Rent Review Date", D(2031, 4, 1)}});
    Expect({{"Serve the 1954 Act contracting-out warning notice", "2026-03-11"},
            {"Complete the lease and hand over the keys", "2026-04-01"},
            {"Submit SDLT return and pay any tax due", "2026-04-15"},
            // Six months before 31 March: September has no 31st.
            {"Last day to serve the break notice (6 months' notice)", "2028-09-30"},
            {"Serve the rent review trigger notice", "2030-10-01"},
            {"Apply for an independent expert if the rent is not agreed", "2031-07-01"}});
}

TEST_F(FactoryPlans, CompanyFilingDeadlinesFollowTheYearEnd) {
    Select("Company Annual Compliance Calendar");
    Enter({{"Financial Year End", D(2025, 12, 31)}, {"Confirmation Statement Date", D(2026, 6, 30)}});
    Expect({{"Last day to file the accounts at Companies House", "2026-09-30"},
            {"Corporation tax payment due", "2026-10-01"},
            {"Last day to file the company tax return (CT600)", "2026-12-31"},
            {"Last day to file the confirmation statement (CS01)", "2026-07-14"}});
    Enter({{"Financial Year End", D(2026, 3, 31)}});
    Expect({{"Last day to file the accounts at Companies House", "2026-12-31"},
            {"Corporation tax payment due", "2027-01-01"}});
}

TEST_F(FactoryPlans, WeekendsSkippedCountWorkingDays) {
    std::unique_ptr<SkipSet> weekends = CreateSkipSet(std::make_shared<SkipFileRef>(), "dd/mm/yyyy");
    ASSERT_TRUE(LoadSkipFile(CLX_BUILD_ROOT "/Data/Weekends.skx", weekends.get()));
    weekends->active = true;
    Select("Civil Litigation Timetable");
    // Particulars served on Monday 18 May 2026: 14 and 28 working days later.
    Enter({{"Service of Particulars", D(2026, 5, 18)}}, weekends.get());
    Expect({{"Service of Particulars", "2026-05-18"},
            {"Acknowledgment of service due", "2026-06-05"},
            {"Defence due (acknowledgment of service filed)", "2026-06-25"}});
    // Without the rules again, calendar days.
    e.Recalculate(1, nullptr, false);
    Expect({{"Acknowledgment of service due", "2026-06-01"}});
}

TEST(FactorySampleReports, BothSamplesReadAsRichTextWithThePlanTokens) {
    struct Case {
        const char* file;
        std::vector<std::string> tokens;
    };
    const Case cases[] = {
        {"plnrtf1.rtf", {"%PlnName%", "%PlnDate%", "%PlnKey%", "%PlnPlan%", "%PlnSkipName%", "%PlnSkipFile%"}},
        {"plnrtf2.rtf", {"%PlnName%", "%PlnPlan%"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        const std::vector<uint8_t> bytes = ReadFileBytes(kRsc + c.file);
        const std::string rtf(bytes.begin(), bytes.end());
        ASSERT_EQ(rtf.rfind("{\\rtf1", 0), 0u);
        std::string error;
        const std::optional<RichText> text = TryReadRtf(rtf, &error);
        ASSERT_TRUE(text) << error;
        const std::string plain = text->PlainText();
        for (const std::string& t : c.tokens) EXPECT_NE(plain.find(t), std::string::npos) << t;
        EXPECT_TRUE(text->Paragraphs()[0].runs[0].format.bold);
    }
}

}  // namespace
}  // namespace clx
