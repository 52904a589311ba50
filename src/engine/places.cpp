#include "engine/places.h"

#include <algorithm>
#include <cstring>
#include <optional>

#include "platform/text_encoding.h"

namespace clx {

namespace {

constexpr PlaceColumn kPlaceColumns[] = {
    {"Place", "Place"}, {"Long", "Longitude"}, {"Lat", "Latitude"},
    {"PlusMinus", "+/-"}, {"Hours", "Hrs"},    {"Mins", "Mins"},
};

// UTF-8 to single-byte text of at most cap characters.
std::string ToSingleByte(std::string_view utf8, size_t cap) {
    std::string out;
    for (char32_t c : DecodeUtf8(utf8)) {
        if (out.size() == cap) break;
        const int b = ToCp1252(c);
        out += b < 0 ? '?' : static_cast<char>(b);
    }
    return out;
}

std::string ReadShortString(std::span<const uint8_t, kPlaceRecordBytes> bytes, size_t off, size_t cap) {
    const size_t len = std::min<size_t>(bytes[off], cap);
    std::string out;
    for (size_t i = 0; i < len; ++i) AppendUtf8(out, FromCp1252(bytes[off + 1 + i]));
    return out;
}

void WriteShortString(PlaceBytes bytes, size_t off, size_t cap, std::string_view utf8) {
    const std::string s = ToSingleByte(utf8, cap);
    bytes[off] = static_cast<uint8_t>(s.size());
    std::memcpy(bytes.data() + off + 1, s.data(), s.size());
}

int16_t ReadI16(std::span<const uint8_t, kPlaceRecordBytes> b, size_t off) {
    return static_cast<int16_t>(static_cast<uint16_t>(b[off] | (b[off + 1] << 8)));
}

void WriteI16(PlaceBytes b, size_t off, int16_t v) {
    const auto u = static_cast<uint16_t>(v);
    b[off] = static_cast<uint8_t>(u & 0xFF);
    b[off + 1] = static_cast<uint8_t>(u >> 8);
}

int32_t ReadI32(std::span<const uint8_t, kPlaceRecordBytes> b, size_t off) {
    uint32_t u = 0;
    for (int i = 3; i >= 0; --i) u = (u << 8) | b[off + static_cast<size_t>(i)];
    return static_cast<int32_t>(u);
}

void WriteI32(PlaceBytes b, size_t off, int32_t v) {
    const auto u = static_cast<uint32_t>(v);
    for (size_t i = 0; i < 4; ++i) b[off + i] = static_cast<uint8_t>(u >> (8 * i));
}

// Moving between rows would post a row being edited, so the tables are read only at rest.
void RequireBrowse(const MemTable& t) {
    if (t.State() == TableState::Browse) return;
    const std::string name = t.Name().empty() ? std::string("places") : t.Name();
    throw TableError("The place table " + name +
                     " has an unsaved row: post or cancel it before choosing a place.");
}

// Calls f on every row, hidden rows of a filtered table included, until f returns true; the
// table's current row and views are as they were afterwards.
template <class F>
void VisitAllRows(MemTable& t, F&& f) {
    RequireBrowse(t);
    struct Frozen {
        explicit Frozen(MemTable& m) : m(m) { m.FreezeViews(); }
        ~Frozen() { m.ReleaseViews(); }
        MemTable& m;
    } frozen(t);
    std::optional<HandlerSuspension> suspended;
    if (t.Filtered()) suspended.emplace(t);
    // Back on the row before the filter returns, so that the filter keeps it current.
    struct Back {
        MemTable& m;
        uint64_t id;
        ~Back() {
            try {
                if (id) m.GotoRecordId(id);
            } catch (...) {
            }
        }
    } back{t, t.RecordId()};
    for (int i = 1; i <= t.RecordCount(); ++i) {
        t.SetRecNo(i);
        if (f(t)) return;
    }
}

// LoadPlaceRecord into a copy: the record changes only when the row is found.
bool LoadIfFound(int32_t key, MemTable& taPll, MemTable& taPlu, PlaceBytes record) {
    std::array<uint8_t, kPlaceRecordBytes> scratch{};
    if (!LoadPlaceRecord(key, taPll, taPlu, scratch)) return false;
    std::copy(scratch.begin(), scratch.end(), record.begin());
    return true;
}

int32_t StoredKey(PlaceBytes record) { return ReadI32(record, place_offset::kPlaceKey); }

}  // namespace

void NewPlace(MemTable& t) {
    t.FieldByName("PlusMinus").SetInteger(1);
    t.FieldByName("Hours").SetInteger(0);
    t.FieldByName("Mins").SetInteger(0);
}

void DefinePlaceFields(MemTable& t) {
    t.AddField("Place", FieldType::String, kPlaceNameSize);
    t.AddField("Long", FieldType::String, kPlaceCoordSize);
    t.AddField("Lat", FieldType::String, kPlaceCoordSize);
    t.AddField("PlusMinus", FieldType::SmallInt);
    t.AddField("Hours", FieldType::SmallInt);
    t.AddField("Mins", FieldType::SmallInt);
    t.SetSortField("Place");
    t.handlers.onNewRecord = NewPlace;
    t.handlers.afterPost = [](MemTable& table) { ResortKeepingRow(table); };
}

std::span<const PlaceColumn> PlaceColumns() { return kPlaceColumns; }

std::string PlusMinusText(int64_t plusMinus) {
    if (plusMinus == 1) return "+";
    if (plusMinus == -1) return "-";
    return std::to_string(plusMinus);
}

PlaceRecord DecodePlaceRecord(std::span<const uint8_t, kPlaceRecordBytes> b) {
    using namespace place_offset;
    PlaceRecord r;
    r.name = ReadShortString(b, kName, kPlaceRecordNameCapacity);
    r.latitude = ReadShortString(b, kLatitude, kPlaceRecordCoordCapacity);
    r.longitude = ReadShortString(b, kLongitude, kPlaceRecordCoordCapacity);
    r.plusMinus = ReadI16(b, kPlusMinus);
    r.hours = ReadI16(b, kHours);
    r.mins = ReadI16(b, kMins);
    r.placeKey = ReadI32(b, kPlaceKey);
    return r;
}

void EncodePlaceRecord(const PlaceRecord& r, PlaceBytes b) {
    using namespace place_offset;
    std::fill(b.begin(), b.end(), uint8_t{0});
    WriteShortString(b, kName, kPlaceRecordNameCapacity, r.name);
    WriteShortString(b, kLatitude, kPlaceRecordCoordCapacity, r.latitude);
    WriteShortString(b, kLongitude, kPlaceRecordCoordCapacity, r.longitude);
    WriteI16(b, kPlusMinus, r.plusMinus);
    WriteI16(b, kHours, r.hours);
    WriteI16(b, kMins, r.mins);
    WriteI32(b, kPlaceKey, r.placeKey);
}

int OffsetMinutes(const PlaceRecord& r) { return r.plusMinus * (r.hours * 60 + r.mins); }

bool LoadPlaceRecord(int32_t key, MemTable& taPll, MemTable& taPlu, PlaceBytes record) {
    if (key == 0) return false;
    MemTable& t = key > 0 ? taPll : taPlu;
    RequireBrowse(t);
    std::fill(record.begin(), record.end(), uint8_t{0});
    const int64_t want = key > 0 ? int64_t{key} : -int64_t{key};
    std::optional<PlaceRecord> found;
    VisitAllRows(t, [&](MemTable& m) {
        if (m.RecordNumber() != want) return false;
        PlaceRecord r;
        r.name = m.FieldByName("Place").AsString();
        r.latitude = m.FieldByName("Lat").AsString();
        r.longitude = m.FieldByName("Long").AsString();
        r.plusMinus = static_cast<int16_t>(m.FieldByName("PlusMinus").AsInteger());
        r.hours = static_cast<int16_t>(m.FieldByName("Hours").AsInteger());
        r.mins = static_cast<int16_t>(m.FieldByName("Mins").AsInteger());
        r.placeKey = key;
        found = std::move(r);
        return true;
    });
    if (!found) return false;
    EncodePlaceRecord(*found, record);
    return true;
}

std::vector<PlaceMenuItem> BuildPlaceMenu(MemTable& taPlu, MemTable& taPll) {
    std::vector<PlaceMenuItem> menu;
    auto addPlaces = [&menu](MemTable& t, int sign) {
        VisitAllRows(t, [&](MemTable& m) {
            std::string place = m.FieldByName("Place").AsString();
            if (!place.empty() && !m.FieldByName("Lat").AsString().empty() &&
                !m.FieldByName("Long").AsString().empty())
                menu.push_back({std::move(place), sign * static_cast<int>(m.RecordNumber()), false});
            return false;
        });
    };
    const PlaceMenuItem separator{"-", 0, true};
    addPlaces(taPlu, -1);
    menu.push_back(separator);
    addPlaces(taPll, 1);
    menu.push_back(separator);
    menu.push_back({std::string(kOtherPlace), 0, false});
    return menu;
}

void ShowPlaceRecord(const PlaceRecord& record, PlaceButton& button) {
    button.caption = record.name;
    button.tag = record.placeKey;
}

void RefreshPlaceButton(PlaceButton& button, PlaceBytes record, MemTable& taPll, MemTable& taPlu) {
    LoadIfFound(StoredKey(record), taPll, taPlu, record);
    const PlaceRecord r = DecodePlaceRecord(record);
    if (r.placeKey == 0) {
        button.caption = std::string(kNoPlaceSelected);
        button.tag = 0;
        return;
    }
    ShowPlaceRecord(r, button);
}

PlacePick PickPlace(PlaceSender sender, int tag, PlaceBytes target, MemTable& taPll, MemTable& taPlu) {
    PlacePick pick;
    if (sender == PlaceSender::Button || tag == 0) {
        LoadIfFound(StoredKey(target), taPll, taPlu, target);
        const int32_t key = StoredKey(target);
        pick.editorPage = key < 0 ? 0 : key > 0 ? 1 : -1;
        return pick;
    }
    pick.showBoth = LoadIfFound(tag, taPll, taPlu, target);
    return pick;
}

}  // namespace clx
