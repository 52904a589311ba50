#include "cli/options_cmd.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <nlohmann/json.hpp>
#include <sstream>

#include "cli/clx.h"
#include "cli/clx_runner.h"
#include "files/fileio.h"
#include "files/options.h"

namespace clx::cli {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;

using Outcome = test_support::ClxOutcome;

Outcome Clx(std::vector<std::string> args) { return test_support::RunClx(args); }

void AddRow(MemTable& t, const std::vector<std::pair<const char*, Value>>& values) {
    t.Append();
    for (const auto& [name, v] : values) t.FieldByName(name).SetValue(v);
    t.Post();
}

class OptionsCmd : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("clx_optcmd_" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    // An options file with the given days per year and a little of everything else.
    std::string MakeOptions(const std::string& name, int daysPerYear) {
        Options o;
        o.header.daysPerYearType = static_cast<uint8_t>(daysPerYear);
        o.header.dateEntryFormat = 2;
        o.header.firstDayOfWeek = 0;
        o.header.SetShowTips(false);
        o.header.nextTip = 3;
        AddRow(o.taDaa, {{"Days", int64_t{10}}, {"Months", int64_t{3}}});
        AddRow(o.taAno, {{"Format", std::string("Repayment %n (%r remaining)")}});
        AddRow(o.taFmt, {{"Format", std::string("mmmm yyyy")}, {"Approx", true}});
        AddRow(o.taRpt, {{"Menu", std::string("Interval")}, {"Ukey", int64_t{1}}, {"InternalName", std::string("Interval")}});
        AddRow(o.taWrd, {{"Token", std::string("BADGREG")}, {"Value", std::string("Before 1753.\r\nSee the records.")}});
        o.paths = {"/srv/matters"};
        fs::path p = dir_ / name;
        fs::create_directories(p.parent_path());
        WriteFileAtomic(p, OptionsImage(o));
        return p.string();
    }

    fs::path dir_;
};

TEST_F(OptionsCmd, ShowPrintsEveryPartAsJson) {
    std::string file = MakeOptions("options.dcz", 3);
    Outcome o = Clx({"options", "show", file, "--json"});
    ASSERT_EQ(o.code, 0) << o.err;
    json j = json::parse(o.out);
    EXPECT_EQ(j["file"], file);
    EXPECT_EQ(j["header"]["days_per_year_type"], 3);
    EXPECT_EQ(j["header"]["days_per_year"], "365 days/year");
    EXPECT_EQ(j["header"]["date_entry_format_name"], "dd/mm/yyyy");
    EXPECT_EQ(j["header"]["first_day_of_week_name"], "Monday");
    EXPECT_EQ(j["header"]["show_tips"], false);
    EXPECT_EQ(j["header"]["next_tip"], 3);
    EXPECT_EQ(j["quick_add"][0]["caption"], "101 Days");
    EXPECT_EQ(j["quick_add"][0]["sort"], 101);
    EXPECT_EQ(j["notes"][0], "Repayment %n (%r remaining)");
    EXPECT_EQ(j["date_formats"][0]["approx"], true);
    EXPECT_EQ(j["report_formats"][0]["internal_name"], "Interval");
    EXPECT_EQ(j["words"][0]["token"], "BADGREG");
    EXPECT_EQ(j["paths"][0], "/srv/matters");
    EXPECT_EQ(j["sections"]["Paths"], "loaded");
}

TEST_F(OptionsCmd, ShowPrintsReadableText) {
    Outcome o = Clx({"options", "show", MakeOptions("options.dcz", 0)});
    ASSERT_EQ(o.code, 0) << o.err;
    for (const char* line : {"Days per year:  average of the calendar years (0)", "Date entry:     dd/mm/yyyy (2)",
                             "Show tips:      no", "  101 Days", "  Repayment %n (%r remaining)",
                             "   1  mmmm yyyy  (approximate)", "  BADGREG\n      Before 1753.\n      See the records.\n",
                             "Data folders (1):\n  /srv/matters\n"})
        EXPECT_NE(o.out.find(line), std::string::npos) << line << "\n" << o.out;
}

TEST_F(OptionsCmd, ShowRefusesFilesThatAreNotOptions) {
    Outcome o = Clx({"options", "show", (dir_ / "missing.dcz").string()});
    EXPECT_EQ(o.code, 2);
    EXPECT_NE(o.err.find("missing.dcz"), std::string::npos) << o.err;

    const std::vector<uint8_t> text = {'h', 'e', 'l', 'l', 'o'};
    WriteFileAtomic(dir_ / "plain.dcz", text);
    o = Clx({"options", "show", (dir_ / "plain.dcz").string()});
    EXPECT_EQ(o.code, 2);
    EXPECT_NE(o.err.find("plain.dcz"), std::string::npos) << o.err;

    o = Clx({"options"});
    EXPECT_EQ(o.code, 2);
}

TEST_F(OptionsCmd, WordPrintsTheTextOrNamesTheUnknownToken) {
    std::string file = MakeOptions("options.dcz", 1);
    Outcome o = Clx({"word", "badgreg", "--options", file});
    ASSERT_EQ(o.code, 0) << o.err;
    EXPECT_EQ(o.out, "Before 1753.\nSee the records.\n");

    o = Clx({"word", "BADGREG", "--options", file, "--json"});
    ASSERT_EQ(o.code, 0) << o.err;
    EXPECT_EQ(json::parse(o.out)["value"], "Before 1753.\r\nSee the records.");

    o = Clx({"word", "NOSUCH", "--options", file});
    EXPECT_EQ(o.code, 2);
    EXPECT_EQ(o.err, "clx word: unknown word token 'NOSUCH'\n");
}

TEST_F(OptionsCmd, CalculationsTakeTheirDaysPerYearFromTheOptions) {
    std::string file360 = MakeOptions("a/options.dcz", 4);
    auto years = [](const Outcome& o) { return json::parse(o.out)["years_e4"]; };
    const std::vector<std::string> base = {"interval", "2001-01-01", "2003-03-31", "--json"};

    auto with = [&](std::vector<std::string> extra) {
        std::vector<std::string> args = base;
        args.insert(args.end(), extra.begin(), extra.end());
        Outcome o = Clx(args);
        EXPECT_EQ(o.code, 0) << o.err;
        EXPECT_EQ(o.err, "");
        return o;
    };
    Outcome fromOptions = with({"--options", file360});
    Outcome given = with({"--days-per-year", "360"});
    Outcome plain = with({"--days-per-year", "365.25"});
    EXPECT_EQ(years(fromOptions), years(given));
    EXPECT_NE(years(fromOptions), years(plain));
    // An explicit choice wins over the options.
    EXPECT_EQ(years(with({"--options", file360, "--days-per-year", "365.25"})), years(plain));

    Outcome missing = Clx({"add", "2001-01-01", "--years", "1", "--options", (dir_ / "none.dcz").string()});
    EXPECT_EQ(missing.code, 2);
    EXPECT_NE(missing.err.find("--options"), std::string::npos) << missing.err;

    Outcome series = Clx({"series", "--first", "2001-01-31", "--repeats", "2", "--options", file360});
    EXPECT_EQ(series.code, 0) << series.err;
}

// The installation's options sit in the resource folder of the program's root.
TEST_F(OptionsCmd, InstallationDefaultFallsBackTo36525WithANote) {
    const fs::path rsc = dir_ / "Bin" / "Rsc" / "Eng";
    Context ctx(Locale::Default(), (dir_ / "Bin" / "clx").string());
    ASSERT_EQ(fs::path(ctx.Cfg().Files().options), rsc / "options.dcz");
    DaysPerYearOption opt;
    opt.command = "interval";

    std::ostringstream err;
    EXPECT_EQ(ResolveDaysPerYear(opt, ctx, err), 1);
    EXPECT_NE(err.str().find("clx interval: note: Could not locate options file"), std::string::npos) << err.str();
    EXPECT_NE(err.str().find("365.25"), std::string::npos);

    MakeOptions("Bin/Rsc/Eng/default.dcz", 2);   // the factory copy stands in for a missing options.dcz
    err.str("");
    EXPECT_EQ(ResolveDaysPerYear(opt, ctx, err), 2);
    EXPECT_EQ(err.str(), "");

    MakeOptions("Bin/Rsc/Eng/options.dcz", 0);
    EXPECT_EQ(ResolveDaysPerYear(opt, ctx, err), 0);
    EXPECT_EQ(err.str(), "");

    MakeOptions("Bin/Rsc/Eng/options.dcz", 9);   // not a choice: never used as a number of days
    EXPECT_EQ(ResolveDaysPerYear(opt, ctx, err), 1);
    EXPECT_NE(err.str().find("unknown days-per-year choice 9"), std::string::npos) << err.str();

    opt.value = "366";
    err.str("");
    EXPECT_EQ(ResolveDaysPerYear(opt, ctx, err), 2);
    EXPECT_EQ(err.str(), "");
}

}  // namespace
}  // namespace clx::cli
