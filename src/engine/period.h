#pragma once
// Period arithmetic: adding or subtracting years, months and days to a date, extended past the
// days a skip set leaves out.
#include "platform/datetime.h"

namespace clx {

class SkipSet;

// The passes AddPeriod makes at most to reach the plain period's count of days.
inline constexpr int kMaxPeriodPasses = 251;

// 0 when the date cannot be built; the month is normalised into the year, 29 February of a
// common year becomes 28 February.
TDateTime SafeEncodeDate(int year, int month, int day);
// Moves the month by months; the day is the smaller of day and the month's length.
// months 0 returns date unchanged (time of day included).
TDateTime AddMonthsClip(int day, int months, TDateTime date);
TDateTime AddMonths(int months, TDateTime date);
// Whole years keep month and day (29 February may become 28); a fractional number adds
// trunc(years * 365.25) days.
TDateTime AddYears(double years, TDateTime date);

// date + days, then months, then years (all negated when subtract); with an active skip set
// the result moves on (later when adding, earlier when subtracting) until the period holds as
// many counted days as the plain one, in at most kMaxPeriodPasses passes. Each pass is O(1)
// through the set's index.
TDateTime AddPeriod(TDateTime date, int years, int months, int days, bool subtract,
                    const SkipSet* skip, bool invert, int daysPerYearType);
// The same by counting every pass day by day (the reference for tests and benchmarks).
TDateTime AddPeriodDayByDay(TDateTime date, int years, int months, int days, bool subtract,
                            const SkipSet* skip, bool invert, int daysPerYearType);

// The end date of a Math row: the period added to its start.
TDateTime MathRowEnd(TDateTime from, int years, int months, int days, const SkipSet* skip,
                     bool invert, int daysPerYearType);

}  // namespace clx
