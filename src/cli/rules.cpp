#include "cli/rules.h"

#include <charconv>
#include <filesystem>
#include <fmt/format.h>

#include "cli/choices.h"
#include "files/skipfile.h"
#include "platform/datetime.h"

namespace clx::cli {

namespace {

// One or two digits, the whole text.
bool ReadSmallNumber(std::string_view text, int& n) {
    if (text.empty() || text.size() > 2) return false;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), n);
    return ec == std::errc() && end == text.data() + text.size();
}

DayMonth ReadDayMonth(std::string_view text) {
    auto dash = text.find('-');
    DayMonth dm;
    if (dash == std::string_view::npos || !ReadSmallNumber(text.substr(0, dash), dm.day) ||
        !ReadSmallNumber(text.substr(dash + 1), dm.month))
        throw UsageError(fmt::format("--skip-recurring: '{}' is not a day and month (use DD-MM)", text));
    // Checked against a leap year, so that 29-02 is allowed.
    if (dm.month < 1 || dm.month > 12 || dm.day < 1 || dm.day > DaysInMonth(2000, dm.month))
        throw UsageError(fmt::format("--skip-recurring: '{}' is not a day of the year", text));
    return dm;
}

DateRange ReadRange(std::string_view text, const Context& ctx) {
    auto colon = text.find(':');
    if (colon == std::string_view::npos || text.find(':', colon + 1) != std::string_view::npos)
        throw UsageError(fmt::format("--skip-range: '{}' is not a range (use FROM:TO)", text));
    DateRange r{ctx.ReadDate(text.substr(0, colon), "--skip-range"),
                ctx.ReadDate(text.substr(colon + 1), "--skip-range")};
    if (r.to < r.from)
        throw UsageError(fmt::format("--skip-range: '{}' ends before it starts", text));
    return r;
}

}  // namespace

void AddRuleOptions(CLI::App& command, RuleOptions& o) {
    const std::string group = "Skip rules";
    command.add_option("--skip-file", o.skipFile,
                       "Skip the dates of this skip-date file; the other skip rules add to it")
        ->allow_extra_args(false)->type_name("FILE.skx")->group(group);
    command.add_option("--skip-weekdays", o.weekdays, "Skip these weekdays: " + ChoiceNames(WeekdayChoices()))
        ->delimiter(',')->allow_extra_args(false)->type_name("LIST")->group(group);
    command.add_option("--skip-holidays", o.holidays, "Skip these holidays: " + ChoiceNames(HolidayChoices()))
        ->delimiter(',')->allow_extra_args(false)->type_name("LIST")->group(group);
    command.add_option("--skip-date", o.dates, "Skip this date (repeatable)")
        ->allow_extra_args(false)->type_name("DATE")->group(group);
    command.add_option("--skip-range", o.ranges, "Skip every day from FROM to TO (repeatable)")
        ->allow_extra_args(false)->type_name("FROM:TO")->group(group);
    command.add_option("--skip-recurring", o.recurring, "Skip this day of every year (repeatable)")
        ->allow_extra_args(false)->type_name("DD-MM")->group(group);
    command.add_option("--include-date", o.inclusions, "Never skip this date (repeatable)")
        ->allow_extra_args(false)->type_name("DATE")->group(group);
    command.add_flag("--invert", o.invert, "Count only the days the rules name")->group(group);
}

std::unique_ptr<SkipSet> ReadSkipFile(std::string_view fileName, const Context& ctx, std::string_view what) {
    if (fileName.empty()) throw UsageError(fmt::format("{}: no file name given", what));
    auto set = CreateSkipSet(std::make_shared<SkipFileRef>(), ctx.Cfg().DateEntryFormat());
    const std::string path = ctx.Cfg().ExpandPathMacros(fileName);
    SkipReadReport report;
    if (!LoadSkipFile(path, set.get(), nullptr, &report)) {
        std::error_code ec;
        if (!std::filesystem::is_regular_file(path, ec))
            throw UsageError(fmt::format("{}: '{}' does not exist or is not a file", what, fileName));
        throw UsageError(fmt::format("{}: '{}' cannot be read ({})", what, fileName, report.fileError));
    }
    // A calculation on half a rule set would give a plausible but wrong answer.
    if (!report.Complete())
        throw UsageError(fmt::format("{}: '{}' is not a whole skip-date file ({})", what, fileName, report.Summary()));
    return set;
}

SkipRules ReadRules(const RuleOptions& o, const Context& ctx) {
    SkipRules r;
    if (!o.skipFile.empty()) r.file = ReadSkipFile(o.skipFile, ctx, "--skip-file");
    for (const auto& w : o.weekdays)
        r.weekdays |= uint8_t(1u << ReadChoice(w, WeekdayChoices(), "weekday", false));
    for (const auto& h : o.holidays)
        r.holidays |= uint8_t(1u << ReadChoice(h, HolidayChoices(), "holiday", false));
    for (const auto& d : o.dates) r.dates.push_back(ctx.ReadDate(d, "--skip-date"));
    for (const auto& d : o.inclusions) r.inclusions.push_back(ctx.ReadDate(d, "--include-date"));
    for (const auto& s : o.ranges) r.ranges.push_back(ReadRange(s, ctx));
    for (const auto& s : o.recurring) r.recurring.push_back(ReadDayMonth(s));
    r.invert = o.invert;
    // Inverting no rules would count no day at all: surely not what was meant.
    if (r.invert && r.Empty()) throw UsageError("--invert needs at least one skip rule");
    return r;
}

std::unique_ptr<SkipSet> BuildSkipSet(const SkipRules& rules, const Context& ctx) {
    if (rules.Empty()) return nullptr;
    auto ref = std::make_shared<SkipFileRef>();
    ref->invert = rules.invert;
    auto set = CreateSkipSet(ref, ctx.Cfg().DateEntryFormat());
    if (rules.file) {
        CopySkipSet(rules.file.get(), set.get());
        set->ref = ref;   // the copy shares the file's reference; the invert flag is ours
    }
    set->header.SetWeekdayBits(uint8_t(set->header.WeekdayBits() | rules.weekdays));
    set->header.SetHolidayBits(uint8_t(set->header.HolidayBits() | rules.holidays));
    for (const DayMonth& dm : rules.recurring) {
        set->recurring.Append();
        set->recurring.FieldByName("Day").SetInteger(dm.day);
        set->recurring.FieldByName("Month").SetInteger(dm.month);
        set->recurring.FieldByName("Use").SetBoolean(true);
        set->recurring.Post();
    }
    auto addDates = [](MemTable& table, const std::vector<TDateTime>& dates) {
        for (TDateTime d : dates) {
            table.Append();
            table.FieldByName("Date").SetDateTime(d);
            table.FieldByName("Use").SetBoolean(true);
            table.Post();
        }
    };
    addDates(set->single, rules.dates);
    addDates(set->inclusions, rules.inclusions);
    for (const DateRange& r : rules.ranges) {
        set->ranges.Append();
        set->ranges.FieldByName("DFrom").SetDateTime(r.from);
        set->ranges.FieldByName("DTo").SetDateTime(r.to);
        set->ranges.FieldByName("Use").SetBoolean(true);
        set->ranges.Post();
    }
    set->active = true;
    return set;
}

}  // namespace clx::cli
