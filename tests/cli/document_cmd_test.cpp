#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

#include "cli/clx.h"
#include "cli/clx_runner.h"
#include "files/fileio.h"

namespace clx::cli {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;

struct Outcome : test_support::ClxOutcome {
    json Json() const { return json::parse(out); }
    int ErrLines() const { return static_cast<int>(std::count(err.begin(), err.end(), '\n')); }
};

Outcome Clx(const std::vector<std::string>& args) { return {test_support::RunClx(args)}; }

std::string ReadText(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

const std::string kDemo = std::string(CLX_BUILD_ROOT) + "/Bin/Rsc/Eng/demo.cxz";

class DocumentCommands : public ::testing::Test {
protected:
    void SetUp() override {
        dir = fs::temp_directory_path() / ("clx_doccmd_" + std::to_string(::getpid()));
        fs::remove_all(dir);
        fs::create_directories(dir);
        doc = (dir / "matter.cxz").string();
        ASSERT_EQ(Clx({"new", doc}).code, 0);
    }
    void TearDown() override { fs::remove_all(dir); }
    std::vector<uint8_t> Bytes() const { return ReadFileBytes(doc); }
    json Sheet(const std::string& sheet, const std::string& file = {}) {
        const Outcome o = Clx({"show", file.empty() ? doc : file, "--sheet", sheet, "--json"});
        EXPECT_EQ(o.code, 0) << o.err;
        return o.Json();
    }

    fs::path dir;
    std::string doc;
};

TEST_F(DocumentCommands, NewMakesADocumentFromTheTemplate) {
    const Outcome again = Clx({"new", doc});
    EXPECT_EQ(again.code, 2);
    EXPECT_EQ(again.ErrLines(), 1);
    EXPECT_NE(again.err.find("exists"), std::string::npos);
    const std::vector<uint8_t> first = Bytes();
    EXPECT_EQ(Clx({"new", doc, "--force"}).code, 0);
    EXPECT_EQ(ReadFileBytes(dir / "matter.~dz"), first);

    const json summary = Clx({"show", doc, "--json"}).Json();
    ASSERT_EQ(summary["sheets"].size(), 8u);
    // Shown on their result pages, the Multiple sheet says what it lacks and the Pro-rata sheet
    // gives the whole (empty) amount to its remainder row; the others are empty.
    for (const json& s : summary["sheets"]) {
        EXPECT_EQ(s["rows"], s["sheet"] == "multiple" || s["sheet"] == "prorata" ? 1 : 0) << s["sheet"];
    }
    EXPECT_EQ(Sheet("multiple")["rows"][0]["Comments"], "Need at least two different dates!");
    EXPECT_EQ(Sheet("prorata")["rows"][0]["Name"], "Fraction");
    EXPECT_EQ(Sheet("prorata")["rows"][0]["ShareFrac"], 100.0);
    const json repeat = Sheet("repeat");
    EXPECT_EQ(repeat["settings"]["lmFreq"], 2);
    EXPECT_EQ(repeat["settings"]["lmUnits"], 2);
    EXPECT_EQ(repeat["settings"]["RcrSeriesCounter"], 0);
    EXPECT_TRUE(repeat["settings"]["lmClipLo"].is_string());
}

TEST_F(DocumentCommands, SetChangesSettingsByControlNameAllOrNothing) {
    const Outcome ok = Clx({"set", doc, "edcalcmethod=2", "lmClipLo=2024-01-31", "edRcrSeriesTitle=Rent %n"});
    ASSERT_EQ(ok.code, 0) << ok.err;
    EXPECT_EQ(ok.out, "edCalcMethod = 2\nlmClipLo = 2024-01-31\nedRcrSeriesTitle = Rent %n\n");
    EXPECT_EQ(Sheet("interval")["settings"]["edCalcMethod"], 2);
    EXPECT_EQ(Sheet("interval")["settings"]["calcMethodName"], "Finance - Actual/actual");
    EXPECT_EQ(Sheet("repeat")["settings"]["lmClipLo"], "2024-01-31");

    const std::vector<uint8_t> before = Bytes();
    for (const std::vector<std::string>& bad : std::vector<std::vector<std::string>>{
             {"set", doc, "edCalcMethod=1", "noSuchSetting=1"},
             {"set", doc, "edCalcMethod=9"},
             {"set", doc, "lmClipLo=2024-02-30"},
             {"set", doc, "edCalcMethod"},
             {"set", (dir / "absent.cxz").string(), "edCalcMethod=1"},
         }) {
        const Outcome o = Clx(bad);
        EXPECT_EQ(o.code, 2) << bad[2];
        EXPECT_EQ(o.ErrLines(), 1) << o.err;
        EXPECT_EQ(Bytes(), before) << bad[2];
    }
    EXPECT_FALSE(fs::exists(dir / "absent.cxz"));
}

TEST_F(DocumentCommands, TheSkipFileNamedInTheDocumentIsUsed) {
    ASSERT_EQ(Clx({"insert", doc, "--sheet", "interval", "DFrom=2024-03-04", "DTo=2024-03-10", "IncludeLast=1"}).code,
              0);
    const std::string weekends = std::string(CLX_BUILD_ROOT) + "/Data/Weekends.skx";
    const Outcome set = Clx({"set", doc, "SkipFile=" + weekends});
    ASSERT_EQ(set.code, 0) << set.err;
    EXPECT_EQ(set.out, "SkipFile = <DAT>Weekends.skx\n");
    json one = Sheet("interval");
    EXPECT_EQ(one["settings"]["skipActive"], true);
    EXPECT_EQ(one["rows"][0]["Days"], 5);
    EXPECT_EQ(one["rows"][0]["Comments"], "2 days skipped");
    ASSERT_EQ(Clx({"set", doc, "cbInvertSkip=1"}).code, 0);
    EXPECT_EQ(Sheet("interval")["rows"][0]["Days"], 2);

    // A file that is not there: a note, nothing skipped, and the name kept.
    const Outcome missing = Clx({"set", doc, "SkipFile=<DAT>No such file.skx", "cbInvertSkip=0"});
    EXPECT_EQ(missing.code, 0);
    EXPECT_NE(missing.err.find("cannot be read"), std::string::npos) << missing.err;
    const Outcome shown = Clx({"show", doc, "--sheet", "interval", "--json"});
    EXPECT_EQ(shown.Json()["rows"][0]["Days"], 7);
    EXPECT_EQ(shown.Json()["settings"]["SkipFile"], "<DAT>No such file.skx");
    EXPECT_EQ(shown.ErrLines(), 1);
}

TEST_F(DocumentCommands, InsertAddsARowThroughTheSheetsEvents) {
    const Outcome ok = Clx({"insert", doc, "--sheet", "interval", "DFrom=2001-01-01", "DTo=2001-01-31",
                            "IncludeLast=true", "Description=January, both days"});
    ASSERT_EQ(ok.code, 0) << ok.err;
    const json one = Sheet("interval");
    ASSERT_EQ(one["rows"].size(), 1u);
    const json& row = one["rows"][0];
    EXPECT_EQ(row["DFrom"], "2001-01-01T00:00:00");
    EXPECT_EQ(row["IncludeFirst"], true);   // the sheet's new-row default
    EXPECT_EQ(row["Days"], 31);
    EXPECT_EQ(row["Years"], 0.0821);
    EXPECT_EQ(row["Comments"], "Inclusive");
    EXPECT_EQ(row["CommentsPlus"],
              "From Monday 1 January 2001 until Wednesday 31 January 2001 is 31 days or 4.4 weeks or 0.082 years "
              "inclusive using normal method.");
    EXPECT_TRUE(row["Order"].is_null());

    const std::vector<uint8_t> before = Bytes();
    for (const std::vector<std::string>& bad : std::vector<std::vector<std::string>>{
             {"insert", doc, "--sheet", "interval", "DFrum=2001-01-01"},
             {"insert", doc, "--sheet", "interval", "DFrom=31.01.2001"},
             {"insert", doc, "--sheet", "interval", "Days=5"},
             {"insert", doc, "--sheet", "plan"},
             {"insert", doc, "--sheet", "calendar"},
             {"insert", doc, "--sheet", "math", "Description"},
         }) {
        const Outcome o = Clx(bad);
        EXPECT_EQ(o.code, 2) << bad.back();
        EXPECT_EQ(o.ErrLines(), 1) << o.err;
        EXPECT_EQ(Bytes(), before) << bad.back();
    }
}

TEST_F(DocumentCommands, SeriesInsertUsesTheDocumentsSettings) {
    ASSERT_EQ(Clx({"set", doc, "rgRcrStyle=1", "lmClipLo=2024-01-15", "lmFreq=3", "lmUnits=1", "edNumRep=12",
                   "edRcrAmount=-100", "edRcrSeriesTitle=Repayment %n (%r remaining)"})
                  .code,
              0);
    const Outcome o = Clx({"series-insert", doc});
    ASSERT_EQ(o.code, 0) << o.err;
    EXPECT_EQ(o.out, "Inserted series 1: 12 rows\n");
    const json rcr = Sheet("repeat");
    ASSERT_EQ(rcr["rows"].size(), 12u);
    EXPECT_EQ(rcr["rows"][0]["Comments"], "Repayment 1 (11 remaining)");
    EXPECT_EQ(rcr["rows"][0]["Day"], "Mon");
    EXPECT_EQ(rcr["rows"][11]["Date"], "2024-12-15T00:00:00");
    EXPECT_EQ(rcr["rows"][11]["Comments"], "Repayment 12 (0 remaining)");
    EXPECT_EQ(rcr["rows"][11]["Balance"], -1200.0);
    EXPECT_EQ(rcr["settings"]["RcrSeriesCounter"], 1);

    // Settings the generator cannot use: nothing is written.
    ASSERT_EQ(Clx({"set", doc, "rgRcrStyle=0", "lmClipHi=2400-01-01", "lmFreq=1"}).code, 0);
    const std::vector<uint8_t> before = Bytes();
    const Outcome refused = Clx({"series-insert", doc});
    EXPECT_EQ(refused.code, 2);
    EXPECT_EQ(refused.ErrLines(), 1) << refused.err;
    EXPECT_EQ(Bytes(), before);
}

TEST_F(DocumentCommands, ExportWritesTheSheetsFieldList) {
    ASSERT_EQ(Clx({"insert", doc, "--sheet", "interval", "DFrom=2001-01-01", "DTo=2001-01-31", "IncludeLast=1",
                   "Description=Smith, John"})
                  .code,
              0);
    const fs::path out = dir / "interval.csv";
    const Outcome o = Clx({"export", doc, "--sheet", "interval", "--csv", out.string(), "--names"});
    ASSERT_EQ(o.code, 0) << o.err;
    EXPECT_EQ(ReadText(out),
              "DFrom,IncludeFirst,DTo,IncludeLast,Days,Years,Description,CommentsPlus\r\n"
              "01/01/2001,True,01/31/2001,True,31,0.0821,\"Smith, John\",From Monday 1 January 2001 until "
              "Wednesday 31 January 2001 is 31 days or 4.4 weeks or 0.082 years inclusive using normal method.\r\n");
    ASSERT_EQ(Clx({"export", doc, "--sheet", "interval", "--csv", out.string(), "--delimiter", "tab"}).code, 0);
    EXPECT_EQ(ReadText(out).substr(0, 40), "01/01/2001\tTrue\t01/31/2001\tTrue\t31\t0.082");

    EXPECT_EQ(Clx({"export", doc, "--sheet", "interval", "--csv", out.string(), "--delimiter", "pipe"}).code, 2);
    const Outcome unwritable =
        Clx({"export", doc, "--sheet", "interval", "--csv", (dir / "no folder" / "x.csv").string()});
    EXPECT_EQ(unwritable.code, 1);
    EXPECT_EQ(unwritable.ErrLines(), 1);
}

TEST_F(DocumentCommands, RecalcAndDocumentsThatCannotBeRead) {
    EXPECT_EQ(Clx({"recalc", doc}).code, 0);
    EXPECT_TRUE(fs::exists(dir / "matter.~dz"));

    const Outcome missing = Clx({"show", (dir / "none.cxz").string()});
    EXPECT_EQ(missing.code, 2);
    EXPECT_EQ(missing.ErrLines(), 1);
    { std::ofstream(dir / "junk.cxz") << "this is not a document"; }
    const Outcome junk = Clx({"show", (dir / "junk.cxz").string()});
    EXPECT_EQ(junk.code, 2);
    EXPECT_EQ(junk.ErrLines(), 1);
    EXPECT_EQ(Clx({"recalc", (dir / "junk.cxz").string()}).code, 2);
    EXPECT_EQ(ReadText(dir / "junk.cxz"), "this is not a document");
}

TEST_F(DocumentCommands, ADocumentWithADamagedPartIsShownButNotRewritten) {
    const std::string plain = (dir / "plain.qdk").string();
    ASSERT_EQ(Clx({"new", plain}).code, 0);
    ASSERT_EQ(Clx({"insert", plain, "--sheet", "interval", "DFrom=2001-01-01", "DTo=2001-01-31"}).code, 0);
    // Spoil the field count of the interval table's image.
    std::vector<uint8_t> bytes = ReadFileBytes(plain);
    const std::string text(bytes.begin(), bytes.end());
    const size_t field = text.find("IncludeFirst");
    ASSERT_NE(field, std::string::npos);
    const size_t ver = text.rfind("Ver", field);
    ASSERT_NE(ver, std::string::npos);
    for (size_t i = ver + 11; i < ver + 15; ++i) bytes[i] = 0xFF;
    { std::ofstream(plain, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size()); }

    const Outcome shown = Clx({"show", plain, "--sheet", "interval", "--json"});
    EXPECT_EQ(shown.code, 0);
    EXPECT_NE(shown.err.find("damaged"), std::string::npos);
    const Outcome set = Clx({"set", plain, "edCalcMethod=1"});
    EXPECT_EQ(set.code, 1);
    EXPECT_EQ(set.ErrLines(), 1);
    EXPECT_EQ(ReadFileBytes(plain), bytes);
}

// ---- the demonstration document ------------------------------------------------------------

class Demo : public ::testing::Test {
protected:
    static json Show(const std::string& sheet) {
        const Outcome o = Clx({"show", kDemo, "--sheet", sheet, "--json"});
        EXPECT_EQ(o.code, 0) << o.err;
        EXPECT_EQ(o.err, "");
        return o.Json();
    }
    static std::vector<json> Column(const json& sheet, const char* field) {
        std::vector<json> v;
        for (const json& r : sheet["rows"]) v.push_back(r[field]);
        return v;
    }
};

TEST_F(Demo, Interval) {
    const json j = Show("interval");
    EXPECT_EQ(Column(j, "Days"), (std::vector<json>{2177, 1093, 91, 184}));
    EXPECT_EQ(j["rows"][0]["DFromI"], "2018-03-15T00:00:00");
    EXPECT_EQ(j["rows"][0]["DToI"], "2024-02-28T00:00:00");
    EXPECT_EQ(j["settings"]["calcMethodName"], "Normal");
}

TEST_F(Demo, Math) {
    const json j = Show("math");
    EXPECT_EQ(Column(j, "DTo"), (std::vector<json>{"2024-05-22T00:00:00", "2024-06-05T00:00:00",
                                                    "2024-07-03T00:00:00", "2024-08-30T00:00:00",
                                                    "2024-03-14T00:00:00"}));
}

TEST_F(Demo, Multiple) {
    const json j = Show("multiple");
    EXPECT_EQ(Column(j, "Days"), (std::vector<json>{85, 91, 97, 93}));
    EXPECT_EQ(Column(j, "Amount"), (std::vector<json>{2786.88, 2983.6, 3180.32, 3049.2}));
    EXPECT_EQ(j["totals"]["MulTotalDays"], 366);
    EXPECT_EQ(j["totals"]["MulFirstStart"], "2024-01-01");
    EXPECT_EQ(j["totals"]["MulLastEnd"], "2024-12-31");
    EXPECT_EQ(j["dates"].size(), 5u);
}

TEST_F(Demo, Repeat) {
    const json j = Show("repeat");
    ASSERT_EQ(j["rows"].size(), 25u);
    EXPECT_EQ(j["rows"][0]["Comments"], "Loan advance");
    EXPECT_EQ(j["rows"][0]["Balance"], 24000.0);
    EXPECT_EQ(j["rows"][1]["Comments"], "Repayment 1 of 24 (23 remaining)");
    EXPECT_EQ(j["rows"][24]["Date"], "2026-01-15T00:00:00");
    EXPECT_EQ(j["rows"][24]["Balance"], 0.0);
    EXPECT_EQ(Column(j, "Series")[24], 2);
}

TEST_F(Demo, ProRata) {
    const json j = Show("prorata");
    ASSERT_EQ(j["rows"].size(), 2u);
    EXPECT_EQ(Column(j, "Days"), (std::vector<json>{47, 44}));
    EXPECT_EQ(Column(j, "Share"), (std::vector<json>{3098.9, 2901.1}));
    EXPECT_EQ(Column(j, "ShareFrac"), (std::vector<json>{51.65, 48.35}));
}

TEST_F(Demo, Chronology) {
    const json j = Show("chronology");
    EXPECT_EQ(Column(j, "LocalDateTime"),
              (std::vector<json>{"2024-06-03T00:15:00", "2024-06-03T10:30:00", "2024-06-04T07:45:00",
                                 "2024-06-05T11:00:00", "2024-06-10T14:00:00", "2024-06-24T23:30:00",
                                 "2024-07-08T10:00:00"}));
    EXPECT_EQ(Column(j, "caAdj"), (std::vector<json>{"-9:00", "", "-9:00", "", "", "-9:00", ""}));
    EXPECT_EQ(Column(j, "DayNumber"), (std::vector<json>{1, 1, 2, 3, 8, 22, 36}));
    EXPECT_EQ(Column(j, "Ago"),
              (std::vector<json>{"4 weeks", "4 weeks", "3.8 weeks", "3.7 weeks", "3 weeks", "6 days", "7 days"}));
    EXPECT_EQ(j["rows"][0]["TimeDiff"], "10hrs 15mins");
    EXPECT_EQ(j["rows"][0]["DateString"], "03 Jun 2024");
    EXPECT_EQ(j["zones"][0]["Adj"], "-9:00");
}

TEST_F(Demo, Birthdays) {
    const json j = Show("birthdays");
    EXPECT_EQ(Column(j, "StarSign"), (std::vector<json>{"Aries", "Virgo", "Capricorn", "Aquarius", "Pisces"}));
    // Margaret Ellis: 31241 days from her birth to the day before her death, over the average
    // year of 1938 to 2023 (31411 days in 86 years).
    EXPECT_NEAR(j["rows"][0]["Age"].get<double>(), 31241 / (31411 / 86.0), 0.0001);
    EXPECT_EQ(j["rows"][0]["DOD"], "2023-11-02T00:00:00");
    EXPECT_TRUE(j["rows"][1]["DOD"].is_null());
}

TEST_F(Demo, SummaryAndExportOfEverySheet) {
    const Outcome summary = Clx({"show", kDemo});
    ASSERT_EQ(summary.code, 0) << summary.err;
    EXPECT_NE(summary.out.find("Repeat"), std::string::npos);
    const fs::path out = fs::temp_directory_path() / ("clx_demo_" + std::to_string(::getpid()) + ".csv");
    for (const char* sheet : {"interval", "math", "multiple", "repeat", "chronology", "birthdays", "prorata", "plan"}) {
        const Outcome o = Clx({"show", kDemo, "--sheet", sheet});
        EXPECT_EQ(o.code, 0) << sheet << o.err;
        const Outcome e = Clx({"export", kDemo, "--sheet", sheet, "--csv", out.string(), "--names"});
        EXPECT_EQ(e.code, 0) << sheet << e.err;
    }
    fs::remove(out);
}

}  // namespace
}  // namespace clx::cli
