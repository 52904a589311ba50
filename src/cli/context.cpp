#include "cli/context.h"

#include <fmt/format.h>

#include "platform/format.h"

namespace clx::cli {

Context::Context(const Locale& locale, std::string programFile)
    : config_(std::move(programFile), locale) {
    config_.SetDateFormats(0);   // the system setting
}

TDateTime Context::ReadDate(std::string_view text, std::string_view what) const {
    if (auto iso = ParseIsoDate(text)) return *iso;
    // Only a text shaped like an ISO date is refused as such; others may be typed dates.
    bool isoShaped = text.size() == 10 && text[4] == '-' && text[7] == '-';
    if (!isoShaped) {
        if (auto typed = ParseDate(text, config_.DateEntryFormat(), Loc())) return *typed;
    }
    throw UsageError(fmt::format("{}: '{}' is not a valid date (use YYYY-MM-DD or {})", what,
                                 text, config_.DateEntryFormat()));
}

std::string Context::DisplayDate(TDateTime date) const {
    if (date == 0) return "-";
    return Format(config_.DateDisplayFormat(), date);
}

std::string Context::Format(std::string_view pattern, TDateTime value) const {
    return FormatDateTime(pattern, value, Loc());
}

std::string IsoDate(TDateTime date) {
    CivilDate c = DecodeDate(date);
    return fmt::format("{:04}-{:02}-{:02}", c.year, c.month, c.day);
}

Json JsonDate(TDateTime date) {
    if (date == 0) return nullptr;
    return IsoDate(date);
}

void CheckResultDate(TDateTime date) {
    if (!IsValidSerial(WholeDays(date)))
        throw Failure("the result lies outside the calendar (years 1 to 9999)");
}

std::string Plural(long long n, std::string_view one, std::string_view many) {
    return fmt::format("{} {}", n, n == 1 ? one : many);
}

std::string OneLine(std::string text) {
    for (char& c : text)
        if (c == '\n' || c == '\r') c = ' ';
    return text;
}

}  // namespace clx::cli
