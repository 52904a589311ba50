// Token syntax and the text formats of token values.
#include "output/tokens.h"

#include <ctime>
#include <unordered_set>

#include "platform/format.h"
#include "platform/memtable.h"

namespace clx {

namespace {

bool IsContinuation(unsigned char c) { return (c & 0xC0) == 0x80; }

// Lenient: a byte that does not start a valid sequence stands for itself as U+FFFD, so any
// input gives a result (rich text hands us valid UTF-8 anyway).
std::u32string Decode(std::string_view s) {
    std::u32string out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size();) {
        const auto c = static_cast<unsigned char>(s[i]);
        size_t len = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
        if (len == 0 || i + len > s.size()) {
            out.push_back(U'\uFFFD');
            ++i;
            continue;
        }
        char32_t cp = len == 1 ? c : len == 2 ? (c & 0x1F) : len == 3 ? (c & 0x0F) : (c & 0x07);
        bool ok = true;
        for (size_t k = 1; k < len; ++k) {
            const auto d = static_cast<unsigned char>(s[i + k]);
            if (!IsContinuation(d)) ok = false;
            cp = (cp << 6) | (d & 0x3F);
        }
        if (!ok) {
            out.push_back(U'\uFFFD');
            ++i;
            continue;
        }
        out.push_back(cp);
        i += len;
    }
    return out;
}

std::string Encode(std::u32string_view s) {
    std::string out;
    out.reserve(s.size());
    for (char32_t c : s) {
        if (c < 0x80) {
            out.push_back(static_cast<char>(c));
        } else if (c < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (c >> 6)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        } else if (c < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (c >> 12)));
            out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | (c >> 18)));
            out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        }
    }
    return out;
}

bool IsTrimmed(char32_t c) {
    return c < 33 || (c >= 127 && c <= 160) || c == 0x200B || c == 0xFEFF;
}

std::u32string TrimU(std::u32string_view s) {
    size_t b = 0, e = s.size();
    while (b < e && IsTrimmed(s[b])) ++b;
    while (e > b && IsTrimmed(s[e - 1])) --e;
    return std::u32string(s.substr(b, e - b));
}

char32_t UpperU(char32_t c) { return c >= 'a' && c <= 'z' ? c - 32 : c; }
char32_t LowerU(char32_t c) { return c >= 'A' && c <= 'Z' ? c + 32 : c; }

std::u32string UpperU(std::u32string s) {
    for (auto& c : s) c = UpperU(c);
    return s;
}

// Characters from..to, 1-based and inclusive; empty when the range is empty.
std::u32string Sub(const std::u32string& s, size_t from, size_t to) {
    if (from < 1) from = 1;
    if (to > s.size()) to = s.size();
    if (to < from) return {};
    return s.substr(from - 1, to - from + 1);
}

size_t FindPos(const std::u32string& s, char32_t c) {
    const size_t i = s.find(c);
    return i == std::u32string::npos ? 0 : i + 1;
}

}  // namespace

std::string TokenTrim(std::string_view text) { return Encode(TrimU(Decode(text))); }

std::string AsciiUpper(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
    return out;
}

std::string TokenForm(std::string_view name, TokenDelimiters delimiters) {
    std::string out(name);
    for (char& c : out)
        if (c == ' ' || c == '%' || c == '/' || c == '|' || c == delimiters.open || c == delimiters.close)
            c = '_';
    return out;
}

std::vector<std::string> ScanTokens(std::string_view text, TokenDelimiters delimiters) {
    std::vector<std::string> list;
    std::unordered_set<std::string> seen;
    bool inside = false, dropping = false;
    size_t chars = 0;
    std::string collected;
    for (const char ch : text) {
        if (!inside) {
            if (ch == delimiters.open) {
                inside = true;
                collected.clear();
                chars = 0;
                dropping = false;
            }
            continue;
        }
        if (ch == delimiters.close) {
            inside = false;
            if (seen.insert(AsciiUpper(collected)).second) list.push_back(collected);
            continue;
        }
        if (!IsContinuation(static_cast<unsigned char>(ch))) {
            dropping = chars >= kMaxTokenChars;
            if (!dropping) ++chars;
        }
        if (!dropping) collected.push_back(ch);
    }
    return list;
}

TToken ParseToken(std::string_view tokenText, TokenDelimiters delimiters) {
    TToken t;
    std::string text(tokenText);
    if (const size_t m = text.find(kMemoMarker); m != std::string::npos) {
        text.erase(m, kMemoMarker.size());
        t.IsMemo = true;
    }
    t.Text = text;

    // Trimmed again after each stripping, so that the positions found in the upper-case copy
    // below are positions in K as well.
    std::u32string k = TrimU(Decode(text));
    for (;;) {
        size_t b = 0, e = k.size();
        while (b < e && k[b] == static_cast<unsigned char>(delimiters.open)) ++b;
        while (e > b && k[e - 1] == static_cast<unsigned char>(delimiters.close)) --e;
        if (b == 0 && e == k.size()) break;
        k = TrimU(std::u32string_view(k).substr(b, e - b));
    }
    const std::u32string u = UpperU(k);
    t.Key = Encode(u);

    const size_t p = FindPos(u, U'|'), s = FindPos(u, U'/'), b = FindPos(u, U' ');
    size_t a = std::min<size_t>(u.size(), 3);
    if (s > 0 && a >= s) a = s - 1;
    if (p > 0 && a >= p) a = p - 1;
    if (b > 0 && a >= b) a = b - 1;

    const std::u32string source = k.substr(0, a);
    std::u32string name, format, alternate;
    const size_t end = k.size();
    if (p == 0 && s == 0) {
        name = Sub(k, a + 1, end);
    } else if (p == 0) {
        name = Sub(k, a + 1, s - 1);
        format = Sub(k, s + 1, end);
    } else if (s == 0) {
        name = Sub(k, a + 1, p - 1);
        alternate = Sub(k, p + 1, end);
    } else if (p < s) {
        name = Sub(k, a + 1, p - 1);
        alternate = Sub(k, p + 1, s - 1);
        format = Sub(k, s + 1, end);
    } else {
        name = Sub(k, a + 1, s - 1);
        format = Sub(k, s + 1, p - 1);
        alternate = Sub(k, p + 1, end);
    }
    t.Source = Encode(UpperU(source));
    t.Name = Encode(UpperU(TrimU(name)));
    t.Format = Encode(UpperU(format));
    t.Alternate = Encode(alternate);
    return t;
}

std::string ApplyTextFormat(std::string_view text, std::string_view format) {
    std::string out(text);
    if (format == "U") return AsciiUpper(out);
    if (format == "L") {
        for (char& c : out)
            if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
        return out;
    }
    if (format == "M") return NameCase(out);
    if (format == "C") {
        if (!out.empty() && out[0] >= 'a' && out[0] <= 'z') out[0] = static_cast<char>(out[0] - 32);
        return out;
    }
    return out;
}

std::string NameCase(std::string_view text) {
    std::u32string s = Decode(text);
    if (s.size() > 255) s.resize(255);
    for (auto& c : s) c = LowerU(c);
    if (s.empty()) return {};
    s[0] = UpperU(s[0]);
    // From the end towards the start: a capital "M" before "c" or "ac" is therefore only ever
    // the first character.
    for (size_t i = s.size() - 1; i-- > 0;) {
        const char32_t c = s[i];
        bool up = c == ' ' || c == '\'' || c == '(' || c == '-';
        if (c == 'c' && ((i >= 1 && s[i - 1] == 'M') || (i >= 2 && s[i - 2] == 'M' && s[i - 1] == 'a')))
            up = true;
        if (up) s[i + 1] = UpperU(s[i + 1]);
    }
    return Encode(s);
}

std::string SystemDateText(TDateTime date, const Locale& locale) {
    if (WholeDays(date) == 0) return {};
    // The locale's short date with every year field widened to four digits.
    const std::string& f = locale.shortDateFormat;
    std::string pattern;
    char quote = 0;
    for (size_t i = 0; i < f.size();) {
        const char c = f[i];
        if (quote) {
            if (c == quote) quote = 0;
            pattern.push_back(c);
            ++i;
        } else if (c == '"' || c == '\'') {
            quote = c;
            pattern.push_back(c);
            ++i;
        } else if (c == 'y' || c == 'Y') {
            while (i < f.size() && (f[i] == 'y' || f[i] == 'Y')) ++i;
            pattern += "yyyy";
        } else {
            pattern.push_back(c);
            ++i;
        }
    }
    return FormatDateTime(pattern, static_cast<TDateTime>(WholeDays(date)), locale);
}

std::string FormatWithArguments(std::string_view pattern, const std::vector<std::string>& args) {
    std::string out;
    size_t next = 0;
    for (size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] == '%' && i + 1 < pattern.size()) {
            const char n = pattern[i + 1];
            if (n == 's' || n == 'S') {
                if (next < args.size()) out += args[next];
                ++next;
                ++i;
                continue;
            }
            if (n == '%') {
                out.push_back('%');
                ++i;
                continue;
            }
        }
        out.push_back(pattern[i]);
    }
    return out;
}

TDateTime CurrentDateTime() {
    const std::time_t now = std::time(nullptr);
    std::tm tm{};
    localtime_r(&now, &tm);
    return ComposeDateTime(EncodeDate(tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday),
                           EncodeTime(tm.tm_hour, tm.tm_min, tm.tm_sec < 60 ? tm.tm_sec : 59));
}

void DefineTokenTable(MemTable& table) {
    table.AddField("Token", FieldType::String, kTokenNameSize);
    table.AddField("Value", FieldType::Memo);
    table.AddField("Question", FieldType::String, 255);
}

}  // namespace clx
