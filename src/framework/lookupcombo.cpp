#include "framework/lookupcombo.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <limits>
#include <optional>
#include <utility>

#include <fmt/format.h>

#include "platform/memtable.h"

namespace clx {

namespace {

bool LessText(const std::string& a, const std::string& b) {
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) < std::tolower(static_cast<unsigned char>(y));
    });
}

bool SameText(const std::string& a, const std::string& b) {
    return !LessText(a, b) && !LessText(b, a);
}

bool FitsInt(int64_t v) {
    return v >= std::numeric_limits<int>::min() && v <= std::numeric_limits<int>::max();
}

// A decimal integer with an optional sign and nothing else; nullopt when the text is not one,
// and an out-of-range flag when it is one that does not fit 64 bits.
std::optional<int64_t> ParseInteger(std::string_view s, bool& outOfRange) {
    outOfRange = false;
    if (!s.empty() && s.front() == '+') {
        s.remove_prefix(1);
        if (!s.empty() && (s.front() == '+' || s.front() == '-')) return std::nullopt;
    }
    int64_t v = 0;
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    if (end != s.data() + s.size()) return std::nullopt;
    if (ec == std::errc::result_out_of_range) {
        outOfRange = true;
        return std::nullopt;
    }
    if (ec != std::errc()) return std::nullopt;
    return v;
}

std::string CellText(const Value& v) {
    switch (v.index()) {
    case 1: return std::to_string(std::get<int64_t>(v));
    case 2: return fmt::format("{}", std::get<double>(v));
    case 3: return std::get<bool>(v) ? "True" : "False";
    case 4: return std::get<std::string>(v);
    default: return {};
    }
}

// The integer a value field holds; nullopt when it holds something else or a number that does
// not fit 32 bits.
std::optional<int> CellInteger(const Value& v) {
    switch (v.index()) {
    case 0: return 0;
    case 1: {
        const int64_t i = std::get<int64_t>(v);
        if (!FitsInt(i)) return std::nullopt;
        return static_cast<int>(i);
    }
    case 2: {
        const double d = std::round(std::get<double>(v));
        if (!(d >= std::numeric_limits<int>::min() && d <= std::numeric_limits<int>::max()))
            return std::nullopt;
        return static_cast<int>(d);
    }
    case 3: return std::get<bool>(v) ? 1 : 0;
    default: {
        std::string s = std::get<std::string>(v);
        s.erase(std::remove(s.begin(), s.end(), ' '), s.end());
        if (s.empty()) return 0;
        bool outOfRange = false;
        const auto i = ParseInteger(s, outOfRange);
        if (!i || !FitsInt(*i)) return std::nullopt;
        return static_cast<int>(*i);
    }
    }
}

}  // namespace

const std::set<int>* LookupExclusions::For(TLookupType type) const {
    switch (type) {
    case ltFrequency: return &xFrequency;
    case ltYesNo: return &xYesNo;
    case ltTrueFalse: return &xTrueFalse;
    case ltCpiQtr: return &xCpiQtr;
    case ltCpiCity: return &xCpiCity;
    case ltGender: return &xGender;
    case ltDateFmt: return &xDateFmt;
    case ltDueDateType: return &xDueDateType;
    case ltCountry: return &xCountry;
    case ltMedCat: return &xMedCat;
    case ltCpiRefDate: return &xCpiRefDate;
    case ltValType: return &xValType;
    case ltFieldPrint: return &xFieldPrint;
    case ltRelDate: return &xRelDate;
    case ltDateSource: return &xDateSource;
    case ltDeltaType: return &xDeltaType;
    case ltProRata: return &xProRata;
    case ltIntType: return &xIntType;
    case ltTierDefault: return &xTierDefault;
    case ltY2D: return &xY2D;
    default: return nullptr;
    }
}

TDbc1::TDbc1(std::string name, const NamedLists* lists) : name_(std::move(name)), lists_(lists) {}

void TDbc1::SetStyle(ComboStyle style) {
    style_ = style;
    // A choose-only combo shows nothing but its selected item.
    if (style_ == ComboStyle::DropDownList) SetItemIndex(index_);
}

void TDbc1::SetSorted(bool on) {
    sorted_ = on;
    if (!on) return;
    // Sort positions, so that the selected item can be found again.
    std::vector<size_t> order(items_.size());
    for (size_t i = 0; i < order.size(); ++i) order[i] = i;
    std::stable_sort(order.begin(), order.end(),
                     [&](size_t a, size_t b) { return LessText(items_[a].text, items_[b].text); });
    std::vector<LookupItem> sorted;
    int index = -1;
    for (size_t k = 0; k < order.size(); ++k) {
        if (static_cast<int>(order[k]) == index_) index = static_cast<int>(k);
        sorted.push_back(std::move(items_[order[k]]));
    }
    items_ = std::move(sorted);
    index_ = index;
}

void TDbc1::AddItem(std::string text, int value) {
    auto at = items_.end();
    if (sorted_)
        at = std::upper_bound(items_.begin(), items_.end(), text,
                              [](const std::string& t, const LookupItem& item) { return LessText(t, item.text); });
    const int pos = static_cast<int>(at - items_.begin());
    items_.insert(at, LookupItem{value, std::move(text)});
    if (index_ >= pos) ++index_;
}

void TDbc1::ClearItems() {
    items_.clear();
    index_ = -1;
    text_.clear();
}

void TDbc1::SetItems(std::vector<LookupItem> items) {
    ClearItems();
    for (auto& item : items) AddItem(std::move(item.text), item.value);
}

void TDbc1::SetItemIndex(int index) {
    if (index >= 0 && index < static_cast<int>(items_.size())) {
        index_ = index;
        text_ = items_[index].text;
    } else {
        index_ = -1;
        text_.clear();
    }
}

void TDbc1::SetText(std::string text) {
    if (style_ == ComboStyle::DropDownList) {
        const auto it = std::find_if(items_.begin(), items_.end(),
                                     [&](const LookupItem& item) { return SameText(item.text, text); });
        SetItemIndex(it == items_.end() ? -1 : static_cast<int>(it - items_.begin()));
        return;
    }
    index_ = -1;
    text_ = std::move(text);
}

void TDbc1::CreateWnd() {
    LoadItems();
    SetItemIndex(0);
}

std::vector<LookupItem> TDbc1::TableItems() const {
    const MemTable& table = *lookupTable;
    const int textField = table.FieldIndex(lookupTableMenuField);
    const int valueField = table.FieldIndex(lookupTableValueField);
    for (const auto& [index, field] : {std::pair{textField, &lookupTableMenuField},
                                       std::pair{valueField, &lookupTableValueField}})
        if (index < 0)
            throw LookupError(fmt::format("Lookup list '{}': table '{}' has no field '{}'", name_,
                                          table.Name(), *field));
    std::vector<LookupItem> items;
    for (int row = 0; row < table.RecordCount(); ++row) {
        const auto& values = table.RowValues(row);
        const auto value = CellInteger(values[valueField]);
        if (!value)
            throw LookupError(fmt::format(
                "Lookup list '{}': field '{}' of table '{}' holds '{}' in row {}, not a whole number",
                name_, lookupTableValueField, table.Name(), CellText(values[valueField]), row + 1));
        items.push_back({*value, CellText(values[textField])});
    }
    return items;
}

void TDbc1::LoadItems() {
    switch (lookupType) {
    case ltGeneral:
        ClearItems();
        if (onLoadItems) onLoadItems(*this);
        break;
    case ltItems: {
        std::vector<LookupItem> items = items_;
        for (size_t i = 0; i < items.size(); ++i) items[i].value = static_cast<int>(i);
        SetItems(std::move(items));
        break;
    }
    case ltTable:
        SetItems(lookupTable ? TableItems() : std::vector<LookupItem>{});
        break;
    case ltCSV: {
        // An empty entry keeps its position, so its value is never offered.
        const auto entries = SplitCsv(csvItems, true);
        std::vector<LookupItem> items;
        for (size_t k = 0; k < entries.size(); ++k)
            if (!entries[k].empty()) items.push_back({static_cast<int>(k), entries[k]});
        SetItems(std::move(items));
        break;
    }
    case ltPrintUnit:
        ClearItems();
        break;
    default: {
        const char* list = NamedListOf(lookupType);
        if (!list)
            throw LookupError(fmt::format("Lookup list '{}': unknown lookup type {}", name_,
                                          static_cast<int>(lookupType)));
        if (!lists_)
            throw LookupError(fmt::format("Lookup list '{}': the named list '{}' is not available",
                                          name_, list));
        static const std::set<int> none;
        const std::set<int>* excluded = exclusions.For(lookupType);
        std::vector<LookupItem> items;
        FillNamedList(*lists_, list, items, excluded ? *excluded : none);
        SetItems(std::move(items));
        break;
    }
    }
    const int count = static_cast<int>(items_.size());
    dropDownCount_ = count > dropDownCount_ && count <= 30 ? count : 30;
}

int TDbc1::Value() const {
    if (style_ == ComboStyle::DropDownList) {
        if (index_ < 0) return 0;
        return index_ < static_cast<int>(items_.size()) ? items_[index_].value : -1;
    }
    std::string s = text_;
    s.erase(std::remove(s.begin(), s.end(), ' '), s.end());
    bool outOfRange = false;
    const auto v = ParseInteger(s, outOfRange);
    if (outOfRange || (v && !FitsInt(*v))) return -1;
    return v ? static_cast<int>(*v) : 0;
}

std::string TDbc1::ValueString() const {
    if (lookupType != ltCSV) return {};
    const int v = Value();
    const auto entries = SplitCsv(csvItems, true);
    return v >= 0 && v < static_cast<int>(entries.size()) ? entries[v] : std::string{};
}

void TDbc1::SetValue(int v) {
    if (v == Value() && !loading && !text_.empty()) return;
    if (style_ != ComboStyle::Simple) {
        int index = 0;
        if (v != -1) {
            const auto it = std::find_if(items_.begin(), items_.end(),
                                         [&](const LookupItem& item) { return item.value == v; });
            index = it != items_.end() ? static_cast<int>(it - items_.begin()) : v == 0 ? 0 : -1;
        }
        SetItemIndex(index);
    }
    if (style_ != ComboStyle::DropDownList) text_ = std::to_string(v);
}

}  // namespace clx
