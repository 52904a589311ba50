#include "engine/intervalrow.h"

#include <cmath>
#include <stdexcept>

#include "platform/format.h"

namespace clx {

namespace {

bool IsCalendarDate(TDateTime d) {
    return std::isfinite(d) && d > kMinDateSerial - 1.0 && d < kMaxDateSerial + 1.0 &&
           IsValidSerial(WholeDays(d));
}

std::string DaysWord(int64_t n) { return n == 1 ? " day" : " days"; }

std::string Sentence(const IntervalResult& r, const std::string& weeksText, const std::string& yearsText,
                     int method, const Locale& loc) {
    std::string s = "From ";
    s += FormatDateTime(kIntervalSentenceDateFormat, r.effectiveStart, loc);
    s += " until ";
    s += FormatDateTime(kIntervalSentenceDateFormat, r.effectiveEnd, loc);
    s += " is " + std::to_string(r.days) + DaysWord(r.days);
    s += " or " + weeksText + " or " + yearsText + " inclusive";
    s += IntervalMethodText(method);
    if (r.skipped < 1) {
        s += ".";
    } else {
        const int64_t all = int64_t{r.days} + r.skipped;
        s += " - however " + std::to_string(r.skipped) + DaysWord(r.skipped) + " were skipped. There ";
        s += "would have been " + std::to_string(all) + DaysWord(all) + " if none were skipped.";
    }
    return s;
}

}  // namespace

std::string IntervalWeeksText(int64_t weeks, const Locale& loc) {
    if (weeks % 10000 != 0) return NumberText(weeks / 10000.0, 2, loc) + " weeks";
    if (weeks == 10000) return "1 week";
    return NumberText(weeks / 10000.0, 0, loc) + " weeks";
}

std::string IntervalYearsText(int64_t years, const Locale& loc) {
    if (years % 10000 != 0) return NumberText(years / 10000.0, 3, loc) + " years";
    if (years == 10000) return "1 year";
    return NumberText(years / 10000.0, 0, loc) + " years";
}

std::string IntervalMethodText(int method) {
    switch (method) {
        case cmNormal: return " using normal method";
        case cm30360US: return " using Financial - US (NASD) method";
        case cmActualActual: return " using Financial - Actual/actual method";
        case cmActual360: return " using Financial - Actual/360 method";
        case cmActual365: return " using Financial - Actual/365 method";
        case cm30E360: return " using Financial - European 30/360 method";
        default: return {};
    }
}

IntervalRowValues CalcIntervalRow(const IntervalRowInput& in, const Locale& loc) {
    if (in.method < cmNormal || in.method > cm30E360)
        throw std::invalid_argument("Unknown calculation method " + std::to_string(in.method));

    IntervalRowValues v;
    if (in.dFrom == 0 || in.dTo == 0 || !IsCalendarDate(in.dFrom) || !IsCalendarDate(in.dTo)) {
        const TDateTime from1600 = EncodeDate(1600, 1, 1);
        // An empty date stays empty rather than turning into 30 December 1899.
        auto effective = [&](TDateTime d) -> std::optional<TDateTime> {
            if (d != 0 && IsCalendarDate(d) && d > from1600) return d;
            return std::nullopt;
        };
        v.dFromI = effective(in.dFrom);
        v.dToI = effective(in.dTo);
        v.comments = v.commentsPlus = kIncompleteDataText;
        return v;
    }

    const IntervalResult r = IntervalCalc(in.method, in.dFrom, in.dTo, in.includeFirst, in.includeLast,
                                          in.daysPerYearType, 4, in.skip, in.invert);
    v.dFromI = r.effectiveStart;
    v.dToI = r.effectiveEnd;
    v.days = r.days;
    v.weeks = r.weeks / 10000.0;
    if (r.years != 0) v.years = r.years / 10000.0;
    v.skipped = r.skipped;
    v.comments = r.skipped > 0 ? std::to_string(r.skipped) + DaysWord(r.skipped) + " skipped" : "Inclusive";
    v.weeksText = IntervalWeeksText(r.weeks, loc);
    v.yearsText = IntervalYearsText(r.years, loc);
    v.commentsPlus = Sentence(r, v.weeksText, v.yearsText, in.method, loc);
    return v;
}

}  // namespace clx
