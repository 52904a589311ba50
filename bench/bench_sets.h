#pragma once
// The skip sets the benchmarks share, so every engine benchmark measures against the same rules.
#include <memory>

#include "engine/skipset.h"
#include "platform/datetime.h"

namespace clx::bench {

// Saturdays and Sundays, all six holidays, 100 single dates, 20 ranges, 10 recurring days and
// 10 inclusions, spread over 2000..2040; active. Always built the same way.
inline std::unique_ptr<SkipSet> MakeStandardSet() {
    auto s = CreateSkipSet(nullptr, "dd/mm/yyyy");
    s->header.SetWeekday(1, true);
    s->header.SetWeekday(7, true);
    s->header.SetHolidayBits(0x3f);
    const int32_t base = WholeDays(EncodeDate(2000, 1, 1));
    uint32_t seed = 12345;
    auto next = [&seed](uint32_t n) {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 8) % n;
    };
    const int32_t span = 41 * 365;
    for (int k = 0; k < 100; ++k) {
        s->single.Append();
        s->single.FieldByName("Date").SetDateTime(base + int32_t(next(span)));
        s->single.Post();
    }
    for (int k = 0; k < 20; ++k) {
        const int32_t a = base + int32_t(next(span));
        s->ranges.Append();
        s->ranges.FieldByName("DFrom").SetDateTime(a);
        s->ranges.FieldByName("DTo").SetDateTime(a + int32_t(next(14)));
        s->ranges.Post();
    }
    for (int k = 0; k < 10; ++k) {
        s->recurring.Append();
        s->recurring.FieldByName("Day").SetInteger(int(1 + next(28)));
        s->recurring.FieldByName("Month").SetInteger(int(1 + next(12)));
        s->recurring.FieldByName("Description").SetString("Day " + std::to_string(k));
        s->recurring.Post();
    }
    for (int k = 0; k < 10; ++k) {
        s->inclusions.Append();
        s->inclusions.FieldByName("Date").SetDateTime(base + int32_t(next(span)));
        s->inclusions.Post();
    }
    s->active = true;
    return s;
}

// One shared instance for benchmarks that only read it.
inline const SkipSet& StandardSet() {
    static const std::unique_ptr<SkipSet> set = MakeStandardSet();
    return *set;
}

}  // namespace clx::bench
