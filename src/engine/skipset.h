#pragma once
// Skip-date rule sets: weekdays, holidays, recurring days, single dates, ranges and
// inclusions, the test whether one day is skipped, and the Easter computations.
#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "platform/datetime.h"
#include "platform/memtable.h"

namespace clx {

// Holiday bits of header byte 1.
enum SkipHoliday : uint8_t {
    hdEasterSunday = 0,
    hdGoodFriday = 1,
    hdEasterMonday = 2,
    hdChristmas = 3,   // 25 December
    hdNewYear = 4,     // 1 January
    hdBoxingDay = 5,   // 26 December
};

// The byte-exact 1024-byte image stored in skip-date files. Byte 0: bit n set skips weekday n
// (Sunday = 1 ... Saturday = 7; bit 0 reserved). Byte 1: holiday bits (SkipHoliday).
struct SkipHeader {
    std::array<uint8_t, 1024> bytes{};

    uint8_t WeekdayBits() const { return bytes[0]; }
    uint8_t HolidayBits() const { return bytes[1]; }
    void SetWeekdayBits(uint8_t b) { bytes[0] = b; }
    void SetHolidayBits(uint8_t b) { bytes[1] = b; }
    bool SkipsWeekday(int weekday) const {   // 1..7
        return weekday >= 1 && weekday <= 7 && (bytes[0] >> weekday) & 1;
    }
    void SetWeekday(int weekday, bool skip);
    bool SkipsHoliday(SkipHoliday h) const { return (bytes[1] >> h) & 1; }
    void SetHoliday(SkipHoliday h, bool skip);
    void Clear() { bytes.fill(0); }
    friend bool operator==(const SkipHeader&, const SkipHeader&) = default;
};
static_assert(sizeof(SkipHeader) == 1024, "SkipHeader is a file image");

// The part of a skip set the document keeps; shared between sets by CopySkipSet.
struct SkipFileRef {
    bool invert = false;
    std::string fileName;   // folder macro form
};

// The four rule tables, named after their templates.
enum class SkipTable {
    Recurring,    // taXrc: Day, Month, Description, Use; sorted on Description
    Single,       // taXda: Date, Description, Use
    Inclusions,   // taXin: Date, Description, Use
    Ranges,       // taXsp: DFrom, DTo, Description, Use
};
const char* SkipTableName(SkipTable which);   // "taXrc", "taXda", "taXin", "taXsp"

// Gives an empty table the template's fields, sort field and events (a new row gets Use = true;
// after a post the table re-sorts keeping the posted row current).
void DefineSkipTableFields(MemTable& table, SkipTable which);

class SkipIndex;

class SkipSet {
public:
    SkipSet();
    ~SkipSet();
    SkipSet(const SkipSet&) = delete;
    SkipSet& operator=(const SkipSet&) = delete;

    SkipHeader header;
    bool active = false;
    std::shared_ptr<SkipFileRef> ref;
    MemTable recurring{"taXrc"};
    MemTable single{"taXda"};
    MemTable inclusions{"taXin"};
    MemTable ranges{"taXsp"};

    // Column titles of the date fields: "Date~", "From~" and "To~" followed by the date entry
    // format.
    std::string dateTitle, fromTitle, toTitle;
    void SetDateTitles(const std::string& dateEntryFormat);

    MemTable& Table(SkipTable which);
    const MemTable& Table(SkipTable which) const;

    // The compiled index behind IsSkipDate and the counts. It follows the header's rule bytes
    // and the tables' change counts by itself; this drops it at once (for example to measure a
    // fresh build).
    void InvalidateIndex() const;
    // Makes sure the days first..last (serials) are indexed.
    void PrepareIndex(int32_t first, int32_t last) const;

    // The compiled index, brought up to date first (opaque outside the engine's own files).
    SkipIndex& CurrentIndex() const;

private:
    mutable std::unique_ptr<SkipIndex> index_;   // a cache: not safe for concurrent use
};

std::unique_ptr<SkipSet> CreateSkipSet(std::shared_ptr<SkipFileRef> ref, const std::string& dateEntryFormat);
// Zeroed header, empty file name (invert stays), inactive, empty tables.
void ResetSkipSet(SkipSet& set);
// Zeroed header; with emptyTables also no rows. Active and the reference stay.
void ClearSkipRules(SkipSet& set, bool emptyTables);
// Header, shared reference and rows (fields matched by name); active is not copied.
void CopySkipSet(const SkipSet* source, SkipSet* target);
bool IsSkipActive(const SkipSet* set);
bool SkipInvert(const SkipSet* set);

// Whether the rules skip the whole day (serial). Null set: false. Invert is the caller's.
// Reads the compiled index and leaves the tables untouched; only posted rows count.
bool IsSkipDate(const SkipSet* set, int32_t day);
// The same answer by walking the tables row by row, leaving each table's current row at the
// row that matched or at the end (posts a row being edited, as any move does).
bool IsSkipDateDayByDay(const SkipSet* set, int32_t day);

// Days from..to inclusive whose (inverted) answer is false; 0 when to < from.
int32_t CountCountedDays(const SkipSet& set, bool invert, int32_t from, int32_t to);
// Days from..to inclusive that the rules skip (not inverted); 0 when to < from.
int32_t CountSkipDays(const SkipSet& set, int32_t from, int32_t to);

// Easter Sunday: Gregorian rules after 1752; for 1752 and earlier the Julian day and month,
// used as they are on the Gregorian scale. 0 for a year outside 1..9999.
TDateTime EcclesiasticEaster(int year);
// Easter Sunday on the Gregorian rules for a year (resolved by ResolveCenturyYear) in 1600..3999.
std::optional<TDateTime> AstronomicEaster(int year, int epochYear);
// A year below 100 placed in the hundred years starting at the epoch year.
int ResolveCenturyYear(int year, int epochYear);

}  // namespace clx
