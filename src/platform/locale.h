#pragma once
// Regional settings: one value built once from the process locale and passed in.
#include <array>
#include <optional>
#include <string>

namespace clx {

struct Locale {
    std::string language = "en";        // ISO 639 code
    std::string country = "US";         // ISO 3166 code
    std::string languageName = "English";
    std::string countryName = "United States";

    // Date and time. Formats use the pattern language of format.h ("/" and ":" stand for the
    // separators below).
    std::string shortDateFormat = "M/d/yyyy";
    std::string longDateFormat = "dddd, MMMM d, yyyy";
    char dateSeparator = '/';
    char timeSeparator = ':';
    std::string timeFormat = "h:mm:ss AMPM";   // long time format
    std::string shortTimeFormat = "h:mm AMPM";
    std::string timeAMString = "AM";
    std::string timePMString = "PM";

    // Numbers and money.
    char decimalSeparator = '.';
    char thousandSeparator = ',';
    char listSeparator = ',';
    std::string currencySymbol = "$";
    int currencyDigits = 2;
    // Positive currency format: 0 "$1", 1 "1$", 2 "$ 1", 3 "1 $".
    int currencyFormat = 0;
    // Negative currency format, 0..15 as the classic regional settings number them
    // (0 "($1)", 1 "-$1", 2 "$-1", 3 "$1-", 4 "(1$)", 5 "-1$", ... 15 "(1 $)").
    int negCurrencyFormat = 0;

    // Names, index 0 = January / Sunday.
    std::array<std::string, 12> shortMonthNames{"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    std::array<std::string, 12> longMonthNames{"January", "February", "March",     "April",
                                               "May",     "June",     "July",      "August",
                                               "September", "October", "November", "December"};
    std::array<std::string, 7> shortDayNames{"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    std::array<std::string, 7> longDayNames{"Sunday",   "Monday", "Tuesday", "Wednesday",
                                            "Thursday", "Friday", "Saturday"};

    // English defaults with two currency digits (what the C locale gives).
    static Locale Default() { return Locale{}; }
    // The process locale (the first of LC_ALL, LC_TIME, LANG that is set), as FromName reads it.
    // "C" and "POSIX" give Default().
    static Locale FromProcess();
    // A named locale such as "de_DE", "en_GB.UTF-8" or "fr-FR", from ICU's data (which does not
    // need the locale to be generated for the C library); the C library's data when ICU has none;
    // Default() when neither knows the name. Names of languages and countries are in English.
    static Locale FromName(const std::string& name);
    // The C library's data for a locale name (nl_langinfo, localeconv); nullopt when the
    // name is not installed. POSIX has no long date format: one is spelt in the short date's order.
    static std::optional<Locale> FromPosix(const std::string& name);
};

}  // namespace clx
