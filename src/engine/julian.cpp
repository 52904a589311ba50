#include "engine/julian.h"

#include <cmath>

#include "engine/skipset.h"
#include "platform/format.h"

namespace clx {

namespace {
constexpr double kDayNumberZero = 2305448.0;   // Julian Date + 0.5 of 1 January 1600 00:00
constexpr double kMsPerDay = 86400000.0;
}  // namespace

int32_t SecondsOfTime(int hours, int minutes, int seconds) {
    const int64_t total = int64_t{hours % 24} * 3600 + int64_t{minutes} * 60 + seconds;
    return static_cast<int32_t>(((total % 86400) + 86400) % 86400);
}

double AstroJulianDate(int year, int month, int day, int32_t secondsAfterMidnight) {
    const bool gregorian =
        year > 1582 || (year == 1582 && (month > 10 || (month == 10 && day >= 15)));
    double y = year, m = month;
    if (month <= 2) {
        y -= 1;
        m += 12;
    }
    double b = 0;
    if (gregorian) {
        const double a = std::floor(y / 100);
        b = 2 - a + std::floor(a / 4);
    }
    const double jd0 = std::floor(365.25 * (y + 4716)) + std::floor(30.6001 * (m + 1)) + day + b - 1524.5;
    return jd0 + secondsAfterMidnight / 86400.0;
}

double GregorianToJulianDate(TDateTime date, TDateTime time) {
    const CivilDate c = DecodeDate(date);
    const TimeOfDay t = DecodeTime(time);
    return AstroJulianDate(c.year, c.month, c.day, SecondsOfTime(t.hour, t.minute, t.second));
}

std::optional<int32_t> JulianDayNumber(double julianDate) {
    const double n = julianDate + 0.5 - kDayNumberZero;
    // The whole of 31 December 3999 is accepted (n below the start of 1 January 4000).
    if (!(n >= 0) || !(n < kJulianLastDayNumber + 1.0)) return std::nullopt;
    return static_cast<int32_t>(std::floor(n + 0.5));
}

TDateTime DateOfDayNumber(int32_t dayNumber) { return EncodeDate(1600, 1, 1) + dayNumber; }

std::optional<GregorianDateTime> TryJulianToGregorian(double julianDate) {
    const auto d = JulianDayNumber(julianDate);
    if (!d) return std::nullopt;
    TDateTime date = DateOfDayNumber(*d);
    const double f = julianDate - std::floor(julianDate);
    double time;
    if (f >= 0.5) {
        time = f - 0.5;
    } else {
        date -= 1;
        time = f + 0.5;
    }
    // The time is kept to the millisecond; a value that rounds up to midnight starts the next day.
    time = std::round(time * kMsPerDay) / kMsPerDay;
    if (time >= 1.0) {
        date += 1;
        time = 0;
    }
    return GregorianDateTime{date, time};
}

GregorianDateTime JulianToGregorian(double julianDate) {
    if (auto r = TryJulianToGregorian(julianDate)) return *r;
    throw JulianDateError();
}

bool NeedsGregorianNote(TDateTime date) { return date < EncodeDate(1753, 1, 1); }

std::string EasterTableText(int firstYear, int years, std::string_view dateFormat, const Locale& loc) {
    std::string text = "Easter Sunday\r\n";
    if (years <= 0) return text;
    if (firstYear < kMinYear || firstYear > kMaxYear || int64_t{firstYear} + years - 1 > kMaxYear)
        throw std::invalid_argument("Easter table: the years " + std::to_string(firstYear) + " to " +
                                    std::to_string(int64_t{firstYear} + years - 1) +
                                    " lie outside the calendar");
    for (int c = 1; c <= years; ++c) {
        const int y = firstYear + c - 1;
        const TDateTime e = EcclesiasticEaster(y);
        const std::optional<TDateTime> a = AstronomicEaster(y, 0);
        // Outside 1600..3999 the Gregorian computus gives no date to compare with.
        if (a && *a != e) {
            text += FormatDateTime(dateFormat, e, loc);
            text += "(ecclesiastic) | ";
            text += FormatDateTime(dateFormat, *a, loc);
            text += "(astronomic)";
        } else {
            text += FormatDateTime(dateFormat, e, loc);
        }
        text += c % 5 != 0 ? ", " : "\r\n";
    }
    return text;
}

std::string EasterBoxText(std::string_view tableText, std::string_view easterClipText) {
    std::string s(tableText);
    s += "\r\n\r\n";
    s += easterClipText;
    return s;
}

}  // namespace clx
