#include "sheets/multiple_sheet.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

#include "engine/interval.h"

namespace clx {

namespace {

bool IsCalendarDay(TDateTime d) {
    return std::isfinite(d) && d > kMinDateSerial - 1.0 && d < kMaxDateSerial + 1.0 &&
           IsValidSerial(WholeDays(d));
}

// Cuts a text to at most n bytes without splitting a UTF-8 character.
void CutText(std::string& s, size_t n) {
    if (s.size() <= n) return;
    size_t k = n;
    while (k > 0 && (static_cast<unsigned char>(s[k]) & 0xC0) == 0x80) --k;
    s.resize(k);
}

class Frozen {
public:
    explicit Frozen(MemTable& t) : t_(t) { t_.FreezeViews(); }
    ~Frozen() { t_.ReleaseViews(); }
    Frozen(const Frozen&) = delete;
    Frozen& operator=(const Frozen&) = delete;
private:
    MemTable& t_;
};

void CancelQuietly(MemTable& t) {
    try {
        t.Cancel();
    } catch (...) {
    }
}

void CheckMiddleDates(int v) {
    if (v != 0 && v != 1)
        throw std::invalid_argument("Unknown middle-dates choice " + std::to_string(v) + " (0 FROM, 1 TO)");
}

}  // namespace

MultipleSettings ReadMultipleSettings(const DocumentHeader& h) {
    MultipleSettings s;
    s.countFirst = h.Get(hdr::cbFirstDayMulti);
    s.countLast = h.Get(hdr::cbLastdayMulti);
    s.middleDates = h.Get(hdr::cbMiddleDatesAreTo) == 1 ? 1 : 0;
    s.roundTotals = h.Get(hdr::cbMulRdg);
    s.shareAmount = h.Get(hdr::cbProRataAMt);
    s.amount = h.Get(hdr::edProRataAmt);
    return s;
}

void WriteMultipleSettings(DocumentHeader& h, const MultipleSettings& s) {
    CheckMiddleDates(s.middleDates);
    h.Set(hdr::cbFirstDayMulti, s.countFirst);
    h.Set(hdr::cbLastdayMulti, s.countLast);
    h.Set(hdr::cbMiddleDatesAreTo, static_cast<uint8_t>(s.middleDates));
    h.Set(hdr::cbMulRdg, s.roundTotals);
    h.Set(hdr::cbProRataAMt, s.shareAmount);
    h.Set(hdr::edProRataAmt, s.amount);
}

MultipleResults ReadMultipleResults(const DocumentHeader& h) {
    MultipleResults r;
    r.datesText = h.Get(hdr::MulDatesText);
    r.firstStart = h.Get(hdr::MulFirstStart);
    r.lastEnd = h.Get(hdr::MulLastEnd);
    r.totalDays = h.Get(hdr::MulTotalDays);
    r.totalWeeks = h.Get(hdr::MulTotalWeeks);
    r.totalYears = h.Get(hdr::MulTotalYears);
    return r;
}

void WriteMultipleResults(DocumentHeader& h, const MultipleResults& r) {
    try {
        h.Set(hdr::MulDatesText, r.datesText);
    } catch (const HeaderFieldError&) {
        // Only stored with the document, never read back by the calculation: a text the
        // record cannot hold is left empty rather than failing the calculation.
        h.Set(hdr::MulDatesText, "");
    }
    h.Set(hdr::MulFirstStart, r.firstStart);
    h.Set(hdr::MulLastEnd, r.lastEnd);
    h.Set(hdr::MulTotalDays, r.totalDays);
    h.Set(hdr::MulTotalWeeks, r.totalWeeks);
    h.Set(hdr::MulTotalYears, r.totalYears);
}

// Any change of the current date row's data marks the document modified.
class MultipleSheet::EditWatcher : public TableObserver {
public:
    explicit EditWatcher(const SheetContext& ctx) : ctx_(ctx) {}
    void RecordChanged(MemTable&, int) override { ctx_.MarkModified(); }
private:
    const SheetContext& ctx_;
};

std::string_view MultipleCsvFields() { return "DFrom;DTo;Days;Weeks;Years;Comments"; }

void DefineMultipleDateFields(MemTable& t) {
    t.AddField("Date", FieldType::Date);
    t.AddField("Event", FieldType::String, 20);
    t.SetSortField("Date");
}

void DefineMultipleFields(MemTable& t) {
    t.AddField("DFrom", FieldType::DateTime);
    t.AddField("DTo", FieldType::DateTime);
    t.AddField("Days", FieldType::Integer);
    t.AddField("Weeks", FieldType::BCD, 4);
    t.AddField("Years", FieldType::BCD, 4);
    t.AddField("Comments", FieldType::String, 64);
    t.AddField("Order", FieldType::Integer);
    t.AddField("Amount", FieldType::Float);
    t.SetSortField("DFrom");
}

MultipleTables DefineMultipleTables(const TableMaker& make) {
    MemTable& taMin = make(kMultipleDatesTableName);
    DefineMultipleDateFields(taMin);
    MemTable& taMul = make(kMultipleTableName);
    DefineMultipleFields(taMul);
    return {taMin, taMul};
}

std::vector<SheetColumn> MultipleDateColumns(const SheetContext& ctx) {
    SheetColumn date = Column("Date", "Date~" + ctx.dateEntryFormat, 10, ctx.dateEntryFormat);
    date.editMask = kDateEditMask;
    date.picture = kDateCellPicture;
    return {date, Column("Event", "Optional~Description", 20)};
}

std::vector<SheetColumn> MultipleColumns(const SheetContext& ctx, bool amountVisible) {
    SheetColumn amount = Column("Amount", "Amount", 14, "##########0.00");
    amount.visible = amountVisible;
    return {
        Column("DFrom", "From~" + ctx.dateEntryFormat, 14, ctx.dateDisplayFormat),
        Column("DTo", "To~" + ctx.dateEntryFormat, 14, ctx.dateDisplayFormat),
        Column("Days", "Days", 5),
        Column("Weeks", "Weeks", 8, "####0.0"),
        Column("Years", "Years", 8, "###0.0000"),
        Column("Comments", "Comments", 64),
        amount,
    };
}

SpanIncludes MultipleSpanIncludes(int k, int dateCount, const MultipleSettings& s) {
    const bool to = s.middleDates == 1;
    const int spans = dateCount - 1;
    if (spans == 1) return {s.countFirst, s.countLast};
    if (k == 1) return {s.countFirst, to};
    if (k == spans) return {!to, s.countLast};
    return {!to, to};
}

MultipleSheet::MultipleSheet(MemTable& taMin, MemTable& taMul, const SheetContext& ctx)
    : taMin_(taMin), taMul_(taMul), ctx_(ctx), watcher_(std::make_unique<EditWatcher>(ctx)) {
    auto modified = [this](MemTable&) { ctx_.MarkModified(); };
    taMin_.handlers.afterInsert = modified;
    taMin_.handlers.afterPost = modified;
    taMin_.handlers.afterDelete = modified;
    taMul_.handlers.afterPost = modified;
    taMul_.handlers.afterDelete = modified;
    taMin_.AddObserver(watcher_.get());
    dbgMulUpdateFooter();
}

MultipleSheet::~MultipleSheet() {
    taMin_.RemoveObserver(watcher_.get());
    taMin_.handlers.afterInsert = nullptr;
    taMin_.handlers.afterPost = nullptr;
    taMin_.handlers.afterDelete = nullptr;
    taMul_.handlers.afterPost = nullptr;
    taMul_.handlers.afterDelete = nullptr;
}

MultipleSettings MultipleSheet::Settings() const {
    return ctx_.header ? ReadMultipleSettings(*ctx_.header) : settings_;
}

void MultipleSheet::SetSettings(const MultipleSettings& s) {
    CheckMiddleDates(s.middleDates);
    settings_ = s;
    if (ctx_.header) WriteMultipleSettings(*ctx_.header, s);
}

void MultipleSheet::AppendMessageRow() {
    try {
        taMul_.Append();
        taMul_.FieldByName("Comments").SetString(kNeedTwoDatesText);
        taMul_.Post();
    } catch (...) {
        CancelQuietly(taMul_);
    }
}

void MultipleSheet::AppendSpan(TDateTime start, TDateTime end, int64_t& days, int64_t& weeks,
                               int64_t& years) {
    const IntervalResult r = IntervalCalc(cmNormal, start, end, true, true, 1, 5, ctx_.skip, ctx_.SetInvert());
    try {
        taMul_.Append();
        ++spanRows_;
        taMul_.FieldByName("Order").SetInteger(-spanRows_);
        taMul_.FieldByName("DFrom").SetDateTime(start);
        taMul_.FieldByName("DTo").SetDateTime(end);
        taMul_.FieldByName("Days").SetInteger(r.days);
        taMul_.FieldByName("Weeks").SetFloat(r.weeks / 10000.0);
        taMul_.FieldByName("Years").SetFloat(r.years / 10000.0);
        taMul_.FieldByName("Comments").SetString(kSpanComment);
        taMul_.Post();
    } catch (...) {
        // A span that cannot be stored is left out, and so are its days.
        CancelQuietly(taMul_);
        return;
    }
    days += r.days;
    weeks += r.weeks;
    years += r.years;
}

void MultipleSheet::ShareAmount(int64_t sumDays, double amount) {
    const int n = taMul_.RecordCount();
    int64_t shared = 0;
    for (int i = 0; i < n; ++i) {
        try {
            taMul_.SetRecNo(i + 1);
        } catch (...) {
            continue;
        }
        int64_t share;
        if (i < n - 1) {
            const double days = static_cast<double>(taMul_.FieldByName("Days").AsInteger());
            share = RoundHalfEven(TruncDecimals(days / static_cast<double>(sumDays) * amount, 2) * 10000.0);
        } else {
            share = RoundHalfEven(amount * 10000.0 - static_cast<double>(shared));
        }
        shared += share;
        try {
            taMul_.Edit();
            taMul_.FieldByName("Amount").SetFloat(static_cast<double>(share) / 10000.0);
            taMul_.Post();
        } catch (...) {
            CancelQuietly(taMul_);
        }
    }
}

void MultipleSheet::RecalcDates() {
    ctx_.MarkModified();
    ctx_.ControlsToHeader();

    // A date being typed counts as entered.
    try {
        taMin_.Post();
    } catch (...) {
        CancelQuietly(taMin_);
    }

    const MultipleSettings settings = Settings();
    Frozen frozen(taMul_);
    CancelQuietly(taMul_);
    taMul_.EmptyTable();
    results_ = MultipleResults{};
    int64_t sumDays = 0, sumWeeks = 0, sumYears = 0;

    const int dateField = taMin_.FieldIndex("Date");
    if (dateField < 0) throw TableError(taMin_.Name() + ": the table has no field 'Date'");
    auto rowDate = [&](int i) -> TDateTime {
        const Value& v = taMin_.RowValues(i)[static_cast<size_t>(dateField)];
        const double* d = std::get_if<double>(&v);
        return d && IsCalendarDay(*d) ? static_cast<double>(WholeDays(*d)) : 0.0;
    };

    const int rows = taMin_.RecordCount();
    if (rows > 1) {
        std::string text;
        for (int i = 0; i < rows; ++i) {
            const std::string piece = ctx_.ReportDate(rowDate(i));
            if (!text.empty()) text += ';';
            text += piece;
            if (text.size() > kMulDatesTextSize) break;
        }
        CutText(text, kMulDatesTextSize);
        results_.datesText = std::move(text);
    }

    std::vector<TDateTime> dates;
    for (int i = 0; i < rows; ++i)
        if (const TDateTime d = rowDate(i); d != 0) dates.push_back(d);
    std::sort(dates.begin(), dates.end());
    dates.erase(std::unique(dates.begin(), dates.end()), dates.end());

    const bool invert = ctx_.SetInvert();
    bool amountError = false;
    amountVisible_ = false;
    if (dates.size() < 2) {
        AppendMessageRow();
    } else {
        const int n = static_cast<int>(dates.size());
        for (int k = 1; k < n; ++k) {
            const SpanIncludes inc = MultipleSpanIncludes(k, n, settings);
            const IntervalResult r = IntervalCalc(cmNormal, dates[k - 1], dates[k], inc.first, inc.last,
                                                  ctx_.daysPerYearType, 4, ctx_.skip, invert);
            if (k == 1) results_.firstStart = r.effectiveStart;
            if (k == n - 1) results_.lastEnd = r.effectiveEnd;
            if (r.days > 0) AppendSpan(r.effectiveStart, r.effectiveEnd, sumDays, sumWeeks, sumYears);
        }

        if (settings.shareAmount) {
            const double a = settings.amount;
            amountError = !std::isfinite(a) || std::fabs(a) > kMaxShareAmount;
            if (!amountError && sumDays != 0 && a != 0 && taMul_.RecordCount() >= 2) {
                amountVisible_ = true;
                ShareAmount(sumDays, a);
            }
        }

        if (settings.roundTotals) {
            results_.totalDays = static_cast<int32_t>(std::clamp<int64_t>(sumDays, INT32_MIN, INT32_MAX));
            results_.totalWeeks = sumWeeks;
            results_.totalYears = sumYears;
        } else if (results_.lastEnd >= results_.firstStart) {
            // (Two neighbouring dates with both ends left out give an end before the start:
            // no day is in any span then, and the totals stay 0.)
            const IntervalResult t = IntervalCalc(cmNormal, results_.firstStart, results_.lastEnd, true, true,
                                                  1, 5, ctx_.skip, invert);
            results_.totalDays = t.days;
            results_.totalWeeks = t.weeks;
            results_.totalYears = t.years;
        }
    }
    try {
        taMul_.First();
    } catch (...) {
    }
    if (ctx_.header) WriteMultipleResults(*ctx_.header, results_);

    dbgMulUpdateFooter();
    ctx_.FitColumns();
    if (amountError)
        throw std::invalid_argument("The amount to share is not a number the sheet can share (at most " +
                                    DecimalText(kMaxShareAmount, 0, ctx_.locale) + ")");
}

bool MultipleSheet::NewMultipleDate(UiServices& ui) {
    if (taMin_.IsEmpty() || !ui.Ask(kClearDatesQuestion)) return false;
    ctx_.ControlsToHeader();
    CancelQuietly(taMul_);
    CancelQuietly(taMin_);
    taMul_.EmptyTable();
    taMin_.EmptyTable();
    ctx_.HeaderToControls();
    RecalcDates();
    return true;
}

bool MultipleSheet::nbMulPageChanged(std::string_view page) {
    if (page != kMultipleResultPage) return false;
    RecalcDates();
    return true;
}

void MultipleSheet::dbgMulUpdateFooter() {
    if (inFooter_) return;
    inFooter_ = true;
    try {
        if (ctx_.header) results_ = ReadMultipleResults(*ctx_.header);
        MultipleFooter f;
        f.dFrom = ctx_.ReportDate(results_.firstStart);
        f.dTo = ctx_.ReportDate(results_.lastEnd);
        f.days = std::to_string(results_.totalDays);
        f.weeks = DecimalText(static_cast<double>(results_.totalWeeks) / 10000.0, 1, ctx_.locale);
        f.years = DecimalText(static_cast<double>(results_.totalYears) / 10000.0, 4, ctx_.locale);
        f.amount = DecimalText(Settings().amount, 2, ctx_.locale);
        f.comments = kSpanComment;
        footer_ = std::move(f);
    } catch (...) {
        inFooter_ = false;
        throw;
    }
    inFooter_ = false;
}

}  // namespace clx
