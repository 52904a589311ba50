#pragma once
// What every clx command shares: the regional settings, the configuration's date formats, and
// reading and writing dates the way the command line wants them.
#include <nlohmann/json.hpp>
#include <stdexcept>
#include <string>
#include <string_view>

#include "app/config.h"
#include "platform/datetime.h"
#include "platform/locale.h"

namespace clx::cli {

using Json = nlohmann::ordered_json;

// Bad input on the command line (exit status 2); the message names what was wrong.
class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A well-formed request that has no answer (exit status 1).
class Failure : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A message on one line: line breaks become blanks.
std::string OneLine(std::string text);

class Context {
public:
    Context(const Locale& locale, std::string programFile);

    const Locale& Loc() const { return config_.GetLocale(); }
    const Config& Cfg() const { return config_; }

    // ISO YYYY-MM-DD, or a date typed in DateEntryFormat. `what` names the argument in the
    // error raised for anything that is not a real calendar date.
    TDateTime ReadDate(std::string_view text, std::string_view what) const;

    // A date in DateDisplayFormat; the empty date (0) gives "-".
    std::string DisplayDate(TDateTime date) const;
    std::string Format(std::string_view pattern, TDateTime value) const;

private:
    Config config_;
};

// "YYYY-MM-DD" of the whole day.
std::string IsoDate(TDateTime date);
// An ISO date, or null for the empty date (0).
Json JsonDate(TDateTime date);

// A result must be a date of the calendar (years 1 to 9999); raises Failure otherwise.
void CheckResultDate(TDateTime date);

// "1 day", "2 days".
std::string Plural(long long n, std::string_view one, std::string_view many);

}  // namespace clx::cli
