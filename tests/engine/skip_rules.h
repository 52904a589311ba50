#pragma once
// Building skip sets in tests through the tables' own editing path.
#include "engine/skipset.h"
#include "platform/datetime.h"

namespace clx::testing {

inline TDateTime D(int y, int m, int d) { return EncodeDate(y, m, d); }
inline int32_t Day(int y, int m, int d) { return WholeDays(EncodeDate(y, m, d)); }

inline void AddRecurring(SkipSet& s, int day, int month, bool use = true, const char* text = "") {
    s.recurring.Append();
    s.recurring.FieldByName("Day").SetInteger(day);
    s.recurring.FieldByName("Month").SetInteger(month);
    s.recurring.FieldByName("Description").SetString(text);
    if (!use) s.recurring.FieldByName("Use").SetBoolean(false);
    s.recurring.Post();
}

inline void AddDate(MemTable& t, TDateTime date, bool use = true) {
    t.Append();
    t.FieldByName("Date").SetDateTime(date);
    if (!use) t.FieldByName("Use").SetBoolean(false);
    t.Post();
}

inline void AddRange(SkipSet& s, TDateTime from, TDateTime to, bool use = true) {
    s.ranges.Append();
    s.ranges.FieldByName("DFrom").SetDateTime(from);
    s.ranges.FieldByName("DTo").SetDateTime(to);
    if (!use) s.ranges.FieldByName("Use").SetBoolean(false);
    s.ranges.Post();
}

inline void SkipWeekend(SkipSet& s) {
    s.header.SetWeekday(1, true);
    s.header.SetWeekday(7, true);
}

}  // namespace clx::testing
