#pragma once
// What the calculation sheets take from the application that hosts them: regional settings,
// the two date formats, the report date text, the days-per-year option, the calculator skip
// set with its "Invert" check box, and the main window's hooks. The application fills one
// context and keeps it alive as long as the sheets that read it.
#include <ctime>
#include <functional>
#include <memory>
#include <string>

#include "engine/skipset.h"
#include "files/docheader.h"
#include "platform/datetime.h"
#include "platform/format.h"
#include "platform/locale.h"
#include "platform/memtable.h"

namespace clx {

struct SheetContext {
    Locale locale = Locale::Default();
    std::string dateEntryFormat = "mm/dd/yyyy";       // entry controls and plain date columns
    std::string dateDisplayFormat = "ddd mm/dd/yyyy"; // date columns that show the weekday
    // Dates inside descriptions and reports; must give an empty text for a zero date.
    // Unset: the date in dateEntryFormat.
    std::function<std::string(TDateTime)> reportDateText;
    int daysPerYearType = 1;     // the options' days per year for expressing days as years
    SkipSet* skip = nullptr;     // the calculator skip set, shared by the calculator sheets
    bool invert = false;         // the "Invert" check box of the shared skip panel
    // The document header. When set, the sheets read their settings from it and write their
    // results into it (the controls reach it through controlsToHeader); unset, each sheet
    // keeps its settings itself.
    DocumentHeader* header = nullptr;

    // Main window hooks; an unset hook does nothing.
    std::function<void()> markModified;      // sets the document's modified flag
    std::function<void()> fitColumns;        // the window's resize handler (grid columns fit)
    std::function<void()> controlsToHeader;  // copies the controls into the document header
    std::function<void()> headerToControls;  // and back
    std::function<TDateTime()> today;        // unset: the system's local date

    std::string ReportDate(TDateTime d) const {
        if (d == 0) return {};
        if (reportDateText) return reportDateText(d);
        return FormatDateTime(dateEntryFormat, d, locale);
    }
    TDateTime Today() const {
        if (today) return today();
        const std::time_t now = std::time(nullptr);
        std::tm tm{};
        localtime_r(&now, &tm);
        return EncodeDate(tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday);
    }
    void MarkModified() const { if (markModified) markModified(); }
    void FitColumns() const { if (fitColumns) fitColumns(); }
    void ControlsToHeader() const { if (controlsToHeader) controlsToHeader(); }
    void HeaderToControls() const { if (headerToControls) headerToControls(); }
    // The skip set's own invert flag (what Math and Multiple count with).
    bool SetInvert() const { return SkipInvert(skip); }
    // Copies the "Invert" check box into the skip set's invert flag.
    void ApplyInvert() const {
        if (!skip) return;
        if (!skip->ref) skip->ref = std::make_shared<SkipFileRef>();
        skip->ref->invert = invert;
    }
};

// Creates (or finds) a document table by name; the container owns the table and keeps it
// alive at least as long as the sheet that uses it.
using TableMaker = std::function<MemTable&(const std::string& name)>;

// The edit mask of date cells: two digits, two digits, four digits, separators kept.
inline constexpr const char* kDateEditMask = "!99/99/0000;1;_";
inline constexpr const char* kDateCellPicture = "##/##/####";

// One column of a sheet's grid, or a hidden field's display settings. A "~" in a title
// splits it over two lines.
struct SheetColumn {
    std::string field;
    std::string title;
    int width = 0;               // characters
    std::string displayFormat;   // date or number pattern of format.h; empty: plain
    bool visible = true;
    std::string groupTitle;      // shared title above neighbouring columns
    std::string editMask;        // date entry columns
    std::string picture;         // cell picture of date entry columns
    bool checkBox = false;       // boolean columns shown as check boxes
};

inline SheetColumn Column(std::string field, std::string title, int width, std::string displayFormat = {}) {
    SheetColumn c;
    c.field = std::move(field);
    c.title = std::move(title);
    c.width = width;
    c.displayFormat = std::move(displayFormat);
    return c;
}

// Cell colours of the sheets' grids, as the desktop's colour roles.
enum class SheetColour { Window, ButtonFace, Navy, Black, White, Yellow };
struct CellColours {
    SheetColour background = SheetColour::Window;
    SheetColour text = SheetColour::Black;
    friend bool operator==(const CellColours&, const CellColours&) = default;
};

// Ordinary cells: window colour with black text; a selected cell navy with white text, yellow
// text when it has the focus.
inline CellColours StandardCellColours(bool selected, bool focused) {
    if (!selected) return {SheetColour::Window, SheetColour::Black};
    return {SheetColour::Navy, focused ? SheetColour::Yellow : SheetColour::White};
}
// Result cells that the user cannot type in.
inline CellColours ResultCellColours() { return {SheetColour::ButtonFace, SheetColour::Black}; }

// The shared skip panel's note on the calculator skip set.
inline constexpr const char* kSharedSkipNote =
    "Note - this setting is shared by the Interval, Repeat, Math, Multiple and Chronology tools, "
    "but the Plan tool uses its own setting.";

}  // namespace clx
