#pragma once
// The compiled form of a skip set: one bit per calendar day (set = skipped) with running counts,
// so that counting the skipped days of any span is two lookups. Built lazily in chunks of
// 4096 days (64 words) for the spans asked about and extended when a query goes further.
#include <cstdint>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "engine/skipset.h"
#include "platform/datetime.h"

namespace clx {

// Without a guaranteed popcnt instruction the builtin becomes a library call.
inline int PopCount(uint64_t x) {
    x = x - ((x >> 1) & 0x5555555555555555ull);
    x = (x & 0x3333333333333333ull) + ((x >> 2) & 0x3333333333333333ull);
    x = (x + (x >> 4)) & 0x0f0f0f0f0f0f0f0full;
    return static_cast<int>((x * 0x0101010101010101ull) >> 56);
}

class SkipIndex {
public:
    static constexpr int kChunkShift = 12;               // 4096 days per chunk
    static constexpr int kChunkDays = 1 << kChunkShift;
    static constexpr int kWordsPerChunk = kChunkDays / 64;
    static constexpr int32_t kDays = kMaxDateSerial - kMinDateSerial + 1;
    static constexpr int kChunks = (kDays + kChunkDays - 1) / kChunkDays;

    // Recompiles the rules when the header's rule bytes or a table changed since the last call.
    void Sync(const SkipSet& set) {
        if (!compiled_ || !(StampOf(set) == stamp_)) Recompile(set);
    }
    void Invalidate() { compiled_ = false; }

    // Serials must lie in the calendar (IsValidSerial).
    void Ensure(int32_t first, int32_t last) {
        const int ca = (first - kMinDateSerial) >> kChunkShift;
        const int cb = (last - kMinDateSerial) >> kChunkShift;
        if (ca < lo_ || cb >= hi_) Extend(ca, cb);
    }
    bool Test(int32_t day) {
        Ensure(day, day);
        const uint32_t i = static_cast<uint32_t>(day - kMinDateSerial);
        return (bits_[i >> 6] >> (i & 63)) & 1;
    }
    // Skipped days in first..last (first <= last, both in the calendar).
    int32_t Count(int32_t first, int32_t last) {
        Ensure(first, last);
        const uint32_t a = static_cast<uint32_t>(first - kMinDateSerial);
        const uint32_t b = static_cast<uint32_t>(last - kMinDateSerial);
        return Rank(b) + static_cast<int32_t>((bits_[b >> 6] >> (b & 63)) & 1) - Rank(a);
    }
    int BuiltChunks() const { return hi_ - lo_; }

private:
    // The tables' change counts grow with every change of rows, values, order or filter.
    struct Stamp {
        uint64_t changes[4]{};
        uint8_t weekdays = 0, holidays = 0;
        friend bool operator==(const Stamp&, const Stamp&) = default;
    };
    static Stamp StampOf(const SkipSet& set) {
        return {{set.recurring.ChangeCount(), set.single.ChangeCount(), set.inclusions.ChangeCount(),
                 set.ranges.ChangeCount()},
                set.header.WeekdayBits(),
                set.header.HolidayBits()};
    }
    void Recompile(const SkipSet& set);
    void Extend(int firstChunk, int lastChunk);
    void BuildChunk(int c);
    // Skipped days in the indexed span before day index i (relative to an arbitrary zero).
    int32_t Rank(uint32_t i) const {
        const uint32_t w = i >> 6;
        const uint64_t below = (i & 63) ? bits_[w] & ((uint64_t{1} << (i & 63)) - 1) : 0;
        return chunkRank_[i >> kChunkShift] + wordRank_[w] + PopCount(below);
    }

    bool compiled_ = false;
    Stamp stamp_;
    // Compiled rules.
    uint8_t holidays_ = 0;
    uint64_t weekPattern_[7]{};                          // by (first day index of a word) mod 7
    std::vector<std::pair<int, int>> recurring_;          // distinct (month, day)
    std::vector<int32_t> singles_, inclusions_;           // sorted distinct serials
    std::vector<std::pair<int32_t, int32_t>> ranges_;     // sorted, disjoint, merged
    // Bitmap over the whole calendar; chunks lo_..hi_-1 are built.
    std::unique_ptr<uint64_t[]> bits_;
    std::unique_ptr<uint16_t[]> wordRank_;                // skipped days in the chunk before the word
    std::vector<int32_t> chunkRank_;                      // skipped days before the chunk (lo_..hi_)
    int lo_ = 0, hi_ = 0;
    int32_t chunkTotal_ = 0;                              // skipped days of the chunk built last
};

}  // namespace clx

namespace clx::skiprule {

// How both the index and the row-by-row test read a rule row, so that they agree on odd
// values: a missing Use is false, a missing or impossible date names no day, a date with a
// time of day names its whole day.
inline std::optional<int32_t> DayOfDateValue(double v) {
    if (!(v > kMinDateSerial - 1.0 && v < kMaxDateSerial + 1.0)) return std::nullopt;  // NaN too
    return WholeDays(v);
}

}  // namespace clx::skiprule
