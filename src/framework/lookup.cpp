#include "framework/lookup.h"

#include <cctype>

#include "engine/series.h"

namespace clx {

namespace {

// One character of a UTF-8 text: its code point and byte length; a byte that does not start a
// well-formed sequence stands alone and is marked invalid.
struct Utf8Char {
    char32_t cp = 0;
    size_t len = 1;
    bool valid = true;
};

Utf8Char DecodeAt(std::string_view s, size_t i) {
    const auto b = static_cast<unsigned char>(s[i]);
    if (b < 0x80) return {b, 1, true};
    size_t len = b >= 0xF0 && b <= 0xF4 ? 4 : b >= 0xE0 ? 3 : b >= 0xC2 && b < 0xE0 ? 2 : 0;
    if (len == 0 || i + len > s.size()) return {b, 1, false};
    char32_t cp = b & (0x3F >> (len - 1));
    for (size_t k = 1; k < len; ++k) {
        const auto c = static_cast<unsigned char>(s[i + k]);
        if ((c & 0xC0) != 0x80) return {b, 1, false};
        cp = (cp << 6) | (c & 0x3F);
    }
    const bool overlong = (len == 3 && cp < 0x800) || (len == 4 && (cp < 0x10000 || cp > 0x10FFFF));
    if (overlong || (cp >= 0xD800 && cp <= 0xDFFF)) return {b, 1, false};
    return {cp, len, true};
}

// Blanks and control characters; letters of any script stay.
bool IsTrimmed(const Utf8Char& c) {
    if (!c.valid) return true;
    const char32_t cp = c.cp;
    return cp <= 32 || (cp >= 0x80 && cp <= 0xA0) || cp == 0xAD || cp == 0x1680 ||
           (cp >= 0x2000 && cp <= 0x200F) || cp == 0x2028 || cp == 0x2029 || cp == 0x202F ||
           cp == 0x205F || cp == 0x3000 || cp == 0xFEFF;
}

std::vector<Utf8Char> Characters(std::string_view s) {
    std::vector<Utf8Char> out;
    for (size_t i = 0; i < s.size();) {
        out.push_back(DecodeAt(s, i));
        i += out.back().len;
    }
    return out;
}

std::string Trim(std::string_view s) {
    const auto chars = Characters(s);
    size_t b = 0, e = chars.size(), from = 0, to = s.size();
    while (b < e && IsTrimmed(chars[b])) from += chars[b++].len;
    while (e > b && IsTrimmed(chars[e - 1])) to -= chars[--e].len;
    return std::string(s.substr(from, to - from));
}

std::string Upper(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return out;
}

}  // namespace

std::vector<std::string> SplitCsv(std::string_view text, bool keepEmpty) {
    // The first characters only, cut on a character boundary.
    size_t bytes = 0, count = 0;
    while (bytes < text.size() && count < kCsvMaxCharacters) {
        bytes += DecodeAt(text, bytes).len;
        ++count;
    }
    const std::string trimmed = Trim(text.substr(0, bytes));

    std::vector<std::string> list;
    auto end = [&](std::string& entry) {
        std::string t = Trim(entry);
        if (!t.empty() || keepEmpty) list.push_back(std::move(t));
        entry.clear();
    };
    std::string entry;
    bool quoted = false;
    for (char c : trimmed) {
        if (c == '"')
            quoted = !quoted;
        else if (!quoted && (c == ',' || c == ';'))
            end(entry);
        else
            entry += c;
    }
    end(entry);
    return list;
}

const std::vector<std::string>& NamedLists::Names() {
    static const std::vector<std::string> names{
        "GENDER",   "DATEFMT",    "DUEDATETYPE", "COUNTRY", "MEDCAT",    "CPIREFDATE", "VALTYPE",
        "FIELDPRINT", "PRORATA",  "ENDADJUST",   "DATESOURCE", "YESNO",  "TRUEFALSE",  "CPIQTR",
        "CPICITY",  "Y2D",        "Frequency",   "PRINTOR", "ORIENTATION", "RELDATE",  "DRCR",
        "TIERDEF",  "INTTYPE",    "PROCASE",     "DELTA",
    };
    return names;
}

std::optional<size_t> NamedLists::Find(std::string_view name) {
    size_t i = 0;
    while (i < name.size() && (std::isdigit(static_cast<unsigned char>(name[i])) ||
                               std::islower(static_cast<unsigned char>(name[i]))))
        ++i;
    const std::string key = Upper(name.substr(i));
    const auto& names = Names();
    for (size_t k = 0; k < names.size(); ++k)
        if (Upper(names[k]) == key) return k;
    return std::nullopt;
}

NamedLists::NamedLists(const Locale& loc) : lists_(Names().size()) {
    lists_[*Find("Frequency")] = FrequencyTexts(loc);
}

const std::vector<std::string>* NamedLists::Texts(std::string_view name) const {
    const auto k = Find(name);
    if (!k || !lists_[*k]) return nullptr;
    return &*lists_[*k];
}

std::optional<std::vector<LookupItem>> NamedLists::Items(std::string_view name,
                                                         const std::set<int>& excluded) const {
    const auto* texts = Texts(name);
    if (!texts) return std::nullopt;
    std::vector<LookupItem> items;
    for (size_t v = 0; v < texts->size(); ++v)
        if (!excluded.count(static_cast<int>(v))) items.push_back({static_cast<int>(v), (*texts)[v]});
    return items;
}

}  // namespace clx
