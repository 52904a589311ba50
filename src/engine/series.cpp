#include "engine/series.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "engine/period.h"
#include "engine/skipset.h"

namespace clx {

namespace {

// Cuts a UTF-8 text after max code points.
std::string CutCharacters(std::string s, size_t max) {
    size_t count = 0;
    for (size_t i = 0; i < s.size(); ++i) {
        if ((static_cast<unsigned char>(s[i]) & 0xC0) == 0x80) continue;   // continuation byte
        if (count++ == max) {
            s.resize(i);
            break;
        }
    }
    return s;
}

std::string JoinMonths(const Locale& loc, std::initializer_list<int> months) {
    std::string out;
    for (int m : months) {
        if (!out.empty()) out += ',';
        out += loc.shortMonthNames[m - 1];
    }
    return out;
}

TDateTime LastDayOf(int year, int month) { return EncodeDate(year, month, DaysInMonth(year, month)); }

bool IsValidDateValue(TDateTime d) {
    return std::isfinite(d) && d > kMinDateSerial - 1.0 && d < kMaxDateSerial + 1.0 &&
           IsValidSerial(WholeDays(d));
}

int64_t FloorDiv(int64_t a, int64_t b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0))); }

// One step, or the side of the calendar it would leave by (-1 before 1 January 0001, +1 after
// 31 December 9999), in which case value is meaningless.
struct Step {
    TDateTime value = 0;
    int beyond = 0;
};

Step Beyond(int64_t sign) { return Step{0, sign < 0 ? -1 : 1}; }

Step DayStep(PeriodAdder add, TDateTime date, int64_t years, int64_t days, const SkipSet* skip,
             int daysPerYearType) {
    const CivilDate c = DecodeDate(date);
    if (years != 0 && (c.year + years < kMinYear || c.year + years > kMaxYear)) return Beyond(years);
    if (days != 0) {
        const int64_t target = int64_t{WholeDays(date)} + days;
        if (target < kMinDateSerial || target > kMaxDateSerial) return Beyond(days);
    }
    const TDateTime r = add(date, static_cast<int>(years), 0, static_cast<int>(days), false, skip,
                            SkipInvert(skip), daysPerYearType);
    if (!std::isfinite(r) || WholeDays(r) > kMaxDateSerial) return Beyond(1);
    if (WholeDays(r) < kMinDateSerial) return Beyond(-1);
    return Step{r, 0};
}

Step TryStep(PeriodAdder add, TFrequency f, int64_t n, TDateTime date, TDateTime anchor,
             const SkipSet* skip, int daysPerYearType) {
    switch (f) {
        case fqNDay:
        case fqNWeek:
        case fqNYear:
        case fqNMonth:
        case fqCalMonth:
        case fqQuarter:
        case fq2Month:
        case fqHalfYear:
        case fqCalYear:
        case fqFinYear: break;
        default: return Step{0, 0};
    }
    // Every unit is at least a day, and the calendar holds fewer than four million days.
    if (n > 4'000'000 || n < -4'000'000) return Beyond(n);
    if (f == fqNDay) return DayStep(add, date, 0, n, skip, daysPerYearType);
    if (f == fqNWeek) return DayStep(add, date, 0, 7 * n, skip, daysPerYearType);
    if (f == fqNYear) return DayStep(add, date, n, 0, skip, daysPerYearType);

    static constexpr int kMonthsPerUnit[kFrequencyCount] = {0, 0, 0, 1, 0, 1, 3, 2, 6, 12, 12};
    const int64_t months = kMonthsPerUnit[f] * n;
    const CivilDate c = DecodeDate(date);
    const int64_t index = int64_t{c.year} * 12 + (c.month - 1) + months;
    const int64_t year = FloorDiv(index, 12);
    const int month = static_cast<int>(index - year * 12) + 1;
    if (year < kMinYear || year > kMaxYear) return Beyond(months);
    if (f == fqFinYear && year == kMaxYear && month >= 7) return Beyond(1);

    int day = c.day;
    if (f == fqNMonth) day = DecodeDate(anchor == 0 ? date : anchor).day;
    const TDateTime moved = AddMonthsClip(day, static_cast<int>(months), date);
    switch (f) {
        case fqNMonth: return Step{moved, 0};
        case fqCalMonth: return Step{EndCalMonth(moved), 0};
        case fqQuarter: return Step{EndQtr(moved), 0};
        case fq2Month: return Step{EndBiMonth(moved), 0};
        case fqHalfYear: return Step{EndHalfYr(moved), 0};
        case fqCalYear: return Step{EndCalYear(moved), 0};
        default: return Step{EndFinYear(moved), 0};
    }
}

// TryStep with every failure turned into the frequency error.
Step GuardedStep(PeriodAdder add, TFrequency f, int64_t n, TDateTime date, TDateTime anchor,
                 const SkipSet* skip, int daysPerYearType) {
    try {
        return TryStep(add, f, n, date, anchor, skip, daysPerYearType);
    } catch (const SeriesError&) {
        throw;
    } catch (const std::exception& e) {
        throw SeriesError(kFrequencyTroubleText, e.what());
    } catch (...) {
        throw SeriesError(kFrequencyTroubleText);
    }
}

class Generator {
public:
    Generator(const SeriesRequest& req, int daysPerYearType, PeriodAdder add)
        : req_(req), dpy_(daysPerYearType), add_(add),
          skip_(IsSkippingFrequency(req.frequency) && IsSkipActive(req.skip) ? req.skip : nullptr) {}

    std::vector<TDateTime> Run() {
        if (req_.style == kSeriesRepeats)
            Repeats();
        else
            Span();
        std::sort(days_.begin(), days_.end());
        days_.erase(std::unique(days_.begin(), days_.end()), days_.end());
        return std::vector<TDateTime>(days_.begin(), days_.end());
    }

private:
    Step Move(int64_t n, TDateTime date, TDateTime anchor, const SkipSet* skip) const {
        return GuardedStep(add_, req_.frequency, n, date, anchor, skip, dpy_);
    }
    void Add(TDateTime d) { days_.push_back(WholeDays(d)); }

    void Repeats() {
        if (req_.repeatCount <= 0 || req_.frequency == fqNone) return;
        const TDateTime anchor = req_.synchDate != 0 ? req_.synchDate : req_.firstDate;
        // Every repeat is taken from the first date; with Units 0 they are all the same day.
        const int64_t count = req_.units == 0 ? 1 : req_.repeatCount;
        days_.reserve(static_cast<size_t>(std::min<int64_t>(count, 100000)));
        for (int64_t i = 0; i < count; ++i) {
            const Step s = Move(i * req_.units, req_.firstDate, anchor, skip_);
            if (s.beyond != 0)
                throw SeriesError(kFrequencyTroubleText,
                                  "repeat " + std::to_string(i + 1) + " lies beyond the calendar's end");
            Add(s.value);
        }
    }

    void Span() {
        if (req_.frequency == fqNone) return;
        const TDateTime s = req_.synchDate > 0 ? req_.synchDate : req_.firstDate;
        if (s <= EncodeDate(1900, 1, 1) || req_.units == 0) return;
        const int64_t units = req_.units;
        const TDateTime first = req_.firstDate, last = req_.finalDate;

        const Step d0 = Move(0, s, s, skip_);
        TDateTime start = d0.value;
        if (d0.beyond != 0) {
            start = last + 1;   // nothing to walk
        } else if (s > first) {
            // Back from d0 to the last series date on or before the first date.
            TDateTime cur = d0.value;
            for (;;) {
                Step prev = Move(-units, cur, s, skip_);
                // A skip-aware step back from a skipped day can land later; take the plain
                // calendar step there so the alignment always ends.
                if (prev.beyond == 0 && prev.value >= cur && skip_) prev = Move(-units, cur, s, nullptr);
                if (prev.beyond != 0 || prev.value >= cur) {
                    start = cur;
                    break;
                }
                if (prev.value <= first) {
                    start = prev.value;
                    break;
                }
                cur = prev.value;
            }
        } else if (s < first) {
            TDateTime cur = d0.value;
            for (;;) {
                const Step next = Move(units, cur, s, skip_);
                if (next.beyond != 0 || next.value <= cur || next.value > first) break;
                start = next.value;
                if (next.value == first) break;
                cur = next.value;
            }
        }

        bool sawFirst = false, sawFinal = false;
        for (TDateTime cur = start; cur <= last;) {
            if (first <= cur && cur <= last) Add(cur);
            sawFinal = sawFinal || cur == last;
            sawFirst = sawFirst || cur == first;
            const Step next = Move(units, cur, s, skip_);
            // The walk ends at the calendar's end, and never runs in place.
            if (next.beyond != 0 || next.value <= cur) break;
            cur = next.value;
        }
        if (req_.alwaysLast && !sawFinal) Add(last);
        if (req_.alwaysFirst && !sawFirst) Add(first);
    }

    const SeriesRequest& req_;
    int dpy_;
    PeriodAdder add_;
    const SkipSet* skip_;
    std::vector<int32_t> days_;
};

void Validate(const SeriesRequest& req) {
    if (req.style != kSeriesSpan && req.style != kSeriesRepeats)
        throw SeriesError("Unknown series style " + std::to_string(req.style));
    if (req.frequency > fqFinYear)
        throw SeriesError("Unknown series frequency " + std::to_string(static_cast<int>(req.frequency)));
    if (!IsValidDateValue(req.firstDate)) throw SeriesError("The series' first date is not a valid date");
    if (req.synchDate != 0 && !IsValidDateValue(req.synchDate))
        throw SeriesError("The series' synchronisation date is not a valid date");
    if (req.style == kSeriesSpan && !IsValidDateValue(req.finalDate))
        throw SeriesError("The series' final date is not a valid date");
}

}  // namespace

std::vector<std::string> FrequencyTexts(const Locale& loc) {
    const auto& lm = loc.longMonthNames;
    std::vector<std::string> texts{
        "None",
        "Day(s) apart",
        "Week(s) apart",
        "Month(s) apart",
        "Year(s) apart",
        "End of each Calendar Month",
        "End of " + JoinMonths(loc, {3, 6, 9, 12}),
        "End of " + JoinMonths(loc, {2, 4, 6, 8, 10, 12}),
        lm[5] + " 30" + ", " + lm[11] + " 31",
        lm[11] + " 31",
        lm[5] + " 30",
    };
    for (auto& t : texts) t = CutCharacters(std::move(t), kMaxFrequencyTextLength);
    return texts;
}

bool IsSkippingFrequency(TFrequency f) { return f == fqNDay || f == fqNWeek || f == fqNYear; }

TDateTime EndCalMonth(TDateTime date) {
    const CivilDate c = DecodeDate(date);
    return LastDayOf(c.year, c.month);
}

TDateTime EndQtr(TDateTime date) {
    const CivilDate c = DecodeDate(date);
    return LastDayOf(c.year, (c.month + 2) / 3 * 3);
}

TDateTime EndBiMonth(TDateTime date) {
    const CivilDate c = DecodeDate(date);
    return LastDayOf(c.year, (c.month + 1) / 2 * 2);
}

TDateTime EndHalfYr(TDateTime date) {
    const CivilDate c = DecodeDate(date);
    return c.month <= 6 ? EncodeDate(c.year, 6, 30) : EncodeDate(c.year, 12, 31);
}

TDateTime EndCalYear(TDateTime date) { return EncodeDate(DecodeDate(date).year, 12, 31); }

TDateTime EndFinYear(TDateTime date) {
    const CivilDate c = DecodeDate(date);
    return EncodeDate(c.month <= 6 ? c.year : c.year + 1, 6, 30);
}

TDateTime QdkAddFrequency(TFrequency f, int n, TDateTime date, TDateTime anchor, const SkipSet* skip,
                          int daysPerYearType) {
    const Step s = GuardedStep(AddPeriod, f, n, date, anchor, skip, daysPerYearType);
    if (s.beyond != 0) throw SeriesError(kFrequencyTroubleText, "the date lies outside the calendar");
    return s.value;
}

SeriesRequest NormaliseSeriesRequest(SeriesRequest req) {
    if (req.frequency == fqNone || req.frequency > fqCalMonth) req.units = 1;
    // The smallest int has no positive counterpart; it is as far beyond the calendar anyway.
    req.units = req.units == std::numeric_limits<int32_t>::min() ? std::numeric_limits<int32_t>::max()
                                                                   : std::abs(req.units);
    return req;
}

std::vector<TDateTime> GenerateSeriesDates(SeriesRequest req, int daysPerYearType) {
    return GenerateSeriesDatesWith(req, daysPerYearType, AddPeriod);
}

std::vector<TDateTime> GenerateSeriesDatesDayByDay(SeriesRequest req, int daysPerYearType) {
    return GenerateSeriesDatesWith(req, daysPerYearType, AddPeriodDayByDay);
}

std::vector<TDateTime> GenerateSeriesDatesWith(SeriesRequest req, int daysPerYearType, PeriodAdder add) {
    req = NormaliseSeriesRequest(req);
    Validate(req);
    return Generator(req, daysPerYearType, add).Run();
}

}  // namespace clx
