#pragma once
// The Math sheet: which date lies so many days, months and years after a given one, each row
// on its own, skipping the calculator skip set's dates when that set is active.
#include <array>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "platform/memtable.h"
#include "sheets/sheet_context.h"

namespace clx {

inline constexpr const char* kMathTableName = "taMth";
inline constexpr const char* kMathSectionLabel = "taMth";
inline constexpr int kMathOutputRecord = 1;              // output settings record "math"
inline constexpr const char* kMathOutputName = "math";

inline constexpr std::array<const char*, 4> kMathPages{"MathBlank", "MathMethod", "MathSkip", "MathGrid"};
inline constexpr int kMathMethodPage = 1;
inline constexpr int kMathSkipPage = 2;
inline constexpr const char* kMathGridPage = "MathGrid";

// The fields of the output wizard's delimited export, joined by ";" (CommentsPlus is not a
// field of taMth, so it selects nothing).
std::string_view MathCsvFields();

// Gives an empty table the fields and sort order of taMth.
void DefineMathFields(MemTable& taMth);
// Creates taMth through the container and defines it.
MemTable& DefineMathTables(const TableMaker& make);

// Grid dbgMth in its column order; the period columns share the title "Add Period".
std::vector<SheetColumn> MathColumns(const SheetContext& ctx);
// dbgMthCalcCellColors: DTo is a result column.
CellColours MathCellColours(std::string_view field, bool selected, bool focused);
// Pages Back and Next pass over: the empty method page always, and the skip page while the
// Interval sheet's method is a financial one.
std::set<int> MathPagesPassedOver(int intervalCalcMethod);

// The end date of a row: the period added to the start with the skip set's extension; empty
// for an empty start, a period beyond the integer range or an end outside the calendar.
std::optional<TDateTime> MathEndDate(TDateTime from, int64_t years, int64_t months, int64_t days,
                                     const SkipSet* skip, bool invert, int daysPerYearType);

// The sheet's events and commands over a taMth defined by DefineMathFields. Installs its
// handlers on the table and removes them when destroyed.
class MathSheet {
public:
    MathSheet(MemTable& taMth, const SheetContext& ctx);
    ~MathSheet();
    MathSheet(const MathSheet&) = delete;
    MathSheet& operator=(const MathSheet&) = delete;

    MemTable& Table() { return table_; }

    // Table events.
    void taMthNewRecord(MemTable& t);
    void taMthCalcFields(MemTable& t);

    // acCalcMath: posts a pending edit; any error is ignored.
    void acCalcMathExecute();
    // True when the page is the grid page (output enabled, grid is the navigator's table);
    // on that page the "Invert" check box reaches the skip set and every row is recomputed.
    bool nbMathPageChanged(std::string_view page);
    // Another skip-date file was chosen for the calculator skip set.
    void SkipFileChosen() { table_.Refresh(); }

private:
    MemTable& table_;
    const SheetContext& ctx_;
};

}  // namespace clx
