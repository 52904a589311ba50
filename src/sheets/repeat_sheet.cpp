#include "sheets/repeat_sheet.h"

#include <cmath>
#include <cstdint>
#include <stdexcept>

#include "platform/format.h"
#include "sheets/money.h"

namespace clx {

namespace {

constexpr int kMaxUnits = 9999;
constexpr int kMaxRepeats = 10000;
constexpr size_t kDescriptionCapacity = 80;

void ReplaceAll(std::string& s, std::string_view what, const std::string& with) {
    for (size_t pos = s.find(what); pos != std::string::npos; pos = s.find(what, pos + with.size()))
        s.replace(pos, what.size(), with);
}

size_t CharacterCount(std::string_view s) {
    size_t n = 0;
    for (char c : s)
        if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++n;
    return n;
}

// Keeps the table's views frozen for a scope.
class FrozenViews {
public:
    explicit FrozenViews(MemTable& t) : t_(t) { t_.FreezeViews(); }
    ~FrozenViews() { t_.ReleaseViews(); }
    FrozenViews(const FrozenViews&) = delete;
    FrozenViews& operator=(const FrozenViews&) = delete;

private:
    MemTable& t_;
};

bool IsCalendarDate(TDateTime d) {
    return std::isfinite(d) && std::fabs(d) < 4e6 && IsValidSerial(WholeDays(d));
}

// Turns a table's filter off for a scope, so that bulk work sees every row.
class AllRowsShown {
public:
    explicit AllRowsShown(MemTable& t) : t_(t), was_(t.Filtered()) {
        if (was_) t_.SetFiltered(false);
    }
    ~AllRowsShown() {
        if (was_) t_.SetFiltered(true);
    }
    AllRowsShown(const AllRowsShown&) = delete;
    AllRowsShown& operator=(const AllRowsShown&) = delete;

private:
    MemTable& t_;
    bool was_;
};

double ReadableAmount(const Value& v) {
    const double* d = std::get_if<double>(&v);
    if (d) return std::isfinite(*d) ? *d : 0;
    if (const int64_t* i = std::get_if<int64_t>(&v)) return static_cast<double>(*i);
    return 0;
}

}  // namespace

RepeatSettings ReadRepeatSettings(const DocumentHeader& h) {
    RepeatSettings s;
    s.firstDate = h.Get(hdr::lmClipLo);
    s.finalDate = h.Get(hdr::lmClipHi);
    s.synchDate = h.Get(hdr::lmSynch);
    s.frequency = static_cast<TFrequency>(h.Get(hdr::lmFreq));
    s.units = h.Get(hdr::lmUnits);
    s.alwaysFirst = h.Get(hdr::lmAlwaysFirst);
    s.alwaysLast = h.Get(hdr::lmAlwaysLast);
    s.description = h.Get(hdr::edRcrSeriesTitle);
    s.seriesCounter = h.Get(hdr::RcrSeriesCounter);
    s.style = h.Get(hdr::rgRcrStyle);
    s.enterAmount = h.Get(hdr::cbRcrAmount);
    s.repeatCount = h.Get(hdr::edNumRep);
    s.amount = h.Get(hdr::edRcrAmount);
    return s;
}

void CheckRepeatSettings(const RepeatSettings& s) {
    auto refuse = [](const std::string& what) { throw std::invalid_argument(what); };
    if (s.style != kSeriesSpan && s.style != kSeriesRepeats)
        refuse("Style must be 0 (span) or 1 (repeats), not " + std::to_string(s.style));
    if (s.frequency > fqFinYear)
        refuse("Interval must be a frequency from 0 to 10, not " + std::to_string(static_cast<int>(s.frequency)));
    if (s.units < 1 || s.units > kMaxUnits) refuse("Units must be 1 to 9999, not " + std::to_string(s.units));
    if (s.repeatCount < 0 || s.repeatCount > kMaxRepeats)
        refuse("Number of Repeats must be 0 to 10000, not " + std::to_string(s.repeatCount));
    if (!std::isfinite(s.amount)) refuse("Amount must be a number");
    if (CharacterCount(s.description) > kDescriptionCapacity)
        refuse("Description must be at most 80 characters long");
    for (TDateTime d : {s.firstDate, s.finalDate, s.synchDate})
        if (d != 0 && !IsCalendarDate(d)) refuse("The repeat dates must be calendar dates");
}

void WriteRepeatSettings(DocumentHeader& h, const RepeatSettings& s) {
    CheckRepeatSettings(s);
    h.Set(hdr::edRcrSeriesTitle, s.description);   // first: it is the one that can still refuse
    h.Set(hdr::lmClipLo, s.firstDate);
    h.Set(hdr::lmClipHi, s.finalDate);
    h.Set(hdr::lmSynch, s.synchDate);
    h.Set(hdr::lmFreq, static_cast<uint8_t>(s.frequency));
    h.Set(hdr::lmUnits, s.units);
    h.Set(hdr::lmAlwaysFirst, s.alwaysFirst);
    h.Set(hdr::lmAlwaysLast, s.alwaysLast);
    h.Set(hdr::RcrSeriesCounter, s.seriesCounter);
    h.Set(hdr::rgRcrStyle, s.style);
    h.Set(hdr::cbRcrAmount, s.enterAmount);
    h.Set(hdr::edNumRep, s.repeatCount);
    h.Set(hdr::edRcrAmount, s.amount);
}

void ApplyNewRepeatDefaults(RepeatSettings& s, TDateTime today) {
    s.firstDate = today;
    s.finalDate = today + 183;
    s.synchDate = 0;
    s.frequency = fqNWeek;
    s.units = 2;
    s.alwaysFirst = false;
    s.alwaysLast = false;
    s.seriesCounter = 0;
}

std::string_view RepeatCsvFields() { return "Date;Comments;Amount;Balance;Series"; }

void DefineRepeatFields(MemTable& t) {
    using T = FieldType;
    t.AddField("Date", T::DateTime);
    t.AddField("Comments", T::String, kRepeatCommentsSize);
    t.AddField("Amount", T::Float);
    t.AddField("Balance", T::Float);
    t.AddField("Series", T::Integer);
    t.AddField("Day", T::String, 3, FieldKind::Calculated);
    t.AddField("No", T::Integer);
    t.AddField("Styles", T::SmallInt);
    t.AddField("Memo", T::Memo);
    t.SetSortField("Date");
}

MemTable& DefineRepeatTables(const TableMaker& make) {
    MemTable& t = make(kRepeatTableName);
    DefineRepeatFields(t);
    return t;
}

std::vector<SheetColumn> RepeatColumns(const SheetContext& ctx) {
    const std::string money = CurrencyPicture(ctx.locale);
    auto hidden = [](const char* field, const char* title = "") {
        SheetColumn c = Column(field, title, 0);
        c.visible = false;
        return c;
    };
    return {
        Column("Date", "Date", 10, "dd/mm/yyyy"),
        Column("Comments", "Series Name", 20),
        Column("Amount", "Amount", 10, money),
        Column("Balance", "Balance", 10, money),
        Column("Series", "Series~No.", 4),
        hidden("Day"),
        hidden("No", "No."),
        hidden("Styles"),
        hidden("Memo"),
    };
}

RgbColour SeriesColour(int64_t series) {
    static constexpr std::array<RgbColour, 10> kPalette{{
        {241, 242, 181}, {190, 196, 224}, {181, 255, 181}, {230, 255, 255}, {255, 215, 220},
        {199, 210, 193}, {249, 210, 179}, {253, 179, 193}, {208, 248, 141}, {171, 165, 252},
    }};
    return kPalette[static_cast<size_t>((series % 10 + 10) % 10)];
}

std::optional<RgbColour> RepeatCellColour(std::optional<int64_t> series, bool focused) {
    if (!series) return std::nullopt;
    if (focused) return kFocusedCellColour;
    return SeriesColour(*series);
}

std::set<int> RepeatPagesPassedOver(uint8_t style, TFrequency frequency) {
    std::set<int> pass;
    if (style == kSeriesRepeats) pass.insert({rpDateOptions, rpSynch});
    if (!IsSkippingFrequency(frequency)) pass.insert(rpSkip);
    return pass;
}

std::string_view RepeatUnitsLabel(TFrequency frequency) {
    switch (frequency) {
        case fqNDay: return "Days";
        case fqNWeek: return "Weeks";
        case fqNMonth: return "Months";
        case fqNYear: return "Years";
        case fqCalMonth: return "Months";
        default: return {};
    }
}

std::string ExpandSeriesDescription(std::string_view pattern, int index, int count) {
    std::string s(pattern);
    ReplaceAll(s, "%n", std::to_string(index + 1));
    ReplaceAll(s, "%q", std::to_string(count));
    ReplaceAll(s, "%r", std::to_string(count - index - 1));
    return s;
}

std::vector<std::string> StockSeriesDescriptions(const MemTable& taAno) {
    std::vector<std::string> items;
    const int f = taAno.FieldIndex("Format");
    if (f < 0) return items;
    for (int i = 0; i < taAno.RecordCount(); ++i) {
        const Value& v = taAno.RowValues(i)[static_cast<size_t>(f)];
        const std::string* s = std::get_if<std::string>(&v);
        items.push_back(s ? *s : std::string());
    }
    return items;
}

// ---- the sheet -----------------------------------------------------------------------------

RepeatSheet::RepeatSheet(MemTable& taRcr, const SheetContext& ctx)
    : table_(taRcr), ctx_(ctx),
      descriptions_(kDefaultSeriesDescriptions.begin(), kDefaultSeriesDescriptions.end()) {
    table_.handlers.onCalcFields = [this](MemTable& t) { taRcrCalcFields(t); };
    table_.handlers.afterInsert = [this](MemTable&) { ctx_.MarkModified(); };
    table_.handlers.afterDelete = [this](MemTable&) { ctx_.MarkModified(); };
}

RepeatSheet::~RepeatSheet() {
    table_.handlers.onCalcFields = nullptr;
    table_.handlers.afterInsert = nullptr;
    table_.handlers.afterDelete = nullptr;
}

RepeatSettings RepeatSheet::Settings() const {
    return ctx_.header ? ReadRepeatSettings(*ctx_.header) : settings_;
}

void RepeatSheet::SetSettings(const RepeatSettings& s) {
    CheckRepeatSettings(s);
    settings_ = s;
    if (ctx_.header) WriteRepeatSettings(*ctx_.header, s);
}

void RepeatSheet::taRcrCalcFields(MemTable& t) {
    Field date = t.FieldByName("Date");
    if (date.IsNull()) return;
    try {
        t.FieldByName("Day").SetString(FormatDateTime("ddd", date.AsDateTime(), ctx_.locale));
    } catch (const std::exception&) {
        // A date outside the calendar (from a damaged file) simply has no day name.
    }
}

void RepeatSheet::AppendSeriesRows(std::vector<std::vector<Value>> rows) {
    try {
        table_.AppendRawRows(rows);
        return;
    } catch (const std::exception&) {
        // Fall back to one row at a time so that only the rows that fail are dropped.
    }
    for (auto& row : rows) {
        try {
            table_.AppendRaw(std::move(row));
        } catch (const std::exception&) {
        }
    }
}

int RepeatSheet::InsertSeries(UiServices& ui) {
    BusyCursor busy(ui);
    if (table_.State() != TableState::Browse) table_.Post();
    ctx_.ControlsToHeader();
    ctx_.ApplyInvert();

    // The counter advances before the dates are made, so a failed series still uses a number.
    const RepeatSettings s = Settings();
    const int32_t series = s.seriesCounter < INT32_MAX ? s.seriesCounter + 1 : 1;
    settings_.seriesCounter = series;
    if (ctx_.header) ctx_.header->Set(hdr::RcrSeriesCounter, series);

    SeriesRequest req;
    req.style = s.style;
    req.frequency = s.frequency;
    req.units = s.units;
    req.firstDate = s.firstDate;
    req.finalDate = s.finalDate;
    req.synchDate = s.synchDate;
    req.alwaysFirst = s.alwaysFirst;
    req.alwaysLast = s.alwaysLast;
    req.repeatCount = s.repeatCount;
    req.skip = ctx_.skip;
    std::vector<TDateTime> dates;
    try {
        dates = GenerateSeriesDates(req, ctx_.daysPerYearType);
    } catch (const std::exception& e) {
        ui.Error(e.what());
        return 0;
    }
    if (dates.size() > static_cast<size_t>(kMaxSeriesRows)) {
        ui.Error("These settings give " + std::to_string(dates.size()) + " dates; one series can have at most " +
                 std::to_string(kMaxSeriesRows) + ".|Choose a shorter span or a longer interval.");
        return 0;
    }

    const int n = static_cast<int>(dates.size());
    std::vector<std::vector<Value>> rows;
    rows.reserve(dates.size());
    for (int i = 0; i < n; ++i) {
        // Date, Comments, Amount, Balance, Series, No, Styles, Memo.
        rows.push_back({Value{dates[static_cast<size_t>(i)]}, Value{ExpandSeriesDescription(s.description, i, n)},
                        Value{std::isfinite(s.amount) ? s.amount : 0.0}, Value{}, Value{int64_t{series}},
                        Value{int64_t{i + 1}}, Value{}, Value{}});
    }
    const int before = table_.RecordCount();
    {
        FrozenViews frozen(table_);
        AppendSeriesRows(std::move(rows));
        Recalculate();
    }
    ctx_.MarkModified();
    ctx_.FitColumns();
    return table_.RecordCount() - before;
}

void RepeatSheet::Recalculate() {
    if (table_.State() != TableState::Browse) table_.Post();
    FrozenViews frozen(table_);
    {
        AllRowsShown all(table_);
        const size_t bal = static_cast<size_t>(table_.FieldIndex("Balance"));
        const size_t amt = static_cast<size_t>(table_.FieldIndex("Amount"));
        // One pass over the rows in date order, replacing them at once.
        std::vector<std::vector<Value>> rows;
        rows.reserve(static_cast<size_t>(table_.RecordCount()));
        double total = 0;
        for (int i = 0; i < table_.RecordCount(); ++i) {
            std::vector<Value> row = table_.RowValues(i);
            total += ReadableAmount(row[amt]);
            row[bal] = total;
            rows.push_back(std::move(row));
        }
        table_.LoadRows(std::move(rows));
    }
    table_.First();
}

bool RepeatSheet::DeleteSeries(UiServices& ui) {
    if (table_.State() == TableState::Insert) table_.Cancel();
    else if (table_.State() == TableState::Edit) table_.Post();
    if (table_.IsEmpty()) return false;
    const int64_t series = table_.FieldByName("Series").AsInteger();
    const std::string question = "Delete all records for Series No. " + std::to_string(series) +
                                 "?\n\nTo delete an individual row instead,\nchoose No, then press Ctrl+Del keys.";
    if (!ui.Ask(question)) return false;
    {
        FrozenViews frozen(table_);
        const int sf = table_.FieldIndex("Series");
        auto inSeries = [&](const std::vector<Value>& row) {
            const int64_t* p = std::get_if<int64_t>(&row[static_cast<size_t>(sf)]);
            return (p ? *p : 0) == series;
        };
        {
            // The table has no delete events of its own to run, so keep the other rows at once
            // rather than deleting a long series row by row.
            AllRowsShown all(table_);
            std::vector<std::vector<Value>> kept;
            for (int i = 0; i < table_.RecordCount(); ++i)
                if (!inSeries(table_.RowValues(i))) kept.push_back(table_.RowValues(i));
            table_.LoadRows(std::move(kept));
        }
        Recalculate();
    }
    ctx_.MarkModified();
    return true;
}

bool RepeatSheet::NewRepeat(UiServices& ui) {
    if (!ui.Ask(kClearSeriesQuestion)) return false;
    if (table_.State() != TableState::Browse) table_.Cancel();
    const bool hadRows = !table_.IsEmpty();
    table_.EmptyTable();
    if (hadRows) ctx_.MarkModified();
    return true;
}

}  // namespace clx
