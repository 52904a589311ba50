// Indexed counting against the day-by-day walk, side by side in one run.
#include <benchmark/benchmark.h>

#include "bench_sets.h"
#include "engine/interval.h"
#include "engine/period.h"
#include "engine/skipset.h"

namespace clx {
namespace {

const TDateTime kStart = EncodeDate(2001, 1, 1);
const TDateTime kEnd30 = EncodeDate(2030, 12, 31);

// Several starts, so the measured call is not one repeated answer.
TDateTime StartOf(int64_t i) { return kStart + static_cast<double>(i % 64); }

void BM_IntervalCalc30Years_Indexed(benchmark::State& state) {
    const SkipSet& s = bench::StandardSet();
    s.PrepareIndex(WholeDays(kStart) - 1000, WholeDays(kEnd30) + 1000);
    int64_t i = 0;
    for (auto _ : state) {
        IntervalResult r = IntervalCalc(cmNormal, StartOf(i), kEnd30 + double(i % 64), true, true, 0, 4, &s, false);
        benchmark::DoNotOptimize(r);
        ++i;
    }
}
BENCHMARK(BM_IntervalCalc30Years_Indexed);

void BM_IntervalCalc30Years_DayByDay(benchmark::State& state) {
    const SkipSet& s = bench::StandardSet();
    int64_t i = 0;
    for (auto _ : state) {
        IntervalResult r = IntervalCalcDayByDay(cmNormal, StartOf(i), kEnd30 + double(i % 64), true, true, 0, 4, &s, false);
        benchmark::DoNotOptimize(r);
        ++i;
    }
}
BENCHMARK(BM_IntervalCalc30Years_DayByDay)->Unit(benchmark::kMillisecond);

void BM_AddPeriod10Years_Indexed(benchmark::State& state) {
    const SkipSet& s = bench::StandardSet();
    s.PrepareIndex(WholeDays(kStart) - 1000, WholeDays(kEnd30) + 1000);
    int64_t i = 0;
    for (auto _ : state) {
        TDateTime r = AddPeriod(StartOf(i), 10, 0, 0, false, &s, false, 0);
        benchmark::DoNotOptimize(r);
        ++i;
    }
}
BENCHMARK(BM_AddPeriod10Years_Indexed);

void BM_AddPeriod10Years_DayByDay(benchmark::State& state) {
    const SkipSet& s = bench::StandardSet();
    int64_t i = 0;
    for (auto _ : state) {
        TDateTime r = AddPeriodDayByDay(StartOf(i), 10, 0, 0, false, &s, false, 0);
        benchmark::DoNotOptimize(r);
        ++i;
    }
}
BENCHMARK(BM_AddPeriod10Years_DayByDay)->Unit(benchmark::kMillisecond);

void BM_IsSkipDate_Indexed(benchmark::State& state) {
    const SkipSet& s = bench::StandardSet();
    const int32_t d0 = WholeDays(kStart);
    s.PrepareIndex(d0, d0 + 4096);
    int64_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(IsSkipDate(&s, d0 + int32_t(i & 4095)));
        ++i;
    }
}
BENCHMARK(BM_IsSkipDate_Indexed);

void BM_IsSkipDate_DayByDay(benchmark::State& state) {
    const SkipSet& s = bench::StandardSet();
    const int32_t d0 = WholeDays(kStart);
    int64_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(IsSkipDateDayByDay(&s, d0 + int32_t(i & 4095)));
        ++i;
    }
}
BENCHMARK(BM_IsSkipDate_DayByDay);

// Compiling the rules and indexing 1 January 2000 .. 31 December 2099 from a dropped index.
void BM_IndexBuild100Years(benchmark::State& state) {
    const SkipSet& s = bench::StandardSet();
    const int32_t a = WholeDays(EncodeDate(2000, 1, 1)), b = WholeDays(EncodeDate(2099, 12, 31));
    for (auto _ : state) {
        s.InvalidateIndex();
        s.PrepareIndex(a, b);
        benchmark::DoNotOptimize(CountSkipDays(s, a, b));
    }
}
BENCHMARK(BM_IndexBuild100Years)->Unit(benchmark::kMicrosecond);

// The first interval on a fresh set: the build and the count together.
void BM_IntervalCalc30Years_FreshSet(benchmark::State& state) {
    const SkipSet& s = bench::StandardSet();
    for (auto _ : state) {
        s.InvalidateIndex();
        IntervalResult r = IntervalCalc(cmNormal, kStart, kEnd30, true, true, 0, 4, &s, false);
        benchmark::DoNotOptimize(r);
    }
}
BENCHMARK(BM_IntervalCalc30Years_FreshSet)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace clx

BENCHMARK_MAIN();
