#pragma once
// The calculated fields of one Interval sheet row: days, weeks, years, the effective dates
// and the two explanatory texts.
#include <cstdint>
#include <optional>
#include <string>

#include "engine/interval.h"
#include "platform/datetime.h"
#include "platform/locale.h"

namespace clx {

class SkipSet;

inline constexpr const char* kIncompleteDataText = "Incomplete Data";
// The dates of the sentence under the grid.
inline constexpr const char* kIntervalSentenceDateFormat = "dddd d mmmm yyyy";
// Field sizes of Comments and CommentsPlus (the table cuts longer texts).
inline constexpr int kIntervalCommentsSize = 64;
inline constexpr int kIntervalCommentsPlusSize = 300;

struct IntervalRowInput {
    TDateTime dFrom = 0;            // 0: empty
    TDateTime dTo = 0;              // 0: empty
    bool includeFirst = true;
    bool includeLast = false;
    int method = cmNormal;          // CalcMethod
    int daysPerYearType = 1;        // from the options
    const SkipSet* skip = nullptr;  // the calculator skip set (applied when active)
    bool invert = false;            // the "Invert" check box
};

// What the row receives; an empty optional is a null field.
struct IntervalRowValues {
    std::optional<TDateTime> dFromI, dToI;   // effective first and last day
    std::optional<int32_t> days;
    std::optional<double> weeks;
    std::optional<double> years;             // null when 0
    int32_t skipped = 0;
    std::string comments;                    // "Inclusive" or "2 days skipped"
    std::string commentsPlus;                // the sentence
    std::string weeksText, yearsText;        // as inside the sentence; empty for incomplete data
};

// An empty date, or one that is not a date of the calendar, gives "Incomplete Data". Throws
// std::invalid_argument for a method outside 0..5.
IntervalRowValues CalcIntervalRow(const IntervalRowInput& in, const Locale& loc);

// "1 week", "4 weeks", "4.4 weeks" (weeks held times 10000).
std::string IntervalWeeksText(int64_t weeks, const Locale& loc);
// "1 year", "2 years", "0.082 years" (cut to three decimals; years held times 10000).
std::string IntervalYearsText(int64_t years, const Locale& loc);
// " using normal method" ... " using Financial - European 30/360 method"; empty when unknown.
std::string IntervalMethodText(int method);

}  // namespace clx
