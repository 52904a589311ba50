#include "engine/interval.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <utility>

#include "engine/skipset.h"

namespace clx {

namespace {

// The whole day of a date, when it is one the counting can work with.
bool TakeDay(TDateTime d, int32_t& out) {
    if (!(d > -kMaxWorkDay - 1.0 && d < kMaxWorkDay + 1.0)) return false;  // NaN too
    out = static_cast<int32_t>(d);  // truncates toward zero
    return true;
}

// Civil date of a serial in the calendar (the counting calls this a few times per interval,
// so it skips DecodeDate's checks).
CivilDate CivilOfSerial(int32_t serial) {
    const int z = serial + 693899;  // days since 0000-03-01
    const int era = (z >= 0 ? z : z - 146096) / 146097;
    const int doe = z - era * 146097;
    const int yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const int mp = (5 * doy + 2) / 153;
    const int d = doy - (153 * mp + 2) / 5 + 1;
    const int m = mp < 10 ? mp + 3 : mp - 9;
    return {yoe + era * 400 + (m <= 2), m, d};
}

int YearOfSerial(int32_t serial) {
    const int z = serial + 693899;
    const int era = (z >= 0 ? z : z - 146096) / 146097;
    const int doe = z - era * 146097;
    const int yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    return yoe + era * 400 + (doy >= 306);  // the year counted from March: January and February belong to the next
}

std::optional<CivilDate> Civil(int32_t day) {
    if (!IsValidSerial(day)) return std::nullopt;
    return CivilOfSerial(day);
}

// TruncDecimals(days / 7, 1) * 10000 for a count of days >= 0: days / 7 never comes within
// the 15th significant digit of a tenth, so the cut is the integer division.
int64_t WeeksX10000(int32_t days) { return int64_t{days} * 10 / 7 * 1000; }

// Text with '.' as the separator; the common part of NumberText and TruncDecimals.
std::string PlainNumberText(double value, int n) {
    if (!std::isfinite(value)) return "0";
    if (value == 0) value = 0;  // no "-0"
    char buf[64];
    const auto res = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::general, 15);
    if (res.ec != std::errc{}) return "0";
    std::string s(buf, res.ptr);
    if (const size_t e = s.find('e'); e != std::string::npos) {
        // Exponent texts stay as they are, written 1.5E-5 / 1E20.
        std::string exp = s.substr(e + 1);
        const bool neg = !exp.empty() && exp[0] == '-';
        if (!exp.empty() && (exp[0] == '-' || exp[0] == '+')) exp.erase(0, 1);
        exp.erase(0, std::min(exp.find_first_not_of('0'), exp.size() - 1));
        return s.substr(0, e) + "E" + (neg ? "-" : "") + exp;
    }
    if (const size_t p = s.find('.'); p != std::string::npos) {
        const size_t keep = static_cast<size_t>(std::abs(static_cast<long>(n)));
        if (s.size() > p + 1 + keep) s.resize(p + 1 + keep);
        if (n < 0) {
            while (s.back() == '0') s.pop_back();
            if (s.back() == '.') s.pop_back();
        }
    }
    return s;
}

int32_t ClampDays(int64_t v) { return static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX)); }

// Day-count conventions on the (ordered) effective dates; false when a date has no calendar date.
bool ConventionDays(int method, int32_t start, int32_t end, int32_t& days) {
    if (start > end) std::swap(start, end);
    if (method != cm30360US && method != cm30E360) {
        days = end - start;
        return true;
    }
    const auto c1 = Civil(start), c2 = Civil(end);
    if (!c1 || !c2) return false;
    int d1 = c1->day, d2 = c2->day;
    if (method == cm30360US) {
        if (d1 == 31 || (c1->month == 2 && d1 == DaysInMonth(c1->year, 2))) d1 = 30;
        if (d2 == 31 && d1 >= 30) d2 = 30;
    } else {
        if (d1 == 31) d1 = 30;
        if (d2 == 31) d2 = 30;
    }
    days = ClampDays(360 * int64_t{c2->year - c1->year} + 30 * (c2->month - c1->month) + (d2 - d1));
    return true;
}

struct Span {
    bool ok = false;       // the dates can be counted
    bool sameDay = false;
    int32_t effStart = 0, effEnd = 0;
};

Span EffectiveSpan(TDateTime first, TDateTime second, bool includeFirst, bool includeLast) {
    Span s;
    int32_t a, b;
    if (!TakeDay(first, a) || !TakeDay(second, b)) return s;
    if (b < a) std::swap(a, b);
    s.ok = true;
    if (a == b) {
        s.sameDay = true;
        s.effStart = s.effEnd = a;
    } else {
        s.effStart = includeFirst ? a : a + 1;
        s.effEnd = includeLast ? b : b - 1;
    }
    return s;
}

int64_t YearsOfDays(double days, int type, int32_t start, int32_t end) {
    return RoundHalfEven(days / DaysPerYear(type, start, end) * 10000.0);
}

IntervalResult Basic(const Span& s, int type, bool wantYears) {
    IntervalResult r;
    if (!s.ok) return r;
    r.effectiveStart = s.effStart;
    r.effectiveEnd = s.effEnd;
    if (s.sameDay) {
        r.days = 1;
        r.weeks = WeeksX10000(1);
        if (wantYears) r.years = YearsOfDays(1, type, s.effStart, s.effStart);
        return r;
    }
    if (s.effEnd < s.effStart) return r;
    r.days = s.effEnd - s.effStart + 1;
    if (wantYears) {
        const auto c1 = Civil(s.effStart), c2 = Civil(s.effEnd);
        const auto lateFeb = [](const CivilDate& c) { return c.month == 2 && (c.day == 28 || c.day == 29); };
        if (c1 && c2 &&
            ((c1->month == c2->month && c1->day == c2->day) ||
             (c1->year != c2->year && lateFeb(*c1) && lateFeb(*c2))))
            r.years = int64_t{c2->year - c1->year} * 10000;
        else
            r.years = YearsOfDays(s.effEnd - s.effStart, type, s.effStart, s.effEnd);
    }
    r.weeks = WeeksX10000(r.days);
    return r;
}

template <class CountDays>
IntervalResult Calc(int method, TDateTime first, TDateTime second, bool includeFirst, bool includeLast,
                    int type, int yearsDecimals, const SkipSet* skip, CountDays countDays) {
    const Span s = EffectiveSpan(first, second, includeFirst, includeLast);
    const bool skipping = method == cmNormal && IsSkipActive(skip);
    IntervalResult r = Basic(s, type, !skipping);
    if (!s.ok) return r;
    if (method < cmNormal || method > cm30E360) return IntervalResult{r.effectiveStart, r.effectiveEnd};
    if (method != cmNormal) {
        r.days = 0, r.weeks = 0, r.years = 0;
        int32_t days;
        if (!ConventionDays(method, s.effStart, s.effEnd, days)) return r;
        r.days = days;
        r.weeks = days >= 0 ? WeeksX10000(days) : RoundHalfEven(TruncDecimals(days / 7.0, 1) * 10000.0);
        const double dpy = method == cmActual365 ? 365.0
                           : (method == cmActual360 || method == cm30E360)
                               ? 360.0
                               : DaysPerYear(0, std::min(s.effStart, s.effEnd), std::max(s.effStart, s.effEnd));
        r.years = RoundHalfEven(TruncDecimals(days / dpy, yearsDecimals) * 10000.0);
        return r;
    }
    if (!skipping) return r;
    r.days = 0, r.weeks = 0, r.years = 0;
    if (s.effEnd < s.effStart) return r;
    const int32_t counted = countDays(s.effStart, s.effEnd);
    r.days = counted;
    r.skipped = ClampDays(int64_t{s.effEnd} - s.effStart + 1 - counted);
    r.weeks = WeeksX10000(counted);
    r.years = YearsOfDays(counted, type, s.effStart, s.effEnd);
    return r;
}

}  // namespace

int64_t RoundHalfEven(double v) {
    if (!(v > -9.2e18 && v < 9.2e18)) return v > 0 ? INT64_MAX : v < 0 ? INT64_MIN : 0;
    int64_t i = static_cast<int64_t>(v);           // toward zero
    const double f = v - static_cast<double>(i);  // exact: |f| < 1
    if (f > 0.5 || (f == 0.5 && (i & 1))) ++i;     // a tie goes to the even neighbour
    else if (f < -0.5 || (f == -0.5 && (i & 1))) --i;
    return i;
}

int DaysInYear(int year) {
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return leap ? 366 : 365;
}

double DaysPerYear(int type, TDateTime start, TDateTime end) {
    switch (type) {
        case 0: {
            if (!(start > 1000 && end > 1000 && start < kMaxDateSerial + 1.0 && end < kMaxDateSerial + 1.0))
                return 365.25;
            int y1 = YearOfSerial(static_cast<int32_t>(start));
            int y2 = YearOfSerial(static_cast<int32_t>(end));
            if (y2 < y1) std::swap(y1, y2);
            const auto leaps = [](int y) { return y / 4 - y / 100 + y / 400; };  // in years 1..y
            const int n = y2 - y1 + 1;
            return static_cast<double>(365 * n + leaps(y2) - leaps(y1 - 1)) / n;
        }
        case 2: return 366;
        case 3: return 365;
        case 4: return 360;
        default: return 365.25;
    }
}

double TruncDecimals(double value, int n) {
    if (n <= 0) return value;
    const std::string s = PlainNumberText(value, n);
    double v = 0;
    const auto res = std::from_chars(s.data(), s.data() + s.size(), v);
    return res.ec == std::errc{} ? v : 0;
}

std::string NumberText(double value, int n, const Locale& loc) {
    std::string s = PlainNumberText(value, n);
    std::replace(s.begin(), s.end(), '.', loc.decimalSeparator);
    return s;
}

std::string DecimalText(double value, int n, const Locale& loc) {
    std::string s = NumberText(value, n, loc);
    if (n <= 0 || s.find('E') != std::string::npos) return s;  // an exponent text takes no padding
    size_t p = s.find(loc.decimalSeparator);
    if (p == std::string::npos) {
        s += loc.decimalSeparator;
        p = s.size() - 1;
    }
    const size_t want = p + 1 + static_cast<size_t>(n);
    if (s.size() < want) s.append(want - s.size(), '0');
    return s;
}

IntervalResult BasicInterval(TDateTime first, TDateTime second, bool includeFirst, bool includeLast,
                             int daysPerYearType) {
    return Basic(EffectiveSpan(first, second, includeFirst, includeLast), daysPerYearType, true);
}

IntervalResult IntervalCalc(int method, TDateTime first, TDateTime second, bool includeFirst,
                            bool includeLast, int daysPerYearType, int yearsDecimals,
                            const SkipSet* skip, bool invert) {
    return Calc(method, first, second, includeFirst, includeLast, daysPerYearType, yearsDecimals, skip,
                [&](int32_t a, int32_t b) { return CountCountedDays(*skip, invert, a, b); });
}

IntervalResult IntervalCalcDayByDay(int method, TDateTime first, TDateTime second, bool includeFirst,
                                    bool includeLast, int daysPerYearType, int yearsDecimals,
                                    const SkipSet* skip, bool invert) {
    return Calc(method, first, second, includeFirst, includeLast, daysPerYearType, yearsDecimals, skip,
                [&](int32_t a, int32_t b) {
                    int32_t days = 0;
                    for (int64_t d = a; d <= b; ++d)
                        if (IsSkipDateDayByDay(skip, static_cast<int32_t>(d)) == invert) ++days;
                    return days;
                });
}

int32_t IntervalDays(TDateTime first, TDateTime second, bool includeFirst, bool includeLast,
                     const SkipSet* skip, bool invert) {
    const Span s = EffectiveSpan(first, second, includeFirst, includeLast);
    if (!s.ok || s.effEnd < s.effStart) return 0;
    if (!IsSkipActive(skip)) return s.sameDay ? 1 : s.effEnd - s.effStart + 1;
    return CountCountedDays(*skip, invert, s.effStart, s.effEnd);
}

}  // namespace clx
