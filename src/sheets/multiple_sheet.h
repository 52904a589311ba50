#pragma once
// The Multiple sheet: a list of dates cut into consecutive spans, each counted with the
// interval engine, with totals in the grid's footer and an optional amount shared over the
// spans in proportion to their days.
#include <array>
#include <cstdint>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "files/docheader.h"
#include "platform/memtable.h"
#include "platform/ui.h"
#include "sheets/sheet_context.h"

namespace clx {

inline constexpr const char* kMultipleDatesTableName = "taMin";
inline constexpr const char* kMultipleDatesSectionLabel = "Multi Dates";
inline constexpr const char* kMultipleTableName = "taMul";
inline constexpr const char* kMultipleSectionLabel = "Multiple";
inline constexpr int kMultipleOutputRecord = soMultiple; // output settings record "multiple"
inline constexpr const char* kMultipleOutputName = "multiple";

inline constexpr std::array<const char*, 6> kMultiplePages{"MulIntro", "MulSkip", "Dates",
                                                           "Options", "ProRata", "Result"};
inline constexpr const char* kMultipleDatesPage = "Dates";
inline constexpr const char* kMultipleResultPage = "Result";

inline constexpr const char* kNeedTwoDatesText = "Need at least two different dates!";
inline constexpr const char* kClearDatesQuestion = "Clear list of dates?";
inline constexpr const char* kSpanComment = "Inclusive";
inline constexpr size_t kMulDatesTextSize = 255;

// Captions, hints and list items of the options.
inline constexpr const char* kCountFirstDateCaption = "Count First Date";
inline constexpr const char* kCountFirstDateHint =
    "If ticked then the First Date will be counted as day one, otherwise the day after will be "
    "treated as day one.";
inline constexpr const char* kCountLastDateCaption = "Count Last Date";
inline constexpr const char* kCountLastDateHint =
    "If ticked then the Last Date will be counted as a day, otherwise the day before it will be "
    "treated as the last day.";
inline constexpr const char* kMiddleDatesLabel = "Middle Dates";
inline constexpr std::array<const char*, 2> kMiddleDatesItems{
    "Middle dates are FROM (start a new date span)", "Middle dates are TO (end the previous date span)"};
inline constexpr const char* kRoundTotalsCaption = "Round Totals";
inline constexpr const char* kRoundTotalsHint =
    "Because of rounding errors, the sum of each row will might not add up to the correct total "
    "of number of weeks and years. Check this box to force a match, but potentially reduce "
    "accuracy.";
inline constexpr const char* kShareAmountCaption = "Pro-Rata an amount";
inline constexpr const char* kAmountLabel = "Amount";
inline constexpr const char* kAmountPicture = "#########.##";

// The sheet's settings kept in the document header.
struct MultipleSettings {
    bool countFirst = false;     // cbFirstDayMulti
    bool countLast = false;      // cbLastdayMulti
    int middleDates = 0;         // cbMiddleDatesAreTo: 0 FROM, 1 TO
    bool roundTotals = false;    // cbMulRdg
    bool shareAmount = false;    // cbProRataAMt
    double amount = 0;           // edProRataAmt
    friend bool operator==(const MultipleSettings&, const MultipleSettings&) = default;
};

// The results every calculation writes into the document header.
struct MultipleResults {
    std::string datesText;       // MulDatesText
    TDateTime firstStart = 0;    // MulFirstStart
    TDateTime lastEnd = 0;       // MulLastEnd
    int32_t totalDays = 0;       // MulTotalDays
    int64_t totalWeeks = 0;      // MulTotalWeeks, times 10000
    int64_t totalYears = 0;      // MulTotalYears, times 10000
    friend bool operator==(const MultipleResults&, const MultipleResults&) = default;
};

// The footer texts of dbgMul (also the totals row of the report).
struct MultipleFooter {
    std::string dFrom, dTo, days, weeks, years, amount, comments;
    friend bool operator==(const MultipleFooter&, const MultipleFooter&) = default;
};

// The settings and results at their header offsets. A middle-dates byte other than 1 reads as
// FROM. A dates text the record cannot hold (over 255 characters or outside its code page) is
// stored empty.
MultipleSettings ReadMultipleSettings(const DocumentHeader& h);
void WriteMultipleSettings(DocumentHeader& h, const MultipleSettings& s);
MultipleResults ReadMultipleResults(const DocumentHeader& h);
void WriteMultipleResults(DocumentHeader& h, const MultipleResults& r);

// The largest amount the sheet shares (in ten-thousandths it stays an exact integer).
inline constexpr double kMaxShareAmount = 1e11;

// The fields of the output wizard's delimited export of taMul, joined by ";".
std::string_view MultipleCsvFields();

// Give empty tables the fields and sort orders of taMin and taMul.
void DefineMultipleDateFields(MemTable& taMin);
void DefineMultipleFields(MemTable& taMul);
struct MultipleTables {
    MemTable& taMin;
    MemTable& taMul;
};
// Creates taMin and taMul through the container and defines them.
MultipleTables DefineMultipleTables(const TableMaker& make);

// Grid dbgMin of the dates.
std::vector<SheetColumn> MultipleDateColumns(const SheetContext& ctx);
// Grid dbgMul of the spans; Amount is visible only while an amount is shared.
std::vector<SheetColumn> MultipleColumns(const SheetContext& ctx, bool amountVisible);
// dbgMulCalcCellColors: every cell is a result cell.
inline CellColours MultipleCellColours() { return ResultCellColours(); }
// Back and Next visit every page.
inline std::set<int> MultiplePagesPassedOver() { return {}; }

// The include flags of span k (1-based) of n - 1 spans between n dates.
struct SpanIncludes {
    bool first = false, last = false;
    friend bool operator==(const SpanIncludes&, const SpanIncludes&) = default;
};
SpanIncludes MultipleSpanIncludes(int k, int dateCount, const MultipleSettings& s);

// The sheet's events and calculation over taMin and taMul defined by the functions above.
// Installs its handlers (and a view that marks the document modified on edits of taMin) and
// removes them when destroyed.
class MultipleSheet {
public:
    MultipleSheet(MemTable& taMin, MemTable& taMul, const SheetContext& ctx);
    ~MultipleSheet();
    MultipleSheet(const MultipleSheet&) = delete;
    MultipleSheet& operator=(const MultipleSheet&) = delete;

    MemTable& Dates() { return taMin_; }
    MemTable& Spans() { return taMul_; }

    // The settings in use: the header's when the context has one.
    MultipleSettings Settings() const;
    // New settings (written into the header when there is one). Throws std::invalid_argument
    // for a middle-dates index other than 0 or 1.
    void SetSettings(const MultipleSettings& s);
    // The results of the last calculation (with a header: as dbgMulUpdateFooter last read them).
    const MultipleResults& Results() const { return results_; }
    // Results of a loaded document without a header; call dbgMulUpdateFooter afterwards.
    void SetResults(const MultipleResults& r) { results_ = r; }

    // The calculation: refills taMul, the results (also into the header), the amounts and the
    // footer. Throws
    // std::invalid_argument, after everything else is done, when the amount to share is not a
    // number or beyond kMaxShareAmount (no amount is shared then).
    void RecalcDates();
    // acNewMultipleDate and sbNewMul: true when the user agreed to clear the dates.
    bool NewMultipleDate(UiServices& ui);
    // Runs the calculation when the result page is shown; true on that (last) page, where
    // "Round Totals" is shown and output is enabled.
    bool nbMulPageChanged(std::string_view page);

    // The footer texts from the results (with a header: from the header's results, so it also
    // serves a document just loaded).
    void dbgMulUpdateFooter();
    const MultipleFooter& Footer() const { return footer_; }
    bool AmountColumnVisible() const { return amountVisible_; }
    // Span rows appended since the sheet was created (their Order is minus this count).
    int64_t SpanRowCount() const { return spanRows_; }

private:
    class EditWatcher;
    void AppendMessageRow();
    void AppendSpan(TDateTime start, TDateTime end, int64_t& days, int64_t& weeks, int64_t& years);
    void ShareAmount(int64_t sumDays, double amount);

    MemTable& taMin_;
    MemTable& taMul_;
    const SheetContext& ctx_;
    MultipleSettings settings_;
    MultipleResults results_;
    MultipleFooter footer_;
    bool amountVisible_ = false;
    bool inFooter_ = false;
    int64_t spanRows_ = 0;
    std::unique_ptr<EditWatcher> watcher_;
};

}  // namespace clx
