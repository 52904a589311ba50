#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "cli/clx.h"
#include "cli/clx_runner.h"
#include "cli/rules.h"
#include "platform/datetime.h"

namespace clx::cli {
namespace {

using nlohmann::json;

struct Outcome : test_support::ClxOutcome {
    json Json() const { return json::parse(out); }
};

Outcome RunWith(const std::vector<std::string>& args, const Locale& loc) { return {test_support::RunClx(args, loc)}; }

Outcome Clx(const std::vector<std::string>& args) { return RunWith(args, Locale::Default()); }

// A German-style locale: day.month.year, German day names.
Locale German() {
    Locale l;
    l.language = "de";
    l.country = "DE";
    l.shortDateFormat = "dd.MM.yyyy";
    l.dateSeparator = '.';
    l.decimalSeparator = ',';
    l.thousandSeparator = '.';
    l.shortDayNames = {"So", "Mo", "Di", "Mi", "Do", "Fr", "Sa"};
    l.longDayNames = {"Sonntag", "Montag", "Dienstag", "Mittwoch", "Donnerstag", "Freitag", "Samstag"};
    return l;
}

// --- interval -------------------------------------------------------------------------------

struct IntervalCase {
    std::vector<std::string> args;
    int days, skipped;
    int64_t weeksE4, yearsE4;
};

TEST(ClxInterval, CountsDaysWeeksYearsAndSkips) {
    const std::vector<IntervalCase> cases = {
        // Both included, normal, 365.25: 31 days, 4.4 weeks, 30/365.25 years.
        {{"2001-01-01", "2001-01-31", "--include-last"}, 31, 0, 44000, 821},
        {{"2001-01-01", "2001-01-31", "--include-last", "--method", "actual/actual"}, 30, 0, 42000, 821},
        {{"2001-01-31", "2001-02-28", "--include-last", "--method", "30/360-us"}, 28, 0, 40000, 767},
        {{"2001-01-31", "2001-02-28", "--include-last", "--method", "5"}, 28, 0, 40000, 777},
        {{"2001-02-28", "2001-03-31", "--include-last", "--method", "1"}, 30, 0, 42000, 821},
        {{"2001-02-28", "2001-03-31", "--include-last", "--method", "30e/360"}, 32, 0, 45000, 888},
        // Neither day of two adjacent days: nothing; with actual/365 one day.
        {{"2001-03-01", "2001-03-02", "--exclude-first"}, 0, 0, 0, 0},
        {{"2001-03-01", "2001-03-02", "--exclude-first", "--method", "actual/365"}, 1, 0, 1000, 27},
        // The defaults: first day counted, last not.
        {{"2001-03-05", "2001-03-12"}, 7, 0, 10000, 164},
        // Later date first gives the same count.
        {{"2001-03-12", "2001-03-05"}, 7, 0, 10000, 164},
        // Weekends skipped over Monday 5 to Sunday 11 March 2001, and the same inverted.
        {{"2001-03-05", "2001-03-11", "--include-last", "--skip-weekdays", "sat,sun"}, 5, 2, 7000, 137},
        {{"2001-03-05", "2001-03-11", "--include-last", "--skip-weekdays", "sat,sun", "--invert"}, 2, 5, 2000, 55},
        // An inclusion beats the weekday rule; a single date and a range skip as well.
        {{"2001-03-05", "2001-03-11", "--include-last", "--skip-weekdays", "SAT", "--skip-weekdays", "sun",
          "--include-date", "2001-03-10"}, 6, 1, 8000, 164},
        {{"2001-03-05", "2001-03-11", "--include-last", "--skip-date", "2001-03-06", "--skip-range",
          "2001-03-08:2001-03-09"}, 4, 3, 5000, 110},
        {{"2001-12-24", "2002-01-02", "--include-last", "--skip-holidays", "christmas,boxing-day,new-year"}, 7, 3, 10000, 192},
        {{"2001-03-05", "2001-03-11", "--include-last", "--skip-recurring", "07-03"}, 6, 1, 8000, 164},
        // Days per year: 360.
        {{"2001-01-01", "2001-01-31", "--include-last", "--days-per-year", "360"}, 31, 0, 44000, 833},
        // Dates typed in the entry format of the locale.
        {{"03/05/2001", "3/11/2001", "--include-last"}, 7, 0, 10000, 164},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args{"interval"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        args.push_back("--json");
        Outcome o = Clx(args);
        SCOPED_TRACE(::testing::PrintToString(args) + "\n" + o.err);
        ASSERT_EQ(o.code, 0);
        json j = o.Json();
        EXPECT_EQ(j["days"], c.days);
        EXPECT_EQ(j["skipped"], c.skipped);
        EXPECT_EQ(j["weeks_e4"], c.weeksE4);
        EXPECT_EQ(j["years_e4"], c.yearsE4);
        EXPECT_DOUBLE_EQ(j["weeks"].get<double>(), c.weeksE4 / 10000.0);
        if (c.yearsE4 == 0)
            EXPECT_TRUE(j["years"].is_null());
        else
            EXPECT_DOUBLE_EQ(j["years"].get<double>(), c.yearsE4 / 10000.0);
    }
}

TEST(ClxInterval, JsonHasTheRowsKeysInOrder) {
    Outcome o = Clx({"interval", "2001-01-01", "2001-01-31", "--include-last", "--json"});
    ASSERT_EQ(o.code, 0) << o.err;
    std::vector<std::string> keys;
    auto ordered = nlohmann::ordered_json::parse(o.out);
    for (auto& [k, v] : ordered.items()) keys.push_back(k);
    EXPECT_EQ(keys, (std::vector<std::string>{"first", "last", "effective_start", "effective_end", "days",
                                              "weeks", "years", "weeks_e4", "years_e4", "skipped",
                                              "comment", "sentence"}));
    json j = o.Json();
    EXPECT_EQ(j["first"], "2001-01-01");
    EXPECT_EQ(j["last"], "2001-01-31");
    EXPECT_EQ(j["effective_start"], "2001-01-01");
    EXPECT_EQ(j["effective_end"], "2001-01-31");
    EXPECT_EQ(j["comment"], "Inclusive");
    EXPECT_EQ(j["sentence"],
              "From Monday 1 January 2001 until Wednesday 31 January 2001 is 31 days or 4.4 weeks or "
              "0.082 years inclusive using normal method.");
}

TEST(ClxInterval, SkippedDaysShowInCommentAndSentence) {
    Outcome o = Clx({"interval", "2001-03-05", "2001-03-11", "--include-last", "--skip-weekdays", "sat,sun", "--json"});
    ASSERT_EQ(o.code, 0) << o.err;
    json j = o.Json();
    EXPECT_EQ(j["comment"], "2 days skipped");
    EXPECT_EQ(j["sentence"],
              "From Monday 5 March 2001 until Sunday 11 March 2001 is 5 days or 0.7 weeks or 0.013 years "
              "inclusive using normal method - however 2 days were skipped. There would have been 7 days "
              "if none were skipped.");
    // Effective dates follow the include flags: the first day excluded moves the start on.
    o = Clx({"interval", "2001-03-05", "2001-03-11", "--exclude-first", "--json"});
    ASSERT_EQ(o.code, 0) << o.err;
    EXPECT_EQ(o.Json()["effective_start"], "2001-03-06");
    EXPECT_EQ(o.Json()["effective_end"], "2001-03-10");
}

TEST(ClxInterval, TextUsesTheDisplayFormat) {
    Outcome o = Clx({"interval", "2001-03-05", "2001-03-11", "--include-last", "--skip-weekdays", "sat,sun"});
    ASSERT_EQ(o.code, 0) << o.err;
    EXPECT_NE(o.out.find("Days:       5\n"), std::string::npos) << o.out;
    EXPECT_NE(o.out.find("Weeks:      0.70\n"), std::string::npos) << o.out;
    EXPECT_NE(o.out.find("First day:  Mon 03/05/2001\n"), std::string::npos) << o.out;
    EXPECT_NE(o.out.find("Last day:   Sun 03/11/2001\n"), std::string::npos) << o.out;
    EXPECT_NE(o.out.find("Skipped:    2\n"), std::string::npos) << o.out;
    EXPECT_NE(o.out.find("From Monday 5 March 2001 until"), std::string::npos) << o.out;
}

TEST(ClxInterval, TheInjectedLocaleReadsAndWritesDates) {
    Outcome o = RunWith({"interval", "05.03.2001", "11.03.2001", "--include-last"}, German());
    ASSERT_EQ(o.code, 0) << o.err;
    EXPECT_NE(o.out.find("Days:       7\n"), std::string::npos) << o.out;
    EXPECT_NE(o.out.find("Weeks:      1,00\n"), std::string::npos) << o.out;
    EXPECT_NE(o.out.find("First day:  Mo 05.03.2001\n"), std::string::npos) << o.out;
    // JSON dates stay ISO whatever the locale.
    o = RunWith({"interval", "05.03.2001", "2001-03-11", "--json"}, German());
    ASSERT_EQ(o.code, 0) << o.err;
    EXPECT_EQ(o.Json()["first"], "2001-03-05");
}

// --- add ------------------------------------------------------------------------------------

TEST(ClxAdd, AddsPeriodsAndMovesPastSkippedDays) {
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"2001-01-31", "--months", "1"}, "2001-02-28"},
        {{"2000-02-29", "--years", "1"}, "2001-02-28"},
        {{"2001-01-31", "--months", "1", "--days", "1"}, "2001-03-01"},
        {{"2001-03-31", "--months", "1", "--subtract"}, "2001-02-28"},
        {{"2001-03-09", "--days", "1", "--skip-weekdays", "sat,sun"}, "2001-03-12"},
        {{"2001-03-08", "--days", "3", "--skip-weekdays", "sat,sun"}, "2001-03-13"},
        {{"2001-03-12", "--days", "1", "--subtract", "--skip-weekdays", "sat,sun"}, "2001-03-09"},
        {{"2001-03-12", "--days", "-3"}, "2001-03-09"},
        // A negative period moves back past skipped days, like the same period subtracted.
        {{"2001-03-12", "--days", "-3", "--skip-weekdays", "sat,sun"}, "2001-03-07"},
        {{"2001-03-07", "--days", "-3", "--subtract", "--skip-weekdays", "sat,sun"}, "2001-03-12"},
        {{"2001-03-12", "--months", "1", "--days", "-40", "--skip-weekdays", "sat,sun"}, "2001-02-22"},
        {{"2001-12-24", "--days", "1", "--skip-holidays", "christmas,boxing-day"}, "2001-12-27"},
        {{"2000-04-20", "--days", "1", "--skip-holidays", "good-friday"}, "2000-04-22"},
        {{"2001-03-09", "--days", "1", "--skip-weekdays", "sat,sun", "--include-date", "2001-03-10"}, "2001-03-10"},
        {{"2001-03-01", "--days", "1", "--skip-range", "2001-03-02:2001-03-05"}, "2001-03-06"},
        {{"2001-03-01", "--days", "1", "--skip-date", "2001-03-02", "--skip-date", "2001-03-03"}, "2001-03-04"},
        // A period of 0 lands on the next counted day when the start is skipped.
        {{"2001-03-10", "--skip-weekdays", "sat,sun"}, "2001-03-12"},
    };
    for (const auto& [args0, expected] : cases) {
        std::vector<std::string> args{"add"};
        args.insert(args.end(), args0.begin(), args0.end());
        args.push_back("--json");
        Outcome o = Clx(args);
        SCOPED_TRACE(::testing::PrintToString(args) + "\n" + o.err);
        ASSERT_EQ(o.code, 0);
        EXPECT_EQ(o.Json()["result"], expected);
        EXPECT_EQ(o.Json()["start"], args0[0]);
    }
    Outcome o = Clx({"add", "2001-03-09", "--days", "1", "--skip-weekdays", "sat,sun"});
    ASSERT_EQ(o.code, 0) << o.err;
    EXPECT_EQ(o.out, "Mon 03/12/2001\n");
}

TEST(ClxAdd, RulesThatLeaveNoDayToCountFail) {
    // Every weekday skipped: the extension gives up, and its date is no answer.
    Outcome o = Clx({"add", "2001-01-01", "--days", "10", "--skip-weekdays", "sun,mon,tue,wed,thu,fri,sat"});
    EXPECT_EQ(o.code, 1);
    EXPECT_NE(o.err.find("too few counted days"), std::string::npos) << o.err;
    EXPECT_TRUE(o.out.empty()) << o.out;
    // Inverted, only the Saturdays count: ten of them.
    o = Clx({"add", "2001-01-01", "--days", "10", "--skip-weekdays", "sat", "--invert", "--json"});
    ASSERT_EQ(o.code, 0) << o.err;
    EXPECT_EQ(o.Json()["result"], "2001-03-10");
}

TEST(ClxAdd, AResultOutsideTheCalendarFails) {
    for (const auto& args : std::vector<std::vector<std::string>>{
             {"add", "9999-12-31", "--days", "1"},
             {"add", "2001-01-01", "--years", "9000"},
             {"add", "0001-06-01", "--months", "6", "--subtract"}}) {
        Outcome o = Clx(args);
        SCOPED_TRACE(::testing::PrintToString(args));
        EXPECT_EQ(o.code, 1);
        EXPECT_NE(o.err.find("outside the calendar"), std::string::npos) << o.err;
        EXPECT_TRUE(o.out.empty());
    }
}

// --- series ---------------------------------------------------------------------------------

TEST(ClxSeries, SpansAndRepeats) {
    using Dates = std::vector<std::string>;
    const std::vector<std::pair<std::vector<std::string>, Dates>> cases = {
        {{"--first", "2004-01-31", "--final", "2004-05-31"},
         {"2004-01-31", "2004-02-29", "2004-03-31", "2004-04-30", "2004-05-31"}},
        {{"--first", "2004-01-15", "--final", "2004-04-15", "--frequency", "month-end"},
         {"2004-01-31", "2004-02-29", "2004-03-31"}},
        {{"--first", "2004-01-05", "--final", "2004-01-31", "--frequency", "weeks", "--units", "2", "--synch",
          "2004-01-16", "--always-first", "--always-last"},
         {"2004-01-05", "2004-01-16", "2004-01-30", "2004-01-31"}},
        {{"--first", "2004-02-29", "--repeats", "5", "--frequency", "years"},
         {"2004-02-29", "2005-02-28", "2006-02-28", "2007-02-28", "2008-02-29"}},
        {{"--first", "2004-05-15", "--repeats", "3", "--frequency", "6", "--units", "5"},
         {"2004-06-30", "2004-09-30", "2004-12-31"}},
        {{"--first", "2001-03-09", "--final", "2001-03-15", "--frequency", "days", "--skip-weekdays", "sat,sun"},
         {"2001-03-09", "2001-03-12", "2001-03-13", "2001-03-14", "2001-03-15"}},
        {{"--first", "2004-08-15", "--repeats", "2", "--frequency", "jun30"}, {"2005-06-30", "2006-06-30"}},
        {{"--first", "2004-08-15", "--repeats", "0"}, {}},
    };
    for (const auto& [args0, expected] : cases) {
        std::vector<std::string> args{"series"};
        args.insert(args.end(), args0.begin(), args0.end());
        args.push_back("--json");
        Outcome o = Clx(args);
        SCOPED_TRACE(::testing::PrintToString(args) + "\n" + o.err);
        ASSERT_EQ(o.code, 0);
        EXPECT_EQ(o.Json()["dates"].get<Dates>(), expected);
    }
    Outcome o = Clx({"series", "--first", "2004-01-31", "--repeats", "2"});
    ASSERT_EQ(o.code, 0) << o.err;
    EXPECT_EQ(o.out, "Sat 01/31/2004\nSun 02/29/2004\n");
}

// --- easter, julian, gregorian -------------------------------------------------------------

TEST(ClxEaster, PrintsTheClipboardTextExactly) {
    Outcome o = Clx({"easter", "2024", "3"});
    ASSERT_EQ(o.code, 0) << o.err;
    EXPECT_EQ(o.out, "Easter Sunday\r\nSun 03/31/2024, Sun 04/20/2025, Sun 04/05/2026, ");

    o = Clx({"easter", "2024", "10"});
    ASSERT_EQ(o.code, 0) << o.err;
    EXPECT_EQ(o.out,
              "Easter Sunday\r\n"
              "Sun 03/31/2024, Sun 04/20/2025, Sun 04/05/2026, Sun 03/28/2027, Sun 04/16/2028\r\n"
              "Sun 04/01/2029, Sun 04/21/2030, Sun 04/13/2031, Sun 03/28/2032, Sun 04/17/2033\r\n");

    o = Clx({"easter", "2000", "0"});
    ASSERT_EQ(o.code, 0) << o.err;
    EXPECT_EQ(o.out, "Easter Sunday\r\n");

    o = Clx({"easter", "2038", "--json"});
    ASSERT_EQ(o.code, 0) << o.err;
    json j = o.Json();
    EXPECT_EQ(j["text"], "Easter Sunday\r\nSun 04/25/2038, ");
    ASSERT_EQ(j["years"].size(), 1u);
    EXPECT_EQ(j["years"][0]["year"], 2038);
    EXPECT_EQ(j["years"][0]["ecclesiastic"], "2038-04-25");
    EXPECT_EQ(j["years"][0]["astronomic"], "2038-04-25");
}

TEST(ClxJulian, ConvertsBothWays) {
    struct Case {
        std::vector<std::string> args;
        double jd;
    };
    for (const Case& c : std::vector<Case>{{{"2000-01-01", "12:00:00"}, 2451545.0},
                                           {{"2000-01-01"}, 2451544.5},
                                           {{"2000-01-02", "06:00:00"}, 2451545.75},
                                           {{"1600-01-01", "00:00:00"}, 2305447.5}}) {
        std::vector<std::string> args{"julian"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        args.push_back("--json");
        Outcome o = Clx(args);
        SCOPED_TRACE(::testing::PrintToString(args) + "\n" + o.err);
        ASSERT_EQ(o.code, 0);
        EXPECT_DOUBLE_EQ(o.Json()["julian_date"].get<double>(), c.jd);
    }
    Outcome o = Clx({"julian", "2000-01-01"});
    EXPECT_EQ(o.out, "2451544.5\n");
    EXPECT_TRUE(o.err.empty());
    // Before 1753 the answer comes with the calendar note on stderr.
    o = Clx({"julian", "1700-03-01", "--json"});
    EXPECT_EQ(o.code, 0);
    EXPECT_DOUBLE_EQ(o.Json()["julian_date"].get<double>(), 2342031.5);
    EXPECT_NE(o.err.find("1753"), std::string::npos) << o.err;

    struct Back {
        std::string jd, date, time;
    };
    for (const Back& b : std::vector<Back>{{"2451545.0", "2000-01-01", "12:00:00"},
                                           {"2451545.75", "2000-01-02", "06:00:00"},
                                           {"2451545.25", "2000-01-01", "18:00:00"},
                                           {"2451544.5", "2000-01-01", "00:00:00"},
                                           {"2415019.0", "1899-12-30", "12:00:00"}}) {
        Outcome g = Clx({"gregorian", b.jd, "--json"});
        SCOPED_TRACE(b.jd + "\n" + g.err);
        ASSERT_EQ(g.code, 0);
        EXPECT_EQ(g.Json()["date"], b.date);
        EXPECT_EQ(g.Json()["time"], b.time);
    }
    o = Clx({"gregorian", "2451545.75"});
    EXPECT_EQ(o.out, "Sun 01/02/2000 06:00:00\n");
}

TEST(ClxJulian, OutOfRangeJulianDateIsABadDate) {
    for (const char* jd : {"2305447.4", "4000000"}) {
        Outcome o = Clx({"gregorian", jd});
        EXPECT_EQ(o.code, 1) << jd;
        EXPECT_EQ(o.err, "Bad Date!\n");
        EXPECT_TRUE(o.out.empty());
    }
}

// --- bad input and help ---------------------------------------------------------------------

TEST(ClxErrors, BadInputGetsOneLineNamingTheProblemAndExitTwo) {
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"interval", "2023-02-30", "2023-03-01"}, "2023-02-30"},
        {{"interval", "2023-01-01", "13/45/2023"}, "13/45/2023"},
        {{"interval", "2023-01-01"}, "TO"},
        {{"interval", "2023-01-01", "2023-02-01", "--bogus"}, "--bogus"},
        {{"interval", "2023-01-01", "2023-02-01", "--method", "banker"}, "banker"},
        {{"interval", "2023-01-01", "2023-02-01", "--method", "6"}, "method"},
        {{"interval", "2023-01-01", "2023-02-01", "--days-per-year", "365.2"}, "days per year"},
        {{"interval", "2023-01-01", "2023-02-01", "--method", "2", "--skip-weekdays", "sat"}, "normal method"},
        {{"interval", "1500-01-01", "2023-02-01", "--method", "actual/360"}, "1600"},
        {{"interval", "2023-01-01", "2023-02-01", "--skip-weekdays", "sat,sunday"}, "sunday"},
        {{"interval", "2023-01-01", "2023-02-01", "--skip-holidays", "easter"}, "holiday 'easter'"},
        {{"interval", "2023-01-01", "2023-02-01", "--skip-range", "2023-01-05"}, "--skip-range"},
        {{"interval", "2023-01-01", "2023-02-01", "--skip-range", "2023-01-05:2023-01-32"}, "2023-01-32"},
        {{"interval", "2023-01-01", "2023-02-01", "--skip-range", "2023-01-09:2023-01-05"}, "ends before"},
        {{"interval", "2023-01-01", "2023-02-01", "--skip-recurring", "31-02"}, "31-02"},
        {{"interval", "2023-01-01", "2023-02-01", "--skip-recurring", "25/12"}, "25/12"},
        {{"interval", "2023-01-01", "2023-02-01", "--skip-date", "yesterday"}, "yesterday"},
        {{"interval", "2023-01-01", "2023-02-01", "--invert"}, "--invert"},
        {{"add", "2023-01-01", "--days", "1.5"}, "--days"},
        {{"add", "2023-01-01", "--days", "0x10"}, "--days"},
        {{"add", "2023-01-01", "--months", "40000"}, "--months"},
        {{"add", "2023-01-01", "--years"}, "--years"},
        {{"series", "--first", "2023-01-01"}, "--repeats"},
        {{"series", "--first", "2023-01-01", "--final", "2023-05-01", "--repeats", "3"}, "--repeats"},
        {{"series", "--first", "2023-01-01", "--final", "2022-05-01"}, "--final"},
        {{"series", "--first", "2023-01-01", "--repeats", "3", "--frequency", "fortnightly"}, "fortnightly"},
        {{"series", "--first", "2023-01-01", "--repeats", "-1"}, "--repeats"},
        {{"series", "--first", "2023-01-01", "--repeats", "3", "--units", "0"}, "--units"},
        {{"series", "--first", "1850-01-01", "--final", "1850-12-31"}, "1900-01-01"},
        {{"easter", "1700"}, "FIRST_YEAR"},
        {{"easter", "2024", "501"}, "COUNT"},
        {{"easter", "twenty"}, "FIRST_YEAR"},
        {{"julian", "1599-12-31"}, "1600"},
        {{"julian", "2000-01-01", "25:00:00"}, "25:00:00"},
        {{"gregorian", "abc"}, "abc"},
        {{"frobnicate"}, "frobnicate"},
    };
    for (const auto& [args, needle] : cases) {
        Outcome o = Clx(args);
        SCOPED_TRACE(::testing::PrintToString(args));
        EXPECT_EQ(o.code, 2);
        EXPECT_TRUE(o.out.empty()) << o.out;
        EXPECT_NE(o.err.find(needle), std::string::npos) << o.err;
        ASSERT_FALSE(o.err.empty());
        EXPECT_EQ(o.err.find('\n'), o.err.size() - 1) << "one line: " << o.err;
    }
}

TEST(ClxHelp, EveryCommandHasHelp) {
    Outcome bare = Clx({});
    EXPECT_EQ(bare.code, 0);
    for (const char* name : {"interval", "add", "series", "easter", "julian", "gregorian"})
        EXPECT_NE(bare.out.find(name), std::string::npos) << name;
    EXPECT_EQ(Clx({"--help"}).out, bare.out);

    for (const char* name : {"interval", "add", "series", "easter", "julian", "gregorian"}) {
        Outcome o = Clx({name, "--help"});
        SCOPED_TRACE(name);
        EXPECT_EQ(o.code, 0);
        EXPECT_NE(o.out.find(std::string("clx ") + name), std::string::npos) << o.out;
        EXPECT_TRUE(o.err.empty());
    }
    Outcome interval = Clx({"interval", "--help"});
    for (const char* option : {"--method", "--exclude-first", "--include-last", "--days-per-year", "--json",
                               "Skip rules", "--skip-weekdays", "--skip-holidays", "--skip-date",
                               "--skip-range", "--skip-recurring", "--include-date", "--invert"})
        EXPECT_NE(interval.out.find(option), std::string::npos) << option;
}

// --- rules ----------------------------------------------------------------------------------

TEST(ClxRules, OptionsBecomeHeaderBitsAndTableRows) {
    Context ctx(Locale::Default(), "/opt/clx/Bin/clx");
    RuleOptions o;
    o.weekdays = {"sun", "Sat"};
    o.holidays = {"good-friday", "boxing-day"};
    o.dates = {"2001-03-06"};
    o.inclusions = {"03/10/2001"};
    o.ranges = {"2001-03-08:2001-03-09"};
    o.recurring = {"29-02"};
    SkipRules r = ReadRules(o, ctx);
    EXPECT_EQ(r.weekdays, (1 << 1) | (1 << 7));
    EXPECT_EQ(r.holidays, (1 << 1) | (1 << 5));
    ASSERT_EQ(r.inclusions.size(), 1u);
    EXPECT_EQ(r.inclusions[0], EncodeDate(2001, 3, 10));
    EXPECT_EQ(r.recurring, (std::vector<DayMonth>{{29, 2}}));

    auto set = BuildSkipSet(r, ctx);
    ASSERT_TRUE(set);
    EXPECT_TRUE(IsSkipActive(set.get()));
    EXPECT_FALSE(SkipInvert(set.get()));
    EXPECT_EQ(set->header.WeekdayBits(), r.weekdays);
    EXPECT_EQ(set->header.HolidayBits(), r.holidays);
    EXPECT_EQ(set->single.RecordCount(), 1);
    EXPECT_EQ(set->inclusions.RecordCount(), 1);
    EXPECT_EQ(set->ranges.RecordCount(), 1);
    EXPECT_EQ(set->recurring.RecordCount(), 1);
    auto day = [](int y, int m, int d) { return WholeDays(EncodeDate(y, m, d)); };
    EXPECT_FALSE(IsSkipDate(set.get(), day(2001, 3, 10)));   // included Saturday
    EXPECT_TRUE(IsSkipDate(set.get(), day(2001, 3, 11)));    // Sunday
    EXPECT_TRUE(IsSkipDate(set.get(), day(2001, 3, 6)));
    EXPECT_TRUE(IsSkipDate(set.get(), day(2001, 3, 9)));
    EXPECT_TRUE(IsSkipDate(set.get(), day(2004, 2, 29)));
    EXPECT_FALSE(IsSkipDate(set.get(), day(2001, 3, 7)));

    EXPECT_EQ(BuildSkipSet(ReadRules(RuleOptions{}, ctx), ctx), nullptr);
}

}  // namespace
}  // namespace clx::cli
