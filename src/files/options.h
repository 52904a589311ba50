#pragma once
// The options file (options.dcz, its factory copy default.dcz) and the options model: the
// general choices header, the quick-add menu, the repeat sheet's stock notes, the chronology
// date formats, the token engine's report-format and word tables and the extra data folders.
// Also the links file (lnk.dat) of the Start sheet's navigation tree.
#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "files/sectionstream.h"
#include "platform/memtable.h"

namespace clx {

class UiServices;

// ---------------------------------------------------------------------------------------------
// The header record: 1024 bytes, kept as the file holds it.

inline constexpr size_t kOptionsHeaderSize = 1024;
inline constexpr std::string_view kOptionsSignature = "Chronlex";

// Days per year: 0 is the average of the calendar years.
inline constexpr int kDaysPerYearChoiceCount = 5;
inline constexpr int kDateEntryFormatCount = 4;
inline constexpr int kFirstDayLocaleDefault = 7;

struct OptionsHeader {
    uint8_t signature[9];       // 0: length byte 8 and the letters; written on save, never read
    uint8_t reserved1[56];
    uint8_t daysPerYearType;    // 65: 0 average, 1 365.25, 2 366, 3 365, 4 360
    uint8_t dateEntryFormat;    // 66: 0 system, 1 mm/dd/yyyy, 2 dd/mm/yyyy, 3 yyyy/mm/dd
    uint8_t firstDayOfWeek;     // 67: 0 Monday ... 6 Sunday, 7 the locale's
    uint8_t showTips;           // 68: boolean byte
    uint8_t reserved2[3];
    int32_t nextTip;            // 72: number of the tip shown last (0 none)
    uint8_t reserved3[948];

    void Clear() { *this = OptionsHeader{}; }
    void WriteSignature();
    bool ShowTips() const { return showTips != 0; }
    void SetShowTips(bool on) { showTips = on ? 1 : 0; }

    std::span<uint8_t> Bytes() { return {reinterpret_cast<uint8_t*>(this), sizeof *this}; }
    std::span<const uint8_t> Bytes() const {
        return {reinterpret_cast<const uint8_t*>(this), sizeof *this};
    }
};

static_assert(std::endian::native == std::endian::little, "the header is a little-endian image");
static_assert(sizeof(OptionsHeader) == kOptionsHeaderSize);
static_assert(offsetof(OptionsHeader, signature) == 0);
static_assert(offsetof(OptionsHeader, daysPerYearType) == 65);
static_assert(offsetof(OptionsHeader, dateEntryFormat) == 66);
static_assert(offsetof(OptionsHeader, firstDayOfWeek) == 67);
static_assert(offsetof(OptionsHeader, showTips) == 68);
static_assert(offsetof(OptionsHeader, nextTip) == 72);

// Display texts of the header's lists (a value's position is its value).
const std::array<std::string_view, kDaysPerYearChoiceCount>& DaysPerYearNames();   // "" first
const std::array<std::string_view, kDateEntryFormatCount>& DateEntryFormatNames();
const std::array<std::string_view, 8>& FirstDayOfWeekNames();

// ---------------------------------------------------------------------------------------------
// Sections of the options file, in file order.

enum OptionsSectionId : int32_t {
    kOptHeader = 0, kOptAddDates = 1, kOptRcrNotes = 2, kOptDateFormats = 3,
    kOptReportFormats = 7, kOptWords = 8, kOptPaths = 9,
};
inline constexpr int kOptionsSectionCount = 7;

struct OptionsSection {
    int32_t id;
    std::string_view label;
};
inline constexpr std::array<OptionsSection, kOptionsSectionCount> kOptionsSections = {{
    {kOptHeader, "Header"}, {kOptAddDates, "Add Dates"}, {kOptRcrNotes, "Rcr Notes"},
    {kOptDateFormats, "Date Formats"}, {kOptReportFormats, "taRpt"}, {kOptWords, "taWrd"},
    {kOptPaths, "Paths"},
}};

// The options file is always deflated at the normal level.
inline constexpr int kOptionsPackLevel = kPackNormal;
inline const std::vector<std::string> kOptionsBackupExtensions = {"~cz"};
inline constexpr std::string_view kOptionsFileFilter =
    "Date Calculator Options (*.dcz)|*.dcz|Backup Files (*.~cz)|*.~cz|All Files (*.*)|*.*";
inline constexpr std::string_view kOptionsDefaultExt = "dcz";

inline constexpr std::string_view kCouldNotLocateOptions = "Could not locate options file";
inline constexpr std::string_view kDeleteRecordQuestion = "Delete Record?";
inline constexpr std::string_view kRestoreDefaultsQuestion =
    "This will replace all current settings\r\nwith the default factory settings. Proceed?";

// ---------------------------------------------------------------------------------------------
// Table layouts with their events. The token engine builds its own copies from the same
// functions.

// taDaa: Days, Months, Years, MenuCaption (48), Sort; kept in Sort order. Before a post, Sort
// becomes the whole days of the period and an empty caption "<Sort> Days".
void SetupQuickAddTable(MemTable& t);
// taAno: Format (80); unsorted.
void SetupNotesTable(MemTable& t);
// taFmt: Format (48), Approx; unsorted, the row order is the order offered.
void SetupDateFormatTable(MemTable& t);
// taRpt (layout _taFmt): kept in Ukey order.
void SetupReportFormatTable(MemTable& t);
// taWrd (layout _taWrd): kept in Token order.
void SetupWordTable(MemTable& t);

// The Sort value of a quick-add period: the whole part of days + months x 365.25 / 12 +
// years x 365.25. Throws TableError when it does not fit a table integer.
int32_t QuickAddSort(int64_t days, int64_t months, int64_t years);

// ---------------------------------------------------------------------------------------------
// The options model.

class Options {
public:
    Options();
    Options(const Options&) = delete;
    Options& operator=(const Options&) = delete;

    OptionsHeader header{};
    MemTable taDaa{"taDaa"};
    MemTable taAno{"taAno"};
    MemTable taFmt{"taFmt"};
    MemTable taRpt{"taRpt"};
    MemTable taWrd{"taWrd"};
    std::vector<std::string> paths;   // extra data folders

    // Asked "Delete Record?" before a row of taDaa, taAno or taFmt is deleted; without it
    // deleting is not questioned.
    UiServices* ui = nullptr;
    // Called after a post or delete in taDaa, taAno or taFmt (the document is marked modified).
    std::function<void()> onModified;

    // The Value of the word row whose Token equals the upper-cased key; nothing when no row has it.
    std::optional<std::string> FindWord(std::string_view key) const;
    // Header fields checked against their lists; nothing when the stored value is out of range.
    std::optional<int> DaysPerYearType() const;
    std::optional<int> DateEntryFormat() const;

    // Posts pending edits of the option tables (a refused post throws TableError).
    void PostPending();

private:
    void Wire(MemTable& t, bool confirmDelete);
};

// Streams the seven sections in the stream's mode (no packing); one result per section.
std::vector<SectionResult> StreamOptions(Options& options, SectionStream& stream);

// What a load did.
struct OptionsLoadReport {
    std::filesystem::path file;         // the file read; empty when none was found
    bool usedFactory = false;           // the named file was missing or unreadable
    bool formatsFromFactory = false;    // the file had no date formats: the factory's were taken
    std::string error;                  // why nothing was loaded; empty when something was
    std::vector<SectionResult> sections;          // of the file read, in section order
    std::vector<std::string> sectionErrors;       // "label: reason" of each damaged section

    bool Loaded() const { return error.empty(); }
    bool HeaderLoaded() const { return !sections.empty() && sections[0] == SectionResult::Loaded; }
};

// Reads an options file into the model: the header is cleared first; a missing file, or one
// that cannot be inflated at all, is replaced by the factory file; each damaged or missing
// section is skipped and its object keeps its content. When the file read has no date formats
// the factory file's are loaded into taFmt. When neither file can be read the error is
// "Could not locate options file" and the name tried last (or the reason the file could not
// be read), shown in an error box when ui is given; the tables keep their content.
OptionsLoadReport LoadOptions(Options& options, std::filesystem::path file,
                              const std::filesystem::path& factoryFile, UiServices* ui = nullptr);

// The file image: the signature written into the header, the seven sections, deflated.
std::vector<uint8_t> OptionsImage(Options& options);

enum class SaveOutcome { Written, FolderMissing };

// Writes the options to target (the resource folder's options.dcz): pending edits are posted,
// the image is built, an existing target is rotated to .~cz and the image written safely.
// When the target's folder is missing or empty nothing is written and, with ui, the target's
// name is shown in an information box. Write failures throw FileError.
SaveOutcome SaveOptions(Options& options, const std::filesystem::path& target, UiServices* ui = nullptr);

// Asks the restore-defaults question and, on Yes, loads the factory file. Nothing is written.
// Returns the load report, or nothing when the user declined.
std::optional<OptionsLoadReport> RestoreDefaults(Options& options,
                                                 const std::filesystem::path& factoryFile,
                                                 UiServices& ui);

// ---------------------------------------------------------------------------------------------
// The links file.

enum LinksSectionId : int32_t { kLinkEntries = 1, kLinkCategories = 2 };

// taAdl: Menu (255), PC (sheet index), SNB (20, page name), NB, Ukey, Search (255), Hint (rich
// text), UseHint; kept in Menu order. A new row gets an unused Ukey, PC 0, UseHint false.
void SetupLinkTable(MemTable& t);
// taAdc: Menu (255), Use, Ukey, Filter (the Ukeys of its entries, one per line); kept in Menu
// order. A new row gets an unused Ukey and Use true.
void SetupLinkCategoryTable(MemTable& t);

class Links {
public:
    Links();
    Links(const Links&) = delete;
    Links& operator=(const Links&) = delete;

    MemTable taAdl{"taAdl"};
    MemTable taAdc{"taAdc"};
    // Called after a post or delete in either table (the navigation tree is rebuilt).
    std::function<void()> onChanged;
};

std::vector<SectionResult> StreamLinks(Links& links, SectionStream& stream);
// The file image: the two sections, never compressed.
std::vector<uint8_t> LinksImage(Links& links);

struct LinksLoadReport {
    std::string error;                  // "Could not locate options file" and the name
    std::vector<SectionResult> sections;
    bool Loaded() const { return error.empty(); }
};
LinksLoadReport LoadLinks(Links& links, std::filesystem::path file, UiServices* ui = nullptr);

// A category's Filter as the Ukeys it lists (lines that are not whole numbers are ignored).
std::vector<int64_t> FilterKeys(std::string_view filter);

}  // namespace clx
