#pragma once
// The Interval sheet: a list of date ranges, each row counted with the interval engine and
// explained in a sentence under the grid.
#include <array>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "engine/interval.h"
#include "files/docheader.h"
#include "platform/memtable.h"
#include "sheets/sheet_context.h"

namespace clx {

inline constexpr const char* kIntervalTableName = "taOne";
inline constexpr const char* kIntervalSectionLabel = "Single";
inline constexpr int kIntervalOutputRecord = soInterval; // output settings record "interval"
inline constexpr const char* kIntervalOutputName = "interval";

// Notebook pages in order, and the page of the grid.
inline constexpr std::array<const char*, 3> kIntervalPages{"CalcMethod", "CalcSkip", "CalcMain"};
inline constexpr int kCalcSkipPage = 1;
inline constexpr const char* kIntervalGridPage = "CalcMain";

inline constexpr const char* kCalcMethodLabel = "Calculation Method";
inline constexpr const char* kSkipFileLabel = "Date Skip-File";
inline constexpr const char* kInvertCaption = "Invert";
inline constexpr const char* kRecalculateCaption = "Recalculate";
// The skip-file button clicked before a file was chosen.
inline constexpr const char* kNoSkipFileToEdit =
    "You can't edit a file here until you click the down-arrow to choose one first.";

// The items of the method list edCalcMethod; the position is the method.
const std::vector<std::string>& CalcMethodItems();

// The sheet's settings kept in the document header.
struct IntervalSettings {
    int calcMethod = cmNormal;   // edCalcMethod, 0..5
    friend bool operator==(const IntervalSettings&, const IntervalSettings&) = default;
};

// The settings at their header offsets; a method outside 0..5 (a damaged record) reads as 0.
IntervalSettings ReadIntervalSettings(const DocumentHeader& h);
void WriteIntervalSettings(DocumentHeader& h, const IntervalSettings& s);

// The fields of the output wizard's delimited export, joined by ";".
std::string_view IntervalCsvFields();

// Gives an empty table the fields and sort order of taOne.
void DefineIntervalFields(MemTable& taOne);
// Creates taOne through the container and defines it.
MemTable& DefineIntervalTables(const TableMaker& make);

// Grid dbgOne in its column order, then the hidden fields with their display formats.
std::vector<SheetColumn> IntervalColumns(const SheetContext& ctx);
// dbgOneCalcCellColors: Days is a result column.
CellColours IntervalCellColours(std::string_view field, bool selected, bool focused);
// Pages Back and Next pass over: the skip page while the method is a financial one.
std::set<int> IntervalPagesPassedOver(int calcMethod);

// The sheet's events and commands over a taOne defined by DefineIntervalFields. Installs its
// handlers on the table and removes them when destroyed.
class IntervalSheet {
public:
    IntervalSheet(MemTable& taOne, const SheetContext& ctx);
    ~IntervalSheet();
    IntervalSheet(const IntervalSheet&) = delete;
    IntervalSheet& operator=(const IntervalSheet&) = delete;

    MemTable& Table() { return table_; }
    // The settings in use: the header's when the context has one.
    IntervalSettings Settings() const;
    // Settings from a loaded document (written into the header when there is one); the rows
    // are recomputed on the next refresh. Throws std::invalid_argument for a method outside 0..5.
    void SetSettings(const IntervalSettings& s);

    // Table events.
    void NewSingle(MemTable& t);
    void taOneCalcFields(MemTable& t);

    // Commands and control events.
    void RecalcSingle();                 // acCalcSingle: any failure is ignored
    // The method list's choice: throws std::invalid_argument for an index outside the list.
    void edCalcMethodClick(int index);
    // True when the page is the grid page (output enabled, grid is the navigator's table);
    // on that page the "Invert" check box reaches the skip set and every row is recomputed.
    bool nbCalcPageChanged(std::string_view page);
    // After any choice in the skip-date file menu.
    void SkipFileChosen() { RecalcSingle(); }

private:
    MemTable& table_;
    const SheetContext& ctx_;
    IntervalSettings settings_;
    bool calculating_ = false;
};

}  // namespace clx
