#include "platform/format.h"

#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace clx {

namespace {

bool IsAsciiAlpha(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
char Upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; }

bool EqualNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (Upper(a[i]) != Upper(b[i])) return false;
    return true;
}

bool HasAtNoCase(std::string_view s, size_t pos, std::string_view what) {
    return pos <= s.size() && s.size() - pos >= what.size() && EqualNoCase(s.substr(pos, what.size()), what);
}

std::string_view Trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

void AppendNumber(std::string& out, int value, int width) {
    std::string digits = std::to_string(value);
    if (static_cast<int>(digits.size()) < width) out.append(width - digits.size(), '0');
    out += digits;
}

// Length of the run of the same letter (either case) starting at i.
size_t RunLength(std::string_view s, size_t i) {
    size_t j = i + 1;
    while (j < s.size() && Upper(s[j]) == Upper(s[i])) ++j;
    return j - i;
}

// ---------------------------------------------------------------- date-time patterns

enum class Marker { None, AmPmText, APText, LocaleAmPm };

Marker MarkerAt(std::string_view p, size_t i) {
    if (HasAtNoCase(p, i, "am/pm")) return Marker::AmPmText;
    if (HasAtNoCase(p, i, "a/p")) return Marker::APText;
    if (HasAtNoCase(p, i, "ampm")) return Marker::LocaleAmPm;
    return Marker::None;
}

bool HasAmPmMarker(std::string_view p) {
    for (size_t i = 0; i < p.size(); ++i) {
        if (p[i] == '"' || p[i] == '\'') {
            const size_t end = p.find(p[i], i + 1);
            if (end == std::string_view::npos) return false;
            i = end;
        } else if (MarkerAt(p, i) != Marker::None) {
            return true;
        }
    }
    return false;
}

class DateTimeWriter {
public:
    DateTimeWriter(TDateTime v, const Locale& loc) : v_(v), loc_(loc), time_(DecodeTime(v)) {}

    void Append(std::string_view p, int depth) {
        // The locale's own formats may refer to each other; two levels are all that is meaningful.
        if (depth > 2) return;
        const bool twelveHour = HasAmPmMarker(p);
        char lastLetter = 0;
        size_t i = 0;
        while (i < p.size()) {
            const char c = p[i];
            if (c == '"' || c == '\'') {
                size_t end = p.find(c, i + 1);
                if (end == std::string_view::npos) end = p.size();
                out_.append(p.substr(i + 1, end - i - 1));
                i = end + 1;
                continue;
            }
            if (!IsAsciiAlpha(c)) {
                out_ += c == '/' ? loc_.dateSeparator : c == ':' ? loc_.timeSeparator : c;
                ++i;
                continue;
            }
            char token = Upper(c);
            if (token == 'M' && lastLetter == 'H') token = 'N';
            lastLetter = token;
            if (token == 'A') {
                i += AppendMarker(p, i);
                continue;
            }
            const size_t count = RunLength(p, i);
            switch (token) {
                case 'Y':
                    if (count <= 2) AppendNumber(out_, Date().year % 100, 2);
                    else AppendNumber(out_, Date().year, 4);
                    break;
                case 'M':
                    if (count <= 2) AppendNumber(out_, Date().month, static_cast<int>(count));
                    else if (count == 3) out_ += loc_.shortMonthNames[Date().month - 1];
                    else out_ += loc_.longMonthNames[Date().month - 1];
                    break;
                case 'D':
                    if (count <= 2) AppendNumber(out_, Date().day, static_cast<int>(count));
                    else if (count == 3) out_ += loc_.shortDayNames[DayOfWeek(v_) - 1];
                    else if (count == 4) out_ += loc_.longDayNames[DayOfWeek(v_) - 1];
                    else if (count == 5) Append(loc_.shortDateFormat, depth + 1);
                    else Append(loc_.longDateFormat, depth + 1);
                    break;
                case 'H': {
                    int h = time_.hour;
                    if (twelveHour) h = h % 12 == 0 ? 12 : h % 12;
                    AppendNumber(out_, h, count >= 2 ? 2 : 1);
                    break;
                }
                case 'N': AppendNumber(out_, time_.minute, count >= 2 ? 2 : 1); break;
                case 'S': AppendNumber(out_, time_.second, count >= 2 ? 2 : 1); break;
                case 'Z': AppendNumber(out_, time_.msec, count >= 3 ? 3 : static_cast<int>(count)); break;
                case 'T':
                    Append(count == 1 ? loc_.shortTimeFormat : loc_.timeFormat, depth + 1);
                    break;
                case 'C':
                    Append(loc_.shortDateFormat, depth + 1);
                    if (time_.hour != 0 || time_.minute != 0 || time_.second != 0) {
                        out_ += ' ';
                        Append(loc_.timeFormat, depth + 1);
                    }
                    break;
                default: out_.append(p.substr(i, count)); break;
            }
            i += count;
        }
    }

    std::string Take() { return std::move(out_); }

private:
    // Writes the marker at p[i] (or the plain letter) and returns the characters used.
    size_t AppendMarker(std::string_view p, size_t i) {
        const bool pm = time_.hour >= 12;
        switch (MarkerAt(p, i)) {
            case Marker::AmPmText: out_.append(p.substr(i + (pm ? 3 : 0), 2)); return 5;
            case Marker::APText: out_ += p[i + (pm ? 2 : 0)]; return 3;
            case Marker::LocaleAmPm: out_ += pm ? loc_.timePMString : loc_.timeAMString; return 4;
            case Marker::None: break;
        }
        out_ += p[i];
        return 1;
    }

    const CivilDate& Date() {
        if (!date_) date_ = DecodeDate(v_);
        return *date_;
    }

    TDateTime v_;
    const Locale& loc_;
    TimeOfDay time_;
    std::optional<CivilDate> date_;  // decoded on first use: a time-only pattern needs no date
    std::string out_;
};

// ---------------------------------------------------------------- numbers

// A magnitude as decimal digits: 0.d1d2d3... x 10^exp, no trailing zeros; empty digits is zero.
struct Decimal {
    std::string digits;
    int exp = 0;
};

Decimal ToDecimal(double magnitude, int significant) {
    Decimal x;
    if (magnitude == 0) return x;
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*e", significant - 1, magnitude);
    const std::string_view s(buf);
    const size_t e = s.find('e');
    for (size_t i = 0; i < e; ++i)
        if (IsDigit(s[i])) x.digits += s[i];
    x.exp = std::atoi(buf + e + 1) + 1;
    while (!x.digits.empty() && x.digits.back() == '0') x.digits.pop_back();
    return x;
}

// Rounds half away from zero to the given number of decimals.
void RoundAt(Decimal& x, int decimals) {
    const int keep = x.exp + decimals;
    if (keep >= static_cast<int>(x.digits.size())) return;
    if (keep < 0) {
        x.digits.clear();
        return;
    }
    const bool up = x.digits[keep] >= '5';
    x.digits.resize(keep);
    if (up) {
        int i = keep - 1;
        while (i >= 0 && x.digits[i] == '9') x.digits[i--] = '0';
        if (i < 0) {
            x.digits.insert(x.digits.begin(), '1');
            ++x.exp;
        } else {
            ++x.digits[i];
        }
    }
    while (!x.digits.empty() && x.digits.back() == '0') x.digits.pop_back();
}

std::string IntegerDigits(const Decimal& x) {
    if (x.digits.empty() || x.exp <= 0) return {};
    std::string s = x.digits.substr(0, static_cast<size_t>(x.exp));
    s.append(static_cast<size_t>(x.exp) - s.size(), '0');
    return s;
}

std::string FractionDigits(const Decimal& x, int count) {
    std::string s;
    if (!x.digits.empty()) {
        if (x.exp < 0) s.append(static_cast<size_t>(-x.exp), '0');
        if (static_cast<int>(x.digits.size()) > x.exp) s += x.digits.substr(x.exp > 0 ? x.exp : 0);
    }
    s.resize(static_cast<size_t>(count), '0');
    return s;
}

struct NumberSection {
    struct Item {
        enum Kind { Placeholder, Point, Text } kind;
        std::string text;
    };
    std::vector<Item> items;
    int intPlaces = 0, minInt = 0, fracPlaces = 0, minFrac = 0;
    bool thousands = false;
};

NumberSection ParseSection(std::string_view p) {
    NumberSection s;
    bool afterPoint = false;
    int firstZero = -1;
    auto text = [&](std::string_view t) {
        if (!s.items.empty() && s.items.back().kind == NumberSection::Item::Text) s.items.back().text += t;
        else s.items.push_back({NumberSection::Item::Text, std::string(t)});
    };
    for (size_t i = 0; i < p.size(); ++i) {
        const char c = p[i];
        if (c == '"' || c == '\'') {
            size_t end = p.find(c, i + 1);
            if (end == std::string_view::npos) end = p.size();
            text(p.substr(i + 1, end - i - 1));
            i = end;
        } else if (c == '0' || c == '#') {
            s.items.push_back({NumberSection::Item::Placeholder, {}});
            if (afterPoint) {
                ++s.fracPlaces;
                if (c == '0') s.minFrac = s.fracPlaces;
            } else {
                if (c == '0' && firstZero < 0) firstZero = s.intPlaces;
                ++s.intPlaces;
            }
        } else if (c == '.' && !afterPoint) {
            afterPoint = true;
            s.items.push_back({NumberSection::Item::Point, {}});
        } else if (c == ',') {
            if (!afterPoint) s.thousands = true;
        } else {
            text(p.substr(i, 1));
        }
    }
    s.minInt = firstZero < 0 ? 0 : s.intPlaces - firstZero;
    return s;
}

std::string RenderSection(const NumberSection& s, const Decimal& x, bool minus, const Locale& loc) {
    std::string ints = IntegerDigits(x);
    if (static_cast<int>(ints.size()) < s.minInt) ints.insert(0, s.minInt - ints.size(), '0');
    const std::string frac = FractionDigits(x, s.fracPlaces);
    int shown = s.fracPlaces;
    while (shown > s.minFrac && frac[shown - 1] == '0') --shown;

    const int len = static_cast<int>(ints.size());
    std::string out = minus ? "-" : "";
    auto digitsUpTo = [&](int& next, int lastPos) {
        for (; next <= lastPos; ++next) {
            out += ints[next];
            const int rest = len - 1 - next;
            if (s.thousands && rest > 0 && rest % 3 == 0) out += loc.thousandSeparator;
        }
    };
    int next = 0, intSeen = 0, fracSeen = 0;
    bool afterPoint = false;
    for (const auto& item : s.items) {
        switch (item.kind) {
            case NumberSection::Item::Text: out += item.text; break;
            case NumberSection::Item::Point:
                if (s.intPlaces == 0) digitsUpTo(next, len - 1);  // ".00" still shows the whole part
                if (shown > 0) out += loc.decimalSeparator;
                afterPoint = true;
                break;
            case NumberSection::Item::Placeholder:
                if (afterPoint) {
                    if (fracSeen < shown) out += frac[fracSeen];
                    ++fracSeen;
                } else {
                    // The first placeholder takes every digit the pattern has no room for.
                    digitsUpTo(next, len - s.intPlaces + intSeen);
                    ++intSeen;
                }
                break;
        }
    }
    return out;
}

// "positive;negative;zero": splits at the semicolons outside quotes; a fourth section is dropped.
std::vector<std::string_view> SplitSections(std::string_view p) {
    std::vector<std::string_view> parts;
    size_t start = 0;
    char quote = 0;
    for (size_t i = 0; i < p.size(); ++i) {
        if (quote) {
            if (p[i] == quote) quote = 0;
        } else if (p[i] == '"' || p[i] == '\'') {
            quote = p[i];
        } else if (p[i] == ';') {
            parts.push_back(p.substr(start, i - start));
            start = i + 1;
        }
    }
    parts.push_back(p.substr(start));
    if (parts.size() > 3) parts.resize(3);
    return parts;
}

// ---------------------------------------------------------------- date parsing

enum class Part { Day, Month, Year };

// Order of day, month and year in a pattern; nullopt when one of them is missing.
std::optional<std::array<Part, 3>> PartOrder(std::string_view fmt) {
    std::array<Part, 3> order{};
    int found = 0;
    bool seen[3] = {false, false, false};
    for (size_t i = 0; i < fmt.size();) {
        const char c = fmt[i];
        if (c == '"' || c == '\'') {
            const size_t end = fmt.find(c, i + 1);
            i = end == std::string_view::npos ? fmt.size() : end + 1;
            continue;
        }
        const size_t n = RunLength(fmt, i);
        const char t = Upper(c);
        std::optional<Part> part;
        if (t == 'D' && n <= 2) part = Part::Day;  // longer runs are day names or whole formats
        else if (t == 'M') part = Part::Month;
        else if (t == 'Y') part = Part::Year;
        if (part && !seen[static_cast<int>(*part)]) {
            seen[static_cast<int>(*part)] = true;
            order[found++] = *part;
        }
        i += n;
    }
    if (found != 3) return std::nullopt;
    return order;
}

int MonthFromName(std::string_view word, const Locale& loc) {
    auto same = [&](std::string name) {
        while (!name.empty() && name.back() == '.') name.pop_back();
        return !name.empty() && EqualNoCase(word, name);
    };
    for (int m = 0; m < 12; ++m)
        if (same(loc.longMonthNames[m]) || same(loc.shortMonthNames[m])) return m + 1;
    return 0;
}

bool IsDayName(std::string_view word, const Locale& loc) {
    for (int d = 0; d < 7; ++d) {
        std::string s = loc.shortDayNames[d];
        while (!s.empty() && s.back() == '.') s.pop_back();
        if (EqualNoCase(word, loc.longDayNames[d]) || EqualNoCase(word, s)) return true;
    }
    return false;
}

std::optional<int> ReadInt(std::string_view digits) {
    int v = 0;
    const auto r = std::from_chars(digits.data(), digits.data() + digits.size(), v);
    if (r.ec != std::errc() || r.ptr != digits.data() + digits.size()) return std::nullopt;
    return v;
}

}  // namespace

std::string FormatDateTime(std::string_view pattern, TDateTime v, const Locale& loc) {
    if (!std::isfinite(v)) throw ConvertError("Date-time value is not a finite number");
    DateTimeWriter w(v, loc);
    w.Append(pattern.empty() ? std::string_view("c") : pattern, 0);
    return w.Take();
}

std::string FormatFloat(std::string_view pattern, double v, const Locale& loc) {
    if (pattern.empty() || !std::isfinite(v)) return FloatToText(v, loc);
    const auto sections = SplitSections(pattern);
    const bool useNegative = v < 0 && sections.size() >= 2 && !sections[1].empty();
    const std::string_view chosen = useNegative ? sections[1] : sections[0];
    if (chosen.empty()) return FloatToText(v, loc);

    NumberSection s = ParseSection(chosen);
    Decimal x = ToDecimal(std::fabs(v), 18);
    RoundAt(x, s.fracPlaces);
    if (x.digits.empty()) {
        // Zero after rounding: the zero section, else the positive one, and never "-0".
        if (sections.size() >= 3 && !sections[2].empty())
            return RenderSection(ParseSection(sections[2]), x, false, loc);
        if (useNegative) s = ParseSection(sections[0]);
        return RenderSection(s, x, false, loc);
    }
    return RenderSection(s, x, v < 0 && !useNegative, loc);
}

std::string FloatToText(double v, const Locale& loc) {
    if (std::isnan(v)) return "NAN";
    if (std::isinf(v)) return v > 0 ? "INF" : "-INF";
    const Decimal x = ToDecimal(std::fabs(v), 15);
    if (x.digits.empty()) return "0";
    std::string out = v < 0 ? "-" : "";
    const int n = static_cast<int>(x.digits.size());
    if (x.exp > 15 || x.exp < -3) {
        out += x.digits[0];
        if (n > 1) (out += loc.decimalSeparator) += x.digits.substr(1);
        out += 'E';
        out += std::to_string(x.exp - 1);
    } else if (x.exp <= 0) {
        out += '0';
        out += loc.decimalSeparator;
        out.append(static_cast<size_t>(-x.exp), '0');
        out += x.digits;
    } else {
        out += IntegerDigits(x);
        if (n > x.exp) (out += loc.decimalSeparator) += x.digits.substr(x.exp);
    }
    return out;
}

std::optional<double> TextToFloat(std::string_view text, const Locale& loc) {
    text = Trim(text);
    std::string s;
    size_t i = 0;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        if (text[i] == '-') s += '-';
        ++i;
    }
    int mantissaDigits = 0;
    for (; i < text.size() && IsDigit(text[i]); ++i, ++mantissaDigits) s += text[i];
    if (i < text.size() && text[i] == loc.decimalSeparator) {
        s += '.';
        for (++i; i < text.size() && IsDigit(text[i]); ++i, ++mantissaDigits) s += text[i];
    }
    if (mantissaDigits == 0) return std::nullopt;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        s += 'e';
        ++i;
        if (i < text.size() && (text[i] == '+' || text[i] == '-')) s += text[i++];
        int expDigits = 0;
        for (; i < text.size() && IsDigit(text[i]); ++i, ++expDigits) s += text[i];
        if (expDigits == 0) return std::nullopt;
    }
    if (i != text.size()) return std::nullopt;
    double v = 0;
    const auto r = std::from_chars(s.data(), s.data() + s.size(), v);
    if (r.ec != std::errc() || r.ptr != s.data() + s.size()) return std::nullopt;
    return v;
}

std::optional<TDateTime> ParseDate(std::string_view text, std::string_view format, const Locale& loc) {
    auto order = PartOrder(format.empty() ? std::string_view(loc.shortDateFormat) : format);
    if (!order) order = PartOrder(loc.shortDateFormat);
    if (!order) order = {{Part::Month, Part::Day, Part::Year}};

    // Split into numbers and words; a month name fixes the month.
    std::vector<std::string_view> numbers;
    int namedMonth = 0;
    text = Trim(text);
    for (size_t i = 0; i < text.size();) {
        const char c = text[i];
        if (IsDigit(c)) {
            size_t j = i;
            while (j < text.size() && IsDigit(text[j])) ++j;
            numbers.push_back(text.substr(i, j - i));
            i = j;
        } else if (IsAsciiAlpha(c) || static_cast<unsigned char>(c) >= 0x80) {
            size_t j = i;
            while (j < text.size() && (IsAsciiAlpha(text[j]) || static_cast<unsigned char>(text[j]) >= 0x80)) ++j;
            const std::string_view word = text.substr(i, j - i);
            if (const int m = MonthFromName(word, loc); m != 0 && namedMonth == 0) namedMonth = m;
            else if (!IsDayName(word, loc)) return std::nullopt;
            i = j;
        } else if (c == '/' || c == '-' || c == '.' || c == ',' || c == ' ' || c == '\t' ||
                   c == loc.dateSeparator) {
            ++i;
        } else {
            return std::nullopt;
        }
    }

    // Digits typed without separators: two for the day and month, two or four for the year.
    if (numbers.size() == 1 && namedMonth == 0 && (numbers[0].size() == 6 || numbers[0].size() == 8)) {
        const std::string_view all = numbers[0];
        const size_t yearLen = all.size() - 4;
        numbers.clear();
        size_t pos = 0;
        for (Part p : *order) {
            const size_t n = p == Part::Year ? yearLen : 2;
            numbers.push_back(all.substr(pos, n));
            pos += n;
        }
    }

    int day = 0, month = namedMonth, year = 0;
    size_t next = 0;
    for (Part p : *order) {
        if (p == Part::Month && namedMonth != 0) continue;
        if (next >= numbers.size()) return std::nullopt;
        const std::string_view digits = numbers[next++];
        const auto value = ReadInt(digits);
        if (!value) return std::nullopt;
        if (p == Part::Year) {
            if (digits.size() > 4) return std::nullopt;
            // Two-digit years slide: 00-49 are this century, 50-99 the last one.
            year = digits.size() <= 2 ? (*value < 50 ? 2000 + *value : 1900 + *value) : *value;
        } else {
            if (digits.size() > 2) return std::nullopt;
            (p == Part::Day ? day : month) = *value;
        }
    }
    if (next != numbers.size()) return std::nullopt;
    return TryEncodeDate(year, month, day);
}

std::optional<TDateTime> ParseIsoDate(std::string_view text) {
    if (text.size() != 10 || text[4] != '-' || text[7] != '-') return std::nullopt;
    for (size_t i : {0, 1, 2, 3, 5, 6, 8, 9})
        if (!IsDigit(text[i])) return std::nullopt;
    return TryEncodeDate(*ReadInt(text.substr(0, 4)), *ReadInt(text.substr(5, 2)),
                         *ReadInt(text.substr(8, 2)));
}

std::optional<TDateTime> ParseTime(std::string_view text, const Locale& loc) {
    text = Trim(text);
    enum { None, Am, Pm } marker = None;
    const std::array<std::pair<std::string_view, decltype(marker)>, 4> markers{
        {{loc.timeAMString, Am}, {loc.timePMString, Pm}, {"am", Am}, {"pm", Pm}}};
    for (const auto& [m, kind] : markers) {
        if (m.empty() || text.size() <= m.size()) continue;
        if (HasAtNoCase(text, text.size() - m.size(), m)) {
            text = Trim(text.substr(0, text.size() - m.size()));
        } else if (HasAtNoCase(text, 0, m)) {
            text = Trim(text.substr(m.size()));
        } else {
            continue;
        }
        marker = kind;
        break;
    }

    int fields[3] = {0, 0, 0};
    size_t i = 0;
    for (int f = 0; f < 3; ++f) {
        if (f > 0) {
            if (i == text.size()) break;
            if (text[i] != ':' && text[i] != loc.timeSeparator) return std::nullopt;
            ++i;
        }
        const size_t start = i;
        while (i < text.size() && IsDigit(text[i]) && i - start < 2) ++i;
        if (i == start) return std::nullopt;
        fields[f] = *ReadInt(text.substr(start, i - start));
    }
    if (i != text.size()) return std::nullopt;

    int hour = fields[0];
    if (marker != None) {
        if (hour > 12) return std::nullopt;
        if (hour == 12) hour = 0;
        if (marker == Pm) hour += 12;
    }
    return TryEncodeTime(hour, fields[1], fields[2]);
}

}  // namespace clx
