#pragma once
// TDbc1: the lookup combo. A drop-down whose items carry an integer value, so that a choice is
// stored as a number and shown again as its text. This is the control's model without any
// window: items, selection, text and the rules that build the items.
#include <functional>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "framework/lookup.h"

namespace clx {

class MemTable;

// Raised when the items cannot be built (a table field that is missing or not an integer, a
// named list without the lists); the items are left as they were.
class LookupError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

enum class ComboStyle {
    DropDown,       // typing allowed
    Simple,         // typing allowed, list always shown
    DropDownList,   // choose only
};

// The values left out of the named lists. The lists without a set ("PROCASE", "ENDADJUST",
// "PRINTOR", "ORIENTATION", "DRCR") always show all their items.
struct LookupExclusions {
    std::set<int> xFrequency, xYesNo, xTrueFalse, xCpiQtr, xCpiCity, xGender;
    std::set<int> xDateFmt{dfJanJun1999};
    std::set<int> xDueDateType, xCountry, xMedCat, xCpiRefDate, xValType;
    std::set<int> xFieldPrint{fpSkipRedundant, fpZen};
    std::set<int> xRelDate{rdSpecificSing, rdSpecificMult};
    std::set<int> xDateSource{dsOnReportDates, dsNRepeats, dsSpan, dsSL, dsProgram};
    std::set<int> xDeltaType, xProRata, xIntType, xTierDefault, xY2D;

    // The set of a named-list type; nullptr for the types that have none.
    const std::set<int>* For(TLookupType type) const;
};

class TDbc1 {
public:
    // The named lists are needed only by the named-list types; they must outlive the combo.
    explicit TDbc1(std::string name = {}, const NamedLists* lists = nullptr);

    const std::string& Name() const { return name_; }

    // Where the items come from and what they are built from.
    TLookupType lookupType = ltCSV;
    std::string csvItems;
    MemTable* lookupTable = nullptr;                 // not owned
    std::string lookupTableMenuField, lookupTableValueField;
    LookupExclusions exclusions;
    std::function<void(TDbc1&)> onLoadItems;         // fills the items for ltGeneral
    // Kept with the control only: no form sets the replacement texts and nothing reads the key.
    std::string overideList, lookupKey;
    // While the owning form is being loaded, SetValue always applies.
    bool loading = false;

    ComboStyle Style() const { return style_; }
    void SetStyle(ComboStyle style);
    int DropDownCount() const { return dropDownCount_; }
    void SetDropDownCount(int rows) { dropDownCount_ = rows; }
    // Sorted combos keep their items in text order (case-insensitive); values are unchanged.
    bool Sorted() const { return sorted_; }
    void SetSorted(bool on);

    // The items in display order. AddItem puts an item at its sorted place when Sorted and keeps
    // the selected item selected; ClearItems also clears the selection and the text.
    const std::vector<LookupItem>& Items() const { return items_; }
    void AddItem(std::string text, int value = 0);
    void ClearItems();

    // The selection: an index outside the items selects nothing and empties the text; a valid
    // one shows the item's text.
    int ItemIndex() const { return index_; }
    void SetItemIndex(int index);
    const std::string& Text() const { return text_; }
    // Typing. In the drop-down-list style the text can only name an item: the first item with
    // that text (case-insensitive) is selected, or none.
    void SetText(std::string text);

    // The control's window is created: the items are built and the first one is selected.
    void CreateWnd();
    // Rebuilds the items from the lookup type, then sizes the drop-down.
    void LoadItems();

    // The value of the selected item (0 when none) in the drop-down-list style; in the typing
    // styles the text without spaces read as a decimal integer (0 for empty or unreadable
    // text, -1 for a number outside the 32-bit range).
    int Value() const;
    // For ltCSV, the text list entry at position Value (empty entries counted); empty otherwise.
    std::string ValueString() const;
    // Selects the item whose value is v; -1, and 0 when no item has it, select the first item,
    // any other value no item has selects nothing. The typing styles then show v as a number.
    void SetValue(int v);

private:
    std::string name_;
    const NamedLists* lists_;
    ComboStyle style_ = ComboStyle::DropDownList;
    int dropDownCount_ = 8;
    bool sorted_ = false;
    std::vector<LookupItem> items_;
    int index_ = -1;
    std::string text_;

    std::vector<LookupItem> TableItems() const;
    void SetItems(std::vector<LookupItem> items);
};

}  // namespace clx
