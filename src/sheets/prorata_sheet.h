#pragma once
// The Pro-rata sheet: one amount shared between parties in proportion to the (weighted) days
// each held within a billing period, with a written explanation per party and a remainder row
// that takes what rounding left over.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "files/docheader.h"
#include "platform/memtable.h"
#include "sheets/sheet_context.h"

namespace clx {

inline constexpr const char* kProRataTableName = "taPro";
inline constexpr const char* kProRataSectionLabel = "taPro";
inline constexpr int kProRataOutputRecord = soProRata;
inline constexpr const char* kProRataOutputName = "pro-rata";
inline constexpr const char* kProRataPrintFormat = "RTF";
inline constexpr int kProRataNameSize = 64;
inline constexpr int kProRataCalculationSize = 512;

// Notebook pages in order.
enum ProRataPage : int { ppIntro = 0, ppBill = 1, ppSkip = 2, ppInfo = 3, ppResult = 4 };
inline constexpr std::array<const char*, 5> kProRataPages{"ProIntro", "ProBill", "ProSkip", "ProInfo",
                                                          "ProResult"};

inline constexpr const char* kRemainderRowName = "Fraction";
inline constexpr const char* kCountFirstDayCaption = "Count first day";
inline constexpr const char* kCountLastDayCaption = "Count last day";
inline constexpr const char* kCountFirstDayHint =
    "If ticked then the First Date will be counted as day one, otherwise the day after will be treated as day one.";
inline constexpr const char* kCountLastDayHint =
    "If ticked then the Last Date will be counted as a day, otherwise the day before it will be treated as the last day.";
inline constexpr const char* kProRataAmountMask = "##########.##";

// A period date counts as set only above this serial (30 December 1899 + 1000 days).
inline constexpr TDateTime kPeriodDateSetAbove = 1000;

// The sheet's settings kept in the document header. The day-count method is the Interval
// sheet's (edCalcMethod) and the invert flag the shared skip panel's.
struct ProRataSettings {
    double amount = 0;          // edProAmt
    TDateTime periodFrom = 0;   // edProDFrom
    TDateTime periodTo = 0;     // edProDTo
    bool includeFirst = false;  // cbProIncludeFirst
    bool includeLast = false;   // cbProIncludeLast
    friend bool operator==(const ProRataSettings&, const ProRataSettings&) = default;
};

// Read as stored; Write and Check refuse an amount that is not a number or does not fit the
// entry's mask, and dates outside the calendar, with std::invalid_argument naming the setting.
ProRataSettings ReadProRataSettings(const DocumentHeader& h);
void WriteProRataSettings(DocumentHeader& h, const ProRataSettings& s);
void CheckProRataSettings(const ProRataSettings& s);

// The fields of the delimited export and the print command's default field list.
std::string_view ProRataCsvFields();

// Gives an empty table the fields and sort order of taPro (by Rem: the remainder row last).
void DefineProRataFields(MemTable& taPro);
// Creates taPro through the container and defines it.
MemTable& DefineProRataTables(const TableMaker& make);

// Grid dbgPro as it is shown on a page: Weight on "ProInfo", Days, Share and % elsewhere.
std::vector<SheetColumn> ProRataColumns(const SheetContext& ctx, int page);
// The grid can be typed in only on "ProInfo"; on "ProResult" every cell is a result cell.
bool ProRataGridEditable(int page);
CellColours ProRataCellColours(int page, bool selected, bool focused);

// What one party's row counts.
struct ProRataRowResult {
    std::optional<int32_t> days;          // empty when the row lacks a date
    std::optional<TDateTime> actFrom;     // first and last day actually counted
    std::optional<TDateTime> actTo;
    double weightedDays = 0;              // Weight x Days, cut to 5 decimals
};

// The row calculation: the party's dates (taken in order) clipped to the period's set dates,
// counted by IntervalCalc with the method, the include flags, the context's days-per-year
// type, the calculator skip set and the "Invert" check box. A party that holds nothing inside
// the period counts 0 days.
ProRataRowResult ProRataRowDays(TDateTime dFrom, TDateTime dTo, int64_t weight, const ProRataSettings& s,
                                int calcMethod, const SheetContext& ctx);

// The sheet's events and commands over a taPro defined by DefineProRataFields. Installs its
// handlers on the table and removes them when destroyed.
class ProRataSheet {
public:
    ProRataSheet(MemTable& taPro, const SheetContext& ctx);
    ~ProRataSheet();
    ProRataSheet(const ProRataSheet&) = delete;
    ProRataSheet& operator=(const ProRataSheet&) = delete;

    MemTable& Table() { return table_; }
    // The settings in use: the header's when the context has one.
    ProRataSettings Settings() const;
    void SetSettings(const ProRataSettings& s);
    // The Interval sheet's method: the header's when there is one (a damaged value reads as
    // normal counting), else the one set here.
    int CalcMethod() const;
    void SetCalcMethod(int method);   // throws std::invalid_argument outside 0..5

    // Table events.
    void NewProRata(MemTable& t);           // new-row defaults
    void taProCalcFields(MemTable& t);      // Days, ActDFrom, ActDTo
    void taProBeforePost(MemTable& t);      // WeightedDays

    // The share calculation. Throws std::invalid_argument when the amount is not a number.
    void ProRataShares();
    // Deletes every remainder row.
    void DeleteRemainderRows();
    // "ProInfo" drops the remainder rows; "ProResult" takes the "Invert" check box and shares.
    void nbProPageChanged(int page);

private:
    MemTable& table_;
    const SheetContext& ctx_;
    ProRataSettings settings_;
    int calcMethod_ = 0;
    bool calculating_ = false;
};

}  // namespace clx
