#pragma once
// Text formatting and parsing of dates, times and numbers with the regional settings passed in.
#include <optional>
#include <string>
#include <string_view>

#include "platform/datetime.h"
#include "platform/locale.h"

namespace clx {

// Date-time patterns. Letters are case-insensitive:
//   d dd         day of month, without / with a leading zero
//   ddd dddd     short / long day name;  ddddd  short date format;  dddddd  long date format
//   m mm         month number; right after an h or hh (other letters in between count, literals
//                and separators do not) it means minutes
//   mmm mmmm     short / long month name
//   yy yyyy      two-digit / four-digit year
//   h hh n nn s ss z zzz   hour, minute, second, millisecond
//   t tt         short / long time format;  c  short date, then the long time when not midnight
//   am/pm a/p    the marker written in the case of the pattern ("AM/PM" writes AM or PM)
//   ampm         the locale's AM and PM strings
// Any am/pm marker makes the hours 12-hour. "/" and ":" write the locale's date and time
// separators; text in "double" or 'single' quotes and any other character is copied.
// An empty pattern means "c". Throws ConvertError for a value outside the calendar.
std::string FormatDateTime(std::string_view pattern, TDateTime v, const Locale& loc);

// Number patterns: "0" digit or zero, "#" digit if any, "." decimal point (written as the
// locale's), "," anywhere before the point groups thousands (locale separator). After the point
// the count of placeholders is the most decimals shown and the rightmost "0" the fewest. Quoted
// text and other characters (including "%", which does not scale the value) are copied. Up to
// three sections "positive;negative;zero": the negative section shows the magnitude without a
// sign, an empty section falls back to the first, and a value that rounds to zero uses the zero
// section. Rounding is half away from zero on the value's 18 significant decimal digits.
// An empty pattern gives FloatToText.
std::string FormatFloat(std::string_view pattern, double v, const Locale& loc);

// General format: at most 15 significant digits, no thousands separator, the locale's decimal
// separator; exponent form ("1E20", "1.5E-7") when the value has more than 15 integer digits or
// is below 0.0001 in magnitude. NaN and infinities give "NAN", "INF", "-INF".
std::string FloatToText(double v, const Locale& loc);
// The whole text (blanks around it allowed) as a number with the locale's decimal separator and
// an optional exponent; nullopt for anything else, or out of range.
std::optional<double> TextToFloat(std::string_view text, const Locale& loc);

// A date as typed: day, month and year in the order of `format` (an entry format such as
// "dd/mm/yyyy" or a short date format such as "d.M.yyyy"; empty means the locale's short date
// format), separated by any of "/", "-", ".", ",", blank or the locale's date separator; or the
// digits alone ("25122003", "251203"). Day and month take one or two digits (a month may also be
// a month name of the locale); a year of one or two digits is read as 2000-2049 for 0-49 and
// 1950-1999 for 50-99. nullopt when the text is not a real calendar date.
std::optional<TDateTime> ParseDate(std::string_view text, std::string_view format, const Locale& loc);
// Exactly YYYY-MM-DD.
std::optional<TDateTime> ParseIsoDate(std::string_view text);
// A time of day h[:mm[:ss]] (":" or the locale's time separator), 24-hour unless an AM/PM
// marker (the locale's strings or "am"/"pm", any case, before or after) makes it 12-hour.
// Returns the fraction of a day.
std::optional<TDateTime> ParseTime(std::string_view text, const Locale& loc);

}  // namespace clx
