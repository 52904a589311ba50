#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

#include "app/config.h"
#include "cli/clx.h"
#include "cli/clx_runner.h"
#include "files/fileio.h"
#include "files/skipfile.h"

namespace clx::cli {
namespace {

namespace fs = std::filesystem;
using nlohmann::ordered_json;

using Outcome = test_support::JsonOutcome;
using test_support::Clx;

class SkipCmd : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("clx_skipcmd_" + std::to_string(::getpid()) + "_" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }
    std::string Path(const std::string& name) const { return (dir_ / name).string(); }

    // Weekends, Christmas, and a Saturday sitting that is never skipped.
    std::string Court() {
        const std::string p = Path("court.skx");
        Outcome o = Clx({"skip", "new", p, "--skip-weekdays", "sat,sun", "--skip-holidays", "christmas",
                         "--include-date", "2027-03-13", "--skip-range", "2027-08-02:2027-08-27",
                         "--skip-recurring", "01-05", "--skip-date", "2027-03-01"});
        EXPECT_EQ(o.code, 0) << o.err;
        EXPECT_EQ(o.out, "");
        return p;
    }

    fs::path dir_;
};

TEST_F(SkipCmd, NewThenShowAsJson) {
    const std::string p = Court();
    Outcome o = Clx({"skip", "show", p, "--json"});
    ASSERT_EQ(o.code, 0) << o.err;
    EXPECT_EQ(o.Json(), ordered_json::parse(R"({
        "weekdays": ["sun", "sat"],
        "holidays": ["christmas"],
        "recurring": [{"day": 1, "month": 5, "description": "", "use": true}],
        "single": [{"date": "2027-03-01", "description": "", "use": true}],
        "ranges": [{"from": "2027-08-02", "to": "2027-08-27", "description": "", "use": true}],
        "inclusions": [{"date": "2027-03-13", "description": "", "use": true}]
    })"));
}

TEST_F(SkipCmd, ShowListsDescriptionsAndUnusedRows) {
    auto set = CreateSkipSet(std::make_shared<SkipFileRef>(), "mm/dd/yyyy");
    set->header.SetHoliday(hdGoodFriday, true);
    set->header.SetHoliday(hdEasterMonday, true);
    set->recurring.Append();
    set->recurring.FieldByName("Day").SetInteger(26);
    set->recurring.FieldByName("Month").SetInteger(1);
    set->recurring.FieldByName("Description").SetString("Australia Day");
    set->recurring.FieldByName("Use").SetBoolean(false);
    set->recurring.Post();
    SaveSkipFile(Path("text.skx"), *set);

    Outcome j = Clx({"skip", "show", Path("text.skx"), "--json"});
    ASSERT_EQ(j.code, 0) << j.err;
    EXPECT_EQ(j.Json()["holidays"], ordered_json::parse(R"(["good-friday", "easter-monday"])"));
    EXPECT_EQ(j.Json()["recurring"][0], ordered_json::parse(
                                            R"({"day": 26, "month": 1, "description": "Australia Day", "use": false})"));

    Outcome t = Clx({"skip", "show", Path("text.skx")});
    ASSERT_EQ(t.code, 0) << t.err;
    EXPECT_EQ(t.out,
              "Weekdays:   none\n"
              "Holidays:   good-friday, easter-monday\n"
              "Every year (DD-MM):\n"
              "  26-01  Australia Day  (not used)\n"
              "Single dates: none\n"
              "Ranges: none\n"
              "Never skipped: none\n");
}

TEST_F(SkipCmd, CalculationsUseTheFileAndTheRulesAddToIt) {
    const std::string p = Court();
    const std::vector<std::string> inlineRules = {
        "--skip-weekdays", "sat,sun", "--skip-holidays", "christmas", "--include-date", "2027-03-13",
        "--skip-range", "2027-08-02:2027-08-27", "--skip-recurring", "01-05", "--skip-date", "2027-03-01"};
    struct Case {
        std::vector<std::string> args;
        std::string key;
        ordered_json expected;
    };
    const std::vector<Case> cases = {
        // Monday 1 to Sunday 14 March 2027: 1 March and three weekend days skipped, Saturday 13 included.
        {{"interval", "2027-03-01", "2027-03-14", "--include-last"}, "days", 10},
        {{"interval", "2027-03-01", "2027-03-14", "--include-last", "--invert"}, "days", 4},
        // Inline rules add to the file's: Wednesday 3 March as well.
        {{"interval", "2027-03-01", "2027-03-14", "--include-last", "--skip-date", "2027-03-03"}, "days", 9},
        // Friday 30 July plus one counted day jumps the weekend and the summer closure.
        {{"add", "2027-07-30", "--days", "1"}, "result", "2027-08-30"},
        // Day steps pass over the skipped days.
        {{"series", "--first", "2027-07-29", "--final", "2027-08-31", "--frequency", "days", "--units", "1"},
         "dates", ordered_json::parse(R"(["2027-07-29", "2027-07-30", "2027-08-30", "2027-08-31"])")},
    };
    for (const Case& c : cases) {
        std::vector<std::string> withFile = c.args, withRules = c.args;
        withFile.insert(withFile.end(), {"--skip-file", p, "--json"});
        withRules.insert(withRules.end(), inlineRules.begin(), inlineRules.end());
        withRules.push_back("--json");
        Outcome f = Clx(withFile), r = Clx(withRules);
        SCOPED_TRACE(::testing::PrintToString(withFile));
        ASSERT_EQ(f.code, 0) << f.err;
        ASSERT_EQ(r.code, 0) << r.err;
        EXPECT_EQ(f.Json(), r.Json());
        EXPECT_EQ(f.Json()[c.key], c.expected);
    }
}

TEST_F(SkipCmd, MissingDamagedAndRefusedFilesExitTwo) {
    const std::string court = Court();
    const std::vector<uint8_t> whole = ReadFileBytes(court);
    WriteFileAtomic(Path("cut.skx"), std::vector<uint8_t>(whole.begin(), whole.begin() + 1100));
    WriteFileAtomic(Path("junk.skx"), std::vector<uint8_t>{'h', 'e', 'l', 'l', 'o'});
    fs::create_directories(Path("folder.skx"));

    struct Case {
        std::vector<std::string> args;
        std::string message;
    };
    const std::vector<Case> cases = {
        {{"interval", "2027-03-01", "2027-03-14", "--skip-file", Path("none.skx")}, "does not exist"},
        {{"add", "2027-03-01", "--days", "3", "--skip-file", Path("folder.skx")}, "does not exist or is not a file"},
        {{"series", "--first", "2027-03-01", "--repeats", "2", "--skip-file", Path("cut.skx")},
         "is not a whole skip-date file (single dates: "},
        {{"skip", "show", Path("junk.skx")}, "is not a whole skip-date file"},
        {{"skip", "show", Path("none.skx"), "--json"}, "does not exist"},
        {{"interval", "2027-03-01", "2027-03-14", "--skip-file", court, "--method", "actual/360"},
         "skip rules apply only to the normal method"},
        {{"skip", "new", court}, "already exists (--force replaces it)"},
        {{"skip", "new", Path("folder.skx"), "--force"}, "is a folder"},
        {{"skip", "new", Path("x.skx"), "--skip-weekdays", "sat", "--invert"}, "--invert is not kept"},
        {{"skip", "new", Path("x.skx"), "--skip-weekdays", "caturday"}, "unknown weekday 'caturday'"},
        {{"skip", "new", Path("x.skx"), "--skip-file", Path("cut.skx")}, "is not a whole skip-date file"},
    };
    for (const Case& c : cases) {
        Outcome o = Clx(c.args);
        SCOPED_TRACE(::testing::PrintToString(c.args));
        EXPECT_EQ(o.code, 2);
        EXPECT_EQ(o.out, "");
        EXPECT_NE(o.err.find(c.message), std::string::npos) << o.err;
        EXPECT_EQ(o.err.substr(0, 4), "clx ");
    }
    EXPECT_FALSE(fs::exists(Path("x.skx")));
    EXPECT_EQ(ReadFileBytes(court), whole);   // refused, not replaced
}

TEST_F(SkipCmd, NewFromAFileAddsRulesAndForceReplaces) {
    const std::string court = Court();
    const std::string more = Path("more.skx");
    ASSERT_EQ(Clx({"skip", "new", more, "--skip-file", court, "--skip-holidays", "good-friday"}).code, 0);
    ordered_json j = Clx({"skip", "show", more, "--json"}).Json();
    EXPECT_EQ(j["holidays"], ordered_json::parse(R"(["good-friday", "christmas"])"));
    EXPECT_EQ(j["ranges"].size(), 1u);

    Outcome o = Clx({"skip", "new", more, "--force"});
    ASSERT_EQ(o.code, 0) << o.err;
    j = Clx({"skip", "show", more, "--json"}).Json();
    EXPECT_EQ(j, ordered_json::parse(
                     R"({"weekdays":[],"holidays":[],"recurring":[],"single":[],"ranges":[],"inclusions":[]})"));
}

// The factory files show exactly the rules of their readable sources.
TEST(SkipCmdFactory, FilesShowTheirSources) {
    const fs::path sources = fs::path(__FILE__).parent_path().parent_path().parent_path() / "resources" / "skip";
    int n = 0;
    for (const auto& e : fs::directory_iterator(sources)) {
        if (e.path().extension() != ".json") continue;
        ++n;
        SCOPED_TRACE(e.path().filename().string());
        std::ifstream in(e.path());
        ordered_json src = ordered_json::parse(in);
        ordered_json expected;
        for (const char* key : {"weekdays", "holidays", "recurring", "single", "ranges", "inclusions"}) {
            ordered_json list = src.contains(key) ? src[key] : ordered_json::array();
            for (auto& row : list) {
                if (!row.is_object()) continue;
                if (!row.contains("description")) row["description"] = "";
                if (!row.contains("use")) row["use"] = true;
            }
            expected[key] = list;
        }
        const fs::path skx = fs::path(CLX_BUILD_ROOT) / "Data" / (e.path().stem().string() + ".skx");
        Outcome o = Clx({"skip", "show", skx.string(), "--json"});
        ASSERT_EQ(o.code, 0) << o.err;
        // Keys of each row in the order of the output.
        EXPECT_EQ(o.Json().dump(), ordered_json(expected).dump()) << "(rows of a source keep their keys in "
                                                                    "the order day, month / date / from, to, "
                                                                    "then description, use)";
    }
    EXPECT_GE(n, 4);
}

// The skip-file choice through the program's own configuration: macro names and data folders.
TEST_F(SkipCmd, ChoosingThroughTheConfiguration) {
    Config cfg((dir_ / "Bin" / "chronolex").string(), Locale::Default());
    SkipFileConfigOf<Config> folders(cfg);
    fs::create_directories(cfg.DataFolder());
    fs::create_directories(Path("Elsewhere"));
    auto set = CreateSkipSet(std::make_shared<SkipFileRef>(), cfg.DateEntryFormat());
    SaveSkipFile(fs::path(cfg.DataFolder()) / "Court.skx", *set);
    SaveSkipFile(Path("Elsewhere/State.skx"), *set);

    SkipFileSelection a = SelectSkipFile((fs::path(cfg.DataFolder()) / "Court.skx").string(), *set, folders);
    EXPECT_EQ(a.outcome, SkipSelectOutcome::Selected);
    EXPECT_FALSE(a.optionsChanged);
    EXPECT_EQ(set->ref->fileName.substr(0, 5), "<DAT>");
    EXPECT_EQ(cfg.ExpandPathMacros(set->ref->fileName), (fs::path(cfg.DataFolder()) / "Court.skx").string());

    SkipFileSelection b = SelectSkipFile(Path("Elsewhere/State.skx"), *set, folders);
    EXPECT_TRUE(b.optionsChanged);
    EXPECT_TRUE(b.documentModified);
    const auto menu = BuildSkipFileMenu(folders.DataFolderSearchList());
    std::vector<std::string> files;
    for (const auto& m : menu)
        if (!m.hint.empty()) files.push_back(m.caption);
    EXPECT_EQ(files, (std::vector<std::string>{"Court", "State"}));
}

TEST(SkipCmdHelp, SkipNeedsShowOrNew) {
    Outcome o = Clx({"skip"});
    EXPECT_EQ(o.code, 2);
    EXPECT_NE(o.err.find("clx skip"), std::string::npos) << o.err;
    Outcome h = Clx({"interval", "--help"});
    EXPECT_NE(h.out.find("--skip-file"), std::string::npos);
}

}  // namespace
}  // namespace clx::cli
