#include "platform/memtable.h"

#include <fmt/format.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <string_view>
#include <utility>

#include "platform/text.h"

namespace clx {

struct MemTable::Row {
    uint64_t id = 0;
    int64_t recNo = 0;
    std::vector<Value> values;  // one per field, calculated ones included
    bool pass = true;           // passes the filter
    bool calcStale = false;     // written while no calculation handler was set
};

// Points the table's field access at a row for the length of a calculation or filter call.
struct MemTable::Scope {
    Scope(MemTable& t, Row* r, bool calc) : t_(t), ctx_(t.ctx_), calc_(t.inCalc_) {
        t.ctx_ = r;
        t.inCalc_ = calc;
    }
    ~Scope() {
        t_.ctx_ = ctx_;
        t_.inCalc_ = calc_;
    }
    Scope(const Scope&) = delete;
    Scope& operator=(const Scope&) = delete;
    MemTable& t_;
    Row* ctx_;
    bool calc_;
};

namespace {

const Value kNull{};

int CompareText(std::string_view a, std::string_view b, bool ci) {
    const size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        auto x = static_cast<unsigned char>(ci ? LowerAsciiChar(a[i]) : a[i]);
        auto y = static_cast<unsigned char>(ci ? LowerAsciiChar(b[i]) : b[i]);
        if (x != y) return x < y ? -1 : 1;
    }
    return a.size() < b.size() ? -1 : (a.size() > b.size() ? 1 : 0);
}

std::string_view Trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

// Cuts to n characters: code points when the text is valid UTF-8, bytes otherwise.
std::string CutToSize(std::string s, int n) {
    if (n <= 0 || s.size() <= static_cast<size_t>(n)) return s;
    size_t i = 0;
    int chars = 0;
    while (i < s.size() && chars < n) {
        const auto c = static_cast<unsigned char>(s[i]);
        const size_t len = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
        if (len == 0 || i + len > s.size()) return s.substr(0, n);
        for (size_t k = 1; k < len; ++k)
            if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return s.substr(0, n);
        i += len;
        ++chars;
    }
    s.resize(i);
    return s;
}

bool IsBlobType(FieldType t) { return t == FieldType::Blob || t == FieldType::Memo; }
bool IsTextType(FieldType t) { return t == FieldType::String || IsBlobType(t); }

bool IsIntType(FieldType t) {
    return t == FieldType::SmallInt || t == FieldType::Integer || t == FieldType::Word ||
           t == FieldType::AutoInc || t == FieldType::LargeInt;
}

bool IsKnownType(FieldType t) {
    switch (t) {
    case FieldType::String: case FieldType::SmallInt: case FieldType::Integer: case FieldType::Word:
    case FieldType::Boolean: case FieldType::Float: case FieldType::Currency: case FieldType::BCD:
    case FieldType::Date: case FieldType::Time: case FieldType::DateTime: case FieldType::AutoInc:
    case FieldType::Blob: case FieldType::Memo: case FieldType::LargeInt:
        return true;
    }
    return false;
}

std::pair<int64_t, int64_t> IntRange(FieldType t) {
    switch (t) {
    case FieldType::SmallInt: return {-32768, 32767};
    case FieldType::Word: return {0, 65535};
    case FieldType::Integer:
    case FieldType::AutoInc: return {std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()};
    default: return {std::numeric_limits<int64_t>::min(), std::numeric_limits<int64_t>::max()};
    }
}

int BcdPlaces(const FieldDef& d) { return d.size == 0 ? 4 : d.size; }

std::string FormatDouble(double v) {
    char buf[400];
    auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed);
    if (r.ec != std::errc{}) r = std::to_chars(buf, buf + sizeof buf, v);
    return std::string(buf, r.ptr);
}

std::optional<int64_t> ParseInt(std::string_view s) {
    s = Trim(s);
    if (!s.empty() && s.front() == '+') s.remove_prefix(1);
    int64_t v = 0;
    auto r = std::from_chars(s.data(), s.data() + s.size(), v);
    if (s.empty() || r.ec != std::errc{} || r.ptr != s.data() + s.size()) return std::nullopt;
    return v;
}

std::optional<double> ParseDouble(std::string_view s) {
    s = Trim(s);
    if (!s.empty() && s.front() == '+') s.remove_prefix(1);
    double v = 0;
    auto r = std::from_chars(s.data(), s.data() + s.size(), v);
    if (s.empty() || r.ec != std::errc{} || r.ptr != s.data() + s.size() || !std::isfinite(v))
        return std::nullopt;
    return v;
}

std::optional<bool> ParseBool(std::string_view s) {
    s = Trim(s);
    for (const char* t : {"true", "t", "yes", "y", "1"})
        if (SameTextNoCase(s, t)) return true;
    for (const char* f : {"false", "f", "no", "n", "0"})
        if (SameTextNoCase(s, f)) return false;
    return std::nullopt;
}

// An exact decimal: sign, integer digits without leading zeros ("" for 0), fraction digits.
struct Decimal {
    bool neg = false;
    std::string whole, frac;
};

// Reads "-12.5", "+.5", "1e3" ... and rounds half away from zero to the given places.
// Returns nullopt for text that is not a number; throws std::range_error beyond 32 digits.
std::optional<Decimal> ParseDecimal(std::string_view s, int places, bool limit = true) {
    s = Trim(s);
    Decimal d;
    size_t p = 0;
    if (p < s.size() && (s[p] == '+' || s[p] == '-')) d.neg = s[p++] == '-';
    std::string digits;
    int fracDigits = 0;
    bool dot = false, any = false;
    for (; p < s.size(); ++p) {
        const char c = s[p];
        if (c >= '0' && c <= '9') {
            any = true;
            if (!(digits.empty() && c == '0')) digits += c;
            if (dot) ++fracDigits;
        } else if (c == '.' && !dot) {
            dot = true;
        } else {
            break;
        }
    }
    if (!any) return std::nullopt;
    long exp = 0;
    if (p < s.size() && (s[p] == 'e' || s[p] == 'E')) {
        ++p;
        bool eneg = false;
        if (p < s.size() && (s[p] == '+' || s[p] == '-')) eneg = s[p++] == '-';
        if (p >= s.size()) return std::nullopt;
        for (; p < s.size() && s[p] >= '0' && s[p] <= '9'; ++p)
            if ((exp = exp * 10 + (s[p] - '0')) > 100000) exp = 100000;
        if (eneg) exp = -exp;
    }
    if (p != s.size()) return std::nullopt;
    if (digits.empty()) return Decimal{};
    // value = digits * 10^-scale
    long scale = fracDigits - exp;
    if (scale - places > static_cast<long>(digits.size())) return Decimal{};  // rounds to zero
    if (scale < places) {
        if (places - scale > 400) throw std::range_error("too many digits");
        digits.append(static_cast<size_t>(places - scale), '0');
    } else if (scale > places) {
        const size_t drop = static_cast<size_t>(scale - places);
        const bool up = digits[digits.size() - drop] >= '5';
        digits.resize(digits.size() - drop);
        if (up) {
            size_t i = digits.size();
            while (i > 0 && digits[i - 1] == '9') digits[--i] = '0';
            if (i == 0) digits.insert(digits.begin(), '1');
            else ++digits[i - 1];
        }
    }
    if (digits.size() < static_cast<size_t>(places) + 1)
        digits.insert(0, static_cast<size_t>(places) + 1 - digits.size(), '0');
    d.whole = digits.substr(0, digits.size() - static_cast<size_t>(places));
    d.frac = digits.substr(digits.size() - static_cast<size_t>(places));
    d.whole.erase(0, std::min(d.whole.find_first_not_of('0'), d.whole.size()));
    if (limit && d.whole.size() + d.frac.size() > 32) throw std::range_error("more than 32 digits");
    if (d.whole.empty() && d.frac.find_first_not_of('0') == std::string::npos) d.neg = false;
    return d;
}

std::string DecimalText(const Decimal& d) {
    std::string s = d.neg ? "-" : "";
    s += d.whole.empty() ? "0" : d.whole;
    if (!d.frac.empty()) s += "." + d.frac;
    return s;
}

int CompareDecimal(const std::string& a, const std::string& b) {
    std::optional<Decimal> x, y;
    try {
        x = ParseDecimal(a, 32, false);
        y = ParseDecimal(b, 32, false);
    } catch (const std::range_error&) {
    }
    if (!x || !y) return CompareText(a, b, false);
    if (x->neg != y->neg) return x->neg ? -1 : 1;
    int c = 0;
    if (x->whole.size() != y->whole.size()) c = x->whole.size() < y->whole.size() ? -1 : 1;
    else if (int w = x->whole.compare(y->whole)) c = w < 0 ? -1 : 1;
    else if (int f = x->frac.compare(y->frac)) c = f < 0 ? -1 : 1;
    return x->neg ? -c : c;
}

bool ReadNumber(std::string_view s, size_t& p, size_t minDigits, size_t maxDigits, int& out) {
    size_t n = 0;
    out = 0;
    while (p < s.size() && n < maxDigits && s[p] >= '0' && s[p] <= '9') {
        out = out * 10 + (s[p++] - '0');
        ++n;
    }
    return n >= minDigits;
}

// "hh:mm[:ss[.zzz]]" from position p to the end of s.
std::optional<TDateTime> ParseIsoTime(std::string_view s, size_t p) {
    int h = 0, m = 0, sec = 0, ms = 0;
    if (!ReadNumber(s, p, 1, 2, h) || p >= s.size() || s[p++] != ':' || !ReadNumber(s, p, 2, 2, m))
        return std::nullopt;
    if (p < s.size() && s[p] == ':') {
        ++p;
        if (!ReadNumber(s, p, 2, 2, sec)) return std::nullopt;
        if (p < s.size() && s[p] == '.') {
            ++p;
            const size_t start = p;
            if (!ReadNumber(s, p, 1, 3, ms)) return std::nullopt;
            for (size_t k = p - start; k < 3; ++k) ms *= 10;
        }
    }
    if (p != s.size()) return std::nullopt;
    return TryEncodeTime(h, m, sec, ms);
}

// "yyyy-mm-dd" optionally followed by " hh:mm[:ss[.zzz]]" or "Thh:mm...".
std::optional<TDateTime> ParseIsoDateTime(std::string_view s) {
    s = Trim(s);
    size_t p = 0;
    int y = 0, m = 0, d = 0;
    if (!ReadNumber(s, p, 4, 4, y) || p >= s.size() || s[p++] != '-' || !ReadNumber(s, p, 1, 2, m) ||
        p >= s.size() || s[p++] != '-' || !ReadNumber(s, p, 1, 2, d))
        return std::nullopt;
    auto date = TryEncodeDate(y, m, d);
    if (!date) return std::nullopt;
    if (p == s.size()) return date;
    if (s[p] != ' ' && s[p] != 'T') return std::nullopt;
    auto time = ParseIsoTime(s, p + 1);
    if (!time) return std::nullopt;
    return ComposeDateTime(*date, *time);
}

std::string IsoDate(TDateTime v) {
    const CivilDate c = DecodeDate(v);
    return fmt::format("{:04}-{:02}-{:02}", c.year, c.month, c.day);
}

std::string IsoTime(TDateTime v) {
    const TimeOfDay t = DecodeTime(v);
    std::string s = fmt::format("{:02}:{:02}:{:02}", t.hour, t.minute, t.second);
    if (t.msec) s += fmt::format(".{:03}", t.msec);
    return s;
}

std::string ValueText(const Value& v) {
    switch (v.index()) {
    case 1: return std::to_string(std::get<int64_t>(v));
    case 2: return FormatDouble(std::get<double>(v));
    case 3: return std::get<bool>(v) ? "True" : "False";
    case 4: return std::get<std::string>(v);
    default: return {};
    }
}

int CompareValues(FieldType type, const Value& a, const Value& b, bool ci) {
    const bool an = a.index() == 0, bn = b.index() == 0;
    if (an || bn) return an == bn ? 0 : (an ? -1 : 1);
    if (a.index() != b.index()) return a.index() < b.index() ? -1 : 1;
    switch (a.index()) {
    case 1: {
        auto x = std::get<int64_t>(a), y = std::get<int64_t>(b);
        return x < y ? -1 : (x > y ? 1 : 0);
    }
    case 2: {
        auto x = std::get<double>(a), y = std::get<double>(b);
        return x < y ? -1 : (x > y ? 1 : 0);
    }
    case 3: return static_cast<int>(std::get<bool>(a)) - static_cast<int>(std::get<bool>(b));
    default:
        if (type == FieldType::BCD) return CompareDecimal(std::get<std::string>(a), std::get<std::string>(b));
        return CompareText(std::get<std::string>(a), std::get<std::string>(b), ci);
    }
}

template <class H>
void Fire(const H& handler, MemTable& t) {
    // A copy, so that a handler that suspends or replaces the table's handlers stays alive.
    H h = handler;
    if (h) h(t);
}

// The process-wide suspension stack.
struct Level {
    MemTable* table;
    TableHandlers saved;
    bool ignored;
};
struct Suspensions {
    std::vector<Level> levels;
    int depth = 0;  // levels that saved handlers
};
Suspensions& Stack() {
    static Suspensions s;
    return s;
}
constexpr int kMaxSuspensionDepth = 32;

}  // namespace

// ---- Field -------------------------------------------------------------------------------

const std::string& Field::Name() const { table_->CheckField(index_); return table_->defs_[index_].name; }
FieldType Field::Type() const { table_->CheckField(index_); return table_->defs_[index_].type; }
int Field::Size() const { table_->CheckField(index_); return table_->defs_[index_].size; }
FieldKind Field::Kind() const { table_->CheckField(index_); return table_->defs_[index_].kind; }
bool Field::IsNull() const { return AsValue().index() == 0; }
const Value& Field::AsValue() const { return table_->ReadValue(index_); }

std::string Field::AsString() const {
    const Value& v = AsValue();
    if (v.index() == 2) {
        switch (Type()) {
        case FieldType::Date: return IsoDate(std::get<double>(v));
        case FieldType::Time: return IsoTime(std::get<double>(v));
        case FieldType::DateTime: {
            const double d = std::get<double>(v);
            const double frac = std::fabs(d - std::trunc(d));
            return frac == 0 ? IsoDate(d) : IsoDate(d) + " " + IsoTime(d);
        }
        default: break;
        }
    }
    return ValueText(v);
}

int64_t Field::AsInteger() const {
    const Value& v = AsValue();
    switch (v.index()) {
    case 1: return std::get<int64_t>(v);
    case 2: {
        const double d = std::get<double>(v);
        const FieldType t = Type();
        const double r = (t == FieldType::Date || t == FieldType::Time || t == FieldType::DateTime)
                             ? std::trunc(d) : std::round(d);
        if (r < -9.2e18 || r > 9.2e18)
            throw TableError(table_->Err(fmt::format("the value of field '{}' does not fit an integer", Name())));
        return static_cast<int64_t>(r);
    }
    case 3: return std::get<bool>(v) ? 1 : 0;
    case 4: {
        const auto& s = std::get<std::string>(v);
        if (Trim(s).empty()) return 0;
        if (auto i = ParseInt(s)) return *i;
        if (Type() == FieldType::BCD)
            if (auto d = ParseDouble(s); d && std::fabs(*d) < 9.2e18) return static_cast<int64_t>(std::round(*d));
        throw TableError(table_->Err(fmt::format("'{}' in field '{}' is not a valid integer", s, Name())));
    }
    default: return 0;
    }
}

double Field::AsFloat() const {
    const Value& v = AsValue();
    switch (v.index()) {
    case 1: return static_cast<double>(std::get<int64_t>(v));
    case 2: return std::get<double>(v);
    case 3: return std::get<bool>(v) ? 1 : 0;
    case 4: {
        const auto& s = std::get<std::string>(v);
        if (Trim(s).empty()) return 0;
        if (auto d = ParseDouble(s)) return *d;
        throw TableError(table_->Err(fmt::format("'{}' in field '{}' is not a valid number", s, Name())));
    }
    default: return 0;
    }
}

bool Field::AsBoolean() const {
    const Value& v = AsValue();
    switch (v.index()) {
    case 1: return std::get<int64_t>(v) != 0;
    case 2: return std::get<double>(v) != 0;
    case 3: return std::get<bool>(v);
    case 4: {
        const auto& s = std::get<std::string>(v);
        if (Trim(s).empty()) return false;
        if (auto b = ParseBool(s)) return *b;
        throw TableError(table_->Err(fmt::format("'{}' in field '{}' is not a valid boolean", s, Name())));
    }
    default: return false;
    }
}

TDateTime Field::AsDateTime() const {
    const Value& v = AsValue();
    if (v.index() == 4) {
        const auto& s = std::get<std::string>(v);
        if (Trim(s).empty()) return 0;
        if (auto d = ParseIsoDateTime(s)) return *d;
        if (auto t = ParseIsoTime(Trim(s), 0)) return *t;
        throw TableError(table_->Err(fmt::format("'{}' in field '{}' is not a valid date", s, Name())));
    }
    return AsFloat();
}

void Field::Clear() { table_->WriteValue(index_, Value{}); }
void Field::SetValue(const Value& v) { table_->WriteValue(index_, v); }
void Field::SetString(const std::string& s) { table_->WriteValue(index_, Value{s}); }
void Field::SetInteger(int64_t v) { table_->WriteValue(index_, Value{v}); }
void Field::SetFloat(double v) { table_->WriteValue(index_, Value{v}); }
void Field::SetBoolean(bool v) { table_->WriteValue(index_, Value{v}); }
void Field::SetDateTime(TDateTime v) { table_->WriteValue(index_, Value{v}); }

// ---- MemTable: structure ---------------------------------------------------------------

MemTable::MemTable(std::string name) : name_(std::move(name)) {}

MemTable::~MemTable() {
    auto& s = Stack();
    for (size_t i = s.levels.size(); i-- > 0;)
        if (s.levels[i].table == this) {
            if (!s.levels[i].ignored) --s.depth;
            s.levels.erase(s.levels.begin() + static_cast<std::ptrdiff_t>(i));
        }
}

std::string MemTable::Err(const std::string& what) const {
    return name_.empty() ? what : name_ + ": " + what;
}

void MemTable::CheckField(int index) const {
    if (index < 0 || index >= FieldCount())
        throw TableError(Err(fmt::format("there is no field number {}", index)));
}

void MemTable::RequireBrowse(const char* what) const {
    if (state_ != TableState::Browse)
        throw TableError(Err(fmt::format("cannot {} while a row is being edited", what)));
}

void MemTable::AddField(FieldDef def) {
    RequireBrowse("add a field");
    if (def.name.empty()) throw TableError(Err("a field needs a name"));
    if (FieldIndex(def.name) >= 0 || SameTextNoCase(def.name, kRecordNumberField))
        throw TableError(Err(fmt::format("duplicate field name '{}'", def.name)));
    if (!IsKnownType(def.type))
        throw TableError(Err(fmt::format("field '{}' has the unknown type code {}", def.name,
                                         static_cast<int>(def.type))));
    if (def.size < 0) throw TableError(Err(fmt::format("field '{}' has a negative size", def.name)));
    if (def.type == FieldType::String && def.size == 0)
        throw TableError(Err(fmt::format("string field '{}' needs a size", def.name)));
    if (def.type == FieldType::BCD && def.size > 32)
        throw TableError(Err(fmt::format("BCD field '{}' cannot have more than 32 decimal places", def.name)));
    defs_.push_back(std::move(def));
    autoMaxValid_ = false;
    for (auto& r : rows_) r->values.emplace_back();
    Changed();
}

void MemTable::AddField(const std::string& name, FieldType type, int size, FieldKind kind) {
    AddField(FieldDef{name, type, size, kind});
}

int MemTable::FieldIndex(const std::string& name) const {
    for (size_t i = 0; i < defs_.size(); ++i)
        if (SameTextNoCase(defs_[i].name, name)) return static_cast<int>(i);
    return -1;
}

Field MemTable::FieldByName(const std::string& name) {
    const int i = FieldIndex(name);
    if (i < 0) throw TableError(Err(fmt::format("field '{}' not found", name)));
    return Field(this, i);
}

Field MemTable::FieldAt(int index) {
    CheckField(index);
    return Field(this, index);
}

void MemTable::CopyStructureFrom(const MemTable& other) {
    if (&other == this) return;
    RequireBrowse("change the structure");
    defs_ = other.defs_;
    sortField_ = other.sortField_;
    sortIndex_ = other.sortIndex_;
    sortDescending_ = other.sortDescending_;
    sortCaseInsensitive_ = other.sortCaseInsensitive_;
    handlers = other.handlers;
    filtered_ = other.filtered_;
    rows_.clear();
    visible_.clear();
    cur_ = -1;
    bof_ = eof_ = true;
    lastRecNo_ = 0;
    autoMaxValid_ = false;
    Changed();
}

int64_t& MemTable::AutoMax(size_t index) {
    if (!autoMaxValid_) {
        autoMax_.assign(defs_.size(), 0);
        for (size_t f = 0; f < defs_.size(); ++f)
            if (defs_[f].type == FieldType::AutoInc)
                for (const auto& r : rows_)
                    if (auto p = std::get_if<int64_t>(&r->values[f])) autoMax_[f] = std::max(autoMax_[f], *p);
        autoMaxValid_ = true;
    }
    return autoMax_[index];
}

void MemTable::NoteAutoInc(const Row& r) {
    if (!autoMaxValid_) return;
    for (size_t f = 0; f < defs_.size(); ++f)
        if (auto p = std::get_if<int64_t>(&r.values[f]); p && defs_[f].type == FieldType::AutoInc)
            autoMax_[f] = std::max(autoMax_[f], *p);
}

bool MemTable::HasCalcFields() const {
    return std::any_of(defs_.begin(), defs_.end(), [](const FieldDef& d) { return d.kind == FieldKind::Calculated; });
}

// ---- values ------------------------------------------------------------------------------

Value MemTable::Coerce(int index, const Value& v) const {
    const FieldDef& d = defs_[index];
    if (v.index() == 0) return v;
    auto bad = [&] {
        return TableError(Err(fmt::format("'{}' is not a valid value for field '{}'", ValueText(v), d.name)));
    };
    const std::string* text = std::get_if<std::string>(&v);
    if (text && !IsTextType(d.type) && Trim(*text).empty()) return Value{};  // blank clears

    if (IsTextType(d.type)) {
        std::string s = text ? *text : ValueText(v);
        return d.type == FieldType::String ? CutToSize(std::move(s), d.size) : std::move(s);
    }
    if (IsIntType(d.type)) {
        int64_t i = 0;
        if (auto p = std::get_if<int64_t>(&v)) {
            i = *p;
        } else if (auto b = std::get_if<bool>(&v)) {
            i = *b;
        } else if (auto f = std::get_if<double>(&v)) {
            if (!std::isfinite(*f) || std::fabs(*f) > 9.2e18) throw bad();
            i = static_cast<int64_t>(std::round(*f));
        } else if (auto p = ParseInt(*text)) {
            i = *p;
        } else {
            throw bad();
        }
        auto [lo, hi] = IntRange(d.type);
        if (i < lo || i > hi)
            throw TableError(Err(fmt::format("{} is out of range for field '{}' ({} to {})", i, d.name, lo, hi)));
        return i;
    }
    switch (d.type) {
    case FieldType::Boolean:
        if (auto b = std::get_if<bool>(&v)) return *b;
        if (auto i = std::get_if<int64_t>(&v)) return *i != 0;
        if (auto f = std::get_if<double>(&v)) return *f != 0;
        if (auto b = ParseBool(*text)) return *b;
        throw bad();
    case FieldType::Float:
    case FieldType::Currency: {
        double f = 0;
        if (auto p = std::get_if<double>(&v)) f = *p;
        else if (auto i = std::get_if<int64_t>(&v)) f = static_cast<double>(*i);
        else if (auto b = std::get_if<bool>(&v)) f = *b;
        else if (auto p = ParseDouble(*text)) f = *p;
        else throw bad();
        if (!std::isfinite(f)) throw bad();
        return f == 0 ? 0.0 : f;
    }
    case FieldType::BCD: {
        std::string s;
        if (text) s = *text;
        else if (auto f = std::get_if<double>(&v)) {
            if (!std::isfinite(*f)) throw bad();
            char buf[40];
            s.assign(buf, std::to_chars(buf, buf + sizeof buf, *f).ptr);  // shortest round trip
        } else if (auto b = std::get_if<bool>(&v)) s = *b ? "1" : "0";
        else s = ValueText(v);
        try {
            if (auto dec = ParseDecimal(s, BcdPlaces(d))) return DecimalText(*dec);
        } catch (const std::range_error&) {
            throw TableError(Err(fmt::format("{} is out of range for field '{}' (32 digits)", s, d.name)));
        }
        throw bad();
    }
    case FieldType::Date:
    case FieldType::Time:
    case FieldType::DateTime: {
        double t = 0;
        if (auto p = std::get_if<double>(&v)) t = *p;
        else if (auto i = std::get_if<int64_t>(&v)) t = static_cast<double>(*i);
        else if (text) {
            auto p = ParseIsoDateTime(*text);
            if (!p && d.type == FieldType::Time) p = ParseIsoTime(Trim(*text), 0);
            if (!p) throw bad();
            t = *p;
        } else throw bad();
        if (!std::isfinite(t)) throw bad();
        if (d.type == FieldType::Time) return std::fabs(t - std::trunc(t));
        if (std::trunc(t) < kMinDateSerial || std::trunc(t) > kMaxDateSerial)
            throw TableError(Err(fmt::format("{} is outside the date range of field '{}'", ValueText(v), d.name)));
        return d.type == FieldType::Date ? std::trunc(t) + 0.0 : t;
    }
    default: throw bad();
    }
}

const MemTable::Row* MemTable::CurrentRow() const {
    return cur_ >= 0 ? rows_[static_cast<size_t>(visible_[static_cast<size_t>(cur_)])].get() : nullptr;
}

const MemTable::Row* MemTable::ReadRow() const {
    if (ctx_) return ctx_;
    if (edit_) return edit_.get();
    return CurrentRow();
}

const Value& MemTable::ReadValue(int index) const {
    CheckField(index);
    const Row* r = ReadRow();
    return r ? r->values[static_cast<size_t>(index)] : kNull;
}

void MemTable::WriteValue(int index, const Value& v) {
    CheckField(index);
    const FieldDef& d = defs_[static_cast<size_t>(index)];
    if (d.kind == FieldKind::Calculated) {
        if (!inCalc_ || !ctx_)
            throw TableError(Err(fmt::format(
                "field '{}' is calculated; it can be set only while its row is calculated", d.name)));
        ctx_->values[static_cast<size_t>(index)] = Coerce(index, v);
        return;
    }
    if (ctx_)
        throw TableError(
            Err(fmt::format("field '{}' cannot be changed while rows are calculated or filtered", d.name)));
    if (!edit_) throw TableError(Err("the table is not in edit or insert mode"));
    if (d.type == FieldType::AutoInc)
        throw TableError(Err(fmt::format("field '{}' is numbered automatically and cannot be modified", d.name)));
    edit_->values[static_cast<size_t>(index)] = Coerce(index, v);
    EmitRecord(index);
}

void MemTable::RunCalc(Row& r, const TableEvent& h) {
    bool any = false;
    for (size_t i = 0; i < defs_.size(); ++i)
        if (defs_[i].kind == FieldKind::Calculated) {
            r.values[i] = Value{};
            any = true;
        }
    if (!any) return;
    r.calcStale = !h;
    if (!h) return;
    Scope scope(*this, &r, true);
    h(*this);
}

bool MemTable::RunFilter(Row& r, const FilterEvent& h) {
    if (!filtered_ || !h) return true;
    Scope scope(*this, &r, false);
    return h(*this);
}

// ---- order and visibility ----------------------------------------------------------------

bool MemTable::Less(const Row& a, const Row& b) const {
    int c = 0;
    if (sortIndex_ == kSortByRecNo) {
        c = a.recNo < b.recNo ? -1 : (a.recNo > b.recNo ? 1 : 0);
    } else if (sortIndex_ >= 0) {
        const auto i = static_cast<size_t>(sortIndex_);
        c = CompareValues(defs_[i].type, a.values[i], b.values[i], sortCaseInsensitive_);
    }
    return sortDescending_ ? c > 0 : c < 0;
}

void MemTable::SortRows() {
    if (sortIndex_ == kNoSort) return;
    std::stable_sort(rows_.begin(), rows_.end(), [this](const RowPtr& a, const RowPtr& b) { return Less(*a, *b); });
}

size_t MemTable::SortedPos(const Row& r) const {
    auto it = std::upper_bound(rows_.begin(), rows_.end(), r,
                               [this](const Row& x, const RowPtr& y) { return Less(x, *y); });
    return static_cast<size_t>(it - rows_.begin());
}

int MemTable::VisibleIndexOf(const Row* r) const {
    if (!r) return -1;
    for (size_t k = 0; k < visible_.size(); ++k)
        if (rows_[static_cast<size_t>(visible_[k])].get() == r) return static_cast<int>(k);
    return -1;
}

void MemTable::Reindex(const Row* keep, int fallback) {
    visible_.clear();
    for (size_t i = 0; i < rows_.size(); ++i)
        if (rows_[i]->pass) visible_.push_back(static_cast<int>(i));
    const int n = RecordCount();
    int k = VisibleIndexOf(keep);
    if (k < 0) {
        k = n == 0 ? -1 : std::clamp(fallback, 0, n - 1);
        bof_ = eof_ = n == 0;
    }
    cur_ = k;
}

// ---- navigation --------------------------------------------------------------------------

void MemTable::PostPending() {
    if (state_ != TableState::Browse) Post();
}

void MemTable::MoveTo(int index, bool bof, bool eof) {
    const bool moved = index != cur_;
    cur_ = index;
    bof_ = bof;
    eof_ = eof;
    if (moved) EmitScroll();
}

void MemTable::First() {
    PostPending();
    if (IsEmpty()) { bof_ = eof_ = true; return; }
    MoveTo(0, true, false);
}

void MemTable::Last() {
    PostPending();
    if (IsEmpty()) { bof_ = eof_ = true; return; }
    MoveTo(RecordCount() - 1, false, true);
}

void MemTable::Next() { MoveBy(1); }
void MemTable::Prior() { MoveBy(-1); }

void MemTable::MoveBy(int n) {
    PostPending();
    if (n == 0) return;
    if (IsEmpty()) { bof_ = eof_ = true; return; }
    const int last = RecordCount() - 1;
    const long target = static_cast<long>(cur_) + n;
    if (target > last) MoveTo(last, false, true);
    else if (target < 0) MoveTo(0, true, false);
    else MoveTo(static_cast<int>(target), false, false);
}

void MemTable::SetRecNo(int recNo) {
    PostPending();
    if (recNo < 1 || recNo > RecordCount())
        throw TableError(Err(fmt::format("row {} does not exist (the table shows {} rows)", recNo, RecordCount())));
    MoveTo(recNo - 1, false, false);
}

uint64_t MemTable::RecordId() const {
    const Row* r = ReadRow();
    return r ? r->id : 0;
}

bool MemTable::GotoRecordId(uint64_t id) {
    PostPending();
    for (size_t k = 0; k < visible_.size(); ++k)
        if (rows_[static_cast<size_t>(visible_[k])]->id == id) {
            MoveTo(static_cast<int>(k), false, false);
            return true;
        }
    return false;
}

int64_t MemTable::RecordNumber() const {
    const Row* r = ReadRow();
    return r ? r->recNo : 0;
}

void MemTable::RenumberRecords() {
    PostPending();
    int64_t n = 0;
    for (auto& r : rows_) r->recNo = ++n;
    lastRecNo_ = n;
    if (sortIndex_ == kSortByRecNo) {
        const Row* keep = CurrentRow();
        SortRows();
        Reindex(keep, cur_);
    }
    Changed();
}

// ---- editing -----------------------------------------------------------------------------

void MemTable::Append() { BeginInsert(true); }
void MemTable::Insert() { BeginInsert(false); }

void MemTable::BeginInsert(bool append) {
    PostPending();
    Fire(handlers.beforeInsert, *this);
    auto buf = std::make_unique<Row>();
    buf->id = nextId_++;
    buf->recNo = lastRecNo_ + 1;
    buf->values.assign(defs_.size(), Value{});
    const Row* cur = CurrentRow();
    insertBefore_ = (append || sortIndex_ != kNoSort || !cur) ? 0 : cur->id;
    edit_ = std::move(buf);
    editOf_ = nullptr;
    state_ = TableState::Insert;
    try {
        Fire(handlers.onNewRecord, *this);
        if (state_ != TableState::Insert) return;  // the handler finished the row itself
        const TableEvent calc = handlers.onCalcFields;
        RunCalc(*edit_, calc);
    } catch (...) {
        if (state_ == TableState::Insert) {
            edit_.reset();
            state_ = TableState::Browse;
        }
        throw;
    }
    EmitState();
    Fire(handlers.afterInsert, *this);
}

void MemTable::Edit() {
    if (state_ != TableState::Browse) return;
    const Row* r = CurrentRow();
    if (!r) throw TableError(Err("there is no row to edit"));
    edit_ = std::make_unique<Row>(*r);
    editOf_ = const_cast<Row*>(r);
    state_ = TableState::Edit;
    EmitState();
}

void MemTable::Post() {
    if (state_ == TableState::Browse || !edit_) return;
    std::vector<Value> snapshot = edit_->values;
    auto restore = [&] {
        if (edit_ && state_ != TableState::Browse) edit_->values = snapshot;
    };
    try {
        Fire(handlers.beforePost, *this);
    } catch (...) {
        restore();
        throw;
    }
    if (state_ == TableState::Browse || !edit_) return;  // the handler finished the row itself
    const bool isNew = state_ == TableState::Insert;
    auto row = std::make_unique<Row>(*edit_);
    size_t editPos = rows_.size();
    if (!isNew) {
        for (size_t i = 0; i < rows_.size(); ++i)
            if (rows_[i].get() == editOf_) editPos = i;
        if (editPos == rows_.size()) throw TableError(Err("the row being edited no longer exists"));
    }
    try {
        if (isNew)
            for (size_t f = 0; f < defs_.size(); ++f)
                if (defs_[f].type == FieldType::AutoInc && defs_[f].kind == FieldKind::Data) {
                    const int64_t max = AutoMax(f);
                    if (max >= IntRange(FieldType::AutoInc).second)
                        throw TableError(Err(fmt::format("field '{}' has run out of numbers", defs_[f].name)));
                    row->values[f] = max + 1;
                }
        const TableEvent calc = handlers.onCalcFields;
        const FilterEvent filter = handlers.onFilterRecord;
        RunCalc(*row, calc);
        row->pass = RunFilter(*row, filter);
    } catch (...) {
        restore();
        throw;
    }
    // Nothing below calls a handler until the row is written.
    const int oldCur = cur_;
    Row* posted = nullptr;
    if (isNew) {
        size_t pos = rows_.size();
        if (sortIndex_ != kNoSort) {
            pos = SortedPos(*row);
        } else if (insertBefore_) {
            for (size_t i = 0; i < rows_.size(); ++i)
                if (rows_[i]->id == insertBefore_) pos = i;
        }
        lastRecNo_ = std::max(lastRecNo_, row->recNo);
        NoteAutoInc(*row);
        posted = row.get();
        rows_.insert(rows_.begin() + static_cast<std::ptrdiff_t>(pos), std::move(row));
    } else {
        posted = editOf_;
        posted->values = std::move(row->values);
        posted->pass = row->pass;
        posted->calcStale = row->calcStale;
        if (sortIndex_ != kNoSort) {
            const size_t k = editPos;
            const bool fits = (k == 0 || !Less(*posted, *rows_[k - 1])) &&
                              (k + 1 == rows_.size() || !Less(*rows_[k + 1], *posted));
            if (!fits) {
                RowPtr p = std::move(rows_[k]);
                rows_.erase(rows_.begin() + static_cast<std::ptrdiff_t>(k));
                const size_t pos = SortedPos(*p);
                rows_.insert(rows_.begin() + static_cast<std::ptrdiff_t>(pos), std::move(p));
            }
        }
    }
    edit_.reset();
    editOf_ = nullptr;
    insertBefore_ = 0;
    state_ = TableState::Browse;
    Reindex(posted, oldCur);
    bof_ = eof_ = IsEmpty();
    ++changes_;
    EmitData();
    EmitState();
    Fire(handlers.afterPost, *this);
}

void MemTable::Cancel() {
    if (state_ == TableState::Browse) return;
    edit_.reset();
    editOf_ = nullptr;
    insertBefore_ = 0;
    state_ = TableState::Browse;
    EmitState();
    Fire(handlers.afterCancel, *this);
}

void MemTable::Delete() {
    if (state_ == TableState::Insert) {
        Cancel();
        return;
    }
    const Row* target = CurrentRow();
    if (!target) throw TableError(Err("there is no row to delete"));
    Fire(handlers.beforeDelete, *this);
    size_t pos = rows_.size();
    for (size_t i = 0; i < rows_.size(); ++i)
        if (rows_[i].get() == target) pos = i;
    if (pos == rows_.size()) return;  // the handler removed it already
    const int vis = VisibleIndexOf(target);
    const bool wasLast = vis == RecordCount() - 1;
    const bool wasEditing = state_ != TableState::Browse;
    edit_.reset();
    editOf_ = nullptr;
    state_ = TableState::Browse;
    rows_.erase(rows_.begin() + static_cast<std::ptrdiff_t>(pos));
    autoMaxValid_ = false;
    Reindex(nullptr, vis);
    bof_ = IsEmpty();
    eof_ = IsEmpty() || wasLast;
    ++changes_;
    EmitData();
    if (wasEditing) EmitState();
    Fire(handlers.afterDelete, *this);
}

// ---- bulk --------------------------------------------------------------------------------

void MemTable::EmptyTable() {
    RequireBrowse("empty the table");
    rows_.clear();
    visible_.clear();
    cur_ = -1;
    bof_ = eof_ = true;
    lastRecNo_ = 0;
    autoMaxValid_ = false;
    Changed();
}

std::vector<MemTable::RowPtr> MemTable::PrepareRows(std::vector<std::vector<Value>>& in, int64_t firstRecNo,
                                                    bool countExisting) {
    std::vector<size_t> data;
    for (size_t f = 0; f < defs_.size(); ++f)
        if (defs_[f].kind == FieldKind::Data) data.push_back(f);
    std::vector<RowPtr> out;
    out.reserve(in.size());
    for (size_t n = 0; n < in.size(); ++n) {
        auto& src = in[n];
        const bool full = src.size() == defs_.size();
        if (!full && src.size() != data.size())
            throw TableError(Err(fmt::format("row {} has {} values; the table has {} data fields", n + 1,
                                             src.size(), data.size())));
        auto r = std::make_unique<Row>();
        r->recNo = firstRecNo + static_cast<int64_t>(n);
        r->values.assign(defs_.size(), Value{});
        for (size_t k = 0; k < data.size(); ++k) {
            Value& v = src[full ? data[k] : k];
            try {
                r->values[data[k]] = Coerce(static_cast<int>(data[k]), v);
            } catch (const TableError& e) {
                throw TableError(fmt::format("{} (row {})", e.what(), n + 1));
            }
        }
        out.push_back(std::move(r));
    }
    for (size_t f : data)
        if (defs_[f].type == FieldType::AutoInc) {
            int64_t max = countExisting ? AutoMax(f) : 0;
            for (const auto& r : out)
                if (auto p = std::get_if<int64_t>(&r->values[f])) max = std::max(max, *p);
            for (auto& r : out)
                if (r->values[f].index() == 0) {
                    if (max >= IntRange(FieldType::AutoInc).second)
                        throw TableError(Err(fmt::format("field '{}' has run out of numbers", defs_[f].name)));
                    r->values[f] = ++max;
                }
        }
    const TableEvent calc = handlers.onCalcFields;
    const FilterEvent filter = handlers.onFilterRecord;
    for (auto& r : out) {
        RunCalc(*r, calc);
        r->pass = RunFilter(*r, filter);
    }
    for (auto& r : out) r->id = nextId_++;  // ids are taken only once nothing can fail
    return out;
}

void MemTable::CommitAppended(std::vector<RowPtr> rows) {
    if (rows.empty()) return;
    const Row* keep = CurrentRow();
    const bool wasEmpty = IsEmpty();
    lastRecNo_ = std::max(lastRecNo_, rows.back()->recNo);
    for (const auto& r : rows) NoteAutoInc(*r);
    if (rows.size() == 1 && sortIndex_ != kNoSort) {
        const size_t pos = SortedPos(*rows.front());
        const bool atEnd = pos == rows_.size();
        const bool pass = rows.front()->pass;
        rows_.insert(rows_.begin() + static_cast<std::ptrdiff_t>(pos), std::move(rows.front()));
        if (atEnd) {
            if (pass) visible_.push_back(static_cast<int>(rows_.size() - 1));
            if (cur_ < 0 && !visible_.empty()) cur_ = 0;
        } else {
            Reindex(keep, cur_);
        }
    } else {
        const size_t first = rows_.size();
        for (auto& r : rows) rows_.push_back(std::move(r));
        bool sorted = true;
        if (sortIndex_ != kNoSort)
            for (size_t i = first == 0 ? 1 : first; i < rows_.size() && sorted; ++i)
                sorted = !Less(*rows_[i], *rows_[i - 1]);
        if (sorted) {
            for (size_t i = first; i < rows_.size(); ++i)
                if (rows_[i]->pass) visible_.push_back(static_cast<int>(i));
            if (cur_ < 0 && !visible_.empty()) cur_ = 0;
        } else {
            SortRows();
            Reindex(keep, cur_);
        }
    }
    if (wasEmpty && !IsEmpty()) {
        bof_ = true;
        eof_ = false;
    }
    Changed();
}

void MemTable::AppendRaw(std::vector<Value> values) {
    RequireBrowse("append rows");
    std::vector<std::vector<Value>> one;
    one.push_back(std::move(values));
    CommitAppended(PrepareRows(one, lastRecNo_ + 1, true));
}

void MemTable::AppendRawRows(std::vector<std::vector<Value>> rows) {
    RequireBrowse("append rows");
    CommitAppended(PrepareRows(rows, lastRecNo_ + 1, true));
}

void MemTable::LoadRows(std::vector<std::vector<Value>> rows) {
    RequireBrowse("load rows");
    std::vector<RowPtr> prepared = PrepareRows(rows, 1, false);
    rows_ = std::move(prepared);
    autoMaxValid_ = false;
    lastRecNo_ = static_cast<int64_t>(rows_.size());
    SortRows();
    Reindex(nullptr, 0);
    bof_ = true;
    eof_ = IsEmpty();
    Changed();
}

void MemTable::CopyRowsFrom(const MemTable& src) {
    RequireBrowse("copy rows");
    std::vector<int> from;
    for (const auto& d : defs_)
        if (d.kind == FieldKind::Data) from.push_back(src.FieldIndex(d.name));
    std::vector<std::vector<Value>> rows(static_cast<size_t>(src.RecordCount()));
    for (int i = 0; i < src.RecordCount(); ++i) {
        const auto& values = src.RowValues(i);
        auto& out = rows[static_cast<size_t>(i)];
        out.reserve(from.size());
        for (int f : from) out.push_back(f < 0 ? Value{} : values[static_cast<size_t>(f)]);
    }
    CommitAppended(PrepareRows(rows, lastRecNo_ + 1, true));
}

// ---- filter, refresh, sort ---------------------------------------------------------------

void MemTable::SetFiltered(bool on) {
    PostPending();
    if (on == filtered_) return;
    filtered_ = on;
    std::vector<char> pass(rows_.size(), 1);
    try {
        const FilterEvent filter = handlers.onFilterRecord;
        for (size_t i = 0; i < rows_.size(); ++i) pass[i] = RunFilter(*rows_[i], filter);
    } catch (...) {
        filtered_ = !on;
        throw;
    }
    for (size_t i = 0; i < rows_.size(); ++i) rows_[i]->pass = pass[i];
    Reindex(nullptr, 0);
    bof_ = true;
    eof_ = IsEmpty();
    Changed();
}

void MemTable::Refresh() {
    PostPending();
    const TableEvent calc = handlers.onCalcFields;
    const FilterEvent filter = handlers.onFilterRecord;
    const bool hasCalc = HasCalcFields();
    std::vector<std::vector<Value>> values;
    std::vector<char> pass(rows_.size(), 1);
    if (hasCalc) values.resize(rows_.size());
    for (size_t i = 0; i < rows_.size(); ++i) {
        Row tmp;
        Row* r = rows_[i].get();
        if (hasCalc) {
            tmp = *r;
            RunCalc(tmp, calc);
            r = &tmp;
        }
        pass[i] = RunFilter(*r, filter);
        if (hasCalc) values[i] = std::move(tmp.values);
    }
    const Row* keep = CurrentRow();
    for (size_t i = 0; i < rows_.size(); ++i) {
        if (hasCalc) {
            rows_[i]->values = std::move(values[i]);
            rows_[i]->calcStale = !calc;
        }
        rows_[i]->pass = pass[i];
    }
    if (sortIndex_ >= 0 && defs_[static_cast<size_t>(sortIndex_)].kind == FieldKind::Calculated) SortRows();
    Reindex(keep, cur_);
    Changed();
}

void MemTable::SetSortField(const std::string& name, bool descending, bool caseInsensitive) {
    PostPending();
    int index = kNoSort;
    if (SameTextNoCase(name, kRecordNumberField)) {
        index = kSortByRecNo;
    } else if (!name.empty()) {
        index = FieldIndex(name);
        if (index < 0) throw TableError(Err(fmt::format("cannot sort by '{}': there is no such field", name)));
    }
    const Row* keep = CurrentRow();
    sortField_ = name;
    sortIndex_ = index;
    sortDescending_ = descending;
    sortCaseInsensitive_ = caseInsensitive;
    SortRows();
    Reindex(keep, cur_);
    Changed();
}

// ---- views -------------------------------------------------------------------------------

void MemTable::AddObserver(TableObserver* o) {
    if (o && std::find(observers_.begin(), observers_.end(), o) == observers_.end()) observers_.push_back(o);
}

void MemTable::RemoveObserver(TableObserver* o) {
    observers_.erase(std::remove(observers_.begin(), observers_.end(), o), observers_.end());
}

void MemTable::FreezeViews() { ++freeze_; }

void MemTable::ReleaseViews() {
    if (freeze_ == 0) return;
    if (--freeze_ == 0 && pending_) {
        pending_ = false;
        EmitData();
    }
}

void MemTable::Changed() {
    ++changes_;
    EmitData();
}

namespace {
template <class F>
void Broadcast(MemTable& t, const std::vector<TableObserver*>& observers, int frozen, bool& pending, F f) {
    if (frozen) {
        pending = true;
        return;
    }
    const auto copy = observers;  // an observer may remove itself or another one
    for (auto* o : copy)
        if (std::find(observers.begin(), observers.end(), o) != observers.end()) f(*o, t);
}
}  // namespace

void MemTable::EmitData() {
    Broadcast(*this, observers_, freeze_, pending_, [](TableObserver& o, MemTable& t) { o.DataChanged(t); });
}
void MemTable::EmitState() {
    Broadcast(*this, observers_, freeze_, pending_, [](TableObserver& o, MemTable& t) { o.StateChanged(t); });
}
void MemTable::EmitScroll() {
    Broadcast(*this, observers_, freeze_, pending_, [](TableObserver& o, MemTable& t) { o.Scrolled(t); });
}
void MemTable::EmitRecord(int index) {
    Broadcast(*this, observers_, freeze_, pending_,
              [index](TableObserver& o, MemTable& t) { o.RecordChanged(t, index); });
}

const std::vector<Value>& MemTable::RowValues(int visibleIndex) const {
    if (visibleIndex < 0 || visibleIndex >= RecordCount())
        throw TableError(Err(fmt::format("row index {} is out of range (the table shows {} rows)", visibleIndex,
                                         RecordCount())));
    return rows_[static_cast<size_t>(visible_[static_cast<size_t>(visibleIndex)])]->values;
}

uint64_t MemTable::RowRecordId(int visibleIndex) const {
    if (visibleIndex < 0 || visibleIndex >= RecordCount())
        throw TableError(Err(fmt::format("row index {} is out of range (the table shows {} rows)", visibleIndex,
                                         RecordCount())));
    return rows_[static_cast<size_t>(visible_[static_cast<size_t>(visibleIndex)])]->id;
}

// ---- handler suspension ------------------------------------------------------------------

// After the handlers were swapped: the filter decides visibility again and rows written while
// no calculation handler was set get their calculated fields.
void MemTable::HandlersReplaced(bool filterChanged) {
    const TableEvent calc = handlers.onCalcFields;
    const FilterEvent filter = handlers.onFilterRecord;
    bool changed = false;
    if (calc && HasCalcFields())
        for (auto& r : rows_)
            if (r->calcStale) {
                RunCalc(*r, calc);
                changed = true;
            }
    if (filtered_ && (filterChanged || changed)) {
        std::vector<char> pass(rows_.size(), 1);
        for (size_t i = 0; i < rows_.size(); ++i) pass[i] = RunFilter(*rows_[i], filter);
        for (size_t i = 0; i < rows_.size(); ++i) rows_[i]->pass = pass[i];
        const Row* keep = CurrentRow();
        Reindex(keep, cur_);
        changed = true;
    }
    if (changed) Changed();
}

void SuspendHandlers(MemTable& table) {
    auto& s = Stack();
    if (s.depth >= kMaxSuspensionDepth) {
        s.levels.push_back({&table, {}, true});
        return;
    }
    const bool hadFilter = static_cast<bool>(table.handlers.onFilterRecord);
    s.levels.push_back({&table, std::move(table.handlers), false});
    ++s.depth;
    table.handlers = TableHandlers{};
    table.HandlersReplaced(hadFilter);
}

void RestoreHandlers(MemTable& table) {
    auto& s = Stack();
    for (size_t i = s.levels.size(); i-- > 0;) {
        if (s.levels[i].table != &table) continue;
        Level level = std::move(s.levels[i]);
        s.levels.erase(s.levels.begin() + static_cast<std::ptrdiff_t>(i));
        if (level.ignored) return;
        --s.depth;
        const bool filterChanged = static_cast<bool>(level.saved.onFilterRecord) ||
                                   static_cast<bool>(table.handlers.onFilterRecord);
        table.handlers = std::move(level.saved);
        table.HandlersReplaced(filterChanged);
        return;
    }
}

int SuspensionDepth() { return Stack().depth; }

HandlerSuspension::~HandlerSuspension() {
    try {
        RestoreHandlers(t_);
    } catch (...) {
        // The handlers are back; a failing filter or calculation must not escape a destructor.
    }
}

std::vector<uint64_t> VisibleRowIds(const MemTable& table) {
    std::vector<uint64_t> ids;
    ids.reserve(static_cast<size_t>(table.RecordCount()));
    for (int i = 0; i < table.RecordCount(); ++i) ids.push_back(table.RowRecordId(i));
    return ids;
}

void ResortKeepingRow(MemTable& table) {
    struct Frozen {
        explicit Frozen(MemTable& t) : t(t) { t.FreezeViews(); }
        ~Frozen() { t.ReleaseViews(); }
        MemTable& t;
    } frozen(table);
    const uint64_t id = table.RecordId();
    const std::string field = table.SortField();
    const bool descending = table.SortDescending(), caseInsensitive = table.SortCaseInsensitive();
    table.SetSortField({});
    table.SetSortField(field, descending, caseInsensitive);
    if (id) table.GotoRecordId(id);
}

}  // namespace clx
