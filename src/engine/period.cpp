#include "engine/period.h"

#include <algorithm>
#include <climits>
#include <cmath>

#include "engine/interval.h"
#include "engine/skipset.h"

namespace clx {

namespace {

// Year and month with the month moved into 1..12.
void NormaliseMonth(int64_t& y, int64_t& m) {
    if (m > 12) {
        y += (m - 1) / 12;
        m = (m - 1) % 12 + 1;
    } else if (m <= 0) {
        const int64_t k = -m / 12 + 1;
        y -= k;
        m += 12 * k;
    }
}

TDateTime Encode(int64_t y, int64_t m, int64_t d) {
    if (y < kMinYear || y > kMaxYear || d < 1 || d > 31) return 0;
    if (auto v = TryEncodeDate(int(y), int(m), int(d))) return *v;
    return 0;
}

std::optional<CivilDate> CivilOf(TDateTime date) {
    if (!(date > kMinDateSerial - 1.0 && date < kMaxDateSerial + 1.0)) return std::nullopt;
    return DecodeDate(date);
}

int ClampInt(int64_t v) { return int(std::clamp<int64_t>(v, INT_MIN, INT_MAX)); }

template <class CountDays>
TDateTime Extend(TDateTime date, int years, int months, int days, bool subtract, const SkipSet* skip,
                 CountDays countDays) {
    const int64_t s = subtract ? -1 : 1;
    TDateTime r = date + static_cast<double>(s * days);
    if (months != 0) {
        const auto before = CivilOf(r);
        r = AddMonths(ClampInt(s * months), r);
        // A month step that leaves the calendar gives the empty date; the year step and the
        // skip extension must not turn that back into a real (and wrong) date.
        if (r == 0 && before) {
            const int64_t target = int64_t{before->year} * 12 + (before->month - 1) + s * months;
            if (target != int64_t{1899} * 12 + 11) return 0;
        }
    }
    if (years != 0) {
        const auto before = CivilOf(r);
        r = AddYears(static_cast<double>(s * years), r);
        if (r == 0 && (!before || before->year + s * years != 1899)) return 0;
    }
    if (!IsSkipActive(skip)) return r;
    // Adding counts the days after the start up to the result, subtracting the result up to
    // the day before the start.
    const bool includeFirst = subtract, includeLast = !subtract;
    const int32_t target = countDays(r, includeFirst, includeLast, nullptr);
    for (int pass = 0; pass < kMaxPeriodPasses; ++pass) {
        const int32_t counted = countDays(r, includeFirst, includeLast, skip);
        if (counted == target) break;
        const double shortfall = static_cast<double>(int64_t{target} - counted);
        r += subtract ? -shortfall : shortfall;
    }
    return r;
}

}  // namespace

TDateTime SafeEncodeDate(int year, int month, int day) {
    if (year <= 0) return 0;
    int64_t y = year, m = month;
    NormaliseMonth(y, m);
    if (m == 2 && day == 29 && y >= kMinYear && y <= kMaxYear && !IsLeapYear(int(y))) day = 28;
    if (day == 0) return 0;
    return Encode(y, m, day);
}

TDateTime AddMonthsClip(int day, int months, TDateTime date) {
    if (months == 0) return date;
    const auto c = CivilOf(date);
    if (!c) return 0;
    int64_t y = c->year, m = int64_t{c->month} + months;
    NormaliseMonth(y, m);
    if (y < kMinYear || y > kMaxYear) return 0;
    return SafeEncodeDate(int(y), int(m), std::min(day, DaysInMonth(int(y), int(m))));
}

TDateTime AddMonths(int months, TDateTime date) {
    if (months == 0) return date;
    const auto c = CivilOf(date);
    if (!c) return 0;
    return AddMonthsClip(c->day, months, date);
}

TDateTime AddYears(double years, TDateTime date) {
    if (years == 0) return date;
    if (!std::isfinite(years)) return 0;
    if (years != std::trunc(years)) return date + std::trunc(years * 365.25);
    const auto c = CivilOf(date);
    if (!c || std::fabs(years) > 2 * kMaxYear) return 0;
    return SafeEncodeDate(c->year + int(years), c->month, c->day);
}

TDateTime AddPeriod(TDateTime date, int years, int months, int days, bool subtract, const SkipSet* skip,
                    bool invert, int /*daysPerYearType: only the day counts matter*/) {
    return Extend(date, years, months, days, subtract, skip, [&](TDateTime r, bool first, bool last, const SkipSet* set) {
        return IntervalDays(date, r, first, last, set, invert);
    });
}

TDateTime AddPeriodDayByDay(TDateTime date, int years, int months, int days, bool subtract,
                            const SkipSet* skip, bool invert, int daysPerYearType) {
    return Extend(date, years, months, days, subtract, skip, [&](TDateTime r, bool first, bool last, const SkipSet* set) {
        return IntervalCalcDayByDay(cmNormal, date, r, first, last, daysPerYearType, 4, set, invert).days;
    });
}

TDateTime MathRowEnd(TDateTime from, int years, int months, int days, const SkipSet* skip, bool invert,
                     int daysPerYearType) {
    return AddPeriod(from, years, months, days, false, skip, invert, daysPerYearType);
}

}  // namespace clx
