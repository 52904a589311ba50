// The data module's engine (plan, merge field and word tokens) and the title engines.
#include <filesystem>

#include "output/tokens.h"
#include "platform/format.h"
#include "platform/memtable.h"

namespace clx {

namespace {

std::string ValueText(const Value& v, const Locale& locale) {
    if (const auto* s = std::get_if<std::string>(&v)) return *s;
    if (const auto* i = std::get_if<int64_t>(&v)) return std::to_string(*i);
    if (const auto* d = std::get_if<double>(&v)) return FloatToText(*d, locale);
    if (const auto* b = std::get_if<bool>(&v)) return *b ? "True" : "False";
    return {};
}

// The first n characters, as a string field of that size keeps them.
std::string CutChars(std::string s, int n) {
    if (n <= 0) return s;
    std::size_t i = 0;
    int chars = 0;
    for (; i < s.size(); ++i) {
        if ((static_cast<unsigned char>(s[i]) & 0xC0) == 0x80) continue;
        if (chars == n) break;
        ++chars;
    }
    s.resize(i);
    return s;
}

class FrozenViews {
public:
    explicit FrozenViews(MemTable& t) : t_(t) { t_.FreezeViews(); }
    ~FrozenViews() { t_.ReleaseViews(); }
    FrozenViews(const FrozenViews&) = delete;
    FrozenViews& operator=(const FrozenViews&) = delete;

private:
    MemTable& t_;
};

std::string SkipTitle(const SkipFileState& s, bool fullPath) {
    std::error_code ec;
    if (!s.inUse || s.path.empty() || !std::filesystem::is_regular_file(s.path, ec)) return "None";
    return fullPath ? s.path : std::filesystem::path(s.path).stem().string();
}

}  // namespace

// ---------------------------------------------------------------------------------------------

DataTokenEngine::DataTokenEngine(MemTable& wordTable, Locale locale, UiServices* ui)
    : TokenEngine(std::move(locale), nullptr, ui),
      words_(wordTable),
      plan_(std::make_unique<MemTable>("taPln")),
      alt_(std::make_unique<MemTable>("taAlt")) {
    DefineTokenTable(*plan_);
    DefineTokenTable(*alt_);
    RegisterSource("PLN", *plan_);
    RegisterSource("ALT", *alt_);
    RegisterSource("WRD", words_);
}

DataTokenEngine::~DataTokenEngine() = default;

void DataTokenEngine::SetToken(MemTable& table, std::string_view name, std::string_view value) {
    const int key = table.FieldIndex("Token"), val = table.FieldIndex("Value");
    if (table.State() != TableState::Browse) table.Post();
    // Compared as the field stores it, so a long name finds its row again instead of adding
    // another one each time.
    const std::string n = CutChars(AsciiUpper(name), table.Fields()[static_cast<size_t>(key)].size);
    auto tokenAt = [&](int i) -> const std::string& {
        static const std::string empty;
        const auto* s = std::get_if<std::string>(&table.RowValues(i)[static_cast<size_t>(key)]);
        return s ? *s : empty;
    };
    int row = -1;
    if (!table.IsEmpty() && tokenAt(table.RecNo() - 1) == n) {
        row = table.RecNo() - 1;
    } else {
        for (int i = 0; i < table.RecordCount() && row < 0; ++i)
            if (tokenAt(i) == n) row = i;
    }
    if (row >= 0) {
        table.SetRecNo(row + 1);
        table.Edit();
    } else {
        table.Append();
    }
    try {
        table.FieldAt(key).SetString(n);
        table.FieldAt(val).SetString(std::string(value));
        table.Post();
    } catch (...) {
        table.Cancel();
        throw;
    }
}

void DataTokenEngine::SetPlanToken(std::string_view name, std::string_view value) {
    SetToken(*plan_, name, value);
}

void DataTokenEngine::SetAltToken(std::string_view name, std::string_view value) {
    SetToken(*alt_, name, value);
}

void DataTokenEngine::ClearTokenValues() {
    for (MemTable* t : {plan_.get(), alt_.get()}) {
        if (t->State() != TableState::Browse) t->Cancel();
        t->EmptyTable();
    }
}

std::string DataTokenEngine::WordText(std::string_view name) {
    MemTable& w = words_;
    const int key = w.FieldIndex("Token"), val = w.FieldIndex("Value");
    if (key < 0 || val < 0) return {};
    const std::string n = AsciiUpper(name);
    FrozenViews frozen(w);
    const bool browse = w.State() == TableState::Browse;
    const bool unfilter = browse && w.Filtered();
    const uint64_t remembered = w.RecordId();
    if (unfilter) w.SetFiltered(false);

    auto tokenIs = [&](int i) {
        const auto* s = std::get_if<std::string>(&w.RowValues(i)[static_cast<size_t>(key)]);
        return s && *s == n;
    };
    int row = -1;
    if (!w.IsEmpty() && w.RecNo() > 0 && tokenIs(w.RecNo() - 1)) {
        row = w.RecNo() - 1;
    } else {
        for (int i = 0; i < w.RecordCount() && row < 0; ++i)
            if (tokenIs(i)) row = i;
    }
    std::string result;
    uint64_t found = 0;
    if (row >= 0) {
        result = ValueText(w.RowValues(row)[static_cast<size_t>(val)], GetLocale());
        found = w.RowRecordId(row);
    }
    if (unfilter) w.SetFiltered(true);
    // The found row becomes current, so asking again for the same word costs one comparison;
    // a row being edited is never moved away from.
    if (browse) {
        if (!(found && w.GotoRecordId(found)) && remembered) w.GotoRecordId(remembered);
    }
    return result;
}

std::string DataTokenEngine::WordFormat(std::string_view name, const std::vector<std::string>& args) {
    const std::string pattern = WordText(name);
    return pattern.empty() ? std::string() : FormatWithArguments(pattern, args);
}

int DataTokenEngine::CustomTextMerge(const std::function<void(DataTokenEngine&)>& prepare,
                                     MemTable* mergeFields, MemTable& templateTable,
                                     std::string_view templateField, RichText& result) {
    // The merge field values belong to this merge only.
    struct AltCleared {
        MemTable& alt;
        ~AltCleared() {
            try {
                if (alt.State() != TableState::Browse) alt.Cancel();
                alt.EmptyTable();
            } catch (...) {
            }
        }
    } cleared{*alt_};

    if (prepare) prepare(*this);
    if (mergeFields && !mergeFields->IsEmpty()) {
        alt_->EmptyTable();
        const int n = mergeFields->FieldIndex("Name"), v = mergeFields->FieldIndex("Value");
        if (n >= 0) {
            for (int i = 0; i < mergeFields->RecordCount(); ++i) {
                const auto& row = mergeFields->RowValues(i);
                SetAltToken(TokenForm(ValueText(row[static_cast<size_t>(n)], GetLocale()), Delimiters()),
                            v >= 0 ? ValueText(row[static_cast<size_t>(v)], GetLocale()) : std::string());
            }
        }
    }
    return MergeTemplate(templateTable, templateField, result);
}

// ---------------------------------------------------------------------------------------------

std::string TitleTokenProvider::TokenValue(const TToken& token) {
    try {
        const std::string& t = token.Text;
        if (t == "CalcMethod") return values_.CalcMethod();
        if (t == "SkipInfo") return SkipTitle(values_.CalculatorSkipFile(), false);
        if (t == "SkipFile") return SkipTitle(values_.CalculatorSkipFile(), true);
        if (t == "PlanSkipInfo") return SkipTitle(values_.PlanSkipFile(), false);
        if (t == "PlanSkipFile") return SkipTitle(values_.PlanSkipFile(), true);
        if (t == "d") return values_.ReportDateTextShort(values_.Today());
        if (t == "dd") return values_.ReportDateText(values_.Today());
        if (t == "@") return values_.ReportDateTextShort(values_.AsAtDate());
        if (t == "@@") return values_.ReportDateText(values_.AsAtDate());
        if (t == "PlnName") return values_.PlanName();
    } catch (...) {
    }
    return {};
}

int TitleMerge(const RichText& title, RichText& result, TokenProvider* provider,
               const Locale& locale, UiServices* ui, std::function<TDateTime()> clock) {
    TokenEngine engine(locale, provider, ui);
    engine.SetDelimiters('%', '%');
    if (clock) engine.SetClock(std::move(clock));
    if (&result != &title) result = title;
    return engine.MergeRichText(result, 1);
}

}  // namespace clx
