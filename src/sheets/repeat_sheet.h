#pragma once
// The Repeat sheet: recurring series of dated rows with an amount each and a running balance
// over all rows in date order. Series are inserted from the guided settings through the series
// generator and deleted by series number.
#include <array>
#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "engine/series.h"
#include "files/docheader.h"
#include "platform/memtable.h"
#include "platform/ui.h"
#include "sheets/sheet_context.h"

namespace clx {

inline constexpr const char* kRepeatTableName = "taRcr";
inline constexpr const char* kRepeatSectionLabel = "Recurring";
inline constexpr int kRepeatOutputRecord = soRepeat;
inline constexpr const char* kRepeatOutputName = "repeat";
inline constexpr const char* kRepeatPrintFormat = "RTF";
inline constexpr int kRepeatCommentsSize = 64;

// Notebook pages in order.
enum RepeatPage : int {
    rpBlank = 0, rpSpanOrRepeat = 1, rpInterval = 2, rpFirstDate = 3, rpFinalDateOrRepeats = 4,
    rpDateOptions = 5, rpSynch = 6, rpDescription = 7, rpAmount = 8, rpSkip = 9, rpResult = 10,
};
inline constexpr std::array<const char*, 11> kRepeatPages{
    "RcrBlank", "RcrSpanOrRepeat", "RcrInterval", "RcrFirstDate", "RcrFinalDateOrRepeats",
    "RcrDateOptions", "RcrSynch", "RcrDescription", "RcrAmount", "RcrSkip", "RcrResult"};
inline constexpr const char* kRepeatGridPage = "RcrResult";

inline constexpr const char* kInsertSeriesCaption = "Insert Series";
inline constexpr const char* kDeleteSeriesCaption = "Delete Series";
inline constexpr const char* kClearSeriesQuestion = "Clear all the existing dates first";

// The style list rgRcrStyle; the position is the style.
inline constexpr std::array<const char*, 2> kRepeatStyleItems{
    "All dates in span - eg every pay-day in 2004", "Repeats - eg 12 loan payments"};

// The Description items before the stock notes of the options are first read.
inline constexpr std::array<const char*, 4> kDefaultSeriesDescriptions{
    "Date No. %n", "Date No. %n of %c", "Repayment %n (of %c)", "Repayment %n (%r remaining)"};

// The most rows one Insert Series adds; a larger series is refused with a message.
inline constexpr int kMaxSeriesRows = 100000;

// The sheet's settings kept in the document header.
struct RepeatSettings {
    TDateTime firstDate = 0;        // lmClipLo
    TDateTime finalDate = 0;        // lmClipHi (span style)
    TDateTime synchDate = 0;        // lmSynch, 0 = none
    TFrequency frequency = fqNWeek; // lmFreq
    int32_t units = 2;              // lmUnits, 1..9999
    bool alwaysFirst = false;       // lmAlwaysFirst
    bool alwaysLast = false;        // lmAlwaysLast
    std::string description;        // edRcrSeriesTitle, at most 80 characters
    int32_t seriesCounter = 0;      // number of the last series inserted
    uint8_t style = kSeriesSpan;    // rgRcrStyle: 0 span, 1 repeats
    bool enterAmount = false;       // cbRcrAmount
    int32_t repeatCount = 0;        // edNumRep, 0..10000
    double amount = 0;              // edRcrAmount
    friend bool operator==(const RepeatSettings&, const RepeatSettings&) = default;
};

// Read as stored (a damaged record is left for Insert Series to report); Write and
// CheckRepeatSettings refuse values outside the controls' ranges with std::invalid_argument
// naming the setting.
RepeatSettings ReadRepeatSettings(const DocumentHeader& h);
void WriteRepeatSettings(DocumentHeader& h, const RepeatSettings& s);
void CheckRepeatSettings(const RepeatSettings& s);
// What a new document starts with: first date today, final date today + 183, no synchronising
// date, every 2 weeks, neither "always include", series counter 0; the rest is kept.
void ApplyNewRepeatDefaults(RepeatSettings& s, TDateTime today);

// The fields of the delimited export and the print command's default field list.
std::string_view RepeatCsvFields();

// Gives an empty table the fields and sort order of taRcr.
void DefineRepeatFields(MemTable& taRcr);
// Creates taRcr through the container and defines it.
MemTable& DefineRepeatTables(const TableMaker& make);

// Grid dbgRcr in its column order, then the hidden fields. Amount and Balance get the currency
// picture of the locale.
std::vector<SheetColumn> RepeatColumns(const SheetContext& ctx);

// Row colours by series.
struct RgbColour {
    uint8_t red = 0, green = 0, blue = 0;
    friend bool operator==(const RgbColour&, const RgbColour&) = default;
};
inline constexpr RgbColour kFocusedCellColour{0, 0, 128};
// The palette colour of a series: number modulo 10 (negative numbers counted the same way).
RgbColour SeriesColour(int64_t series);
// The colour of a cell: nullopt (the system window colour) for an empty table, navy for the
// focused cell, the series colour otherwise.
std::optional<RgbColour> RepeatCellColour(std::optional<int64_t> series, bool focused);

// Pages Back and Next pass over: 5 and 6 in repeats style, 9 unless the frequency skips dates.
std::set<int> RepeatPagesPassedOver(uint8_t style, TFrequency frequency);
// The caption beside the Units entry; empty when the entry is hidden (frequencies other than
// 1 to 5).
std::string_view RepeatUnitsLabel(TFrequency frequency);

// The description of row i (0-based) of n: every "%n" by i + 1, then "%q" by n, then "%r" by
// n - i - 1; everything else, "%c" included, as typed.
std::string ExpandSeriesDescription(std::string_view pattern, int index, int count);

// The stock notes: the Format column of taAno, one item per row in row order.
std::vector<std::string> StockSeriesDescriptions(const MemTable& taAno);

// The sheet's events and commands over a taRcr defined by DefineRepeatFields. Installs its
// handlers on the table and removes them when destroyed.
class RepeatSheet {
public:
    RepeatSheet(MemTable& taRcr, const SheetContext& ctx);
    ~RepeatSheet();
    RepeatSheet(const RepeatSheet&) = delete;
    RepeatSheet& operator=(const RepeatSheet&) = delete;

    MemTable& Table() { return table_; }
    // The settings in use: the header's when the context has one.
    RepeatSettings Settings() const;
    // Checked as CheckRepeatSettings; written into the header when there is one.
    void SetSettings(const RepeatSettings& s);

    // Table event: Day is the short day name of Date.
    void taRcrCalcFields(MemTable& t);

    // Insert Series: returns the number of rows added. A generator failure, or a series of
    // more than kMaxSeriesRows rows, is shown as an error and leaves the table unchanged; the
    // series counter has advanced either way.
    int InsertSeries(UiServices& ui);
    // Delete Series: asks, then deletes every row of the current row's series; true when the
    // rows were deleted. Nothing happens on an empty table.
    bool DeleteSeries(UiServices& ui);
    // Running balances over all rows in date order; ends on the first row.
    void Recalculate();
    // The "New" button: asks whether to clear the rows, clears them on Yes (true). The caller
    // then shows the first page.
    bool NewRepeat(UiServices& ui);

    // The Description combo's items: the defaults until the stock notes are first read.
    const std::vector<std::string>& DescriptionItems() const { return descriptions_; }
    void RefillDescriptions(const MemTable& taAno) { descriptions_ = StockSeriesDescriptions(taAno); }

private:
    MemTable& table_;
    const SheetContext& ctx_;
    RepeatSettings settings_;
    std::vector<std::string> descriptions_;

    void AppendSeriesRows(std::vector<std::vector<Value>> rows);
};

}  // namespace clx
