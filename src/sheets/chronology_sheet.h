#pragma once
// The Chronology sheet: dated events of a matter, each with an optional time of day and time
// zone, kept in the order of their local time here; before the report prints, each printed
// event gets how long ago it was, the time to the next event and its day number.
#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "files/docheader.h"
#include "platform/ini.h"
#include "platform/memtable.h"
#include "platform/ui.h"
#include "sheets/sheet_context.h"

namespace clx {

inline constexpr const char* kChronologyTableName = "taChr";
inline constexpr const char* kChronologySectionLabel = "Chronology";
inline constexpr const char* kZoneTableName = "taZon";
inline constexpr const char* kZoneSectionLabel = "Zones";
inline constexpr int kChronologyOutputRecord = soChrono;   // output settings record "chrono"

inline constexpr std::array<const char*, 6> kChronologyPages{"blank", "Intro", "Age",
                                                             "Zones", "ChrSkip", "ChrGrid"};
inline constexpr const char* kChronologyGridPage = "ChrGrid";

// Captions of the sheet's controls and commands.
inline constexpr const char* kDosTodayCaption = "Always calculate as at today";
inline constexpr const char* kDosCaption = "Calculate as at";
inline constexpr const char* kPrintAgeCaption = "Print Age";
inline constexpr const char* kDobCaption = "Date of Birth";
inline constexpr const char* kDobEditMask = "dd/mm/yyyy";
inline constexpr const char* kUseTimeCaption = "Use Time";
inline constexpr const char* kUseZonesCaption = "Use Time Zones";
inline constexpr const char* kChrEditCaption = "&Edit";
inline constexpr const char* kChrPrintCaption = "&Print...";
inline constexpr const char* kChrDeleteQuestion = "Delete Record?";

inline constexpr const char* kLocalTimeName = "Local Time";
inline constexpr const char* kApproxPrefix = "Approx ";

// Printed date format codes (iFormat); any other code n names the options' date format whose
// record number is abs(n).
inline constexpr int kFormatCustom = -13;    // CustomDateText instead of a date
inline constexpr int kFormatDisplay = -12;   // the display format ("ddd " and the entry format)
inline constexpr int kFormatLong = -11;      // the system's long date format
inline constexpr int kFormatGeneral = -10;   // the date entry format

// Where the general default format code lives in the shared settings file.
inline constexpr const char* kChrSettingsSection = "Settings";
inline constexpr const char* kChrDateFormatKey = "ChrDateFormat";

// Field sizes.
inline constexpr int kChrTimeSize = 12;
inline constexpr int kChrAdjSize = 10;
inline constexpr int kChrDerivedTextSize = 64;   // TimeDiff, Ago, CustomDateText
inline constexpr int kChrDateStringSize = 48;
inline constexpr int kChrFormatSize = 24;
inline constexpr int kChrAppliedAdjSize = 6;
inline constexpr int kZoneLocationSize = 128;

// The sheet's settings kept in the document header.
struct ChronologySettings {
    TDateTime dob = 0;             // edDob
    TDateTime dos = 0;             // edDos, the calculation date
    bool printAge = false;         // cbAge
    bool useZones = false;         // cbZone
    int32_t defaultSheet = 0;      // sheet number of new rows
    bool useTime = false;          // cbUseTime
    int32_t defaultFormat = kFormatGeneral;   // format code of new rows
    bool dosToday = false;         // cbDosToday
    friend bool operator==(const ChronologySettings&, const ChronologySettings&) = default;
};

ChronologySettings ReadChronologySettings(const DocumentHeader& h);
void WriteChronologySettings(DocumentHeader& h, const ChronologySettings& s);

// What the visibility rules show for the settings.
struct ChronologyVisibility {
    bool timeColumn = false;       // Time; also the "Use Time Zones" check box
    bool zoneCheckBox = false;
    bool localTimeColumns = false; // LocalDateTime and caAdj
    bool calculateAsAt = true;     // edDos and its label
    bool dateOfBirth = false;      // edDob and its label
    friend bool operator==(const ChronologyVisibility&, const ChronologyVisibility&) = default;
};
ChronologyVisibility ChronologyVisibilityFor(const ChronologySettings& s);

// The output wizard's default field list of the grid, joined by ";".
std::string_view ChronologyCsvFields();

// Give empty tables the fields and sort orders of taChr and taZon.
void DefineChronologyFields(MemTable& taChr);
void DefineZoneFields(MemTable& taZon);
struct ChronologyTables {
    MemTable& taChr;
    MemTable& taZon;
};
// Creates taChr and taZon through the container and defines them.
ChronologyTables DefineChronologyTables(const TableMaker& make);

// Grid dbgChr: Date, Time, Name, LocalDateTime, caAdj, then the hidden fields. The titles
// follow the date entry format; visibility follows the settings.
std::vector<SheetColumn> ChronologyColumns(const SheetContext& ctx, const ChronologySettings& s);
// Date, Time and LocalDateTime are centred in the grid.
bool ChronologyColumnCentred(std::string_view field);
// The zone grid: Location and Adj, whose title carries the system's short time format.
std::vector<SheetColumn> ZoneColumns(const Locale& loc);
// Back and Next visit every page; the sheet has no New button.
inline std::set<int> ChronologyPagesPassedOver() { return {}; }

// A signed time of day as a fraction of a day: "-10:00" is -10 hours, "+5:30" and "5:30" are
// 5.5 hours; an empty text (also the empty time mask "  :  ") is 0. Only the first 16
// characters count. Throws ConvertError "'TEXT' is not a valid time".
double ParseSignedTime(std::string_view text, const Locale& loc);

// "Local Time" for zone 0, else the Location of the zone with that identifier (empty if none).
std::string ZoneName(const MemTable& taZon, int64_t iZone);
// The Adj of the zone with that identifier; the row's own Adj for zone 0 or a missing zone.
std::string ZoneAdjustment(const MemTable& taZon, int64_t iZone, std::string_view ownAdj);

// The Format of the row of the options' date formats table (taFmt) with that record number.
// The table's current row is kept; while it is being edited only the edited row is known.
std::optional<std::string> DateFormatOfRecord(MemTable& taFmt, int64_t recordNumber);
// The pattern of a printed date format code (empty for -13 and for a missing date format).
std::string DateFormatForCode(int code, const SheetContext& ctx, MemTable* taFmt);

// The local time here of an event: the day of date plus its time and its zone's adjustment;
// nothing when that is before day 1000 (26 September 1902). Throws ConvertError for a time or
// adjustment that cannot be read.
std::optional<TDateTime> ChronologyLocalTime(TDateTime date, std::string_view time,
                                             std::string_view adjustment, const Locale& loc);

// A span of n days from start to end in words: "1.0 years", "3.2 months", "5.7 weeks",
// "10 days" (numbers cut after one decimal; years from the interval engine with the context's
// days per year and skip set); empty for the same day and for dates outside 1900-2200.
std::string IntervalText(TDateTime start, TDateTime end, double n, const SheetContext& ctx);
// A time difference as total hours and minutes: "3hrs 05mins", "26hrs 00mins".
std::string HoursMinutesText(TDateTime difference);

// The sheet's events and commands over taChr and taZon defined by the functions above. taFmt
// is the options' date formats table (codes other than -10 to -13 print an empty date without
// it); ui asks "Delete Record?" before a row is deleted (without it deleting is not questioned).
// Installs its handlers and removes them when destroyed.
class ChronologySheet {
public:
    ChronologySheet(MemTable& taChr, MemTable& taZon, const SheetContext& ctx,
                    MemTable* taFmt = nullptr, UiServices* ui = nullptr);
    ~ChronologySheet();
    ChronologySheet(const ChronologySheet&) = delete;
    ChronologySheet& operator=(const ChronologySheet&) = delete;

    MemTable& Events() { return taChr_; }
    MemTable& Zones() { return taZon_; }

    // The settings in use: the header's when the context has one.
    ChronologySettings Settings() const;
    // New settings (written into the header when there is one); the visibility rules run.
    void SetSettings(const ChronologySettings& s);
    const ChronologyVisibility& Visibility() const { return visibility_; }
    // Runs the visibility rules; called after every change of a setting, post, cancel, delete.
    void ApplyVisibility();
    // Told whenever the visibility rules have run.
    std::function<void(const ChronologyVisibility&)> onVisibility;

    // Control events.
    void cbUseTimeClick(bool checked);
    void cbZoneClick(bool checked);
    void cbAgeClick(bool checked);
    void cbDosTodayClick(bool checked);
    // True when the page is the grid page; there the "Invert" check box reaches the skip set.
    bool nbChrPageChanged(std::string_view page);

    // A new document: the calculation date becomes today, taChr is emptied and the default
    // format code is read from the shared settings file (-10 without one or without the key).
    void NewDocument(const IniFile* settingsFile);
    // "Set File Default Format": the format code of new rows.
    void SetFileDefaultFormat(int code);

    // "&Edit": shows the entry editor (told whether time and zones are in use), then refreshes
    // the grid and marks the document modified.
    using EditorCall = std::function<void(bool useTime, bool useZones)>;
    void acChrEditExecute(const EditorCall& showEditor);
    // Insert: a new row (defaults as for every new row), then the editor. A failing insert is
    // cancelled and rethrown.
    void InsertEvent(const EditorCall& showEditor);

    // Table events.
    void taChrNewRecord(MemTable& t);
    void taChrCalcFields(MemTable& t);
    void taChrBeforePost(MemTable& t);   // recomputes the derived fields; refuses unreadable times
    void taZonNewRecord(MemTable& t);
    void taZonBeforePost(MemTable& t);   // refuses an adjustment that is not a signed time

    // The pattern of a format code; empty while taChr has no row and none is being inserted.
    std::string FormatForCode(int code);
    // The printed date of the current row (its unsaved state while it is edited).
    std::string ChrDateText(bool approximate, int code);

    // Today with "Always calculate as at today", else the "Calculate as at" date.
    TDateTime CalculationDate() const;
    // Fills TimeDiff, Ago and DayNumber of the printed rows. Pending edits are posted first.
    void PrepareChronologyColumns(TDateTime calculationDate);
    void PrepareChronologyColumns() { PrepareChronologyColumns(CalculationDate()); }
    // Recomputes the local time of every row that refers to a zone (after a zone changed or was
    // deleted); deferred until taChr is posted or cancelled while a row is being edited.
    // Rows whose time cannot be read keep their stored values; returns how many did.
    int RecalcZoneRows();

private:
    void CalcDerived(MemTable& t);
    void AfterChrChange(MemTable& t, bool resort);
    int32_t NextZoneId();

    MemTable& taChr_;
    MemTable& taZon_;
    const SheetContext& ctx_;
    MemTable* taFmt_;
    UiServices* ui_;
    ChronologySettings settings_;
    ChronologyVisibility visibility_;
    bool calculating_ = false;
    bool preparing_ = false;
    bool recalculating_ = false;
    bool zoneRowsPending_ = false;
};

}  // namespace clx
