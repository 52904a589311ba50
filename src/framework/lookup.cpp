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

namespace {

struct FixedList {
    const char* name;
    std::vector<std::string> texts;
};

// Every named list but the frequencies, whose texts follow the locale.
const std::vector<FixedList>& FixedLists() {
    static const std::vector<FixedList> lists{
    {"PRINTOR",
     {"Portrait", "Landscape"}},
    {"GENDER",
     {"Male", "Female", "Neutral", "Unknown"}},
    {"DATEFMT",
     {"dd/mm/yyyy", "dd/mm/yy", "d/m/yy", "d/m/yyyy", "Various", "Unknown", "Blank", "Approx",
      "m/yyyy", "ddd, dd/mm/yyyy", "ddd. yyyy", "yyyy", "mmm1-mmm2 yyyy", "yy mmm yyyy",
      "ddd, dd, mmm yyyy", "ddd, dd mmmm yyyy", "dddd, dd mmmm yyyy"}},
    {"DUEDATETYPE",
     {"Normal (Same as Date)", "Days After Date", "Other Date"}},
    {"COUNTRY",
     {"Native(Aus)", "Australia", "Uk", "Usa", "Espanol", "Francais", "Italia", "Russia",
      "Deutchland"}},
    {"MEDCAT",
     {"Automatic", "Exempt", "Single", "Married With Children", "Married No Children",
      "Single Parent"}},
    {"CPIREFDATE",
     {"Normal (Quarter that relevant dates fall in)", "Quarter before relevant dates fall in",
      "Quarter after relevant dates fall in",
      "Value at start of Calendar year that relevant dates fall in",
      "Value at end of Calendar year that relevant dates fall in",
      "Value at end of Calendar year before year that relevant dates fall in",
      "Value at start of Financial year that relevant dates fall in",
      "Value at end of Financial year that relevant dates fall in",
      "Value at end of Financial year before the year that relevant dates fall in"}},
    {"VALTYPE",
     {"Dollars", "Per Day", "Per Week", "Per Weekday", "Per Weekend Day", "Per Day of Week",
      "Per Fortnight", "Per Month", "Per Year", "Percentage", "N/A"}},
    {"FIELDPRINT",
     {"Always Print", "Never Print", "Print if Non-Zero", "Skip if Redundant",
      "Skip Non-Zero & Redundant"}},
    {"PRORATA",
     {"Skip any part-period", "Extend End Date", "Pro-Rata any part-period"}},
    {"ENDADJUST",
     {"Abandon", "Pro-rata"}},
    {"YESNO",
     {"No", "Yes"}},
    {"TRUEFALSE",
     {"False", "True"}},
    {"CPIQTR",
     {"March", "June", "Year Average", "September", "December"}},
    {"CPICITY",
     {"Sydney", "Melbourne", "Brisbane", "Adelaide", "Perth", "Hobart", "Darwin", "Canberra",
      "Weighted Average"}},
    {"Y2D",
     {"Auto", "365.25", "366", "365", "360"}},
    {"ORIENTATION",
     {"Portrait", "Landscape", "Default"}},
    {"RELDATE",
     {"Manually Input Date", "Manually Input Dates", "Today", "Tomorrow", "Next Week Day",
      "Yesterday", "Start This Week", "Start Next Week", "End This Week", "End Next Week",
      "Start This Month", "Start Last Month", "Start Next Month", "End This Month",
      "End Last Month", "End Next Month"}},
    {"DRCR",
     {"Debit", "Credit"}},
    {"TIERDEF",
     {"Normal (Fixed Rate)", "Nearest Match", "Nearest Match Back", "Nearest Match Forward",
      "Daily Average of Tiers", "Daily Average Last n Tiers", "Daily Average Last n Years",
      "Simple Average of Tiers", "Simple Average Last n Tiers", "Simple Average Last n Years"}},
    {"INTTYPE",
     {"No Interest", "Fixed Rate", "Variable Rate"}},
    {"PROCASE",
     {"Our Client", "Our Clients", "I/Me/My", "He/Him/His", "She/Her", "They/Them/Their",
      "We/Us/Our", "You/You/Your", "Company", "Companies", "Partnership", "Partnerships", "Firm",
      "Firms", "Trust", "Trusts", "Authority etc", "Joint Venture etc", "Consortium etc"}},
    {"DELTA",
     {"Normal - Amount does not change", "Amount reaches an end figure by % changes",
      "Amount reaches an end figure by $ changes", "Amount changes by $x every p period",
      "Amount changes by x% every p period", "Amount changes with Consumer Price Index",
      "Amount changes according to an Index rate", "Amount changes after N times",
      "Amount changes on specified dates"}},
    {"DATESOURCE",
     {"Relative eg \"Today\" or \"Tomorrow\"", "One Date eg \"3/3/2003\"",
      "Multiple Dates eg \"3/3/2003;5/5/2002\"", "On Each Report Date",
      "Repeated eg \"48 times commencing 3/3/2003\"",
      "Range eg \"Every fortnight between 5/5/2002 & 6/6/2003\"", "<Internal Use Only>",
      "<Internal Use Only>"}},
    };
    return lists;
}

}  // namespace

NamedLists::NamedLists(const Locale& loc) : lists_(Names().size()) {
    for (const auto& list : FixedLists()) lists_[*Find(list.name)] = list.texts;
    lists_[*Find("Frequency")] = FrequencyTexts(loc);
}

const std::vector<std::string>* NamedLists::Texts(std::string_view name) const {
    const auto k = Find(name);
    return k ? &lists_[*k] : nullptr;
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

bool FillNamedList(const NamedLists& lists, std::string_view name, std::vector<LookupItem>& items,
                   const std::set<int>& excluded) {
    auto found = lists.Items(name, excluded);
    if (!found) return false;
    items = std::move(*found);
    return true;
}

const char* NamedListOf(TLookupType type) {
    switch (type) {
    case ltFrequency: return "Frequency";
    case ltYesNo: return "YESNO";
    case ltTrueFalse: return "TRUEFALSE";
    case ltCpiQtr: return "CPIQTR";
    case ltCpiCity: return "CPICITY";
    case ltGender: return "GENDER";
    case ltDateFmt: return "DateFmt";
    case ltDueDateType: return "DueDateType";
    case ltCountry: return "Country";
    case ltMedCat: return "MedCat";
    case ltCpiRefDate: return "CpiRefDate";
    case ltValType: return "ValType";
    case ltFieldPrint: return "FieldPrint";
    case ltProRata: return "ProRata";
    case ltDateSource: return "DateSource";
    case ltEndAdjust: return "EndAdjust";
    case ltY2D: return "Y2D";
    case ltPrinterOrientation: return "PRINTOR";
    case ltOrientation: return "ORIENTATION";
    case ltRelDate: return "RELDATE";
    case ltDrCr: return "DRCR";
    case ltTierDefault: return "TIERDEF";
    case ltIntType: return "INTTYPE";
    case ltPronounCase: return "PROCASE";
    case ltDeltaType: return "DELTA";
    case ltGeneral:
    case ltItems:
    case ltTable:
    case ltCSV:
    case ltPrintUnit: break;
    }
    return nullptr;
}

}  // namespace clx
