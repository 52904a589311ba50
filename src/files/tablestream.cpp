#include "files/tablestream.h"
#include "platform/text_encoding.h"

#include <fmt/format.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <optional>

#include "files/codepage.h"
#include "platform/datetime.h"

namespace clx {

namespace {

// Stored type codes beyond the ones a MemTable field can have.
constexpr int kCodeString = 1, kCodeBlobFirst = 13, kCodeBlobLast = 19, kCodeWideString = 20;
constexpr int kCodeLast = 21;
constexpr double kMsPerDay = 86400000.0;
// Rows x fields that one image may load; real files hold a few thousand.
constexpr size_t kMaxLoadedValues = size_t{1} << 22;

bool IsBlobCode(int code) { return code >= kCodeBlobFirst && code <= kCodeBlobLast; }

int BcdPlaces(const FieldDef& d) { return d.size == 0 ? 4 : d.size; }

// Bytes a fixed-size value of the type occupies in memory.
int NativeSize(int code) {
    switch (static_cast<FieldType>(code)) {
    case FieldType::SmallInt: case FieldType::Word: case FieldType::Boolean: return 2;
    case FieldType::Integer: case FieldType::AutoInc: case FieldType::Date: case FieldType::Time: return 4;
    case FieldType::Float: case FieldType::Currency: case FieldType::DateTime: case FieldType::LargeInt: return 8;
    case FieldType::BCD: return kBcdRecordSize;
    default: return 0;
    }
}

int32_t DataSize(const FieldDef& d) {
    if (d.type == FieldType::String) return std::max(d.size, 0) + 1;
    return NativeSize(static_cast<int>(d.type));
}

bool IsTextField(FieldType t) { return t == FieldType::String || t == FieldType::Memo; }

// ---- writing -------------------------------------------------------------------------------

const std::string* Text(const Value& v) { return std::get_if<std::string>(&v); }

int64_t IntOf(const Value& v) {
    if (auto p = std::get_if<int64_t>(&v)) return *p;
    if (auto p = std::get_if<bool>(&v)) return *p;
    if (auto p = std::get_if<double>(&v)) return static_cast<int64_t>(*p);
    return 0;
}

double FloatOf(const Value& v) {
    if (auto p = std::get_if<double>(&v)) return *p;
    if (auto p = std::get_if<int64_t>(&v)) return static_cast<double>(*p);
    if (auto p = std::get_if<bool>(&v)) return *p;
    return 0;
}

std::string StoredText(const FieldDef& d, const std::string& s) {
    return IsTextField(d.type) ? Utf8ToCp1252(s) : s;
}

// Days counted from 1 January of year 1 as day 1.
int32_t DayNumber(const FieldDef& d, double t) {
    if (!std::isfinite(t) || std::trunc(t) < kMinDateSerial || std::trunc(t) > kMaxDateSerial)
        throw StreamError(fmt::format("field '{}' holds a date outside the years 1 to 9999", d.name));
    return static_cast<int32_t>(std::trunc(t)) + kDateDelta;
}

void WriteValue(ByteWriter& out, const FieldDef& d, const Value& v) {
    const bool null = v.index() == 0;
    switch (d.type) {
    case FieldType::String: {
        std::string s = null ? std::string() : StoredText(d, Text(v) ? *Text(v) : std::string());
        if (d.size > 0 && s.size() > static_cast<size_t>(d.size)) s.resize(static_cast<size_t>(d.size));
        out.WriteI32(static_cast<int32_t>(s.size() + 1));
        out.WriteBytes(s.data(), s.size());
        out.WriteU8(0);
        return;
    }
    case FieldType::Blob:
    case FieldType::Memo: {
        const std::string s = null || !Text(v) ? std::string() : StoredText(d, *Text(v));
        if (s.size() > static_cast<size_t>(std::numeric_limits<int32_t>::max()))
            throw StreamError(fmt::format("field '{}' holds more than 2 GB", d.name));
        out.WriteI32(static_cast<int32_t>(s.size()));
        out.WriteBytes(s.data(), s.size());
        return;
    }
    default: break;
    }
    out.WriteU8(null ? 0 : 1);
    if (null) {
        out.WriteZeros(static_cast<size_t>(DataSize(d)));
        return;
    }
    switch (d.type) {
    case FieldType::SmallInt: out.WriteI16(static_cast<int16_t>(IntOf(v))); break;
    case FieldType::Word: out.WriteU16(static_cast<uint16_t>(IntOf(v))); break;
    case FieldType::Integer:
    case FieldType::AutoInc: out.WriteI32(static_cast<int32_t>(IntOf(v))); break;
    case FieldType::LargeInt: out.WriteI64(IntOf(v)); break;
    case FieldType::Boolean: out.WriteU16(IntOf(v) != 0 ? 1 : 0); break;
    case FieldType::Float:
    case FieldType::Currency: out.WriteF64(FloatOf(v)); break;
    case FieldType::Date: out.WriteI32(DayNumber(d, FloatOf(v))); break;
    case FieldType::Time: {
        const double t = FloatOf(v);
        const double ms = std::round(std::fabs(t - std::trunc(t)) * kMsPerDay);
        out.WriteI32(static_cast<int32_t>(std::min(ms, kMsPerDay - 1)));
        break;
    }
    case FieldType::DateTime: {
        const double t = FloatOf(v);
        const double day = DayNumber(d, t);
        out.WriteF64(day * kMsPerDay + std::round(std::fabs(t - std::trunc(t)) * kMsPerDay));
        break;
    }
    case FieldType::BCD: {
        std::string s = Text(v) ? *Text(v) : fmt::format("{}", FloatOf(v));
        try {
            out.WriteBytes(EncodeBcd(s, BcdPlaces(d)));
        } catch (const StreamError& e) {
            throw StreamError(fmt::format("field '{}': {}", d.name, e.what()));
        }
        break;
    }
    default: throw StreamError(fmt::format("field '{}' has a type that cannot be stored", d.name));
    }
}

// ---- reading -------------------------------------------------------------------------------

struct StoredField {
    std::string name;
    int code = 0;
    int32_t size = 0;
    int target = -1;  // index of the matched table field
};

[[noreturn]] void Incorrect() { throw StreamError(kDataIncorrect); }

template <class T>
T Native(const std::vector<uint8_t>& buf) {
    T v;
    std::memcpy(&v, buf.data(), sizeof v);
    return v;
}


std::string Utf16ToUtf8(std::span<const uint8_t> b) {
    std::string out;
    const size_t n = b.size() / 2;
    auto unit = [&](size_t i) { return static_cast<char16_t>(b[2 * i] | (b[2 * i + 1] << 8)); };
    for (size_t i = 0; i < n; ++i) {
        const char16_t u = unit(i);
        if (u >= 0xD800 && u < 0xDC00 && i + 1 < n && unit(i + 1) >= 0xDC00 && unit(i + 1) < 0xE000) {
            AppendUtf8(out, 0x10000 + ((static_cast<char32_t>(u) - 0xD800) << 10) + (unit(i + 1) - 0xDC00));
            ++i;
        } else if (u >= 0xD800 && u < 0xE000) {
            AppendUtf8(out, 0xFFFD);
        } else {
            AppendUtf8(out, u);
        }
    }
    return out;
}

// A text as the table field takes it: up to the first zero byte, in UTF-8 for text fields.
Value TextValue(const FieldDef& d, std::span<const uint8_t> bytes) {
    std::string s(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    if (d.type == FieldType::String) {
        s.resize(std::min(s.find('\0'), s.size()));
        if (d.size > 0 && s.size() > static_cast<size_t>(d.size)) s.resize(static_cast<size_t>(d.size));
    }
    return IsTextField(d.type) ? Cp1252ToUtf8(s) : s;
}

// Single-byte text fields keep only what the code page has (as they would when saved), and a
// string field ends at its first zero character like every stored string.
Value WideTextValue(const FieldDef& d, std::span<const uint8_t> utf16) {
    std::string s = Utf16ToUtf8(utf16);
    if (IsTextField(d.type)) s = Cp1252ToUtf8(Utf8ToCp1252(s));
    if (d.type == FieldType::String) s.resize(std::min(s.find('\0'), s.size()));
    return s;
}

// A fixed-size value from its buffer (at least the native size, zero-filled beyond the stored bytes).
Value FixedValue(const StoredField& sf, const std::vector<uint8_t>& buf) {
    auto bad = [&](const std::string& what) {
        return StreamError(fmt::format("field '{}' holds {}", sf.name, what));
    };
    switch (static_cast<FieldType>(sf.code)) {
    case FieldType::SmallInt: return int64_t{Native<int16_t>(buf)};
    case FieldType::Word: return int64_t{Native<uint16_t>(buf)};
    case FieldType::Integer:
    case FieldType::AutoInc: return int64_t{Native<int32_t>(buf)};
    case FieldType::LargeInt: return Native<int64_t>(buf);
    case FieldType::Boolean: return Native<uint16_t>(buf) != 0;
    case FieldType::Float:
    case FieldType::Currency: {
        const double f = Native<double>(buf);
        if (!std::isfinite(f)) throw bad("a value that is not a number");
        return f;
    }
    case FieldType::Date: {
        const int64_t day = Native<int32_t>(buf);
        if (day - kDateDelta < kMinDateSerial || day - kDateDelta > kMaxDateSerial)
            throw bad(fmt::format("the day number {}, outside the years 1 to 9999", day));
        return static_cast<double>(day - kDateDelta);
    }
    case FieldType::Time: {
        const int32_t ms = Native<int32_t>(buf);
        if (ms < 0 || ms >= kMsPerDay) throw bad(fmt::format("the time {} ms, outside one day", ms));
        return ms / kMsPerDay;
    }
    case FieldType::DateTime: {
        const double v = Native<double>(buf);
        const double maxMs = (static_cast<double>(kMaxDateSerial) + kDateDelta + 1) * kMsPerDay;
        if (!(v >= kMsPerDay && v < maxMs)) throw bad("a date-time outside the years 1 to 9999");
        const double day = std::floor(v / kMsPerDay);
        const double ms = v - day * kMsPerDay;
        const double d = day - kDateDelta;
        return d < 0 ? d - ms / kMsPerDay : d + ms / kMsPerDay;
    }
    case FieldType::BCD:
        try {
            return DecodeBcd(std::span<const uint8_t>(buf).first(kBcdRecordSize));
        } catch (const StreamError& e) {
            throw bad(e.what());
        }
    default: throw bad("a value of an unknown type");
    }
}

struct LoadedImage {
    std::vector<StoredField> fields;
    std::vector<std::vector<Value>> rows;
};

LoadedImage ReadImage(const MemTable& table, ByteReader& in) {
    LoadedImage img;
    double version = 0;
    if (in.Remaining() >= 3 && std::memcmp(in.Rest().data(), "Ver", 3) == 0) {
        in.Skip(3);
        version = in.ReadF64();
        if (!(version >= 1)) version = 1;
    }
    const int32_t count = in.ReadI32();
    if (count < 0) Incorrect();
    bool anyMatch = false;
    for (int32_t i = 0; i < count; ++i) {
        StoredField sf;
        sf.size = in.ReadI32();
        sf.code = in.ReadI16();
        const int16_t nameLen = in.ReadI16();
        if (nameLen < 0 || nameLen > 255 || sf.size < 0) Incorrect();
        auto name = in.ReadBytes(static_cast<size_t>(nameLen));
        std::string raw(reinterpret_cast<const char*>(name.data()), name.size());
        sf.name = Cp1252ToUtf8(raw.substr(0, raw.find('\0')));
        const int idx = table.FieldIndex(sf.name);
        if (idx >= 0 && table.Fields()[static_cast<size_t>(idx)].kind == FieldKind::Data && sf.code >= 1 &&
            sf.code <= kCodeLast && (sf.code == kCodeString || IsBlobCode(sf.code) ||
                                     sf.code == kCodeWideString || NativeSize(sf.code) > 0)) {
            sf.target = idx;
            anyMatch = true;
        }
        img.fields.push_back(std::move(sf));
    }
    if (in.AtEnd() || !anyMatch) return img;

    const auto& defs = table.Fields();
    const size_t width = std::max<size_t>(defs.size(), 1);
    std::vector<uint8_t> buf;
    while (!in.AtEnd()) {
        if ((img.rows.size() + 1) * width > kMaxLoadedValues)
            throw StreamError(fmt::format("the table image holds more than {} values", kMaxLoadedValues));
        const size_t start = in.Pos();
        std::vector<Value> row(defs.size());
        for (const StoredField& sf : img.fields) {
            const FieldDef* d = sf.target >= 0 ? &defs[static_cast<size_t>(sf.target)] : nullptr;
            Value* dst = sf.target >= 0 ? &row[static_cast<size_t>(sf.target)] : nullptr;
            if (sf.code == kCodeString || IsBlobCode(sf.code)) {
                const int32_t len = in.ReadI32();
                if (len < 0) Incorrect();
                auto bytes = in.ReadBytes(static_cast<size_t>(len));
                const bool null = sf.code == kCodeString ? len < 2 : len == 0;
                if (dst) *dst = null ? Value{} : TextValue(*d, bytes);
            } else if (sf.code == kCodeWideString) {
                const int32_t chars = in.ReadI32();
                if (chars < 0) Incorrect();
                if (chars == 0) continue;
                const uint8_t present = version > 0 ? in.ReadU8() : 1;
                auto bytes = in.ReadBytes(static_cast<size_t>(chars) * 2);
                if (dst && present) *dst = WideTextValue(*d, bytes);
            } else {
                const bool present = version > 0 ? in.ReadU8() != 0 : true;
                auto bytes = in.ReadBytes(static_cast<size_t>(sf.size));
                if (!dst || !present) continue;
                buf.assign(std::max<size_t>(bytes.size(), static_cast<size_t>(NativeSize(sf.code))), 0);
                std::copy(bytes.begin(), bytes.end(), buf.begin());
                *dst = FixedValue(sf, buf);
            }
        }
        if (in.Pos() == start) Incorrect();  // rows that take no bytes would never end
        img.rows.push_back(std::move(row));
    }
    return img;
}

}  // namespace

void SaveToStream(const MemTable& table, ByteWriter& out) {
    std::vector<size_t> stored;
    const auto& defs = table.Fields();
    for (size_t i = 0; i < defs.size(); ++i)
        if (defs[i].kind == FieldKind::Data) stored.push_back(i);

    ByteWriter img;
    img.WriteBytes("Ver", 3);
    img.WriteF64(kTableStreamVersion);
    img.WriteI32(static_cast<int32_t>(stored.size()));
    for (size_t i : stored) {
        const FieldDef& d = defs[i];
        const std::string name = Utf8ToCp1252(d.name);
        if (name.size() > 254) throw StreamError(fmt::format("field name '{}' is longer than 254 characters", d.name));
        img.WriteI32(DataSize(d));
        img.WriteI16(static_cast<int16_t>(d.type));
        img.WriteI16(static_cast<int16_t>(name.size() + 1));
        img.WriteBytes(name.data(), name.size());
        img.WriteU8(0);
    }
    auto writeRows = [&](const MemTable& t) {
        for (int r = 0; r < t.RecordCount(); ++r) {
            const auto& values = t.RowValues(r);
            for (size_t i : stored) WriteValue(img, defs[i], values[i]);
        }
    };
    if (table.Filtered() && table.handlers.onFilterRecord) {
        // Rows hidden by the filter belong to the table too: lift the filter while writing,
        // without the views seeing it.
        auto& t = const_cast<MemTable&>(table);
        struct Frozen {
            explicit Frozen(MemTable& m) : m(m) { m.FreezeViews(); }
            ~Frozen() { m.ReleaseViews(); }
            MemTable& m;
        } frozen(t);
        HandlerSuspension all(t);
        if (t.handlers.onFilterRecord)
            throw StreamError(fmt::format("the hidden rows of table '{}' cannot be written: too many suspended handlers",
                                          t.Name()));
        writeRows(t);
    } else {
        writeRows(table);
    }
    out.WriteBytes(img.Bytes());
}

std::vector<uint8_t> SaveToStream(const MemTable& table) {
    ByteWriter w;
    SaveToStream(table, w);
    return w.Take();
}

void LoadFromStream(MemTable& table, ByteReader& in) {
    if (table.State() != TableState::Browse)
        throw TableError(fmt::format("table '{}' cannot be loaded while a row is being edited", table.Name()));
    const size_t start = in.Pos();
    LoadedImage img;
    try {
        img = ReadImage(table, in);
    } catch (...) {
        in.Seek(start);
        throw;
    }
    try {
        table.LoadRows(std::move(img.rows));
    } catch (const TableError& e) {
        throw StreamError(e.what());
    }
}

void LoadFromStream(MemTable& table, std::span<const uint8_t> image) {
    ByteReader r(image);
    LoadFromStream(table, r);
}

// ---- BCD -----------------------------------------------------------------------------------

std::array<uint8_t, kBcdRecordSize> EncodeBcd(std::string_view text, int places, int precision) {
    if (precision < 1 || precision > 64 || places < 0 || places > 63 || places > precision)
        throw StreamError(fmt::format("precision {} with {} places is not a packed decimal", precision, places));
    auto notNumber = [&] { return StreamError(fmt::format("'{}' is not a decimal number", text)); };
    size_t p = 0;
    bool neg = false;
    if (p < text.size() && (text[p] == '-' || text[p] == '+')) neg = text[p++] == '-';
    std::string whole, frac;
    for (; p < text.size() && text[p] >= '0' && text[p] <= '9'; ++p) whole += text[p];
    if (p < text.size() && text[p] == '.')
        for (++p; p < text.size() && text[p] >= '0' && text[p] <= '9'; ++p) frac += text[p];
    if (p != text.size() || (whole.empty() && frac.empty())) throw notNumber();

    // Round half away from zero to the places.
    std::string digits = whole + frac;
    if (frac.size() > static_cast<size_t>(places)) {
        const size_t keep = whole.size() + static_cast<size_t>(places);
        const bool up = digits[keep] >= '5';
        digits.resize(keep);
        if (up) {
            size_t i = digits.size();
            while (i > 0 && digits[i - 1] == '9') digits[--i] = '0';
            if (i == 0) digits.insert(digits.begin(), '1');
            else ++digits[i - 1];
        }
    } else {
        digits.append(static_cast<size_t>(places) - frac.size(), '0');
    }
    digits.erase(0, std::min(digits.find_first_not_of('0'), digits.size()));
    if (digits.size() > static_cast<size_t>(precision))
        throw StreamError(fmt::format("'{}' has more than {} integer digits", text, precision - places));
    digits.insert(0, static_cast<size_t>(precision) - digits.size(), '0');

    std::array<uint8_t, kBcdRecordSize> rec{};
    const bool zero = digits.find_first_not_of('0') == std::string::npos;
    rec[0] = static_cast<uint8_t>(precision);
    rec[1] = static_cast<uint8_t>((neg && !zero ? 0x80 : 0) | places);
    for (size_t i = 0; i < digits.size(); ++i) {
        const auto nib = static_cast<uint8_t>(digits[i] - '0');
        rec[2 + i / 2] |= static_cast<uint8_t>(i % 2 == 0 ? nib << 4 : nib);
    }
    return rec;
}

std::string DecodeBcd(std::span<const uint8_t> rec) {
    if (rec.size() < static_cast<size_t>(kBcdRecordSize)) throw StreamError("a packed decimal shorter than 34 bytes");
    const int precision = rec[0];
    const int places = rec[1] & 0x3F;
    const bool neg = (rec[1] & 0x80) != 0;
    if (precision > 64 || places > precision)
        throw StreamError(fmt::format("a packed decimal of precision {} with {} places", precision, places));
    std::string digits;
    for (int i = 0; i < precision; ++i) {
        const uint8_t b = rec[static_cast<size_t>(2 + i / 2)];
        const int nib = i % 2 == 0 ? b >> 4 : b & 0x0F;
        if (nib > 9) throw StreamError("a packed decimal with a digit above 9");
        digits += static_cast<char>('0' + nib);
    }
    std::string whole = digits.substr(0, static_cast<size_t>(precision - places));
    const std::string frac = digits.substr(static_cast<size_t>(precision - places));
    whole.erase(0, std::min(whole.find_first_not_of('0'), whole.size()));
    const bool zero = digits.find_first_not_of('0') == std::string::npos;
    std::string s = neg && !zero ? "-" : "";
    s += whole.empty() ? "0" : whole;
    if (!frac.empty()) s += "." + frac;
    return s;
}

}  // namespace clx
