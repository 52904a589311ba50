#pragma once
// Lookup lists: the text-list reader of the lookup combos, the text lists of the forms, the
// lookup types and the built-in named lists whose items carry their position as value.
#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "platform/locale.h"

namespace clx {

// Characters of a text list that are read; the rest is dropped.
inline constexpr size_t kCsvMaxCharacters = 255;

// Splits a text list on "," and ";" outside double quotes (the quotes themselves are dropped).
// The text and every entry are trimmed of blanks and control characters (ASCII codes up to 32,
// and the non-ASCII spaces and controls); entries left empty are kept only with keepEmpty, so
// that positions stay values. Only the first kCsvMaxCharacters characters (UTF-8) are read.
std::vector<std::string> SplitCsv(std::string_view text, bool keepEmpty);

// The text lists of the forms' lookup combos. An item's value is its position in the list,
// counting empty entries (days per year offers 1 to 4 only).
inline constexpr const char* kCsvCalcMethod =
    "Normal;Finance - US (NASD) 30/360;Finance - Actual/actual;"
    "Finance - Actual/360 ( USA Money Market Basis);Finance - Actual/365 (USA Bond Basis);"
    "Finance - European 30/360";
inline constexpr const char* kCsvMiddleDates =
    "Middle dates are FROM (start a new date span);Middle dates are TO (end the previous date span)";
inline constexpr const char* kCsvRepeatStyle =
    "All dates in span - eg every pay-day in 2004;Repeats - eg 12 loan payments";
inline constexpr const char* kCsvPlanScope = "Current plan only;The collated plans";
inline constexpr const char* kCsvTwilight = "Civil;Nautical;Astronomical";
inline constexpr const char* kCsvDaysPerYear =
    ";365.25 days/year;366 days/year;365 days/year;360 days/year";
inline constexpr const char* kCsvDateEntryFormat =
    "Use Control Panel Setting;mm/dd/yyyy;dd/mm/yyyy;yyyy/mm/dd";
inline constexpr const char* kCsvFirstDayOfWeek =
    "Monday;Tuesday;Wednesday;Thursday;Friday;Saturday;Sunday;Locale Default";
inline constexpr const char* kCsvAmountBalance =
    "Auto Select;Neither;Amount but not Balance;Balance but not Amount";
inline constexpr const char* kCsvDelimiter =
    "Use Control Panel Setting;\" Comma (,)\";\"Semi-Colon (;)\";Tab Character";
inline constexpr const char* kCsvEditChoice =
    "Cancel changes & press Esc;Proceed and lock;\"Proceed, but don't lock\"";

// Where a lookup combo's items come from; stored in one byte.
enum TLookupType : uint8_t {
    ltGeneral = 0,      // the OnLoadItems handler
    ltItems = 1,        // the items typed into the control, valued by position
    ltTable = 2,        // a table: a text field and an integer field
    ltCSV = 3,          // a text list, valued by position
    ltFrequency = 4,
    ltYesNo = 5,
    ltTrueFalse = 6,
    ltCpiQtr = 7,
    ltCpiCity = 8,
    ltGender = 9,
    ltDateFmt = 10,
    ltDueDateType = 11,
    ltCountry = 12,
    ltMedCat = 13,
    ltCpiRefDate = 14,
    ltValType = 15,
    ltFieldPrint = 16,
    ltProRata = 17,
    ltDateSource = 18,
    ltEndAdjust = 19,
    ltY2D = 20,
    ltPrintUnit = 21,   // filled by the owning form when the list drops down
    ltPrinterOrientation = 22,
    ltOrientation = 23,
    ltRelDate = 24,
    ltDrCr = 25,
    ltTierDefault = 26,
    ltIntType = 27,
    ltPronounCase = 28,
    ltDeltaType = 29,
};
inline constexpr int kLookupTypeCount = 30;

// The name of the named list a lookup type shows; nullptr for the other types.
const char* NamedListOf(TLookupType type);

// The values of the named lists that are left out by default (the other values of these types
// are not used by this program).
enum TDateFmt : uint8_t { df30061999 = 0, dfJanJun1999 = 12, dfWednesday30June1999 = 16 };
enum TFieldPrint : uint8_t { fpSkipRedundant = 3, fpZen = 4 };
enum TRelDate : uint8_t { rdSpecificSing = 0, rdSpecificMult = 1, rdEndNextMonth = 15 };
enum TDateSource : uint8_t {
    dsRelDate = 0, dsOnReportDates = 3, dsNRepeats = 4, dsSpan = 5, dsSL = 6, dsProgram = 7,
};

struct LookupItem {
    int value = 0;
    std::string text;
    friend bool operator==(const LookupItem&, const LookupItem&) = default;
};

// The built-in named lists. Every list is a fixed array of texts; an item's value is its
// position from 0. A name is matched as the combos do: leading digits and lower-case letters
// are dropped ("ltFrequency" finds "Frequency"), then the rest is compared without regard to
// case.
class NamedLists {
public:
    // Builds the lists once; the locale's month names go into the frequency texts.
    explicit NamedLists(const Locale& loc);

    // The 25 list names in table order.
    static const std::vector<std::string>& Names();
    // The position of the list a name refers to in Names(); nullopt when none matches.
    static std::optional<size_t> Find(std::string_view name);

    // The texts in value order; nullptr for a name that matches no list.
    const std::vector<std::string>* Texts(std::string_view name) const;
    // The items whose value is not excluded; nullopt as for Texts.
    std::optional<std::vector<LookupItem>> Items(std::string_view name,
                                                 const std::set<int>& excluded = {}) const;

private:
    std::vector<std::vector<std::string>> lists_;   // by position in Names()
};

// Fills any item list with a named list: the items are replaced by those of the list whose value
// is not excluded. A name that matches no list leaves the items unchanged and gives false.
bool FillNamedList(const NamedLists& lists, std::string_view name, std::vector<LookupItem>& items,
                   const std::set<int>& excluded = {});

}  // namespace clx
