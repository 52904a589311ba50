#pragma once
// What the skip-date file reader promises for any input, shared by the fuzz target and the
// regression tests: no crash, a part that did not load keeps what it held, whatever was read
// writes back to an image that reads back to the same bytes, and the compiled skip test
// agrees with the row-by-row walk on the rules read. A broken promise throws std::logic_error.
#include <algorithm>
#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <stdexcept>
#include <vector>

#include "engine/skipset.h"
#include "files/sectionstream.h"
#include "files/skipfile.h"
#include "files/tablestream.h"
#include "platform/datetime.h"

namespace clx::fuzz {

inline void RequireSkip(bool ok, const char* what) {
    if (!ok) throw std::logic_error(what);
}

// A set with rules of every kind, so that a part that is wrongly replaced shows.
inline std::unique_ptr<SkipSet> MakeFilledSkipSet() {
    auto s = CreateSkipSet(std::make_shared<SkipFileRef>(), "dd/mm/yyyy");
    s->header.SetWeekdayBits(0x82);
    s->header.SetHolidayBits(0x3F);
    s->header.bytes[700] = 0xA5;
    s->single.LoadRows({{EncodeDate(2027, 3, 1), std::string("Stocktaking"), true}});
    s->recurring.LoadRows({{int64_t{1}, int64_t{5}, std::string("Labour Day"), true},
                           {int64_t{29}, int64_t{2}, std::string("Leap day"), false}});
    s->ranges.LoadRows({{EncodeDate(2027, 8, 2), EncodeDate(2027, 8, 27), std::string("Summer"), true}});
    s->inclusions.LoadRows({{EncodeDate(2027, 3, 13), std::string("Saturday sitting"), true}});
    return s;
}

inline std::vector<uint8_t> PartImage(const SkipSet& s, size_t part) {
    static constexpr SkipTable kOrder[] = {SkipTable::Single, SkipTable::Recurring, SkipTable::Ranges,
                                           SkipTable::Inclusions};
    if (part == 0) return {s.header.bytes.begin(), s.header.bytes.end()};
    return SaveToStream(s.Table(kOrder[part - 1]));
}

// Days worth asking about: a few fixed ones and those next to every date the rules name.
inline std::vector<int32_t> DaysToTry(SkipSet& s) {
    // Kept to a few centuries so that each input compiles only a small part of the index.
    const int32_t lo = WholeDays(EncodeDate(1700, 1, 1)), hi = WholeDays(EncodeDate(2300, 12, 31));
    std::vector<int32_t> days = {WholeDays(EncodeDate(2027, 3, 26)), WholeDays(EncodeDate(2027, 12, 25)),
                                 WholeDays(EncodeDate(1752, 3, 29)), WholeDays(EncodeDate(2000, 2, 29))};
    auto near = [&](const Value& v) {
        if (auto d = std::get_if<double>(&v); d && *d >= lo && *d <= hi)
            for (int k = -1; k <= 1; ++k) days.push_back(WholeDays(*d) + k);
    };
    for (MemTable* t : {&s.single, &s.inclusions, &s.ranges})
        for (int i = 0; i < t->RecordCount() && days.size() < 200; ++i)
            for (const Value& v : t->RowValues(i)) near(v);
    for (int i = 0; i < s.recurring.RecordCount() && days.size() < 240; ++i) {
        const auto& row = s.recurring.RowValues(i);
        auto day = std::get_if<int64_t>(&row[0]);
        auto month = std::get_if<int64_t>(&row[1]);
        if (day && month && IsValidDate(2028, int(*month), int(*day)))
            days.push_back(WholeDays(EncodeDate(2028, int(*month), int(*day))));
    }
    days.erase(std::remove_if(days.begin(), days.end(), [](int32_t d) { return !IsValidSerial(d); }), days.end());
    return days;
}

inline void CheckSkipFile(std::span<const uint8_t> data) {
    auto set = MakeFilledSkipSet();
    std::array<std::vector<uint8_t>, 5> before;
    for (size_t i = 0; i < 5; ++i) before[i] = PartImage(*set, i);

    SectionStream in(std::vector<uint8_t>(data.begin(), data.end()));
    const SkipReadReport report = ReadSkipSections(in, *set);
    RequireSkip(report.results.size() == 5, "not every part was read");
    bool allLoaded = true;
    for (size_t i = 0; i < 5; ++i) {
        if (report.results[i] == SectionResult::Loaded) continue;
        allLoaded = false;
        RequireSkip(PartImage(*set, i) == before[i], "a part that did not load changed");
    }
    RequireSkip(report.Complete() == (allLoaded && in.AtEnd()), "the report does not match the parts read");

    // What was read writes a file that reads back to the same file.
    const std::vector<uint8_t> image = SkipFileImage(*set);
    auto back = CreateSkipSet(std::make_shared<SkipFileRef>(), "dd/mm/yyyy");
    SectionStream again(image);
    RequireSkip(ReadSkipSections(again, *back).Complete(), "a written skip-date file does not read back whole");
    RequireSkip(SkipFileImage(*back) == image, "a skip-date file does not read back to the same bytes");

    // The rules read are usable: the compiled test agrees with the walk, and counts add up.
    for (int32_t day : DaysToTry(*set)) {
        RequireSkip(IsSkipDate(set.get(), day) == IsSkipDateDayByDay(set.get(), day),
                    "the compiled skip test and the walk disagree");
    }
    const int32_t from = WholeDays(EncodeDate(2027, 1, 1)), to = from + 400;
    int32_t walked = 0;
    for (int32_t d = from; d <= to; ++d) walked += IsSkipDate(set.get(), d) ? 1 : 0;
    RequireSkip(CountSkipDays(*set, from, to) == walked, "the skipped days do not add up");
}

}  // namespace clx::fuzz
