#pragma once
// The named choices of the command line: each is a name or the number it stands for.
#include <string>
#include <string_view>
#include <vector>

namespace clx::cli {

struct Choice {
    std::string_view name;
    int value;
};

// The value of `text`, given as one of the names (any case) or as a number from the values;
// raises UsageError naming `what` and listing the names otherwise.
int ReadChoice(std::string_view text, const std::vector<Choice>& choices, std::string_view what,
               bool numbersAllowed = true);

const std::vector<Choice>& MethodChoices();        // normal, 30/360-us, ... 0-5
const std::vector<Choice>& DaysPerYearChoices();   // average, 365.25, 366, 365, 360 = 0-4
const std::vector<Choice>& FrequencyChoices();     // none, days, ... jun30 = 0-10
const std::vector<Choice>& WeekdayChoices();       // sun = 1 ... sat = 7
const std::vector<Choice>& HolidayChoices();       // bit numbers of the holiday flags

// "a, b, c" of the names, for help texts and errors.
std::string ChoiceNames(const std::vector<Choice>& choices);

}  // namespace clx::cli
