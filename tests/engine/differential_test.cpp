// Randomised comparison of the indexed counting with the day-by-day walk of the rule tables.
#include <gtest/gtest.h>

#include <random>

#include "engine/interval.h"
#include "engine/period.h"
#include "engine/skipset.h"
#include "skip_rules.h"

namespace clx {
namespace {

const int32_t kFirst = testing::Day(1600, 1, 1);
const int32_t kLast = testing::Day(3999, 12, 31);

class Differential : public ::testing::Test {
protected:
    std::mt19937 rng{20240611};

    int Uniform(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); }
    bool Chance(double p) { return std::bernoulli_distribution(p)(rng); }
    int32_t Near(int32_t center, int spread) {
        return std::clamp(center + Uniform(-spread, spread), kFirst, kLast);
    }

    // A random rule set whose dated rules lie around center.
    std::unique_ptr<SkipSet> RandomSet(int32_t center) {
        auto s = CreateSkipSet(nullptr, "");
        s->active = true;
        for (int w = 1; w <= 7; ++w)
            if (Chance(0.25)) s->header.SetWeekday(w, true);
        s->header.SetHolidayBits(uint8_t(Uniform(0, 63)));
        for (int k = Uniform(0, 8); k > 0; --k) {
            static const int kOdd[][2] = {{29, 2}, {31, 2}, {30, 2}, {31, 4}, {0, 5}, {5, 13}, {1, 1}};
            if (Chance(0.4)) {
                const auto& o = kOdd[Uniform(0, 6)];
                testing::AddRecurring(*s, o[0], o[1], !Chance(0.2));
            } else {
                testing::AddRecurring(*s, Uniform(1, 31), Uniform(1, 12), !Chance(0.2));
            }
        }
        for (int k = Uniform(0, 30); k > 0; --k)
            testing::AddDate(s->single, Near(center, 900), !Chance(0.2));
        for (int k = Uniform(0, 10); k > 0; --k) {
            const int32_t a = Near(center, 900);
            const int32_t b = Chance(0.2) ? a - Uniform(1, 30) : a + Uniform(0, 60);  // some reversed
            testing::AddRange(*s, a, b, !Chance(0.2));
        }
        for (int k = Uniform(0, 15); k > 0; --k)
            testing::AddDate(s->inclusions, Near(center, 900), !Chance(0.2));
        return s;
    }

    // Share of counted days near center, to keep the walks of sparse sets short.
    double Density(const SkipSet& s, bool invert, int32_t center) {
        return CountCountedDays(s, invert, center - 730, center + 730) / 1461.0;
    }

    void CompareIntervals(const SkipSet& s, int32_t center, int queries) {
        for (int q = 0; q < queries; ++q) {
            const int32_t a = Chance(0.1) ? Uniform(kFirst, kLast) : Near(center, 1000);
            const int len = Chance(0.05) ? Uniform(0, 4000) : Uniform(0, 400);
            const int32_t b = std::clamp(a + (Chance(0.5) ? len : -len), kFirst, kLast);
            const bool inclFirst = Chance(0.5), inclLast = Chance(0.5), invert = Chance(0.3);
            const int type = Uniform(0, 4), method = Chance(0.9) ? cmNormal : Uniform(1, 5);
            const IntervalResult fast = IntervalCalc(method, a, b, inclFirst, inclLast, type, 4, &s, invert);
            const IntervalResult slow = IntervalCalcDayByDay(method, a, b, inclFirst, inclLast, type, 4, &s, invert);
            ASSERT_EQ(fast, slow) << "method " << method << " " << a << ".." << b << " flags " << inclFirst
                                  << inclLast << " invert " << invert;
            if (method == cmNormal) {   // every day of the span is either counted or skipped
                ASSERT_EQ(fast.days + fast.skipped, BasicInterval(a, b, inclFirst, inclLast, type).days);
            }
        }
    }

    void ComparePeriods(const SkipSet& s, int32_t center, int queries) {
        for (int q = 0; q < queries; ++q) {
            const bool invert = Chance(0.3), subtract = Chance(0.5);
            const double density = Density(s, invert, center);
            int years = 0, months = 0, days;
            if (density < 0.3) {
                days = Uniform(-2, 3);   // sparse sets run many long passes
            } else {
                days = Uniform(-30, 60);
                if (Chance(0.3)) months = Uniform(-2, 2);
                if (Chance(0.1)) years = Uniform(-1, 1);
            }
            const TDateTime start = Near(center, 1000) + (Chance(0.2) ? 0.5 : 0.0);
            const TDateTime fast = AddPeriod(start, years, months, days, subtract, &s, invert, 0);
            const TDateTime slow = AddPeriodDayByDay(start, years, months, days, subtract, &s, invert, 0);
            ASSERT_EQ(fast, slow) << start << " + " << years << "y " << months << "m " << days << "d subtract "
                                  << subtract << " invert " << invert;
        }
    }

    void CompareDays(const SkipSet& s, int32_t center, int count) {
        for (int k = 0; k < count; ++k) {
            const int32_t d = Chance(0.05) ? Uniform(kFirst, kLast) : Near(center, 1000);
            ASSERT_EQ(IsSkipDate(&s, d), IsSkipDateDayByDay(&s, d)) << d;
        }
    }
};

TEST_F(Differential, RandomRuleSets) {
    for (int round = 0; round < 40; ++round) {
        SCOPED_TRACE(::testing::Message() << "round " << round);
        const int32_t center = Uniform(kFirst + 1500, kLast - 1500);
        auto s = RandomSet(center);
        CompareDays(*s, center, 300);
        CompareIntervals(*s, center, 25);
        ComparePeriods(*s, center, 15);
        if (HasFatalFailure()) return;
    }
}

TEST_F(Differential, RulesAroundTheEasterReform) {
    auto s = CreateSkipSet(nullptr, "");
    s->active = true;
    s->header.SetHolidayBits(0x3f);
    testing::AddRecurring(*s, 29, 2);
    const int32_t center = testing::Day(1752, 12, 31);
    CompareDays(*s, center, 2000);
    CompareIntervals(*s, center, 40);
    ComparePeriods(*s, center, 40);
}

TEST_F(Differential, EveryDaySkipped) {
    auto s = CreateSkipSet(nullptr, "");
    s->active = true;
    s->header.SetWeekdayBits(0xfe);
    testing::AddDate(s->inclusions, testing::D(2001, 3, 20), false);
    for (int days : {0, 1, 2, -1}) {
        for (bool subtract : {false, true}) {
            const TDateTime start = testing::D(2001, 3, 1);
            const TDateTime fast = AddPeriod(start, 0, 0, days, subtract, s.get(), false, 0);
            ASSERT_EQ(fast, AddPeriodDayByDay(start, 0, 0, days, subtract, s.get(), false, 0)) << days << subtract;
        }
    }
    // Nothing named and invert set: the same pass limit.
    s->header.Clear();
    const TDateTime start = testing::D(2001, 3, 1);
    EXPECT_EQ(AddPeriod(start, 0, 0, 1, false, s.get(), true, 0), AddPeriodDayByDay(start, 0, 0, 1, false, s.get(), true, 0));
}

}  // namespace
}  // namespace clx
