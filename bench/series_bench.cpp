// Repeats series of daily dates under a large skip set: the indexed period arithmetic against
// the day-by-day reference. Each repeat is taken from the first date, so repeat i adds i
// counted days: the indexed path grows linearly with the count, the reference quadratically.
#include <benchmark/benchmark.h>

#include "bench_sets.h"
#include "engine/series.h"

namespace {

using namespace clx;

SeriesRequest DailyRepeats(const SkipSet* skip, int count) {
    SeriesRequest r;
    r.style = kSeriesRepeats;
    r.frequency = fqNDay;
    r.units = 1;
    r.firstDate = EncodeDate(2001, 3, 5);
    r.repeatCount = count;
    r.skip = skip;
    return r;
}

void BM_SeriesIndexed(benchmark::State& state) {
    const auto set = bench::MakeStandardSet();
    const int count = static_cast<int>(state.range(0));
    for (auto _ : state) benchmark::DoNotOptimize(GenerateSeriesDates(DailyRepeats(set.get(), count), 1));
    state.SetComplexityN(count);
}
BENCHMARK(BM_SeriesIndexed)
    ->Arg(1250)->Arg(2500)->Arg(5000)->Arg(10000)
    ->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oN);

// The same with the index rebuilt for every series, as after loading a skip-date file.
void BM_SeriesIndexedFreshIndex(benchmark::State& state) {
    const auto set = bench::MakeStandardSet();
    const int count = static_cast<int>(state.range(0));
    for (auto _ : state) {
        set->InvalidateIndex();
        benchmark::DoNotOptimize(GenerateSeriesDates(DailyRepeats(set.get(), count), 1));
    }
}
BENCHMARK(BM_SeriesIndexedFreshIndex)->Arg(10000)->Unit(benchmark::kMillisecond);

void BM_SeriesDayByDay(benchmark::State& state) {
    const auto set = bench::MakeStandardSet();
    const int count = static_cast<int>(state.range(0));
    for (auto _ : state) benchmark::DoNotOptimize(GenerateSeriesDatesDayByDay(DailyRepeats(set.get(), count), 1));
    state.SetComplexityN(count);
}
// The reference is quadratic; 10 000 repeats would take hours.
BENCHMARK(BM_SeriesDayByDay)
    ->Arg(125)->Arg(250)->Arg(500)->Arg(1000)
    ->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oNSquared);

}  // namespace

BENCHMARK_MAIN();
