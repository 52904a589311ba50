#pragma once
// TDateTime: days since 30 December 1899 as a double; the fraction is the time of day.
// Civil dates are proleptic Gregorian, years 1 to 9999.
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>

namespace clx {

using TDateTime = double;

// Raised for an impossible date or time (the message names what was wrong).
class ConvertError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct CivilDate {
    int year = 0, month = 0, day = 0;
    friend bool operator==(const CivilDate&, const CivilDate&) = default;
};

struct TimeOfDay {
    int hour = 0, minute = 0, second = 0, msec = 0;
    friend bool operator==(const TimeOfDay&, const TimeOfDay&) = default;
};

inline constexpr int kMinYear = 1;
inline constexpr int kMaxYear = 9999;
inline constexpr int32_t kMinDateSerial = -693593;   // 1 January 0001
inline constexpr int32_t kMaxDateSerial = 2958465;   // 31 December 9999
inline constexpr int32_t kDateDelta = 693594;        // serial of 1 Jan 0001 counted as day 1

bool IsLeapYear(int year);
int DaysInMonth(int year, int month);                 // 0 for a month outside 1..12
bool IsValidDate(int year, int month, int day);
bool IsValidTime(int hour, int minute, int second, int msec);

std::optional<TDateTime> TryEncodeDate(int year, int month, int day);
TDateTime EncodeDate(int year, int month, int day);   // throws ConvertError
std::optional<TDateTime> TryEncodeTime(int hour, int minute, int second, int msec = 0);
TDateTime EncodeTime(int hour, int minute, int second, int msec = 0);  // throws ConvertError

int32_t WholeDays(TDateTime d);                       // truncated toward zero
bool IsValidSerial(int32_t serial);
CivilDate DecodeDate(TDateTime d);                    // of the whole days; throws outside 1..9999
TimeOfDay DecodeTime(TDateTime d);                    // of the absolute fraction, rounded to the ms
int DayOfWeek(TDateTime d);                           // Sunday = 1 ... Saturday = 7
int DayOfYear(TDateTime d);                           // 1 January = 1

// Composes a date-time from a day and a time of day with the platform's sign rule:
// the fraction always counts forward from midnight of the day, also before 1899-12-30.
TDateTime ComposeDateTime(TDateTime date, TDateTime time);

}  // namespace clx
