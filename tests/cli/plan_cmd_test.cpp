#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <string>
#include <unistd.h>
#include <vector>

#include "cli/clx_runner.h"
#include "plans/plan_engine.h"
#include "plans/plan_file.h"

namespace clx::cli {
namespace {

namespace fs = std::filesystem;
using nlohmann::ordered_json;

using Outcome = test_support::JsonOutcome;
using test_support::Clx;

// Plan 1 "Litigation": "Issue Proceedings" (1 March 2026) and "Trial" (1 June 2026), a step
// 28 days after the first and one 2 months 1 day before the second, a merge field.
// Plan 2 "Appeal", not in the menu: a step 28 days before "Issue Proceedings", an unused key
// date "Hearing", and a skip-date file that does not exist.
class PlanCmd : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("clx_plancmd_" + std::to_string(::getpid()) + "_" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        file_ = Path("matters.cpz");

        TPln e;
        e.today = [] { return EncodeDate(2026, 1, 15); };
        AddPlan(e, "Litigation", true, "");
        const int64_t issue = AddKeyDate(e, "Issue Proceedings", EncodeDate(2026, 3, 1));
        const int64_t trial = AddKeyDate(e, "Trial", EncodeDate(2026, 6, 1));
        AddStep(e, "Serve defence", "Me", issue, 0, 0, 28, srAfter);
        AddStep(e, "Exchange witness statements", "You", trial, 0, 2, 1, srBefore);
        MemTable& f = e.MasterFields();
        f.Append();
        f.FieldByName("Name").SetString("Court");
        f.FieldByName("Value").SetString("Supreme Court");
        f.Post();

        AddPlan(e, "Appeal", false, Path("gone.skx"));
        const int64_t issue2 = AddKeyDate(e, "Issue Proceedings", EncodeDate(2026, 3, 1));
        AddKeyDate(e, "Hearing", EncodeDate(2026, 9, 1));
        AddStep(e, "Brief counsel", "Me", issue2, 0, 0, 28, srBefore);
        WritePlanFile(e, file_);
    }
    void TearDown() override { fs::remove_all(dir_); }
    std::string Path(const std::string& name) const { return (dir_ / name).string(); }

    static void AddPlan(TPln& e, const std::string& name, bool inMenu, const std::string& skipFile) {
        MemTable& t = e.MasterPlans();
        t.Append();
        t.FieldByName("Name").SetString(name);
        t.FieldByName("Use").SetBoolean(inMenu);
        t.FieldByName("SkipFName").SetString(skipFile);
        t.Post();
    }
    static int64_t AddKeyDate(TPln& e, const std::string& name, TDateTime date) {
        MemTable& t = e.MasterKeyDates();
        t.Append();
        t.FieldByName("Name").SetString(name);
        t.FieldByName("Date").SetDateTime(date);
        t.Post();
        return t.FieldByName("Ukey").AsInteger();
    }
    static void AddStep(TPln& e, const std::string& text, const std::string& who, int64_t key, int years,
                        int months, int days, int relativity) {
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
    }

    // "date step" of each plan row.
    static std::vector<std::string> Steps(const ordered_json& j) {
        std::vector<std::string> v;
        for (const auto& s : j["steps"]) v.push_back(s["Date"].get<std::string>() + " " + s["Step"].get<std::string>());
        return v;
    }

    // The date of the plan row with that text, "none" when there is none.
    static std::string DateOf(const ordered_json& j, const std::string& step) {
        for (const auto& s : j["steps"])
            if (s["Step"] == step) return s["Date"].is_null() ? "null" : s["Date"].get<std::string>();
        return "none";
    }

    fs::path dir_;
    std::string file_;
};

TEST_F(PlanCmd, RunDatesTheStepsFromTheKeyDatesGiven) {
    const Outcome o = Clx({"plan", "run", file_, "--plan", "1", "--key", "issue proceedings=2026-05-10", "--json"});
    ASSERT_EQ(o.code, 0) << o.err;
    EXPECT_EQ(o.err, "");
    const ordered_json j = o.Json();
    EXPECT_EQ(j["plan"], "Litigation");
    EXPECT_EQ(Steps(j), (std::vector<std::string>{"2026-03-31 Exchange witness statements",
                                                  "2026-05-10 Issue Proceedings", "2026-06-01 Trial",
                                                  "2026-06-07 Serve defence"}));
    EXPECT_EQ(j["steps"][3], ordered_json::parse(R"({"Date": "2026-06-07", "Step": "Serve defence", "Who": "Me",
        "Lock": false, "mUkey": 1, "Origin": 1})"));
    EXPECT_EQ(j["steps"][1]["mUkey"], -1);   // the key date row
    EXPECT_EQ(j["keys"], ordered_json::parse(R"([{"Name": "Issue Proceedings", "Date": "2026-05-10", "Status": 1},
        {"Name": "Trial", "Date": "2026-06-01", "Status": 1}])"));

    // Without keys the example dates give the plan; an empty date brings the example back.
    for (const std::vector<std::string>& extra :
         {std::vector<std::string>{}, std::vector<std::string>{"--key", "Issue Proceedings="}}) {
        std::vector<std::string> args{"plan", "run", file_, "--plan", "1", "--json"};
        args.insert(args.end(), extra.begin(), extra.end());
        const Outcome ex = Clx(args);
        ASSERT_EQ(ex.code, 0) << ex.err;
        EXPECT_EQ(DateOf(ex.Json(), "Serve defence"), "2026-03-29");
    }
}

TEST_F(PlanCmd, RunBeforeAKeyDateAndAPlanSkipFileThatCannotBeRead) {
    const Outcome o = Clx({"plan", "run", file_, "--plan", "2", "--key", "Issue Proceedings=2026-05-10", "--json"});
    ASSERT_EQ(o.code, 0) << o.err;
    EXPECT_NE(o.err.find("gone.skx"), std::string::npos) << o.err;
    EXPECT_NE(o.err.find("without skip dates"), std::string::npos) << o.err;
    EXPECT_EQ(Steps(o.Json()), (std::vector<std::string>{"2026-04-12 Brief counsel", "2026-05-10 Issue Proceedings",
                                                         "2026-09-01 Hearing"}));
    EXPECT_EQ(o.Json()["keys"][1]["Status"], 0);   // no step uses "Hearing"

    const Outcome text = Clx({"plan", "run", file_, "--plan", "2"});
    ASSERT_EQ(text.code, 0) << text.err;
    EXPECT_NE(text.out.find("Plan 2: Appeal"), std::string::npos) << text.out;
    EXPECT_NE(text.out.find("Hearing  (no step uses it)"), std::string::npos) << text.out;
    EXPECT_EQ(text.out.find("Issue Proceedings  (no step uses it)"), std::string::npos) << text.out;
}

TEST_F(PlanCmd, SkipFileMovesADateAndInvertFlipsIt) {
    const std::string weekends = Path("weekends.skx");
    ASSERT_EQ(Clx({"skip", "new", weekends, "--skip-weekdays", "sat,sun"}).code, 0);
    auto serve = [&](std::vector<std::string> extra) {
        std::vector<std::string> args{"plan", "run", file_, "--plan", "1", "--key", "Issue Proceedings=2026-05-10",
                                      "--json"};
        args.insert(args.end(), extra.begin(), extra.end());
        const Outcome o = Clx(args);
        EXPECT_EQ(o.code, 0) << o.err;
        return o.code == 0 ? DateOf(o.Json(), "Serve defence") : o.err;
    };
    // 28 days after Sunday 10 May 2026 is Sunday 7 June; 28 weekdays later is 17 June, 28
    // weekend days later 16 August.
    EXPECT_EQ(serve({"--skip-file", weekends}), "2026-06-17");
    EXPECT_EQ(serve({"--skip-file", weekends, "--invert"}), "2026-08-16");

    // Plan 2's own file is replaced by the one given: no note.
    const Outcome two = Clx({"plan", "run", file_, "--plan", "2", "--skip-file", weekends});
    EXPECT_EQ(two.code, 0);
    EXPECT_EQ(two.err, "");
}

TEST_F(PlanCmd, BadRequestsGetOneClearLine) {
    std::ofstream(Path("notes.cpz")) << "not a master plan at all\n";
    std::ofstream(Path("empty.cpz"));
    const std::string weekends = Path("weekends.skx");
    ASSERT_EQ(Clx({"skip", "new", weekends, "--skip-weekdays", "sat,sun"}).code, 0);
    struct Case {
        std::vector<std::string> args;
        std::vector<std::string> said;
    } cases[] = {
        {{"run", file_, "--plan", "7"}, {"master plan 7", "1 Litigation, 2 Appeal"}},
        {{"run", file_, "--plan", "1", "--key", "Mediation=2026-05-10"}, {"'Mediation'", "Issue Proceedings, Trial"}},
        {{"run", file_, "--plan", "1", "--key", "Trial=2026-02-30"}, {"2026-02-30", "not a valid date"}},
        {{"run", file_, "--plan", "1", "--key", "Trial"}, {"NAME=DATE"}},
        {{"run", file_, "--plan", "1", "--invert"}, {"--invert"}},
        {{"run", file_, "--plan", "1", "--skip-file", Path("none.skx")}, {"none.skx"}},
        {{"run", Path("missing.cpz"), "--plan", "1"}, {"missing.cpz", "does not exist"}},
        {{"run", Path("notes.cpz"), "--plan", "1"}, {"notes.cpz", "master plan file"}},
        {{"show", Path("empty.cpz")}, {"empty.cpz", "master plan file"}},
        {{"show", weekends}, {"weekends.skx", "master plan file"}},
        {{"show", dir_.string()}, {"not a file"}},
        {{"run", file_, "--plan", "x"}, {"whole number"}},
        {{"run", file_, "--plan", "99999999999999999999"}, {"not a plan number"}},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args{"plan"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const Outcome o = Clx(args);
        SCOPED_TRACE(c.args[0] + " " + c.args.back());
        EXPECT_EQ(o.code, 2) << o.err;
        EXPECT_EQ(o.out, "");
        EXPECT_EQ(o.err.find('\n'), o.err.size() - 1) << "one line: " << o.err;
        for (const std::string& s : c.said) EXPECT_NE(o.err.find(s), std::string::npos) << o.err;
    }
}

TEST_F(PlanCmd, ShowListsEveryMasterPlan) {
    const Outcome o = Clx({"plan", "show", file_, "--json"});
    ASSERT_EQ(o.code, 0) << o.err;
    const ordered_json j = o.Json();
    ASSERT_EQ(j["plans"].size(), 2u);
    EXPECT_EQ(j["plans"][0], ordered_json::parse(R"({
        "number": 1, "name": "Litigation", "inMenu": true, "people": ["Me", "You"], "skipFile": null,
        "customTextReport": true,
        "keyDates": [{"name": "Issue Proceedings", "exampleDate": "2026-03-01"},
                     {"name": "Trial", "exampleDate": "2026-06-01"}],
        "steps": [
            {"step": "Serve defence", "who": "Me", "period": "28 days after Issue Proceedings", "skipDates": true, "years": 0,
             "months": 0, "days": 28, "relativity": "after", "keyDate": "Issue Proceedings",
             "exampleDate": "2026-03-29"},
            {"step": "Exchange witness statements", "who": "You", "period": "2 months 1 day before Trial",
             "skipDates": true, "years": 0, "months": 2, "days": 1, "relativity": "before", "keyDate": "Trial",
             "exampleDate": "2026-03-31"}],
        "fields": [{"name": "Court", "default": "Supreme Court"}]
    })"));
    EXPECT_EQ(j["plans"][1]["name"], "Appeal");
    EXPECT_EQ(j["plans"][1]["inMenu"], false);
    EXPECT_EQ(j["plans"][1]["steps"][0]["period"], "28 days before Issue Proceedings");

    const Outcome text = Clx({"plan", "show", file_});
    ASSERT_EQ(text.code, 0) << text.err;
    for (const char* line : {"2 master plans", "Plan 1: Litigation\n", "Plan 2: Appeal  (not in the menu)",
                             "People:              Me, You", "Custom text report:  active",
                             "28 days after Issue Proceedings", "2 months 1 day before Trial",
                             "Court  Supreme Court"})
        EXPECT_NE(text.out.find(line), std::string::npos) << line << "\n" << text.out;
}

}  // namespace
}  // namespace clx::cli

namespace clx::cli {
namespace {

// A document's plan through set, plan key, plan field, show and plan merge, and what each
// refuses without touching the file.
TEST_F(PlanCmd, DocumentPlanFromChoiceToReport) {
    const std::string doc = Path("matter.cxz");
    ASSERT_EQ(Clx({"new", doc}).code, 0);
    const Outcome set = Clx({"set", doc, "planfile=" + file_, "plan=1"});
    ASSERT_EQ(set.code, 0) << set.err;
    EXPECT_NE(set.out.find("PlanUkey = 1 (Litigation)"), std::string::npos) << set.out;

    const Outcome key = Clx({"plan", "key", doc, "issue proceedings=2026-05-10"});
    ASSERT_EQ(key.code, 0) << key.err;
    const Outcome field = Clx({"plan", "field", doc, "court=High Court"});
    ASSERT_EQ(field.code, 0) << field.err;

    const Outcome shown = Clx({"show", doc, "--sheet", "plan", "--json"});
    ASSERT_EQ(shown.code, 0) << shown.err;
    const ordered_json j = shown.Json();
    std::vector<std::string> steps;
    for (const auto& r : j["rows"]) steps.push_back(r["Date"].get<std::string>().substr(0, 10) + " " + r["Step"].get<std::string>());
    EXPECT_EQ(steps, (std::vector<std::string>{"2026-03-31 Exchange witness statements", "2026-05-10 Issue Proceedings",
                                               "2026-06-01 Trial", "2026-06-07 Serve defence"}));
    EXPECT_EQ(j["fields"][0]["Value"], "High Court");

    // Refusals leave the document as it was.
    const std::vector<uint8_t> before = [&] {
        std::ifstream in(doc, std::ios::binary);
        return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
    }();
    struct Bad { std::vector<std::string> args; std::string says; };
    for (const Bad& b : std::vector<Bad>{
             {{"set", doc, "plan=9"}, "has no master plan 9"},
             {{"set", doc, "planfile=" + Path("none.cpz")}, "cannot locate the master plan file"},
             {{"plan", "key", doc, "Hearing=2026-01-01"}, "its key dates are"},
             {{"plan", "key", doc, "Trial=2026-02-30"}, "not a valid date"},
             {{"plan", "field", doc, "Judge=X"}, "its fields are"},
         }) {
        const Outcome o = Clx(b.args);
        EXPECT_EQ(o.code, 2) << b.args[0];
        EXPECT_NE(o.err.find(b.says), std::string::npos) << o.err;
    }
    std::ifstream in(doc, std::ios::binary);
    EXPECT_EQ(std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {}), before);

    // The plan has no template: no report.
    EXPECT_EQ(Clx({"plan", "merge", doc, Path("out.rtf")}).code, 1);
    EXPECT_FALSE(fs::exists(Path("out.rtf")));
}

}  // namespace
}  // namespace clx::cli
