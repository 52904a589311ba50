#pragma once
// The Various sheet's calendar tools without their window: Gregorian date and time to the
// astronomical Julian Date and back, and the text of the Easter table.
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

#include "platform/datetime.h"
#include "platform/locale.h"

namespace clx {

// The error box text of a Julian Date the conversion cannot place.
inline constexpr const char* kBadDateText = "Bad Date!";

class JulianDateError : public std::runtime_error {
public:
    JulianDateError() : std::runtime_error(kBadDateText) {}
};

// Word tokens of the options' word table used by the tools, with the wording of the factory
// options file (a missing token shows as an empty text).
inline constexpr const char* kBadGregToken = "BADGREG";
inline constexpr const char* kEasterClipToken = "EASTERCLIP";
inline constexpr const char* kFactoryBadGregText =
    "Dates before 1753 are shown on the Gregorian calendar. Britain and its colonies used the "
    "Julian calendar until September 1752, so older dates may differ from the records of the time.";
inline constexpr const char* kFactoryEasterClipText =
    "The Easter dates have been copied to the clipboard.";

// The days from 1 January 1600 (day 0) to the end of 31 December 3999.
inline constexpr int32_t kJulianLastDayNumber = 876581;

// (hours mod 24) * 3600 + minutes * 60 + seconds, mod 86400 (never negative).
int32_t SecondsOfTime(int hours, int minutes, int seconds);

// Julian Day at 0h (Meeus; Gregorian calendar from 15 October 1582, Julian before) plus
// seconds / 86400.
double AstroJulianDate(int year, int month, int day, int32_t secondsAfterMidnight);

// The day and time as the Julian page takes them: year, month and day of date, hours, minutes
// and seconds of time. Throws ConvertError for a date outside the calendar.
double GregorianToJulianDate(TDateTime date, TDateTime time);

// Days since 1 January 1600 00:00 of the day holding the Julian Date, rounded as the date
// step below expects; nullopt before 1 January 1600 or after 31 December 3999 (and for NaN).
std::optional<int32_t> JulianDayNumber(double julianDate);
// The date of a day number counted from 1 January 1600.
TDateTime DateOfDayNumber(int32_t dayNumber);

struct GregorianDateTime {
    TDateTime date = 0;   // midnight of the day
    TDateTime time = 0;   // fraction of the day, to the millisecond
    friend bool operator==(const GregorianDateTime&, const GregorianDateTime&) = default;
};
std::optional<GregorianDateTime> TryJulianToGregorian(double julianDate);
// Throws JulianDateError ("Bad Date!") when the Julian Date cannot be placed.
GregorianDateTime JulianToGregorian(double julianDate);

// After either conversion a date before 1 January 1753 gets the BADGREG note.
bool NeedsGregorianNote(TDateTime date);

// "Easter Sunday\r\n", then one entry per year from firstYear (years of them; none when 0 or
// less), five to a line: the ecclesiastic Easter Sunday in dateFormat, or, when the Gregorian
// computus differs, both dates marked "(ecclesiastic) | " and "(astronomic)". Each entry is
// followed by ", " or, after every fifth, "\r\n". Throws std::invalid_argument when the years
// leave 1..9999.
std::string EasterTableText(int firstYear, int years, std::string_view dateFormat, const Locale& loc);
// The information box after the table went to the clipboard.
std::string EasterBoxText(std::string_view tableText, std::string_view easterClipText);

}  // namespace clx
