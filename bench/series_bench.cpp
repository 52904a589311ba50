// Repeats series of daily dates under a large skip set: the indexed period arithmetic against
// the day-by-day reference. Each repeat is taken from the first date, so repeat i adds i
// counted days: the indexed path grows linearly with the count, the reference quadratically.
#include <benchmark/benchmark.h>

#include <memory>
#include <random>

#include "engine/series.h"
#include "engine/skipset.h"

namespace {

using namespace clx;

// Weekends, all six holidays, 100 single dates, 20 ranges, 10 recurring days, 10 inclusions,
// spread over the years the longest series reaches.
std::unique_ptr<SkipSet> BigSkipSet() {
    auto set = CreateSkipSet(std::make_shared<SkipFileRef>(SkipFileRef{false, "bench.skx"}), "dd/mm/yyyy");
    set->header.SetWeekday(1, true);
    set->header.SetWeekday(7, true);
    set->header.SetHolidayBits(0x3F);
    std::mt19937 rng(42);
    const int32_t from = WholeDays(EncodeDate(2001, 1, 1)), span = 45 * 365;
    auto day = [&] { return static_cast<TDateTime>(from + static_cast<int32_t>(rng() % span)); };
    auto addDate = [](MemTable& t, TDateTime d) {
        t.Append();
        t.FieldByName("Date").SetDateTime(d);
        t.FieldByName("Use").SetBoolean(true);
        t.Post();
    };
    for (int i = 0; i < 100; ++i) addDate(set->single, day());
    for (int i = 0; i < 10; ++i) addDate(set->inclusions, day());
    for (int i = 0; i < 20; ++i) {
        const TDateTime d = day();
        set->ranges.Append();
        set->ranges.FieldByName("DFrom").SetDateTime(d);
        set->ranges.FieldByName("DTo").SetDateTime(d + 1 + rng() % 14);
        set->ranges.FieldByName("Use").SetBoolean(true);
        set->ranges.Post();
    }
    for (int i = 0; i < 10; ++i) {
        set->recurring.Append();
        set->recurring.FieldByName("Day").SetInteger(1 + rng() % 28);
        set->recurring.FieldByName("Month").SetInteger(1 + rng() % 12);
        set->recurring.FieldByName("Use").SetBoolean(true);
        set->recurring.Post();
    }
    set->active = true;
    return set;
}

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
    const auto set = BigSkipSet();
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
    const auto set = BigSkipSet();
    const int count = static_cast<int>(state.range(0));
    for (auto _ : state) {
        set->InvalidateIndex();
        benchmark::DoNotOptimize(GenerateSeriesDates(DailyRepeats(set.get(), count), 1));
    }
}
BENCHMARK(BM_SeriesIndexedFreshIndex)->Arg(10000)->Unit(benchmark::kMillisecond);

void BM_SeriesDayByDay(benchmark::State& state) {
    const auto set = BigSkipSet();
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
