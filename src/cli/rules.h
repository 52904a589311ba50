#pragma once
// Skip rules given on the command line, and the skip set they build.
#include <CLI/CLI.hpp>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "cli/context.h"
#include "engine/skipset.h"

namespace clx::cli {

// The rule options as typed.
struct RuleOptions {
    std::string skipFile;
    std::vector<std::string> weekdays, holidays, dates, ranges, recurring, inclusions;
    bool invert = false;
};

// Adds --skip-file, --skip-weekdays, --skip-holidays, --skip-date, --skip-range,
// --skip-recurring, --include-date and --invert to a command, under the heading "Skip rules".
void AddRuleOptions(CLI::App& command, RuleOptions& options);

struct DayMonth {
    int day = 0, month = 0;
    friend bool operator==(const DayMonth&, const DayMonth&) = default;
};
struct DateRange {
    TDateTime from = 0, to = 0;
    friend bool operator==(const DateRange&, const DateRange&) = default;
};

// The rules read and checked: a skip-date file's rules, and header bits and rows of the four
// rule tables that add to them.
struct SkipRules {
    std::shared_ptr<const SkipSet> file;
    uint8_t weekdays = 0;   // bit n = weekday n, Sunday = 1
    uint8_t holidays = 0;   // the holiday flags of the skip header
    std::vector<TDateTime> dates, inclusions;
    std::vector<DateRange> ranges;
    std::vector<DayMonth> recurring;
    bool invert = false;

    bool Empty() const {
        return !file && weekdays == 0 && holidays == 0 && dates.empty() && inclusions.empty() &&
               ranges.empty() && recurring.empty();
    }
};

// Raises UsageError for a name, date, range or day that cannot be read, and for a skip-date
// file that is missing or damaged.
SkipRules ReadRules(const RuleOptions& options, const Context& ctx);

// Reads a whole skip-date file (folder macros such as <DAT> allowed); raises UsageError,
// starting with `what`, when it is missing, unreadable or damaged in any part.
std::unique_ptr<SkipSet> ReadSkipFile(std::string_view fileName, const Context& ctx, std::string_view what);

// An active skip set holding the rules (the file's, then the others added); null when no
// rule was given.
std::unique_ptr<SkipSet> BuildSkipSet(const SkipRules& rules, const Context& ctx);

}  // namespace clx::cli
