#pragma once
// Day counting between two dates: normal counting with skip dates, the financial day-count
// conventions, and the small numeric routines that turn counts into fixed-point values and texts.
#include <cstdint>
#include <string>

#include "platform/datetime.h"
#include "platform/locale.h"

namespace clx {

class SkipSet;

enum CalcMethod {
    cmNormal = 0,
    cm30360US = 1,
    cmActualActual = 2,
    cmActual360 = 3,
    cmActual365 = 4,
    cm30E360 = 5,
};

// Weeks and years are held times 10000 (four decimal places).
struct IntervalResult {
    TDateTime effectiveStart = 0, effectiveEnd = 0;
    int32_t days = 0;
    int64_t weeks = 0, years = 0;
    int32_t skipped = 0;
    friend bool operator==(const IntervalResult&, const IntervalResult&) = default;
};

// Dates whose whole days lie beyond +-kMaxWorkDay (or that are not finite) cannot be counted:
// the calculations that get one return what they computed before it (all zero for the dates
// given to BasicInterval / IntervalCalc). Days outside the calendar (years 1..9999) but inside
// that bound are counted; no skip rule names them.
inline constexpr int32_t kMaxWorkDay = 1000000000;

// The normal count without method and without skipping (the first step of IntervalCalc).
IntervalResult BasicInterval(TDateTime first, TDateTime second, bool includeFirst, bool includeLast,
                             int daysPerYearType);

// method: CalcMethod; skip: a skip set or null (applied only when active, method 0 only);
// invert: count the days the rules name instead of the days they leave.
// Counts through the set's compiled index: O(1) once the years are indexed.
IntervalResult IntervalCalc(int method, TDateTime first, TDateTime second, bool includeFirst,
                            bool includeLast, int daysPerYearType, int yearsDecimals,
                            const SkipSet* skip, bool invert);
// The same result by testing every day with IsSkipDateDayByDay (the reference for tests and
// benchmarks; moves the rule tables' current rows).
IntervalResult IntervalCalcDayByDay(int method, TDateTime first, TDateTime second, bool includeFirst,
                                    bool includeLast, int daysPerYearType, int yearsDecimals,
                                    const SkipSet* skip, bool invert);

// The days of IntervalCalc (cmNormal, ...) alone: what period arithmetic counts on each pass.
int32_t IntervalDays(TDateTime first, TDateTime second, bool includeFirst, bool includeLast,
                     const SkipSet* skip, bool invert);

// Days per year for expressing days as years: type 0 averages the calendar years spanned
// (365.25 when a date lies on or before day 1000 or after the calendar's end), 1 365.25,
// 2 366, 3 365, 4 360 (any other type: 365.25).
double DaysPerYear(int type, TDateTime start, TDateTime end);
int DaysInYear(int year);

// Cuts (never rounds) after n decimals; n <= 0 leaves the value unchanged.
double TruncDecimals(double value, int n);
// At most 15 significant digits with the locale's decimal separator, cut to |n| decimals
// (n < 0 also drops trailing zeros and a trailing separator); "0" for NaN and infinities.
std::string NumberText(double value, int n, const Locale& loc);
// NumberText, padded with zeros to exactly n decimals when n > 0.
std::string DecimalText(double value, int n, const Locale& loc);

// Rounds to the nearest integer, ties to even.
int64_t RoundHalfEven(double value);

}  // namespace clx
