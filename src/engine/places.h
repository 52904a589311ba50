#pragma once
// Places for lighting data: the two place tables (standard and the user's own), the 256-byte
// place record the document keeps for the Astro and the Plan sheet, the place menu and the
// picker that fills a record from the tables.
#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/memtable.h"

namespace clx {

// ---- Place tables ------------------------------------------------------------------------

inline constexpr int kPlaceNameSize = 48;
inline constexpr int kPlaceCoordSize = 12;

// Gives an empty table the place fields (Place, Long, Lat, PlusMinus, Hours, Mins), sorts it
// by Place, and installs NewPlace as its new-row event (a posted row is re-sorted and stays
// current).
void DefinePlaceFields(MemTable& table);
// New-row event: offset "+" 0 hours 0 minutes.
void NewPlace(MemTable& table);

struct PlaceColumn {
    std::string_view field;
    std::string_view title;
};
// The grid columns of a place table, in field order.
std::span<const PlaceColumn> PlaceColumns();
// "+" for 1, "-" for -1; any other stored value as its number, so that it is not hidden.
std::string PlusMinusText(int64_t plusMinus);

// ---- Place record ------------------------------------------------------------------------

inline constexpr size_t kPlaceRecordBytes = 256;
inline constexpr size_t kPlaceRecordNameCapacity = 80;
inline constexpr size_t kPlaceRecordCoordCapacity = 16;

namespace place_offset {
inline constexpr size_t kName = 0;        // short string of 80
inline constexpr size_t kLatitude = 81;   // short string of 16
inline constexpr size_t kLongitude = 98;  // short string of 16
inline constexpr size_t kPlusMinus = 116; // int16
inline constexpr size_t kHours = 118;     // int16
inline constexpr size_t kMins = 120;      // int16
inline constexpr size_t kPlaceKey = 124;  // int32
}  // namespace place_offset

// Text is UTF-8 here and single-byte (Windows-1252) in the record.
struct PlaceRecord {
    std::string name;
    std::string latitude;
    std::string longitude;
    int16_t plusMinus = 0;
    int16_t hours = 0;
    int16_t mins = 0;
    // The row's record number: positive in the standard table, negative in the user's, 0 for
    // no place.
    int32_t placeKey = 0;
    friend bool operator==(const PlaceRecord&, const PlaceRecord&) = default;
};

using PlaceBytes = std::span<uint8_t, kPlaceRecordBytes>;

// A stored length beyond a string's capacity reads as the capacity.
PlaceRecord DecodePlaceRecord(std::span<const uint8_t, kPlaceRecordBytes> bytes);
// Writes all 256 bytes: the reserved ones zero, texts cut to their capacity, characters
// outside the code page as '?'.
void EncodePlaceRecord(const PlaceRecord& record, PlaceBytes bytes);

// Offset from Greenwich time in minutes.
int OffsetMinutes(const PlaceRecord& record);

// Key 0: false, the record untouched. Otherwise the record is zeroed and filled from the row
// whose record number is |key| in taPll (key > 0) or taPlu (key < 0); false when there is no
// such row (the record stays zeroed). Hidden rows of a filtered table are found too; the
// table's current row is kept. A table in edit or insert state is refused with TableError
// before the record is touched.
bool LoadPlaceRecord(int32_t key, MemTable& taPll, MemTable& taPlu, PlaceBytes record);

// ---- Place menu, button and picker -------------------------------------------------------

inline constexpr std::string_view kNoPlaceSelected = "None Selected";
inline constexpr std::string_view kOtherPlace = "Other...";

struct PlaceMenuItem {
    std::string caption;   // "-" for a separator
    int tag = 0;           // -record number (user), +record number (standard), 0 "Other..."
    bool separator = false;
    friend bool operator==(const PlaceMenuItem&, const PlaceMenuItem&) = default;
};

// The user's places, "-", the standard places, "-", "Other...". Rows lacking a name, a
// latitude or a longitude are left out.
std::vector<PlaceMenuItem> BuildPlaceMenu(MemTable& taPlu, MemTable& taPll);

struct PlaceButton {
    std::string caption{kNoPlaceSelected};
    int tag = 0;
};

void ShowPlaceRecord(const PlaceRecord& record, PlaceButton& button);

// Refreshes the record from its row and shows it. When the row is not in its table the
// document's record is kept as it is (the tables may simply not be loaded) and the button
// shows what the record holds: its place, or kNoPlaceSelected when it holds none.
void RefreshPlaceButton(PlaceButton& button, PlaceBytes record, MemTable& taPll, MemTable& taPlu);

enum class PlaceSender { Button, MenuEntry };

struct PlacePick {
    // The places editor is to open on this page: 0 "User", 1 "Updated", -1 its own first.
    std::optional<int> editorPage;
    // A place was chosen: show both place records on their buttons.
    bool showBoth = false;
};

// A click on the place button or a menu entry (tag as the menu gave it) for the target record.
// The button and "Other..." refresh the target from its row and ask for the editor on the
// page of the target's table; a place entry loads the target from the chosen row. A row that
// is not found leaves the target as it was.
PlacePick PickPlace(PlaceSender sender, int tag, PlaceBytes target, MemTable& taPll, MemTable& taPlu);

}  // namespace clx
