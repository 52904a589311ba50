#include "engine/skipset.h"

#include <algorithm>
#include <climits>

#include "engine/skipindex.h"

namespace clx {

void SkipHeader::SetWeekday(int weekday, bool skip) {
    if (weekday < 1 || weekday > 7) return;
    const uint8_t bit = uint8_t(1u << weekday);
    bytes[0] = skip ? uint8_t(bytes[0] | bit) : uint8_t(bytes[0] & ~bit);
}

void SkipHeader::SetHoliday(SkipHoliday h, bool skip) {
    const uint8_t bit = uint8_t(1u << h);
    bytes[1] = skip ? uint8_t(bytes[1] | bit) : uint8_t(bytes[1] & ~bit);
}

const char* SkipTableName(SkipTable which) {
    switch (which) {
        case SkipTable::Recurring: return "taXrc";
        case SkipTable::Single: return "taXda";
        case SkipTable::Inclusions: return "taXin";
        case SkipTable::Ranges: return "taXsp";
    }
    return "";
}

void DefineSkipTableFields(MemTable& t, SkipTable which) {
    switch (which) {
        case SkipTable::Recurring:
            t.AddField("Day", FieldType::Integer);
            t.AddField("Month", FieldType::Integer);
            break;
        case SkipTable::Single:
        case SkipTable::Inclusions:
            t.AddField("Date", FieldType::Date);
            break;
        case SkipTable::Ranges:
            t.AddField("DFrom", FieldType::Date);
            t.AddField("DTo", FieldType::Date);
            break;
    }
    t.AddField("Description", FieldType::String, 64);
    t.AddField("Use", FieldType::Boolean);
    if (which == SkipTable::Recurring) t.SetSortField("Description");
    t.handlers.onNewRecord = [](MemTable& table) { table.FieldByName("Use").SetBoolean(true); };
    t.handlers.afterPost = [](MemTable& table) { ResortKeepingRow(table); };
}

SkipSet::SkipSet() {
    DefineSkipTableFields(recurring, SkipTable::Recurring);
    DefineSkipTableFields(single, SkipTable::Single);
    DefineSkipTableFields(inclusions, SkipTable::Inclusions);
    DefineSkipTableFields(ranges, SkipTable::Ranges);
}

SkipSet::~SkipSet() = default;

void SkipSet::SetDateTitles(const std::string& dateEntryFormat) {
    dateTitle = "Date~" + dateEntryFormat;
    fromTitle = "From~" + dateEntryFormat;
    toTitle = "To~" + dateEntryFormat;
}

MemTable& SkipSet::Table(SkipTable which) {
    switch (which) {
        case SkipTable::Recurring: return recurring;
        case SkipTable::Single: return single;
        case SkipTable::Inclusions: return inclusions;
        case SkipTable::Ranges: break;
    }
    return ranges;
}

const MemTable& SkipSet::Table(SkipTable which) const {
    return const_cast<SkipSet*>(this)->Table(which);
}

SkipIndex& SkipSet::CurrentIndex() const {
    if (!index_) index_ = std::make_unique<SkipIndex>();
    index_->Sync(*this);
    return *index_;
}

void SkipSet::InvalidateIndex() const {
    if (index_) index_->Invalidate();
}

void SkipSet::PrepareIndex(int32_t first, int32_t last) const {
    first = std::max(first, kMinDateSerial);
    last = std::min(last, kMaxDateSerial);
    if (first <= last) CurrentIndex().Ensure(first, last);
}

std::unique_ptr<SkipSet> CreateSkipSet(std::shared_ptr<SkipFileRef> ref, const std::string& dateEntryFormat) {
    auto set = std::make_unique<SkipSet>();
    set->ref = std::move(ref);
    set->SetDateTitles(dateEntryFormat);
    return set;
}

namespace {
void EmptyRules(SkipSet& set) {
    for (MemTable* t : {&set.recurring, &set.single, &set.inclusions, &set.ranges}) {
        t->Cancel();
        t->EmptyTable();
    }
}
}  // namespace

void ResetSkipSet(SkipSet& set) {
    set.header.Clear();
    if (set.ref) set.ref->fileName.clear();
    set.active = false;
    EmptyRules(set);
}

void ClearSkipRules(SkipSet& set, bool emptyTables) {
    set.header.Clear();
    if (emptyTables) EmptyRules(set);
}

void CopySkipSet(const SkipSet* source, SkipSet* target) {
    if (!source || !target || source == target) return;
    target->header = source->header;
    target->ref = source->ref;
    for (SkipTable which : {SkipTable::Recurring, SkipTable::Single, SkipTable::Inclusions, SkipTable::Ranges}) {
        const MemTable& from = source->Table(which);
        MemTable& to = target->Table(which);
        to.Cancel();
        to.EmptyTable();
        to.CopyRowsFrom(from);
    }
}

bool IsSkipActive(const SkipSet* set) { return set && set->active; }

bool SkipInvert(const SkipSet* set) { return set && set->ref && set->ref->invert; }

bool IsSkipDate(const SkipSet* set, int32_t day) {
    if (!set || !IsValidSerial(day)) return false;  // no rule names a day outside the calendar
    return set->CurrentIndex().Test(day);
}

namespace {

// Walks a table from its first row; stops on the first row with Use true that matches,
// leaving it current, or at the end. A table without the fields holds no rules.
template <size_t N, class F>
bool WalkRules(MemTable& t, const char* const (&names)[N], F match) {
    for (const char* n : names)
        if (t.FieldIndex(n) < 0) return false;
    if (t.FieldIndex("Use") < 0) return false;
    const Field use = t.FieldByName("Use");
    std::vector<Field> fields;
    for (const char* n : names) fields.push_back(t.FieldByName(n));
    t.First();
    while (!t.Eof()) {
        if (use.AsBoolean() && match(fields.data())) return true;
        t.Next();
    }
    return false;
}

std::optional<int32_t> FieldDay(const Field& f) {
    if (f.IsNull()) return std::nullopt;
    return skiprule::DayOfDateValue(f.AsDateTime());
}

const char* const kDateField[] = {"Date"};
const char* const kRecurringFields[] = {"Day", "Month"};
const char* const kRangeFields[] = {"DFrom", "DTo"};

}  // namespace

bool IsSkipDateDayByDay(const SkipSet* cset, int32_t day) {
    if (!cset || !IsValidSerial(day)) return false;
    // The row-by-row walk moves the tables' current rows.
    SkipSet& set = const_cast<SkipSet&>(*cset);
    const CivilDate c = DecodeDate(day);
    const int32_t easter = WholeDays(EcclesiasticEaster(c.year));
    const int weekday = DayOfWeek(day);
    auto isDay = [&](const Field* f) { return FieldDay(f[0]) == day; };

    if (WalkRules(set.inclusions, kDateField, isDay)) return false;

    const SkipHeader& h = set.header;
    bool skip = h.SkipsWeekday(weekday);
    if (!skip && h.SkipsHoliday(hdChristmas) && c.month == 12 && c.day == 25) skip = true;
    if (!skip && h.SkipsHoliday(hdBoxingDay) && c.month == 12 && c.day == 26) skip = true;
    if (!skip && h.SkipsHoliday(hdNewYear) && c.month == 1 && c.day == 1) skip = true;
    if (!skip && h.SkipsHoliday(hdGoodFriday) && day == easter - 2) skip = true;
    if (!skip && h.SkipsHoliday(hdEasterSunday) && day == easter) skip = true;
    if (!skip && h.SkipsHoliday(hdEasterMonday) && day == easter + 1) skip = true;
    if (!skip)
        skip = WalkRules(set.recurring, kRecurringFields, [&](const Field* f) {
            return f[1].AsInteger() == c.month && f[0].AsInteger() == c.day;
        });
    if (!skip) skip = WalkRules(set.single, kDateField, isDay);
    if (!skip)
        skip = WalkRules(set.ranges, kRangeFields, [&](const Field* f) {
            const auto a = FieldDay(f[0]), b = FieldDay(f[1]);
            return a && b && *a <= day && day <= *b;
        });
    return skip;
}

int32_t CountSkipDays(const SkipSet& set, int32_t from, int32_t to) {
    if (to < from) return 0;
    from = std::max(from, kMinDateSerial);
    to = std::min(to, kMaxDateSerial);
    if (to < from) return 0;
    return set.CurrentIndex().Count(from, to);
}

int32_t CountCountedDays(const SkipSet& set, bool invert, int32_t from, int32_t to) {
    if (to < from) return 0;
    const int64_t skipped = CountSkipDays(set, from, to);
    const int64_t counted = invert ? skipped : int64_t{to} - from + 1 - skipped;
    return int32_t(std::min<int64_t>(counted, INT32_MAX));
}

namespace {
int Mod(int a, int m) {
    const int r = a % m;
    return r < 0 ? r + m : r;
}
}  // namespace

TDateTime EcclesiasticEaster(int y) {
    if (y < kMinYear || y > kMaxYear) return 0;
    const int g = Mod(y, 19) + 1;
    int d, e;
    if (y <= 1752) {
        d = Mod(y + y / 4 + 5, 7);
        e = Mod(3 - 11 * g - 7, 30);
    } else {
        d = Mod(y + y / 4 - y / 100 + y / 400, 7);
        const int s = (y - 1600) / 100 - (y - 1600) / 400;
        const int l = (((y - 1400) / 100) * 8) / 25;
        e = Mod(3 - 11 * g + s - l, 30);
    }
    if (e == 29 || (e == 28 && g > 11)) --e;
    const int f = Mod(4 - e - d, 7);
    const int n = f + e + 1;
    return n < 11 ? EncodeDate(y, 3, n + 21) : EncodeDate(y, 4, n - 10);
}

std::optional<TDateTime> AstronomicEaster(int year, int epochYear) {
    const int y = ResolveCenturyYear(year, epochYear);
    if (y < 1600 || y > 3999) return std::nullopt;
    const int a = y % 19, b = y / 100, c = y % 100, d = b / 4, e = b % 4;
    const int f = (b + 8) / 25, g = (b - f + 1) / 3;
    const int h = (19 * a + b - d - g + 15) % 30;
    const int i = c / 4, k = c % 4;
    const int l = (32 + 2 * e + 2 * i - h - k) % 7;
    const int m = (a + 11 * h + 22 * l) / 451;
    const int x = h + l - 7 * m + 114;
    return EncodeDate(y, x / 31, x % 31 + 1);
}

int ResolveCenturyYear(int year, int epochYear) {
    if (year >= 100) return year;
    const int c = (epochYear / 100) * 100;
    return year < epochYear % 100 ? year + c + 100 : year + c;
}

}  // namespace clx
