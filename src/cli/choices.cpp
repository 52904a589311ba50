#include "cli/choices.h"

#include <algorithm>
#include <charconv>
#include <fmt/format.h>

#include "cli/context.h"
#include "engine/skipset.h"
#include "platform/text.h"

namespace clx::cli {

namespace {


}  // namespace

int ReadChoice(std::string_view text, const std::vector<Choice>& choices, std::string_view what,
               bool numbersAllowed) {
    for (const Choice& c : choices)
        if (SameTextNoCase(text, c.name)) return c.value;
    if (numbersAllowed) {
        int n = 0;
        auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), n);
        if (ec == std::errc() && end == text.data() + text.size() && !text.empty()) {
            for (const Choice& c : choices)
                if (c.value == n) return n;
        }
    }
    std::string range;
    if (numbersAllowed && !choices.empty()) {
        auto [lo, hi] = std::minmax_element(choices.begin(), choices.end(),
                                            [](const Choice& a, const Choice& b) { return a.value < b.value; });
        range = fmt::format(", or {}-{}", lo->value, hi->value);
    }
    throw UsageError(fmt::format("unknown {} '{}' (use {}{})", what, text, ChoiceNames(choices), range));
}

std::string ChoiceNames(const std::vector<Choice>& choices) {
    std::string s;
    for (const Choice& c : choices) {
        if (!s.empty()) s += ", ";
        s += c.name;
    }
    return s;
}

const std::vector<Choice>& MethodChoices() {
    static const std::vector<Choice> v{{"normal", 0},     {"30/360-us", 1},  {"actual/actual", 2},
                                       {"actual/360", 3}, {"actual/365", 4}, {"30e/360", 5}};
    return v;
}

const std::vector<Choice>& DaysPerYearChoices() {
    static const std::vector<Choice> v{
        {"average", 0}, {"365.25", 1}, {"366", 2}, {"365", 3}, {"360", 4}};
    return v;
}

const std::vector<Choice>& FrequencyChoices() {
    static const std::vector<Choice> v{
        {"none", 0},       {"days", 1},         {"weeks", 2},           {"months", 3},
        {"years", 4},      {"month-end", 5},    {"quarter-end", 6},     {"bimonth-end", 7},
        {"half-year-end", 8}, {"dec31", 9},     {"jun30", 10}};
    return v;
}

const std::vector<Choice>& WeekdayChoices() {
    static const std::vector<Choice> v{{"sun", 1}, {"mon", 2}, {"tue", 3}, {"wed", 4},
                                       {"thu", 5}, {"fri", 6}, {"sat", 7}};
    return v;
}

const std::vector<Choice>& HolidayChoices() {
    static const std::vector<Choice> v{{"easter-sunday", hdEasterSunday}, {"good-friday", hdGoodFriday},
                                       {"easter-monday", hdEasterMonday}, {"christmas", hdChristmas},
                                       {"new-year", hdNewYear},           {"boxing-day", hdBoxingDay}};
    return v;
}

}  // namespace clx::cli
