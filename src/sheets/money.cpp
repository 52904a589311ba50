#include "sheets/money.h"

#include <charconv>
#include <cmath>
#include <stdexcept>
#include <string_view>

namespace clx {

namespace {

constexpr int kMaxDigits = 16;
constexpr int kSignificant = 18;

// The first n code points of a UTF-8 text.
std::string FirstCharacters(const std::string& s, size_t n) {
    size_t i = 0, count = 0;
    while (i < s.size() && count < n) {
        ++i;
        while (i < s.size() && (static_cast<unsigned char>(s[i]) & 0xC0) == 0x80) ++i;
        ++count;
    }
    return s.substr(0, i);
}

void CheckDigits(int digits, const char* who) {
    if (digits < 0 || digits > kMaxDigits)
        throw std::invalid_argument(std::string(who) + ": currency decimal digits " +
                                    std::to_string(digits) + " outside 0..16");
}

// Blanks, no-break spaces and narrow no-break spaces taken out.
std::string WithoutBlanks(std::string_view s) {
    std::string out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == ' ') continue;
        if (s.substr(i, 2) == "\xC2\xA0") { ++i; continue; }
        if (s.substr(i, 3) == "\xE2\x80\xAF") { i += 2; continue; }
        out += s[i];
    }
    return out;
}

// Symbol s and number n in the order of the positive or negative currency format.
std::string Arrange(const MoneyFormat& fmt, bool negative, const std::string& s, const std::string& n) {
    if (!negative) return (fmt.positiveFormat == 1 || fmt.positiveFormat == 3) ? n + s : s + n;
    switch (fmt.negativeFormat) {
        case 1: case 9: return "-" + s + n;
        case 2: case 12: return s + "-" + n;
        case 3: case 11: return s + n + "-";
        case 4: case 15: return "(" + n + s + ")";
        case 5: case 8: return "-" + n + s;
        case 6: case 13: return n + "-" + s;
        case 7: case 10: return n + s + "-";
        default: return "(" + s + n + ")";
    }
}

}  // namespace

MoneyFormat MoneyFormat::FromLocale(const Locale& loc) {
    CheckDigits(loc.currencyDigits, "Currency settings");
    MoneyFormat f;
    f.symbol = FirstCharacters(loc.currencySymbol, 5);
    f.digits = loc.currencyDigits;
    f.positiveFormat = loc.currencyFormat;
    f.negativeFormat = loc.negCurrencyFormat;
    f.decimalSeparator = loc.decimalSeparator;
    f.thousandSeparator = loc.thousandSeparator;
    return f;
}

double RoundDecimals(double value, int n) {
    if (n < 0) throw std::invalid_argument("RoundDecimals: negative number of decimals " + std::to_string(n));
    if (value == 0 || n > kMaxDigits || !std::isfinite(value)) return value;

    // The magnitude to 18 significant digits: digit k weighs 10^(exp - k).
    char buf[64];
    const auto res = std::to_chars(buf, buf + sizeof buf, std::fabs(value), std::chars_format::scientific,
                                   kSignificant - 1);
    const std::string_view sci(buf, res.ptr);
    const size_t e = sci.find('e');
    std::string digits;
    digits += sci[0];
    digits.append(sci.substr(2, e - 2));
    int exp = 0;
    std::from_chars(sci.data() + e + 1 + (sci[e + 1] == '+'), sci.data() + sci.size(), exp);

    // Keep the digits down to the n-th decimal place (weight 10^-n); look at the one after.
    const int kept = exp + n + 1;
    const int nextIndex = kept;
    const char next = nextIndex >= 0 && nextIndex < kSignificant ? digits[nextIndex] : '0';
    std::string mant;
    if (kept <= 0) mant = "0";
    else if (kept <= kSignificant) mant = digits.substr(0, kept);
    else mant = digits + std::string(kept - kSignificant, '0');
    if (next >= '5') {
        // Add one unit of the last kept place in decimal, so the result is the nearest double.
        int i = static_cast<int>(mant.size()) - 1;
        while (i >= 0 && mant[i] == '9') mant[i--] = '0';
        if (i < 0) mant.insert(mant.begin(), '1');
        else ++mant[i];
    }
    const std::string text = mant + "e-" + std::to_string(n);
    double t = 0;
    std::from_chars(text.data(), text.data() + text.size(), t);
    return std::copysign(t, value);
}

double RoundMoney(double value, const MoneyFormat& fmt) { return RoundDecimals(value, fmt.digits); }

double RoundMoney(double value, const Locale& loc) { return RoundMoney(value, MoneyFormat::FromLocale(loc)); }

std::string MoneyText(double value, const MoneyFormat& fmt) {
    CheckDigits(fmt.digits, "MoneyText");
    if (!std::isfinite(value)) throw std::invalid_argument("MoneyText: the amount is not a finite number");
    const double v = RoundMoney(value, fmt);

    char buf[400];
    const auto res = std::to_chars(buf, buf + sizeof buf, std::fabs(v), std::chars_format::fixed, fmt.digits);
    const std::string_view plain(buf, res.ptr);
    const size_t point = std::min(plain.find('.'), plain.size());
    std::string n;
    for (size_t i = 0; i < point; ++i) {
        if (i > 0 && (point - i) % 3 == 0) n += fmt.thousandSeparator;
        n += plain[i];
    }
    if (point < plain.size()) {
        n += fmt.decimalSeparator;
        n.append(plain.substr(point + 1));
    }

    return WithoutBlanks(Arrange(fmt, v < 0, fmt.symbol, n));
}

std::string MoneyText(double value, const Locale& loc) { return MoneyText(value, MoneyFormat::FromLocale(loc)); }

std::string CurrencyPicture(const MoneyFormat& fmt) {
    CheckDigits(fmt.digits, "CurrencyPicture");
    std::string symbol;
    for (char c : WithoutBlanks(fmt.symbol))
        if (c != '"') symbol += c;
    const std::string s = symbol.empty() ? std::string() : "\"" + symbol + "\"";
    std::string n = "#,##0";
    if (fmt.digits > 0) n += "." + std::string(static_cast<size_t>(fmt.digits), '0');
    return Arrange(fmt, false, s, n) + ";" + Arrange(fmt, true, s, n);
}

std::string CurrencyPicture(const Locale& loc) { return CurrencyPicture(MoneyFormat::FromLocale(loc)); }

}  // namespace clx
