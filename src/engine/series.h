#pragma once
// Recurring date series: the frequency type, the single step that moves a date by a number of
// frequency units, the calendar anchors of the end-of-period frequencies, and the generators
// that turn a series request into a sorted list of distinct days.
#include <cstdint>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "platform/datetime.h"
#include "platform/locale.h"

namespace clx {

class SkipSet;

// Stored in one byte (document header, lookup values).
enum TFrequency : uint8_t {
    fqNone = 0,
    fqNDay = 1,
    fqNWeek = 2,
    fqNMonth = 3,
    fqNYear = 4,
    fqCalMonth = 5,
    fqQuarter = 6,
    fq2Month = 7,
    fqHalfYear = 8,
    fqCalYear = 9,
    fqFinYear = 10,
};
inline constexpr int kFrequencyCount = 11;
inline constexpr int kMaxFrequencyTextLength = 48;   // characters

// The display texts in value order; values 6 to 10 are built from the locale's month names.
std::vector<std::string> FrequencyTexts(const Locale& loc);

// Only these frequencies look at skipped dates.
bool IsSkippingFrequency(TFrequency f);

// The message every failed step surfaces with.
inline constexpr const char* kFrequencyTroubleText = "Trouble in QdkAddFrequency";

// Raised by the series routines. Detail() says what went wrong underneath (the message of a
// failed step is always kFrequencyTroubleText).
class SeriesError : public std::runtime_error {
public:
    explicit SeriesError(const std::string& message, std::string detail = {})
        : std::runtime_error(message), detail_(std::move(detail)) {}
    const std::string& Detail() const { return detail_; }

private:
    std::string detail_;
};

// Calendar anchors; each takes the year and month of its argument and returns midnight.
TDateTime EndCalMonth(TDateTime date);   // last day of the month
TDateTime EndQtr(TDateTime date);        // last day of March, June, September or December
TDateTime EndBiMonth(TDateTime date);    // last day of Feb, Apr, Jun, Aug, Oct or Dec
TDateTime EndHalfYr(TDateTime date);     // 30 June for months 1-6, else 31 December
TDateTime EndCalYear(TDateTime date);    // 31 December of the year
TDateTime EndFinYear(TDateTime date);    // 30 June of the financial year holding the date

// Moves date by n units of the frequency (n may be 0 or negative). anchor gives the day of
// month for fqNMonth (0: the date's own). skip is used by the skipping frequencies only, with
// its own invert flag; the caller passes it only when it is active. fqNone and unknown values
// give 0. Any failure, including a result outside the calendar (years 1 to 9999), raises
// SeriesError(kFrequencyTroubleText).
TDateTime QdkAddFrequency(TFrequency f, int n, TDateTime date, TDateTime anchor, const SkipSet* skip,
                          int daysPerYearType);

inline constexpr uint8_t kSeriesSpan = 0;      // all dates from FirstDate to FinalDate
inline constexpr uint8_t kSeriesRepeats = 1;   // RepeatCount dates from FirstDate

struct SeriesRequest {
    uint8_t style = kSeriesSpan;
    TFrequency frequency = fqNone;
    int32_t units = 1;             // its absolute value is used
    TDateTime firstDate = 0;
    TDateTime finalDate = 0;       // span style only
    TDateTime synchDate = 0;       // 0 when not given
    bool alwaysFirst = false;      // span style: list FirstDate even when not a series date
    bool alwaysLast = false;       // span style: list FinalDate even when not a series date
    int32_t repeatCount = 0;       // repeats style
    const SkipSet* skip = nullptr; // the rules in force, or none
};

// Units forced to 1 for fqNone and the end-of-period frequencies above fqCalMonth, then made
// non-negative.
SeriesRequest NormaliseSeriesRequest(SeriesRequest req);

// The whole days of the series, ascending and distinct (empty for an empty request). Raises
// SeriesError: kFrequencyTroubleText when a step fails (a repeat beyond 31 December 9999
// included), or a message naming the field when the request holds an impossible date, style
// or frequency. A span walk simply ends at the calendar's end.
std::vector<TDateTime> GenerateSeriesDates(SeriesRequest req, int daysPerYearType);
// The same with every skip-aware step counted day by day (the reference for tests and
// benchmarks).
std::vector<TDateTime> GenerateSeriesDatesDayByDay(SeriesRequest req, int daysPerYearType);

// The signature of AddPeriod and AddPeriodDayByDay.
using PeriodAdder = TDateTime (*)(TDateTime date, int years, int months, int days, bool subtract,
                                  const SkipSet* skip, bool invert, int daysPerYearType);
std::vector<TDateTime> GenerateSeriesDatesWith(SeriesRequest req, int daysPerYearType, PeriodAdder add);

}  // namespace clx
