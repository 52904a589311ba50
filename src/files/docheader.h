#pragma once
// DocumentHeader: the document's 4096-byte record of sheet settings, kept as a byte image so
// that reserved bytes travel unchanged, with typed access by control name; the name registry
// used by the command line and the window binder; ToolRec, the per-sheet output settings.
#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "engine/skipset.h"
#include "platform/datetime.h"

namespace clx {

// A setting that does not exist, or a value it cannot take; the message names the setting.
class HeaderFieldError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

enum class HeaderFieldType : uint8_t {
    Boolean,      // one byte, 0 or 1 (read as true when non-zero)
    Index,        // one byte holding a list position or code
    Int16,
    Int32,
    Int64,
    Float,        // IEEE double
    Date,         // TDateTime double, 0 = no date
    ShortString,  // length byte + capacity single-byte characters (width = capacity + 1)
    BitSet,       // 16-bit set
    Bit,          // one bit of a 16-bit set
};

std::string_view HeaderFieldTypeName(HeaderFieldType t);

// A typed handle of one header field; the constants in namespace hdr below.
template <HeaderFieldType T>
struct HeaderField {
    uint16_t offset;
    uint16_t width;
    uint8_t bit = 0;   // Bit only
};

// Every named field: X(id, type, offset, width, lo, hi). lo..hi is the range Set accepts for
// integer kinds (0..0: the type's whole range); for Bit, lo is the bit number. An id's
// registry name is the id with "_" written as "." (sbPlanPlace_PlaceKey: "sbPlanPlace.PlaceKey").
#define CLX_DOCUMENT_HEADER_FIELDS(X)                                   \
    X(Signature, ShortString, 0, 72, 0, 0)                              \
    X(edDob, Date, 72, 8, 0, 0)                                         \
    X(edDos, Date, 80, 8, 0, 0)                                         \
    X(cbFirstDayMulti, Boolean, 89, 1, 0, 0)                            \
    X(cbLastdayMulti, Boolean, 90, 1, 0, 0)                             \
    X(cbMiddleDatesAreTo, Index, 91, 1, 0, 1)                           \
    X(edChrHdg, ShortString, 93, 256, 0, 0)                             \
    X(MulDatesText, ShortString, 349, 256, 0, 0)                        \
    X(MulFirstStart, Date, 608, 8, 0, 0)                                \
    X(MulLastEnd, Date, 616, 8, 0, 0)                                   \
    X(MulTotalDays, Int32, 624, 4, 0, 0)                                \
    X(cbAgo, Boolean, 648, 1, 0, 0)                                     \
    X(cbNextEvent, Boolean, 649, 1, 0, 0)                               \
    X(cbAge, Boolean, 650, 1, 0, 0)                                     \
    X(cbBand, Boolean, 651, 1, 0, 0)                                    \
    X(cbZone, Boolean, 652, 1, 0, 0)                                    \
    X(mcal1, Date, 656, 8, 0, 0)                                        \
    X(lmClipLo, Date, 664, 8, 0, 0)                                     \
    X(lmClipHi, Date, 672, 8, 0, 0)                                     \
    X(lmSynch, Date, 680, 8, 0, 0)                                      \
    X(lmFreq, Index, 688, 1, 0, 10)                                     \
    X(lmUnits, Int32, 692, 4, 1, 9999)                                  \
    X(lmAlwaysFirst, Boolean, 696, 1, 0, 0)                             \
    X(lmAlwaysLast, Boolean, 697, 1, 0, 0)                              \
    X(edRcrSeriesTitle, ShortString, 698, 81, 0, 0)                     \
    X(cbMulRdg, Boolean, 779, 1, 0, 0)                                  \
    X(MulTotalWeeks, Int64, 784, 8, 0, 0)                               \
    X(MulTotalYears, Int64, 792, 8, 0, 0)                               \
    X(cbChrDayNumbers, Boolean, 804, 1, 0, 0)                           \
    X(pc1, Int32, 816, 4, 0, 12)                                        \
    X(RcrSeriesCounter, Int32, 820, 4, 0, 0)                            \
    X(cbChrFootnote, Boolean, 824, 1, 0, 0)                             \
    X(cbCalendar, Boolean, 832, 1, 0, 0)                                \
    X(cbNotes, Boolean, 833, 1, 0, 0)                                   \
    X(cbFooter, Boolean, 834, 1, 0, 0)                                  \
    X(cbHeader, Boolean, 835, 1, 0, 0)                                  \
    X(edPrinterOrientation, Index, 840, 1, 0, 1)                        \
    X(edMarTop, Float, 848, 8, 0, 0)                                    \
    X(edMarLeft, Float, 856, 8, 0, 0)                                   \
    X(edMarRight, Float, 864, 8, 0, 0)                                  \
    X(edMarBottom, Float, 872, 8, 0, 0)                                 \
    X(edUnits, Index, 880, 1, 0, 4)                                     \
    X(ChrSheet, Int32, 1048, 4, 0, 0)                                   \
    X(cbChrEventNo, Boolean, 1052, 1, 0, 0)                             \
    X(cbRcrLongDateFormat, Boolean, 1134, 1, 0, 0)                      \
    X(cbCalcLongDateFormat, Boolean, 1135, 1, 0, 0)                     \
    X(cbMultiLongDateFormat, Boolean, 1217, 1, 0, 0)                    \
    X(cbUseTime, Boolean, 1299, 1, 0, 0)                                \
    X(rgRcrStyle, Index, 1300, 1, 0, 1)                                 \
    X(cbCellLines, Boolean, 1301, 1, 0, 0)                              \
    X(cbChrDow, Boolean, 1302, 1, 0, 0)                                 \
    X(cbRowGap, Boolean, 1303, 1, 0, 0)                                 \
    X(cbBorder, Boolean, 1304, 1, 0, 0)                                 \
    X(cbFootnoteNewPage, Boolean, 1305, 1, 0, 0)                        \
    X(cbLandscape, Boolean, 1306, 1, 0, 0)                              \
    X(cbRcrAmount, Boolean, 1307, 1, 0, 0)                              \
    X(cbShadeHdg, Boolean, 1312, 1, 0, 0)                               \
    X(edRcrAmtBal, Index, 1313, 1, 0, 3)                                \
    X(cbMulLegend, Boolean, 1314, 1, 0, 0)                              \
    X(edNumRep, Int32, 1316, 4, 0, 10000)                               \
    X(ChrDateFormat, Int32, 1320, 4, 0, 0)                              \
    X(cbChrAutoInsert, Boolean, 1324, 1, 0, 0)                          \
    X(edRcrAmount, Float, 1328, 8, 0, 0)                                \
    X(cbRcrComment, Boolean, 1336, 1, 0, 0)                             \
    X(cbInvertSkip, Boolean, 1593, 1, 0, 0)                             \
    X(SkipFile, ShortString, 1594, 161, 0, 0)                           \
    X(sbAstroPlace_Place, ShortString, 1852, 81, 0, 0)                  \
    X(sbAstroPlace_Lat, ShortString, 1933, 17, 0, 0)                    \
    X(sbAstroPlace_Long, ShortString, 1950, 17, 0, 0)                   \
    X(sbAstroPlace_PlusMinus, Int16, 1968, 2, -1, 1)                    \
    X(sbAstroPlace_Hours, Int16, 1970, 2, 0, 23)                        \
    X(sbAstroPlace_Mins, Int16, 1972, 2, 0, 59)                         \
    X(sbAstroPlace_PlaceKey, Int32, 1976, 4, 0, 0)                      \
    X(sbPlanPlace_Place, ShortString, 2108, 81, 0, 0)                   \
    X(sbPlanPlace_Lat, ShortString, 2189, 17, 0, 0)                     \
    X(sbPlanPlace_Long, ShortString, 2206, 17, 0, 0)                    \
    X(sbPlanPlace_PlusMinus, Int16, 2224, 2, -1, 1)                     \
    X(sbPlanPlace_Hours, Int16, 2226, 2, 0, 23)                         \
    X(sbPlanPlace_Mins, Int16, 2228, 2, 0, 59)                          \
    X(sbPlanPlace_PlaceKey, Int32, 2232, 4, 0, 0)                       \
    X(PlanUkey, Int32, 2364, 4, 0, 0)                                   \
    X(cbPlanCollate, Boolean, 2370, 1, 0, 0)                            \
    X(edPlanLocalorCollated, Index, 2371, 1, 0, 1)                      \
    X(cbPlanRestrictDate, Boolean, 2631, 1, 0, 0)                       \
    X(cbPlanRestrictWho, Boolean, 2632, 1, 0, 0)                        \
    X(edPlanFrom, Date, 2640, 8, 0, 0)                                  \
    X(edPlanTo, Date, 2648, 8, 0, 0)                                    \
    X(edPlanSeriesName, ShortString, 2656, 49, 0, 0)                    \
    X(edCalcMethod, Index, 2705, 1, 0, 5)                               \
    X(cbInvertSkipPlan, Boolean, 2706, 1, 0, 0)                         \
    X(SkipFilePlan, ShortString, 2707, 161, 0, 0)                       \
    X(cbDosToday, Boolean, 2962, 1, 0, 0)                               \
    X(edEasterFirstYear, Int32, 2964, 4, 1753, 3000)                    \
    X(edEasterYears, Int32, 2968, 4, 0, 500)                            \
    X(edMiscType, Index, 2972, 1, 0, 1)                                 \
    X(PlanFile, ShortString, 2973, 161, 0, 0)                           \
    X(cbProRataAMt, Boolean, 3134, 1, 0, 0)                             \
    X(edProRataAmt, Float, 3136, 8, 0, 0)                               \
    X(edProDFrom, Date, 3144, 8, 0, 0)                                  \
    X(edProDTo, Date, 3152, 8, 0, 0)                                    \
    X(edProAmt, Float, 3160, 8, 0, 0)                                   \
    X(cbProIncludeFirst, Boolean, 3168, 1, 0, 0)                        \
    X(cbProIncludeLast, Boolean, 3169, 1, 0, 0)                         \
    X(ProReportColumns, BitSet, 3170, 2, 0, 0)                          \
    X(cb2rpcDFromDTo, Bit, 3170, 2, 0, 0)                               \
    X(cb2rprDFrom, Bit, 3170, 2, 1, 0)                                  \
    X(cb2rprDTo, Bit, 3170, 2, 2, 0)                                    \
    X(cb2rprName, Bit, 3170, 2, 3, 0)                                   \
    X(cb2rprShare, Bit, 3170, 2, 4, 0)                                  \
    X(cb2rprShareFrac, Bit, 3170, 2, 5, 0)                              \
    X(cb2rprWeight, Bit, 3170, 2, 6, 0)                                 \
    X(cb2rprCalc, Bit, 3170, 2, 7, 0)                                   \
    X(cb2rprDays, Bit, 3170, 2, 8, 0)

namespace hdr {
#define CLX_HDR_CONST(id, type, offset, width, lo, hi)                                   \
    inline constexpr HeaderField<HeaderFieldType::type> id{                               \
        offset, width, static_cast<uint8_t>(HeaderFieldType::type == HeaderFieldType::Bit ? (lo) : 0)};
CLX_DOCUMENT_HEADER_FIELDS(CLX_HDR_CONST)
#undef CLX_HDR_CONST

// Place records (256 bytes each) of the Astro and the Plan sheet.
inline constexpr uint16_t kAstroPlace = 1852;
inline constexpr uint16_t kPlanPlace = 2108;
inline constexpr uint16_t kPlaceRecordSize = 256;
}  // namespace hdr

inline constexpr size_t kDocumentHeaderSize = 4096;
inline constexpr std::string_view kDocumentSignature = "Chronlex";

// Which of the document's two skip-date selections.
enum class SkipSlot { Calculator, Plan };

// A value as the registry and the window binder hand it over: booleans, integers (index,
// integer and bit-set kinds), doubles (floats and dates) and UTF-8 text.
using HeaderValue = std::variant<bool, int64_t, double, std::string>;

struct DocumentHeader {
    std::array<uint8_t, kDocumentHeaderSize> bytes{};

    std::span<uint8_t> Bytes() { return bytes; }
    std::span<const uint8_t> Bytes() const { return bytes; }

    bool Get(HeaderField<HeaderFieldType::Boolean> f) const { return bytes[f.offset] != 0; }
    void Set(HeaderField<HeaderFieldType::Boolean> f, bool v) { bytes[f.offset] = v ? 1 : 0; }
    uint8_t Get(HeaderField<HeaderFieldType::Index> f) const { return bytes[f.offset]; }
    void Set(HeaderField<HeaderFieldType::Index> f, uint8_t v) { bytes[f.offset] = v; }
    int16_t Get(HeaderField<HeaderFieldType::Int16> f) const { return static_cast<int16_t>(U16(f.offset)); }
    void Set(HeaderField<HeaderFieldType::Int16> f, int16_t v) { SetU16(f.offset, static_cast<uint16_t>(v)); }
    int32_t Get(HeaderField<HeaderFieldType::Int32> f) const { return I32(f.offset); }
    void Set(HeaderField<HeaderFieldType::Int32> f, int32_t v) { SetI32(f.offset, v); }
    int64_t Get(HeaderField<HeaderFieldType::Int64> f) const { return I64(f.offset); }
    void Set(HeaderField<HeaderFieldType::Int64> f, int64_t v) { SetI64(f.offset, v); }
    double Get(HeaderField<HeaderFieldType::Float> f) const { return F64(f.offset); }
    void Set(HeaderField<HeaderFieldType::Float> f, double v) { SetF64(f.offset, v); }
    TDateTime Get(HeaderField<HeaderFieldType::Date> f) const { return F64(f.offset); }
    void Set(HeaderField<HeaderFieldType::Date> f, TDateTime v) { SetF64(f.offset, v); }
    uint16_t Get(HeaderField<HeaderFieldType::BitSet> f) const { return U16(f.offset); }
    void Set(HeaderField<HeaderFieldType::BitSet> f, uint16_t v) { SetU16(f.offset, v); }
    bool Get(HeaderField<HeaderFieldType::Bit> f) const { return (U16(f.offset) >> f.bit) & 1; }
    void Set(HeaderField<HeaderFieldType::Bit> f, bool v);
    // Short strings are single-byte in the record and UTF-8 here. A stored length above the
    // capacity reads as the capacity. Set throws HeaderFieldError for text longer than the
    // capacity or outside the code page; the bytes after the text are left as they were.
    std::string Get(HeaderField<HeaderFieldType::ShortString> f) const;
    void Set(HeaderField<HeaderFieldType::ShortString> f, std::string_view utf8);

    // The persistent part of a skip set: the invert byte and the file name (macro form).
    SkipFileRef SkipRef(SkipSlot slot) const;
    void SetSkipRef(SkipSlot slot, const SkipFileRef& ref);   // throws for a name over 160

    std::span<uint8_t, hdr::kPlaceRecordSize> PlaceRecord(uint16_t offset);
    std::span<const uint8_t, hdr::kPlaceRecordSize> PlaceRecord(uint16_t offset) const;

    // "Chronlex" with its length byte at offset 0, as every save writes it.
    void WriteSignature();

    // Raw little-endian access at any offset (bounds-checked: throws std::out_of_range).
    uint16_t U16(size_t off) const;
    int32_t I32(size_t off) const;
    int64_t I64(size_t off) const;
    double F64(size_t off) const;
    void SetU16(size_t off, uint16_t v);
    void SetI32(size_t off, int32_t v);
    void SetI64(size_t off, int64_t v);
    void SetF64(size_t off, double v);

    friend bool operator==(const DocumentHeader&, const DocumentHeader&) = default;
};
static_assert(sizeof(DocumentHeader) == kDocumentHeaderSize, "DocumentHeader is a file image");

// ---- The name registry ---------------------------------------------------------------------

struct HeaderFieldInfo {
    std::string_view name;
    HeaderFieldType type;
    uint16_t offset;
    uint16_t width;
    int64_t lo, hi;     // accepted range of the integer kinds
    uint8_t bit;        // Bit only
    size_t Capacity() const { return width - 1u; }   // ShortString only
};

// Every named field in offset order (the bit-set before its bits).
std::span<const HeaderFieldInfo> DocumentHeaderFields();
// Case-sensitive first, then without regard to case; nullptr when there is no such name.
const HeaderFieldInfo* FindHeaderField(std::string_view name);
// Throws HeaderFieldError "Unknown setting: NAME".
const HeaderFieldInfo& HeaderFieldByName(std::string_view name);

HeaderValue GetHeaderValue(const DocumentHeader& h, const HeaderFieldInfo& f);
// Type-checked and range-checked; throws HeaderFieldError naming the setting. Integer kinds
// take int64_t (a Boolean field also takes 0 or 1), Boolean and Bit take bool, Float and Date
// take double (or an integer), ShortString takes text.
void SetHeaderValue(DocumentHeader& h, const HeaderFieldInfo& f, const HeaderValue& v);

// Text forms, as typed on a command line: booleans 1/0, true/false, yes/no, on/off; integers in
// decimal; floats with a "." decimal point; dates as YYYY-MM-DD (or YYYY-MM-DDThh:mm[:ss]),
// empty or 0 for no date; short strings as they are.
std::string HeaderValueText(const DocumentHeader& h, const HeaderFieldInfo& f);
void SetHeaderText(DocumentHeader& h, const HeaderFieldInfo& f, std::string_view text);

// By name.
inline HeaderValue GetHeaderValue(const DocumentHeader& h, std::string_view name) {
    return GetHeaderValue(h, HeaderFieldByName(name));
}
inline void SetHeaderValue(DocumentHeader& h, std::string_view name, const HeaderValue& v) {
    SetHeaderValue(h, HeaderFieldByName(name), v);
}
inline std::string HeaderValueText(const DocumentHeader& h, std::string_view name) {
    return HeaderValueText(h, HeaderFieldByName(name));
}
inline void SetHeaderText(DocumentHeader& h, std::string_view name, std::string_view text) {
    SetHeaderText(h, HeaderFieldByName(name), text);
}

// ---- ToolRec -------------------------------------------------------------------------------

inline constexpr size_t kToolRecSize = 512;
inline constexpr int kToolRecCount = 15;

// Output destinations and CSV delimiters as their list indexes.
enum class OutputDestination : uint8_t {
    Printer = 0, Csv = 1, MergeText = 2, WebPage = 3, Sylk = 4, Clipboard = 5,
};
enum class CsvDelimiter : uint8_t { ControlPanel = 0, Comma = 1, Semicolon = 2, Tab = 3 };

// Bits of the "launch after export" set.
inline constexpr uint16_t kLaunchCsv = 1u << 1;
inline constexpr uint16_t kLaunchWeb = 1u << 3;
inline constexpr uint16_t kLaunchSylk = 1u << 4;
inline constexpr uint16_t kLaunchDefaults = 30;   // bits 1 to 4

// Sheet output numbers.
enum SheetOutput : int {
    soInterval = 0, soMath = 1, soRepeat = 2, soChrono = 3, soPlan = 4, soMultiple = 5,
    soBirthday = 6, soProRata = 7,
};
// "interval", "math", ... "pro-rata"; empty for 8 to 14 and anything else.
std::string_view SheetOutputName(int index);

enum class ToolFile { Csv, Rtf, Web, Sylk };

// The 512-byte output settings record of one sheet.
struct ToolRec {
    std::array<uint8_t, kToolRecSize> bytes{};

    bool Initialised() const { return bytes[0] != 0; }
    void SetInitialised(bool v) { bytes[0] = v ? 1 : 0; }
    uint8_t Destination() const { return bytes[1]; }
    void SetDestination(uint8_t v) { bytes[1] = v; }
    uint8_t Delimiter() const { return bytes[2]; }
    void SetDelimiter(uint8_t v) { bytes[2] = v; }
    bool FieldNames() const { return bytes[3] != 0; }
    void SetFieldNames(bool v) { bytes[3] = v ? 1 : 0; }
    uint16_t LaunchBits() const { return static_cast<uint16_t>(bytes[4] | bytes[5] << 8); }
    void SetLaunchBits(uint16_t v) { bytes[4] = v & 0xFF; bytes[5] = v >> 8; }
    bool Launch(uint16_t bit) const { return (LaunchBits() & bit) != 0; }
    // File names in macro form (UTF-8 here, single-byte in the record); Set throws
    // HeaderFieldError for a name over 80 characters.
    std::string FileName(ToolFile which) const;
    void SetFileName(ToolFile which, std::string_view utf8);

    // All zero, delimiter 0, field names on, launch bits 30, the four files in the temporary
    // folder named after the sheet ("<TMP>interval.csv" ...), initialised.
    void Reset(int index);
    static ToolRec Defaults(int index);

    friend bool operator==(const ToolRec&, const ToolRec&) = default;
};
static_assert(sizeof(ToolRec) == kToolRecSize, "ToolRec is a file image");

struct ToolRecs {
    std::array<ToolRec, kToolRecCount> recs{};

    ToolRec& operator[](size_t i) { return recs.at(i); }
    const ToolRec& operator[](size_t i) const { return recs.at(i); }
    std::span<uint8_t> Bytes() { return {recs.front().bytes.data(), sizeof(recs)}; }
    std::span<const uint8_t> Bytes() const { return {recs.front().bytes.data(), sizeof(recs)}; }

    // After a document is read: records never initialised, or all with resetAll, get defaults.
    void ApplyOutputRecordRule(bool resetAll);

    friend bool operator==(const ToolRecs&, const ToolRecs&) = default;
};
static_assert(sizeof(ToolRecs) == kToolRecSize * kToolRecCount, "ToolRecs is a file image");

}  // namespace clx
