#include "platform/locale.h"
#include "platform/text_encoding.h"

#include <langinfo.h>
#include <locale.h>
#include <unicode/dcfmtsym.h>
#include <unicode/decimfmt.h>
#include <unicode/dtfmtsym.h>
#include <unicode/locid.h>
#include <unicode/numfmt.h>
#include <unicode/smpdtfmt.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <memory>
#include <string_view>

namespace clx {

namespace {

bool IsAsciiAlpha(char32_t c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

std::string Utf8(const icu::UnicodeString& u) {
    std::string s;
    u.toUTF8String(s);
    return s;
}

// Blanks of other widths become plain blanks: users type and read plain ones.
char32_t PlainBlank(char32_t c) { return (c == 0xA0 || c == 0x202F || c == 0x2007 || c == 0x2009) ? ' ' : c; }

// The settings hold separators as single characters; map the usual non-ASCII ones.
char AsciiSeparator(const icu::UnicodeString& u, char fallback) {
    if (u.countChar32() != 1) return fallback;
    const char32_t c = PlainBlank(static_cast<char32_t>(u.char32At(0)));
    if (c < 0x80) return static_cast<char>(c);
    if (c == 0x2019 || c == 0x02BC) return '\'';
    if (c == 0x066B) return '.';
    if (c == 0x066C) return ',';
    return fallback;
}

// Direction marks help bidirectional display but would have to be typed in an entry format.
icu::UnicodeString WithoutDirectionMarks(icu::UnicodeString u) {
    for (const char16_t* mark : {u"\u200E", u"\u200F", u"\u061C"}) u.findAndReplace(mark, u"");
    return u;
}


// A literal of an ICU or strftime pattern, written so that our pattern language copies it.
void AppendLiteral(std::string& out, char32_t c, char dateSep, char timeSep) {
    c = PlainBlank(c);
    if (IsAsciiAlpha(c) || (c == '/' && dateSep != '/') || (c == ':' && timeSep != ':') || c == '\'') {
        out += '"';
        out += static_cast<char>(c);
        out += '"';
    } else if (c == '"') {
        out += "'\"'";
    } else {
        AppendUtf8(out, c);
    }
}

std::string TrimBlanks(std::string s) {
    while (!s.empty() && s.front() == ' ') s.erase(s.begin());
    while (!s.empty() && s.back() == ' ') s.pop_back();
    return s;
}

// First separator of a pattern: the first ASCII character outside quotes that is neither a
// letter nor a blank.
char FirstSeparator(const icu::UnicodeString& p, char fallback) {
    bool quoted = false;
    for (int32_t i = 0; i < p.length(); ++i) {
        const char16_t c = p.charAt(i);
        if (c == '\'') quoted = !quoted;
        else if (!quoted && c < 0x80 && c != ' ' && !IsAsciiAlpha(c)) return static_cast<char>(c);
    }
    return fallback;
}

// CLDR pattern letters to ours. Eras, zones and week fields have no counterpart and are dropped.
std::string ConvertIcuPattern(const icu::UnicodeString& p, char dateSep, char timeSep) {
    std::string out;
    bool lastWasHour = false;
    for (int32_t i = 0; i < p.length();) {
        const UChar32 c = p.char32At(i);
        if (c == '\'') {
            if (i + 1 < p.length() && p.charAt(i + 1) == '\'') {
                AppendLiteral(out, '\'', dateSep, timeSep);
                i += 2;
                continue;
            }
            std::string text;
            for (++i; i < p.length(); ++i) {
                if (p.charAt(i) == '\'') {
                    if (i + 1 < p.length() && p.charAt(i + 1) == '\'') {
                        text += "'";
                        ++i;
                        continue;
                    }
                    break;
                }
                AppendUtf8(text, PlainBlank(static_cast<char32_t>(p.char32At(i))));
                if (U16_IS_LEAD(p.charAt(i))) ++i;
            }
            ++i;
            out += '"';
            for (char ch : text) out += ch == '"' ? std::string("\"'\"'\"") : std::string(1, ch);
            out += '"';
            continue;
        }
        if (!IsAsciiAlpha(static_cast<char32_t>(c))) {
            AppendLiteral(out, static_cast<char32_t>(c), dateSep, timeSep);
            i += U16_LENGTH(c);
            continue;
        }
        int32_t n = 1;
        while (i + n < p.length() && p.charAt(i + n) == c) ++n;
        i += n;
        bool hour = false;
        switch (c) {
            case 'y': case 'u': case 'Y': case 'r': out += n == 2 ? "yy" : "yyyy"; break;
            case 'M': case 'L': out += n == 1 ? "M" : n == 2 ? "MM" : n == 4 ? "MMMM" : "MMM"; break;
            case 'd': out += n == 1 ? "d" : "dd"; break;
            case 'E': out += n == 4 ? "dddd" : "ddd"; break;
            case 'c': case 'e':
                if (n >= 3) out += n == 4 ? "dddd" : "ddd";
                break;
            case 'h': case 'H': case 'k': case 'K':
                out += n == 1 ? "h" : "hh";
                hour = true;
                break;
            // Minutes written "mm" right after an hour read naturally; "nn" is never a month.
            case 'm': out += lastWasHour ? (n == 1 ? "m" : "mm") : (n == 1 ? "n" : "nn"); break;
            case 's': out += n == 1 ? "s" : "ss"; break;
            case 'S': out += "zzz"; break;
            case 'a': case 'b': case 'B': out += "AMPM"; break;
            default: continue;  // dropped: keep the hour context for a following minute field
        }
        lastWasHour = hour;
    }
    return TrimBlanks(out);
}

// Shape of a currency pattern: "$" symbol, "N" number, "-", "(", ")", " " blank.
std::string CurrencyShape(const icu::UnicodeString& sub) {
    std::string shape;
    bool quoted = false;
    for (int32_t i = 0; i < sub.length(); ++i) {
        const char32_t c = PlainBlank(sub.charAt(i));
        if (c == '\'') quoted = !quoted;
        if (quoted || c == '\'') continue;
        char s = 0;
        if (c == 0xA4) s = '$';
        else if ((c >= '0' && c <= '9') || c == '#' || c == ',' || c == '.' || c == '@') s = 'N';
        else if (c == '-' || c == '(' || c == ')' || c == ' ') s = static_cast<char>(c);
        const bool repeat = !shape.empty() && s == shape.back() && (s == '$' || s == 'N' || s == ' ');
        if (s && !repeat) shape += s;
    }
    return TrimBlanks(shape);
}

constexpr std::string_view kNegativeShapes[16] = {
    "($N)", "-$N", "$-N", "$N-", "(N$)", "-N$", "N-$", "N$-",
    "-N $", "-$ N", "N $-", "$ N-", "$ -N", "N- $", "($ N)", "(N $)"};

int PositiveCurrencyFormat(const std::string& shape) {
    const size_t sym = shape.find('$'), num = shape.find('N');
    if (sym == std::string::npos || num == std::string::npos) return 0;
    const bool blank = shape.find(' ') != std::string::npos;
    return sym < num ? (blank ? 2 : 0) : (blank ? 3 : 1);
}

int NegativeCurrencyFormat(std::string shape, int positive) {
    for (int pass = 0; pass < 2; ++pass) {
        for (int i = 0; i < 16; ++i)
            if (shape == kNegativeShapes[i]) return i;
        std::erase(shape, ' ');
    }
    static constexpr int kByPositive[4] = {1, 5, 9, 8};
    return kByPositive[positive & 3];
}

std::string FirstCodePoints(const std::string& utf8, int count) {
    size_t i = 0;
    for (int n = 0; i < utf8.size() && n < count; ++n) {
        ++i;
        while (i < utf8.size() && (static_cast<unsigned char>(utf8[i]) & 0xC0) == 0x80) ++i;
    }
    return utf8.substr(0, i);
}

// Removes the seconds of a time pattern together with the separator before them.
std::string WithoutSeconds(std::string p) {
    const size_t s = p.find_first_of("sS");
    if (s == std::string::npos) return p;
    size_t end = s;
    while (end < p.size() && (p[end] == 's' || p[end] == 'S')) ++end;
    size_t begin = s;
    if (begin > 0 && !IsAsciiAlpha(static_cast<unsigned char>(p[begin - 1]))) --begin;
    p.erase(begin, end - begin);
    return p;
}

void SetCodesAndNames(Locale& loc, const icu::Locale& il) {
    loc.language = il.getLanguage();
    loc.country = il.getCountry();
    icu::UnicodeString u;
    loc.languageName = Utf8(il.getDisplayLanguage(icu::Locale::getEnglish(), u));
    u.remove();
    loc.countryName = Utf8(il.getDisplayCountry(icu::Locale::getEnglish(), u));
}

void SetListSeparator(Locale& loc) { loc.listSeparator = loc.decimalSeparator == ',' ? ';' : ','; }

std::optional<Locale> FromIcu(const std::string& base) {
    icu::Locale il(base.c_str());
    if (il.isBogus() || *il.getLanguage() == '\0') return std::nullopt;
    UErrorCode st = U_ZERO_ERROR;
    // Our dates are Gregorian and our digits ASCII, whatever the locale's defaults.
    il.setKeywordValue("calendar", "gregorian", st);
    il.setKeywordValue("numbers", "latn", st);
    if (U_FAILURE(st)) return std::nullopt;

    icu::DateFormatSymbols syms(il, st);
    if (U_FAILURE(st) || st == U_USING_DEFAULT_WARNING) return std::nullopt;
    const icu::Locale actual = syms.getLocale(ULOC_ACTUAL_LOCALE, st);
    if (U_FAILURE(st) || std::string_view(actual.getLanguage()) != il.getLanguage()) return std::nullopt;

    Locale loc;
    SetCodesAndNames(loc, il);

    int32_t n = 0;
    using DFS = icu::DateFormatSymbols;
    const icu::UnicodeString* names = syms.getMonths(n, DFS::FORMAT, DFS::WIDE);
    for (int i = 0; i < 12 && i < n; ++i) loc.longMonthNames[i] = Utf8(names[i]);
    names = syms.getMonths(n, DFS::FORMAT, DFS::ABBREVIATED);
    for (int i = 0; i < 12 && i < n; ++i) loc.shortMonthNames[i] = Utf8(names[i]);
    names = syms.getWeekdays(n, DFS::FORMAT, DFS::WIDE);  // [1] is Sunday
    for (int i = 0; i < 7 && i + 1 < n; ++i) loc.longDayNames[i] = Utf8(names[i + 1]);
    names = syms.getWeekdays(n, DFS::FORMAT, DFS::ABBREVIATED);
    for (int i = 0; i < 7 && i + 1 < n; ++i) loc.shortDayNames[i] = Utf8(names[i + 1]);
    names = syms.getAmPmStrings(n);
    if (n >= 2) {
        loc.timeAMString = Utf8(names[0]);
        loc.timePMString = Utf8(names[1]);
    }

    auto patternOf = [](icu::DateFormat* f) {
        std::unique_ptr<icu::DateFormat> owned(f);
        icu::UnicodeString p;
        if (auto* s = dynamic_cast<icu::SimpleDateFormat*>(owned.get())) s->toPattern(p);
        return WithoutDirectionMarks(p);
    };
    using DF = icu::DateFormat;
    const icu::UnicodeString shortDate = patternOf(DF::createDateInstance(DF::kShort, il));
    const icu::UnicodeString longDate = patternOf(DF::createDateInstance(DF::kFull, il));
    const icu::UnicodeString longTime = patternOf(DF::createTimeInstance(DF::kMedium, il));
    const icu::UnicodeString shortTime = patternOf(DF::createTimeInstance(DF::kShort, il));
    loc.dateSeparator = FirstSeparator(shortDate, loc.dateSeparator);
    loc.timeSeparator = FirstSeparator(longTime, loc.timeSeparator);
    auto convert = [&](const icu::UnicodeString& p, std::string& target) {
        if (std::string s = ConvertIcuPattern(p, loc.dateSeparator, loc.timeSeparator); !s.empty()) target = s;
    };
    convert(shortDate, loc.shortDateFormat);
    convert(longDate, loc.longDateFormat);
    convert(longTime, loc.timeFormat);
    convert(shortTime, loc.shortTimeFormat);

    st = U_ZERO_ERROR;
    icu::DecimalFormatSymbols nsyms(il, st);
    if (U_SUCCESS(st)) {
        using DS = icu::DecimalFormatSymbols;
        loc.decimalSeparator = AsciiSeparator(nsyms.getSymbol(DS::kDecimalSeparatorSymbol), '.');
        loc.thousandSeparator = AsciiSeparator(nsyms.getSymbol(DS::kGroupingSeparatorSymbol), ',');
        if (loc.thousandSeparator == loc.decimalSeparator)
            loc.thousandSeparator = loc.decimalSeparator == ',' ? '.' : ',';
        const std::string symbol = Utf8(WithoutDirectionMarks(nsyms.getSymbol(DS::kCurrencySymbol)));
        if (!symbol.empty()) loc.currencySymbol = FirstCodePoints(symbol, 5);
    }
    SetListSeparator(loc);

    st = U_ZERO_ERROR;
    std::unique_ptr<icu::NumberFormat> money(icu::NumberFormat::createCurrencyInstance(il, st));
    if (U_SUCCESS(st) && money) {
        loc.currencyDigits = std::clamp(money->getMinimumFractionDigits(), 0, 9);
        if (auto* df = dynamic_cast<icu::DecimalFormat*>(money.get())) {
            icu::UnicodeString p;
            df->toPattern(p);
            const int32_t semi = p.indexOf(u';');
            const icu::UnicodeString pos = semi < 0 ? p : icu::UnicodeString(p, 0, semi);
            const icu::UnicodeString neg = semi < 0 ? icu::UnicodeString(u"-") + p : icu::UnicodeString(p, semi + 1);
            loc.currencyFormat = PositiveCurrencyFormat(CurrencyShape(pos));
            loc.negCurrencyFormat = NegativeCurrencyFormat(CurrencyShape(neg), loc.currencyFormat);
        }
    }
    return loc;
}

// strftime directives to our pattern letters.
std::string ConvertStrftime(std::string_view f, char dateSep, char timeSep) {
    std::string out;
    for (size_t i = 0; i < f.size(); ++i) {
        if (f[i] != '%') {
            if (static_cast<unsigned char>(f[i]) >= 0x80) out += f[i];  // part of a UTF-8 sequence
            else AppendLiteral(out, static_cast<unsigned char>(f[i]), dateSep, timeSep);
            continue;
        }
        if (++i >= f.size()) break;
        bool noPad = false;
        while (i < f.size() && (f[i] == '-' || f[i] == '_' || f[i] == '0' || f[i] == '^' || f[i] == '#' ||
                                f[i] == 'E' || f[i] == 'O')) {
            noPad = noPad || f[i] == '-';
            ++i;
        }
        if (i >= f.size()) break;
        switch (f[i]) {
            case 'd': out += noPad ? "d" : "dd"; break;
            case 'e': out += "d"; break;
            case 'm': out += noPad ? "m" : "mm"; break;
            case 'y': out += "yy"; break;
            case 'Y': out += "yyyy"; break;
            case 'b': case 'h': out += "mmm"; break;
            case 'B': out += "mmmm"; break;
            case 'a': out += "ddd"; break;
            case 'A': out += "dddd"; break;
            case 'H': case 'I': out += noPad ? "h" : "hh"; break;
            case 'k': case 'l': out += "h"; break;
            case 'M': out += "nn"; break;
            case 'S': out += "ss"; break;
            case 'p': case 'P': out += "AMPM"; break;
            case 'T': out += "hh:nn:ss"; break;
            case 'R': out += "hh:nn"; break;
            case 'r': out += "hh:nn:ss AMPM"; break;
            case 'D': out += "mm/dd/yy"; break;
            case 'F': out += "yyyy-mm-dd"; break;
            case 'n': case 't': out += ' '; break;
            case '%': out += '%'; break;
            default: break;
        }
    }
    return TrimBlanks(out);
}

char FirstStrftimeSeparator(std::string_view f, char fallback) {
    for (size_t i = 0; i < f.size(); ++i) {
        if (f[i] == '%') {
            ++i;
            while (i < f.size() && std::string_view("-_0^#EO").find(f[i]) != std::string_view::npos) ++i;
        } else if (f[i] != ' ' && !IsAsciiAlpha(static_cast<unsigned char>(f[i]))) {
            return f[i];
        }
    }
    return fallback;
}

std::string StripEncoding(const std::string& name) {
    std::string base = name.substr(0, name.find_first_of(".@"));
    for (char& c : base)
        if (c == '-') c = '_';
    return base;
}

}  // namespace

std::optional<Locale> Locale::FromPosix(const std::string& name) {
    locale_t pl = newlocale(LC_ALL_MASK, name.c_str(), static_cast<locale_t>(nullptr));
    if (!pl) return std::nullopt;
    const locale_t previous = uselocale(pl);
    Locale loc;
    auto info = [](nl_item item) { return std::string(nl_langinfo(item)); };

    const std::string base = StripEncoding(name);
    if (base != "C" && base != "POSIX") {
        SetCodesAndNames(loc, icu::Locale(base.c_str()));
    }
    for (int i = 0; i < 12; ++i) {
        if (auto s = info(MON_1 + i); !s.empty()) loc.longMonthNames[i] = s;
        if (auto s = info(ABMON_1 + i); !s.empty()) loc.shortMonthNames[i] = s;
    }
    for (int i = 0; i < 7; ++i) {
        if (auto s = info(DAY_1 + i); !s.empty()) loc.longDayNames[i] = s;
        if (auto s = info(ABDAY_1 + i); !s.empty()) loc.shortDayNames[i] = s;
    }
    if (auto s = info(AM_STR); !s.empty()) loc.timeAMString = s;
    if (auto s = info(PM_STR); !s.empty()) loc.timePMString = s;

    const std::string dateFmt = info(D_FMT), timeFmt = info(T_FMT);
    loc.dateSeparator = FirstStrftimeSeparator(dateFmt, loc.dateSeparator);
    loc.timeSeparator = FirstStrftimeSeparator(timeFmt, loc.timeSeparator);
    if (auto s = ConvertStrftime(dateFmt, loc.dateSeparator, loc.timeSeparator); !s.empty()) {
        loc.shortDateFormat = s;
        // There is no long date in POSIX: spell one in the order of the short date.
        const size_t d = dateFmt.find_first_of("de"), y = dateFmt.find_first_of("yY");
        if (y < d) loc.longDateFormat = "yyyy mmmm d, dddd";
        else if (d < dateFmt.find_first_of("mbBh")) loc.longDateFormat = "dddd, d mmmm yyyy";
        else loc.longDateFormat = "dddd, mmmm d, yyyy";
    }
    if (auto s = ConvertStrftime(timeFmt, loc.dateSeparator, loc.timeSeparator); !s.empty()) {
        loc.timeFormat = s;
        loc.shortTimeFormat = WithoutSeconds(s);
    }

    const lconv* lc = localeconv();
    if (lc->decimal_point && lc->decimal_point[0] && !(lc->decimal_point[0] & 0x80))
        loc.decimalSeparator = lc->decimal_point[0];
    if (lc->thousands_sep && lc->thousands_sep[0]) {
        const std::string_view sep(lc->thousands_sep);
        if (sep.size() == 1 && !(sep[0] & 0x80)) loc.thousandSeparator = sep[0];
        else if (sep == "\xC2\xA0" || sep == "\xE2\x80\xAF") loc.thousandSeparator = ' ';
    }
    if (loc.thousandSeparator == loc.decimalSeparator)
        loc.thousandSeparator = loc.decimalSeparator == ',' ? '.' : ',';
    if (lc->currency_symbol && lc->currency_symbol[0]) loc.currencySymbol = FirstCodePoints(lc->currency_symbol, 5);
    if (lc->frac_digits != CHAR_MAX) loc.currencyDigits = lc->frac_digits;
    if (lc->p_cs_precedes != CHAR_MAX && lc->p_sep_by_space != CHAR_MAX)
        loc.currencyFormat = (lc->p_cs_precedes ? 0 : 1) + (lc->p_sep_by_space ? 2 : 0);
    if (lc->n_cs_precedes != CHAR_MAX && lc->n_sep_by_space != CHAR_MAX && lc->n_sign_posn != CHAR_MAX) {
        // By symbol first, blank between, then the sign position 0..4 of localeconv.
        static constexpr int kTable[2][2][5] = {{{4, 5, 7, 6, 7}, {15, 8, 10, 13, 10}},
                                                {{0, 1, 3, 1, 2}, {14, 9, 11, 9, 12}}};
        const int posn = lc->n_sign_posn < 0 || lc->n_sign_posn > 4 ? 1 : lc->n_sign_posn;
        loc.negCurrencyFormat = kTable[lc->n_cs_precedes ? 1 : 0][lc->n_sep_by_space ? 1 : 0][posn];
    }
    SetListSeparator(loc);

    uselocale(previous);
    freelocale(pl);
    return loc;
}

Locale Locale::FromName(const std::string& name) {
    const std::string base = StripEncoding(name);
    if (base.empty() || base == "C" || base == "POSIX") return Default();
    if (auto loc = FromIcu(base)) return *loc;
    if (auto loc = FromPosix(name)) return *loc;
    return Default();
}

Locale Locale::FromProcess() {
    for (const char* var : {"LC_ALL", "LC_TIME", "LANG"}) {
        const char* value = std::getenv(var);
        if (value && *value) return FromName(value);
    }
    return Default();
}

}  // namespace clx
