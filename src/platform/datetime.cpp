#include "platform/datetime.h"

#include <chrono>
#include <cmath>

namespace clx {

namespace {
using namespace std::chrono;
// sys_days of 1899-12-30, the zero of TDateTime.
constexpr int32_t kEpochOffset = static_cast<int32_t>(
    sys_days{year{1899} / December / 30}.time_since_epoch().count());
}  // namespace

bool IsLeapYear(int y) { return year{y}.is_leap(); }

int DaysInMonth(int y, int m) {
    if (m < 1 || m > 12) return 0;
    return static_cast<int>(static_cast<unsigned>((year{y} / month{static_cast<unsigned>(m)} / last).day()));
}

bool IsValidDate(int y, int m, int d) {
    return y >= kMinYear && y <= kMaxYear && m >= 1 && m <= 12 && d >= 1 && d <= DaysInMonth(y, m);
}

bool IsValidTime(int h, int n, int s, int ms) {
    return h >= 0 && h < 24 && n >= 0 && n < 60 && s >= 0 && s < 60 && ms >= 0 && ms < 1000;
}

std::optional<TDateTime> TryEncodeDate(int y, int m, int d) {
    if (!IsValidDate(y, m, d)) return std::nullopt;
    const sys_days sd{year{y} / month{static_cast<unsigned>(m)} / day{static_cast<unsigned>(d)}};
    return static_cast<double>(sd.time_since_epoch().count() - kEpochOffset);
}

TDateTime EncodeDate(int y, int m, int d) {
    if (auto v = TryEncodeDate(y, m, d)) return *v;
    throw ConvertError("Invalid date: year " + std::to_string(y) + ", month " + std::to_string(m) +
                       ", day " + std::to_string(d));
}

std::optional<TDateTime> TryEncodeTime(int h, int n, int s, int ms) {
    if (!IsValidTime(h, n, s, ms)) return std::nullopt;
    return (((h * 60.0 + n) * 60.0 + s) * 1000.0 + ms) / 86400000.0;
}

TDateTime EncodeTime(int h, int n, int s, int ms) {
    if (auto v = TryEncodeTime(h, n, s, ms)) return *v;
    throw ConvertError("Invalid time: " + std::to_string(h) + ":" + std::to_string(n) + ":" +
                       std::to_string(s) + "." + std::to_string(ms));
}

int32_t WholeDays(TDateTime d) { return static_cast<int32_t>(std::trunc(d)); }

bool IsValidSerial(int32_t serial) { return serial >= kMinDateSerial && serial <= kMaxDateSerial; }

CivilDate DecodeDate(TDateTime d) {
    if (!std::isfinite(d) || d < kMinDateSerial - 1.0 || d > kMaxDateSerial + 1.0 ||
        !IsValidSerial(WholeDays(d)))
        throw ConvertError("Date value out of range: " + std::to_string(d));
    const year_month_day ymd{sys_days{days{WholeDays(d) + kEpochOffset}}};
    return {static_cast<int>(ymd.year()), static_cast<int>(static_cast<unsigned>(ymd.month())),
            static_cast<int>(static_cast<unsigned>(ymd.day()))};
}

TimeOfDay DecodeTime(TDateTime d) {
    double frac = std::fabs(d - std::trunc(d));
    auto ms = static_cast<int64_t>(std::llround(frac * 86400000.0));
    if (ms >= 86400000) ms = 86399999;
    TimeOfDay t;
    t.msec = static_cast<int>(ms % 1000);
    ms /= 1000;
    t.second = static_cast<int>(ms % 60);
    ms /= 60;
    t.minute = static_cast<int>(ms % 60);
    t.hour = static_cast<int>(ms / 60);
    return t;
}

int DayOfWeek(TDateTime d) {
    // 1899-12-30 was a Saturday (7).
    int r = static_cast<int>((static_cast<int64_t>(WholeDays(d)) + 6) % 7);
    if (r < 0) r += 7;
    return r + 1;
}

int DayOfYear(TDateTime d) {
    const CivilDate c = DecodeDate(d);
    return WholeDays(d) - WholeDays(EncodeDate(c.year, 1, 1)) + 1;
}

TDateTime ComposeDateTime(TDateTime date, TDateTime time) {
    const double day = std::trunc(date);
    const double t = std::fabs(time - std::trunc(time));
    return day >= 0 ? day + t : day - t;
}

}  // namespace clx
