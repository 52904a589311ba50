#include "engine/skipindex.h"

#include <algorithm>

#include "engine/skipset.h"

namespace clx {

namespace {

// Serial of a civil date (valid), without the range checks of EncodeDate: the index computes
// a few of these per year and chunk.
constexpr int32_t CivilSerial(int y, int m, int d) {
    y -= m <= 2;
    const int era = (y >= 0 ? y : y - 399) / 400;
    const int yoe = y - era * 400;
    const int doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const int doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468 - (-25569);  // days since 1970-01-01, moved to 1899-12-30
}
static_assert(CivilSerial(1899, 12, 30) == 0);
static_assert(CivilSerial(1, 1, 1) == kMinDateSerial);
static_assert(CivilSerial(9999, 12, 31) == kMaxDateSerial);

void FillBits(uint64_t* w, uint32_t a, uint32_t b) {  // inclusive, a <= b
    const uint32_t wa = a >> 6, wb = b >> 6;
    const uint64_t ma = ~uint64_t{0} << (a & 63);
    const uint64_t mb = ~uint64_t{0} >> (63 - (b & 63));
    if (wa == wb) {
        w[wa] |= ma & mb;
        return;
    }
    w[wa] |= ma;
    for (uint32_t k = wa + 1; k < wb; ++k) w[k] = ~uint64_t{0};
    w[wb] |= mb;
}

bool ValueBool(const Value& v) {
    if (auto b = std::get_if<bool>(&v)) return *b;
    if (auto i = std::get_if<int64_t>(&v)) return *i != 0;
    if (auto d = std::get_if<double>(&v)) return *d != 0;
    return false;
}

int64_t ValueInt(const Value& v) {
    if (auto i = std::get_if<int64_t>(&v)) return *i;
    if (auto b = std::get_if<bool>(&v)) return *b ? 1 : 0;
    return 0;
}

std::optional<int32_t> ValueDay(const Value& v) {
    if (auto d = std::get_if<double>(&v)) return skiprule::DayOfDateValue(*d);
    if (auto i = std::get_if<int64_t>(&v)) return skiprule::DayOfDateValue(static_cast<double>(*i));
    return std::nullopt;
}

// Calls f(row values, field indexes) for every visible row whose Use is true; a table that
// lacks one of the fields holds no rules.
template <size_t N, class F>
void ForUsedRows(const MemTable& t, const char* const (&names)[N], F f) {
    int idx[N];
    for (size_t k = 0; k < N; ++k)
        if ((idx[k] = t.FieldIndex(names[k])) < 0) return;
    const int use = t.FieldIndex("Use");
    if (use < 0) return;
    for (int r = 0, n = t.RecordCount(); r < n; ++r) {
        const std::vector<Value>& row = t.RowValues(r);
        if (ValueBool(row[use])) f(row, idx);
    }
}

template <class T>
void SortUnique(std::vector<T>& v) {
    std::sort(v.begin(), v.end());
    v.erase(std::unique(v.begin(), v.end()), v.end());
}

}  // namespace

void SkipIndex::Recompile(const SkipSet& set) {
    stamp_ = StampOf(set);
    holidays_ = set.header.HolidayBits();
    const int w0 = DayOfWeek(kMinDateSerial);  // weekday of day index 0
    for (int r = 0; r < 7; ++r) {
        uint64_t p = 0;
        for (int k = 0; k < 64; ++k)
            if (set.header.SkipsWeekday((w0 - 1 + r + k) % 7 + 1)) p |= uint64_t{1} << k;
        weekPattern_[r] = p;
    }

    recurring_.clear();
    static const char* const kRcr[] = {"Day", "Month"};
    ForUsedRows(set.recurring, kRcr, [&](const std::vector<Value>& row, const int* idx) {
        const int64_t d = ValueInt(row[idx[0]]), m = ValueInt(row[idx[1]]);
        if (m >= 1 && m <= 12 && d >= 1 && d <= 31) recurring_.emplace_back(int(m), int(d));
    });
    SortUnique(recurring_);

    static const char* const kDate[] = {"Date"};
    singles_.clear();
    ForUsedRows(set.single, kDate, [&](const std::vector<Value>& row, const int* idx) {
        if (auto d = ValueDay(row[idx[0]])) singles_.push_back(*d);
    });
    SortUnique(singles_);
    inclusions_.clear();
    ForUsedRows(set.inclusions, kDate, [&](const std::vector<Value>& row, const int* idx) {
        if (auto d = ValueDay(row[idx[0]])) inclusions_.push_back(*d);
    });
    SortUnique(inclusions_);

    static const char* const kSpan[] = {"DFrom", "DTo"};
    std::vector<std::pair<int32_t, int32_t>> spans;
    ForUsedRows(set.ranges, kSpan, [&](const std::vector<Value>& row, const int* idx) {
        auto a = ValueDay(row[idx[0]]), b = ValueDay(row[idx[1]]);
        if (a && b && *a <= *b) spans.emplace_back(*a, *b);  // a reversed range names no day
    });
    std::sort(spans.begin(), spans.end());
    ranges_.clear();
    for (const auto& s : spans) {
        if (!ranges_.empty() && s.first <= ranges_.back().second + 1)
            ranges_.back().second = std::max(ranges_.back().second, s.second);
        else
            ranges_.push_back(s);
    }

    if (!bits_) {
        bits_ = std::make_unique_for_overwrite<uint64_t[]>(size_t{kChunks} * kWordsPerChunk);
        wordRank_ = std::make_unique_for_overwrite<uint16_t[]>(size_t{kChunks} * kWordsPerChunk);
        chunkRank_.assign(kChunks + 1, 0);
    }
    lo_ = hi_ = 0;
    compiled_ = true;
}

void SkipIndex::Extend(int ca, int cb) {
    if (lo_ == hi_) {
        lo_ = hi_ = ca;
        chunkRank_[ca] = 0;
    }
    if (ca < lo_) {
        for (int c = lo_ - 1; c >= ca; --c) {
            BuildChunk(c);
            chunkRank_[c] = chunkRank_[c + 1] - chunkTotal_;
        }
        lo_ = ca;
    }
    if (cb >= hi_) {
        for (int c = hi_; c <= cb; ++c) {
            BuildChunk(c);
            chunkRank_[c + 1] = chunkRank_[c] + chunkTotal_;
        }
        hi_ = cb + 1;
    }
}

void SkipIndex::BuildChunk(int c) {
    const uint32_t base = uint32_t(c) << kChunkShift;
    const uint32_t lastIdx = std::min<uint32_t>(base + kChunkDays - 1, kDays - 1);
    const int32_t firstSerial = kMinDateSerial + int32_t(base);
    const int32_t lastSerial = kMinDateSerial + int32_t(lastIdx);
    uint64_t* w = bits_.get() + size_t(c) * kWordsPerChunk;

    for (int k = 0; k < kWordsPerChunk; ++k) w[k] = weekPattern_[(base + 64u * k) % 7];
    auto set = [&](int32_t serial) {
        if (serial < firstSerial || serial > lastSerial) return;
        const uint32_t i = uint32_t(serial - firstSerial);
        w[i >> 6] |= uint64_t{1} << (i & 63);
    };

    if (holidays_ || !recurring_.empty()) {
        const int y1 = DecodeDate(firstSerial).year, y2 = DecodeDate(lastSerial).year;
        for (int y = y1; y <= y2; ++y) {
            if (holidays_ & (1 << hdChristmas)) set(CivilSerial(y, 12, 25));
            if (holidays_ & (1 << hdBoxingDay)) set(CivilSerial(y, 12, 26));
            if (holidays_ & (1 << hdNewYear)) set(CivilSerial(y, 1, 1));
            if (holidays_ & ((1 << hdGoodFriday) | (1 << hdEasterSunday) | (1 << hdEasterMonday))) {
                const int32_t e = WholeDays(EcclesiasticEaster(y));
                if (holidays_ & (1 << hdGoodFriday)) set(e - 2);
                if (holidays_ & (1 << hdEasterSunday)) set(e);
                if (holidays_ & (1 << hdEasterMonday)) set(e + 1);
            }
            for (const auto& [m, d] : recurring_)
                if (IsValidDate(y, m, d)) set(CivilSerial(y, m, d));
        }
    }
    for (auto it = std::lower_bound(singles_.begin(), singles_.end(), firstSerial);
         it != singles_.end() && *it <= lastSerial; ++it)
        set(*it);
    auto r = std::lower_bound(ranges_.begin(), ranges_.end(), firstSerial,
                              [](const std::pair<int32_t, int32_t>& s, int32_t v) { return s.second < v; });
    for (; r != ranges_.end() && r->first <= lastSerial; ++r)
        FillBits(w, uint32_t(std::max(r->first, firstSerial) - firstSerial),
                 uint32_t(std::min(r->second, lastSerial) - firstSerial));
    for (auto it = std::lower_bound(inclusions_.begin(), inclusions_.end(), firstSerial);
         it != inclusions_.end() && *it <= lastSerial; ++it) {
        const uint32_t i = uint32_t(*it - firstSerial);
        w[i >> 6] &= ~(uint64_t{1} << (i & 63));
    }
    // Days past the calendar's end (last chunk only) are never skipped.
    const uint32_t used = lastIdx - base + 1;
    if (used < uint32_t(kChunkDays)) {
        if (used & 63) w[used >> 6] &= (uint64_t{1} << (used & 63)) - 1;
        for (uint32_t k = (used + 63) >> 6; k < uint32_t(kWordsPerChunk); ++k) w[k] = 0;
    }

    uint16_t* wr = wordRank_.get() + size_t(c) * kWordsPerChunk;
    int32_t total = 0;
    for (int k = 0; k < kWordsPerChunk; ++k) {
        wr[k] = uint16_t(total);
        total += PopCount(w[k]);
    }
    chunkTotal_ = total;
}

}  // namespace clx
