#include "files/docheader.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

#include "files/codepage.h"
#include "platform/format.h"

namespace clx {

namespace {

std::string Quoted(std::string_view s) { return "\"" + std::string(s) + "\""; }

[[noreturn]] void Fail(const HeaderFieldInfo& f, const std::string& what) {
    throw HeaderFieldError("Setting " + std::string(f.name) + ": " + what);
}

std::string ReadShortString(std::span<const uint8_t> bytes, size_t offset, size_t capacity) {
    const size_t len = std::min<size_t>(bytes[offset], capacity);
    return Cp1252ToUtf8(std::string_view(reinterpret_cast<const char*>(bytes.data() + offset + 1), len));
}

// The single-byte form of the text, or nullopt when the text has characters outside the code
// page (they would come back as "?").
std::optional<std::string> SingleByte(std::string_view utf8) {
    std::string sb = Utf8ToCp1252(utf8);
    if (Cp1252ToUtf8(sb) != utf8) return std::nullopt;
    return sb;
}

void WriteShortString(std::span<uint8_t> bytes, size_t offset, size_t capacity, std::string_view utf8,
                      std::string_view name) {
    const auto sb = SingleByte(utf8);
    if (!sb) throw HeaderFieldError("Setting " + std::string(name) + ": " + Quoted(utf8) +
                                    " has characters that cannot be stored");
    if (sb->size() > capacity)
        throw HeaderFieldError("Setting " + std::string(name) + ": text longer than " +
                               std::to_string(capacity) + " characters");
    bytes[offset] = static_cast<uint8_t>(sb->size());
    std::memcpy(bytes.data() + offset + 1, sb->data(), sb->size());
}

std::string RegistryName(std::string_view id) {
    std::string s(id);
    std::replace(s.begin(), s.end(), '_', '.');
    return s;
}

struct Registry {
    std::vector<std::string> names;
    std::vector<HeaderFieldInfo> fields;
    Registry() {
#define CLX_HDR_NAME(id, type, offset, width, lo, hi) names.push_back(RegistryName(#id));
        CLX_DOCUMENT_HEADER_FIELDS(CLX_HDR_NAME)
#undef CLX_HDR_NAME
        size_t i = 0;
#define CLX_HDR_INFO(id, type, offset, width, lo, hi)                                       \
        {                                                                                   \
            constexpr bool isBit = HeaderFieldType::type == HeaderFieldType::Bit;           \
            fields.push_back(HeaderFieldInfo{names[i++], HeaderFieldType::type, offset, width, \
                                             isBit ? 0 : (lo), isBit ? 0 : (hi),             \
                                             static_cast<uint8_t>(isBit ? (lo) : 0)});       \
        }
        CLX_DOCUMENT_HEADER_FIELDS(CLX_HDR_INFO)
#undef CLX_HDR_INFO
    }
};

const Registry& TheRegistry() {
    static const Registry r;
    return r;
}

// The range Set accepts for an integer kind.
std::pair<int64_t, int64_t> Range(const HeaderFieldInfo& f) {
    if (f.lo != 0 || f.hi != 0) return {f.lo, f.hi};
    switch (f.type) {
    case HeaderFieldType::Index: return {0, 255};
    case HeaderFieldType::Int16: return {INT16_MIN, INT16_MAX};
    case HeaderFieldType::Int32: return {INT32_MIN, INT32_MAX};
    case HeaderFieldType::BitSet: return {0, UINT16_MAX};
    case HeaderFieldType::Boolean:
    case HeaderFieldType::Bit: return {0, 1};
    default: return {INT64_MIN, INT64_MAX};
    }
}

std::string_view Trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

std::string Lower(std::string_view s) {
    std::string r(s);
    for (char& c : r) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return r;
}

std::optional<int64_t> ParseInt(std::string_view s) {
    if (!s.empty() && s.front() == '+') s.remove_prefix(1);
    int64_t v = 0;
    auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    if (ec != std::errc() || p != s.data() + s.size() || s.empty()) return std::nullopt;
    return v;
}

std::optional<double> ParseDouble(std::string_view s) {
    if (!s.empty() && s.front() == '+') s.remove_prefix(1);
    double v = 0;
    auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    if (ec != std::errc() || p != s.data() + s.size() || s.empty() || !std::isfinite(v)) return std::nullopt;
    return v;
}

std::string DoubleText(double v) {
    char buf[64];
    auto [p, ec] = std::to_chars(buf, buf + sizeof buf, v);
    return ec == std::errc() ? std::string(buf, p) : std::string("nan");
}

bool IsValidDateValue(double v) {
    if (v == 0) return true;
    if (!std::isfinite(v) || std::fabs(v) > 3e6) return false;
    return IsValidSerial(WholeDays(v));
}

std::string DateText(double v) {
    if (v == 0) return "";
    if (!IsValidDateValue(v)) return DoubleText(v);
    const CivilDate d = DecodeDate(v);
    char buf[40];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", d.year, d.month, d.day);
    std::string s = buf;
    if (v != std::trunc(v)) {
        const TimeOfDay t = DecodeTime(v);
        std::snprintf(buf, sizeof buf, "T%02d:%02d:%02d", t.hour, t.minute, t.second);
        s += buf;
    }
    return s;
}

std::optional<double> ParseDateText(std::string_view s) {
    if (s.empty() || s == "0") return 0.0;
    const auto date = ParseIsoDate(s.substr(0, 10));
    if (!date) return std::nullopt;
    if (s.size() == 10) return *date;
    if (s[10] != 'T' && s[10] != ' ') return std::nullopt;
    std::string_view t = s.substr(11);
    int parts[3] = {0, 0, 0};
    int n = 0;
    while (!t.empty() && n < 3) {
        const size_t colon = t.find(':');
        const auto v = ParseInt(t.substr(0, colon));
        if (!v || *v < 0 || *v > 59) return std::nullopt;
        parts[n++] = static_cast<int>(*v);
        if (colon == std::string_view::npos) { t = {}; break; }
        t.remove_prefix(colon + 1);
        if (t.empty()) return std::nullopt;
    }
    if (n < 2 || !t.empty()) return std::nullopt;
    const auto time = TryEncodeTime(parts[0], parts[1], parts[2]);
    if (!time) return std::nullopt;
    return ComposeDateTime(*date, *time);
}

}  // namespace

std::string_view HeaderFieldTypeName(HeaderFieldType t) {
    switch (t) {
    case HeaderFieldType::Boolean: return "boolean";
    case HeaderFieldType::Index: return "index";
    case HeaderFieldType::Int16: return "int16";
    case HeaderFieldType::Int32: return "int32";
    case HeaderFieldType::Int64: return "int64";
    case HeaderFieldType::Float: return "float";
    case HeaderFieldType::Date: return "date";
    case HeaderFieldType::ShortString: return "short string";
    case HeaderFieldType::BitSet: return "bit set";
    case HeaderFieldType::Bit: return "bit";
    }
    return "?";
}

// ---- DocumentHeader ------------------------------------------------------------------------

namespace {
void Check(size_t off, size_t n) {
    if (off > kDocumentHeaderSize || n > kDocumentHeaderSize - off)
        throw std::out_of_range("document header offset " + std::to_string(off));
}
template <class T>
T Load(const std::array<uint8_t, kDocumentHeaderSize>& b, size_t off) {
    Check(off, sizeof(T));
    T v;
    std::memcpy(&v, b.data() + off, sizeof(T));   // the record is little-endian, as is the host
    return v;
}
template <class T>
void Store(std::array<uint8_t, kDocumentHeaderSize>& b, size_t off, T v) {
    Check(off, sizeof(T));
    std::memcpy(b.data() + off, &v, sizeof(T));
}
}  // namespace

uint16_t DocumentHeader::U16(size_t off) const { return Load<uint16_t>(bytes, off); }
int32_t DocumentHeader::I32(size_t off) const { return Load<int32_t>(bytes, off); }
int64_t DocumentHeader::I64(size_t off) const { return Load<int64_t>(bytes, off); }
double DocumentHeader::F64(size_t off) const { return Load<double>(bytes, off); }
void DocumentHeader::SetU16(size_t off, uint16_t v) { Store(bytes, off, v); }
void DocumentHeader::SetI32(size_t off, int32_t v) { Store(bytes, off, v); }
void DocumentHeader::SetI64(size_t off, int64_t v) { Store(bytes, off, v); }
void DocumentHeader::SetF64(size_t off, double v) { Store(bytes, off, v); }

void DocumentHeader::Set(HeaderField<HeaderFieldType::Bit> f, bool v) {
    uint16_t bits = U16(f.offset);
    bits = v ? static_cast<uint16_t>(bits | (1u << f.bit)) : static_cast<uint16_t>(bits & ~(1u << f.bit));
    SetU16(f.offset, bits);
}

std::string DocumentHeader::Get(HeaderField<HeaderFieldType::ShortString> f) const {
    return ReadShortString(bytes, f.offset, f.width - 1u);
}

void DocumentHeader::Set(HeaderField<HeaderFieldType::ShortString> f, std::string_view utf8) {
    const HeaderFieldInfo* info = nullptr;
    for (const auto& i : DocumentHeaderFields())
        if (i.offset == f.offset && i.type == HeaderFieldType::ShortString) info = &i;
    WriteShortString(bytes, f.offset, f.width - 1u, utf8, info ? info->name : std::string_view("text"));
}

SkipFileRef DocumentHeader::SkipRef(SkipSlot slot) const {
    if (slot == SkipSlot::Calculator) return {Get(hdr::cbInvertSkip), Get(hdr::SkipFile)};
    return {Get(hdr::cbInvertSkipPlan), Get(hdr::SkipFilePlan)};
}

void DocumentHeader::SetSkipRef(SkipSlot slot, const SkipFileRef& ref) {
    if (slot == SkipSlot::Calculator) {
        Set(hdr::SkipFile, ref.fileName);
        Set(hdr::cbInvertSkip, ref.invert);
    } else {
        Set(hdr::SkipFilePlan, ref.fileName);
        Set(hdr::cbInvertSkipPlan, ref.invert);
    }
}

std::span<uint8_t, hdr::kPlaceRecordSize> DocumentHeader::PlaceRecord(uint16_t offset) {
    Check(offset, hdr::kPlaceRecordSize);
    return std::span<uint8_t, hdr::kPlaceRecordSize>(bytes.data() + offset, hdr::kPlaceRecordSize);
}

std::span<const uint8_t, hdr::kPlaceRecordSize> DocumentHeader::PlaceRecord(uint16_t offset) const {
    Check(offset, hdr::kPlaceRecordSize);
    return std::span<const uint8_t, hdr::kPlaceRecordSize>(bytes.data() + offset, hdr::kPlaceRecordSize);
}

void DocumentHeader::WriteSignature() { Set(hdr::Signature, kDocumentSignature); }

// ---- Registry ------------------------------------------------------------------------------

std::span<const HeaderFieldInfo> DocumentHeaderFields() { return TheRegistry().fields; }

const HeaderFieldInfo* FindHeaderField(std::string_view name) {
    const auto& fields = TheRegistry().fields;
    for (const auto& f : fields)
        if (f.name == name) return &f;
    const std::string lower = Lower(name);
    for (const auto& f : fields)
        if (Lower(f.name) == lower) return &f;
    return nullptr;
}

const HeaderFieldInfo& HeaderFieldByName(std::string_view name) {
    if (const auto* f = FindHeaderField(name)) return *f;
    throw HeaderFieldError("Unknown setting: " + std::string(name));
}

HeaderValue GetHeaderValue(const DocumentHeader& h, const HeaderFieldInfo& f) {
    switch (f.type) {
    case HeaderFieldType::Boolean: return h.bytes[f.offset] != 0;
    case HeaderFieldType::Index: return int64_t{h.bytes[f.offset]};
    case HeaderFieldType::Int16: return int64_t{static_cast<int16_t>(h.U16(f.offset))};
    case HeaderFieldType::Int32: return int64_t{h.I32(f.offset)};
    case HeaderFieldType::Int64: return h.I64(f.offset);
    case HeaderFieldType::Float:
    case HeaderFieldType::Date: return h.F64(f.offset);
    case HeaderFieldType::ShortString: return ReadShortString(h.bytes, f.offset, f.Capacity());
    case HeaderFieldType::BitSet: return int64_t{h.U16(f.offset)};
    case HeaderFieldType::Bit: return ((h.U16(f.offset) >> f.bit) & 1) != 0;
    }
    return false;
}

void SetHeaderValue(DocumentHeader& h, const HeaderFieldInfo& f, const HeaderValue& v) {
    const auto wrongType = [&](std::string_view given) {
        Fail(f, "a " + std::string(HeaderFieldTypeName(f.type)) + " setting cannot take " + std::string(given));
    };
    const auto checkRange = [&](int64_t x) {
        const auto [lo, hi] = Range(f);
        if (x < lo || x > hi)
            Fail(f, std::to_string(x) + " is out of range " + std::to_string(lo) + " to " + std::to_string(hi));
    };
    switch (f.type) {
    case HeaderFieldType::Boolean:
    case HeaderFieldType::Bit: {
        bool b = false;
        if (const bool* pb = std::get_if<bool>(&v)) b = *pb;
        else if (const int64_t* pi = std::get_if<int64_t>(&v)) { checkRange(*pi); b = *pi != 0; }
        else wrongType(std::holds_alternative<double>(v) ? "a number with a fraction" : "text");
        if (f.type == HeaderFieldType::Boolean) h.bytes[f.offset] = b ? 1 : 0;
        else h.Set(HeaderField<HeaderFieldType::Bit>{f.offset, f.width, f.bit}, b);
        return;
    }
    case HeaderFieldType::Index:
    case HeaderFieldType::Int16:
    case HeaderFieldType::Int32:
    case HeaderFieldType::Int64:
    case HeaderFieldType::BitSet: {
        const int64_t* pi = std::get_if<int64_t>(&v);
        if (!pi) wrongType(std::holds_alternative<bool>(v) ? "a boolean"
                           : std::holds_alternative<double>(v) ? "a number with a fraction" : "text");
        checkRange(*pi);
        if (f.type == HeaderFieldType::Index) h.bytes[f.offset] = static_cast<uint8_t>(*pi);
        else if (f.type == HeaderFieldType::Int16) h.SetU16(f.offset, static_cast<uint16_t>(static_cast<int16_t>(*pi)));
        else if (f.type == HeaderFieldType::Int32) h.SetI32(f.offset, static_cast<int32_t>(*pi));
        else if (f.type == HeaderFieldType::Int64) h.SetI64(f.offset, *pi);
        else h.SetU16(f.offset, static_cast<uint16_t>(*pi));
        return;
    }
    case HeaderFieldType::Float:
    case HeaderFieldType::Date: {
        double d = 0;
        if (const double* pd = std::get_if<double>(&v)) d = *pd;
        else if (const int64_t* pi = std::get_if<int64_t>(&v)) d = static_cast<double>(*pi);
        else wrongType(std::holds_alternative<bool>(v) ? "a boolean" : "text");
        if (!std::isfinite(d)) Fail(f, "the value is not a finite number");
        if (f.type == HeaderFieldType::Date && !IsValidDateValue(d))
            Fail(f, DoubleText(d) + " is not a date between the years 1 and 9999");
        h.SetF64(f.offset, d);
        return;
    }
    case HeaderFieldType::ShortString: {
        const std::string* ps = std::get_if<std::string>(&v);
        if (!ps) wrongType("a number or a boolean");
        WriteShortString(h.bytes, f.offset, f.Capacity(), *ps, f.name);
        return;
    }
    }
}

std::string HeaderValueText(const DocumentHeader& h, const HeaderFieldInfo& f) {
    const HeaderValue v = GetHeaderValue(h, f);
    switch (f.type) {
    case HeaderFieldType::Boolean:
    case HeaderFieldType::Bit: return std::get<bool>(v) ? "1" : "0";
    case HeaderFieldType::Float: return DoubleText(std::get<double>(v));
    case HeaderFieldType::Date: return DateText(std::get<double>(v));
    case HeaderFieldType::ShortString: return std::get<std::string>(v);
    default: return std::to_string(std::get<int64_t>(v));
    }
}

void SetHeaderText(DocumentHeader& h, const HeaderFieldInfo& f, std::string_view text) {
    if (f.type == HeaderFieldType::ShortString) {
        SetHeaderValue(h, f, std::string(text));
        return;
    }
    const std::string_view t = Trim(text);
    switch (f.type) {
    case HeaderFieldType::Boolean:
    case HeaderFieldType::Bit: {
        const std::string l = Lower(t);
        if (l == "1" || l == "true" || l == "yes" || l == "on") return SetHeaderValue(h, f, true);
        if (l == "0" || l == "false" || l == "no" || l == "off") return SetHeaderValue(h, f, false);
        Fail(f, Quoted(text) + " is not a boolean (use 1 or 0, true or false)");
    }
    case HeaderFieldType::Float: {
        const auto d = ParseDouble(t);
        if (!d) Fail(f, Quoted(text) + " is not a number (use a \".\" as the decimal point)");
        return SetHeaderValue(h, f, *d);
    }
    case HeaderFieldType::Date: {
        const auto d = ParseDateText(t);
        if (!d) Fail(f, Quoted(text) + " is not a date (use YYYY-MM-DD, or empty for no date)");
        return SetHeaderValue(h, f, *d);
    }
    default: {
        const auto i = ParseInt(t);
        if (!i) Fail(f, Quoted(text) + " is not a whole number");
        return SetHeaderValue(h, f, *i);
    }
    }
}

// ---- ToolRec -------------------------------------------------------------------------------

namespace {
constexpr size_t kToolNameCapacity = 80;
size_t ToolFileOffset(ToolFile which) {
    switch (which) {
    case ToolFile::Csv: return 6;
    case ToolFile::Rtf: return 87;
    case ToolFile::Web: return 168;
    case ToolFile::Sylk: return 249;
    }
    return 6;
}
std::string_view ToolFileName(ToolFile which) {
    switch (which) {
    case ToolFile::Csv: return "CSV file";
    case ToolFile::Rtf: return "merged text file";
    case ToolFile::Web: return "web page file";
    case ToolFile::Sylk: return "SYLK file";
    }
    return "file";
}
}  // namespace

std::string_view SheetOutputName(int index) {
    static constexpr std::string_view names[] = {"interval", "math", "repeat", "chrono",
                                                 "plan", "multiple", "birthday", "pro-rata"};
    return index >= 0 && index < 8 ? names[index] : std::string_view();
}

std::string ToolRec::FileName(ToolFile which) const {
    return ReadShortString(bytes, ToolFileOffset(which), kToolNameCapacity);
}

void ToolRec::SetFileName(ToolFile which, std::string_view utf8) {
    WriteShortString(bytes, ToolFileOffset(which), kToolNameCapacity, utf8, ToolFileName(which));
}

void ToolRec::Reset(int index) {
    bytes.fill(0);
    SetDelimiter(0);
    SetFieldNames(true);
    SetLaunchBits(kLaunchDefaults);
    const std::string base = "<TMP>" + std::string(SheetOutputName(index));
    SetFileName(ToolFile::Csv, base + ".csv");
    SetFileName(ToolFile::Rtf, base + ".rtf");
    SetFileName(ToolFile::Web, base + ".htm");
    SetFileName(ToolFile::Sylk, base + ".slk");
    SetInitialised(true);
}

ToolRec ToolRec::Defaults(int index) {
    ToolRec r;
    r.Reset(index);
    return r;
}

void ToolRecs::ApplyOutputRecordRule(bool resetAll) {
    for (int i = 0; i < kToolRecCount; ++i)
        if (resetAll || !recs[i].Initialised()) recs[i].Reset(i);
}

}  // namespace clx
