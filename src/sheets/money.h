#pragma once
// Money: the one place where amounts are rounded as money and written as text.
#include <string>

#include "platform/locale.h"

namespace clx {

// The currency settings the money routines use, taken from the regional settings.
struct MoneyFormat {
    std::string symbol = "$";       // at most 5 characters
    int digits = 2;                 // currency decimal digits, 0..16
    int positiveFormat = 0;         // 0 "$1", 1 "1$", 2 "$ 1", 3 "1 $"
    int negativeFormat = 0;         // 0..15, see MoneyText
    char decimalSeparator = '.';
    char thousandSeparator = ',';

    // The symbol is cut to 5 characters; digits outside 0..16 raise std::invalid_argument.
    static MoneyFormat FromLocale(const Locale& loc);
};

// The value rounded to n decimals, half away from zero, judged on its decimal expansion to 18
// significant digits (so 2.675, held just below, gives 2.67 and 299.99999999999994 gives 300).
// The result is the double nearest to the rounded decimal. 0, NaN, infinities and n > 16 give
// the value unchanged; a negative n raises std::invalid_argument.
double RoundDecimals(double value, int n);

// RoundDecimals to the currency decimal digits.
double RoundMoney(double value, const MoneyFormat& fmt);
double RoundMoney(double value, const Locale& loc);

// The value rounded by RoundMoney, with exactly the currency digits, thousands grouped, in the
// positive or negative currency format, all blanks removed. A negative value that rounds to 0
// is written with the positive format. NaN and infinities raise std::invalid_argument.
std::string MoneyText(double value, const MoneyFormat& fmt);
std::string MoneyText(double value, const Locale& loc);

// A number pattern of platform/format.h that shows an amount as MoneyText writes it, for grid
// columns and entry fields: a positive and a negative section with the symbol quoted.
std::string CurrencyPicture(const MoneyFormat& fmt);
std::string CurrencyPicture(const Locale& loc);

}  // namespace clx
