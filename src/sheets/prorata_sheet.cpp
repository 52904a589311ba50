#include "sheets/prorata_sheet.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

#include "engine/interval.h"
#include "sheets/money.h"

namespace clx {

namespace {

constexpr double kMaxAmount = 1e10;   // what the entry's mask holds
constexpr const char* kLineBreak = "\r\n";
constexpr const char* kDivisionSign = "\xC3\xB7";

bool IsCalendarDate(TDateTime d) {
    return std::isfinite(d) && std::fabs(d) < 4e6 && IsValidSerial(WholeDays(d));
}

bool IsSetPeriodDate(TDateTime d) { return d > kPeriodDateSetAbove; }

// v as a whole number of 10^-places units when it is exactly such a decimal and small enough
// to add up without loss.
std::optional<int64_t> DecimalUnits(double v, int places) {
    if (!std::isfinite(v) || places < 0 || places > 15 || RoundDecimals(v, places) != v) return std::nullopt;
    const double scaled = v * std::pow(10.0, places);
    if (std::fabs(scaled) > 9e15) return std::nullopt;
    return std::llround(scaled);
}

double FromUnits(int64_t units, int places) { return static_cast<double>(units) / std::pow(10.0, places); }

std::optional<int64_t> IntegerOf(const Value& v) {
    if (const int64_t* i = std::get_if<int64_t>(&v)) return *i;
    return std::nullopt;
}

std::optional<TDateTime> DateOf(const Value& v) {
    if (const double* d = std::get_if<double>(&v)) return *d;
    return std::nullopt;
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

}  // namespace

ProRataSettings ReadProRataSettings(const DocumentHeader& h) {
    ProRataSettings s;
    s.amount = h.Get(hdr::edProAmt);
    s.periodFrom = h.Get(hdr::edProDFrom);
    s.periodTo = h.Get(hdr::edProDTo);
    s.includeFirst = h.Get(hdr::cbProIncludeFirst);
    s.includeLast = h.Get(hdr::cbProIncludeLast);
    return s;
}

void CheckProRataSettings(const ProRataSettings& s) {
    if (!std::isfinite(s.amount)) throw std::invalid_argument("Amount must be a number");
    if (std::fabs(s.amount) >= kMaxAmount)
        throw std::invalid_argument("Amount must have at most 10 digits before the decimal point");
    if (s.periodFrom != 0 && !IsCalendarDate(s.periodFrom))
        throw std::invalid_argument("First day of period must be a calendar date");
    if (s.periodTo != 0 && !IsCalendarDate(s.periodTo))
        throw std::invalid_argument("Last day of period must be a calendar date");
}

void WriteProRataSettings(DocumentHeader& h, const ProRataSettings& s) {
    CheckProRataSettings(s);
    h.Set(hdr::edProAmt, s.amount);
    h.Set(hdr::edProDFrom, s.periodFrom);
    h.Set(hdr::edProDTo, s.periodTo);
    h.Set(hdr::cbProIncludeFirst, s.includeFirst);
    h.Set(hdr::cbProIncludeLast, s.includeLast);
}

std::string_view ProRataCsvFields() { return "DFrom;DTo;Name;Share;ShareFrac;Calculation;Days;Weight"; }

void DefineProRataFields(MemTable& t) {
    using K = FieldKind;
    using T = FieldType;
    t.AddField("Name", T::String, kProRataNameSize);
    t.AddField("DFrom", T::DateTime);
    t.AddField("DTo", T::DateTime);
    t.AddField("ShareFrac", T::Float);
    t.AddField("Days", T::Integer, 0, K::Calculated);
    t.AddField("Weight", T::Integer);
    t.AddField("WeightedDays", T::Float);
    t.AddField("Rem", T::Boolean);
    t.AddField("Share", T::Float);
    t.AddField("Calculation", T::String, kProRataCalculationSize);
    t.AddField("ActDFrom", T::DateTime, 0, K::Calculated);
    t.AddField("ActDTo", T::DateTime, 0, K::Calculated);
    t.SetSortField("Rem");
}

MemTable& DefineProRataTables(const TableMaker& make) {
    MemTable& t = make(kProRataTableName);
    DefineProRataFields(t);
    return t;
}

std::vector<SheetColumn> ProRataColumns(const SheetContext& ctx, int page) {
    const bool info = page == ppInfo;
    auto date = [&](const char* field) {
        SheetColumn c = Column(field, field, 10, ctx.dateEntryFormat);
        c.editMask = kDateEditMask;
        c.picture = kDateCellPicture;
        return c;
    };
    auto shown = [](SheetColumn c, bool visible) {
        c.visible = visible;
        return c;
    };
    auto hidden = [&](const char* field, std::string format = {}) {
        return shown(Column(field, {}, 0, std::move(format)), false);
    };
    return {
        Column("Name", "Name", 20),
        date("DFrom"),
        date("DTo"),
        shown(Column("ShareFrac", "%", 8, "##0.00%"), !info),
        shown(Column("Days", "Days", 4), !info),
        shown(Column("Weight", "Wgt", 3), info),
        hidden("WeightedDays"),
        hidden("Rem"),
        shown(Column("Share", "Share", 10, "########0.00;(########0.00);0.00"), !info),
        hidden("Calculation"),
        hidden("ActDFrom", ctx.dateEntryFormat),
        hidden("ActDTo", ctx.dateEntryFormat),
    };
}

bool ProRataGridEditable(int page) { return page == ppInfo; }

CellColours ProRataCellColours(int page, bool selected, bool focused) {
    if (page == ppResult) return ResultCellColours();
    return StandardCellColours(selected, focused);
}

ProRataRowResult ProRataRowDays(TDateTime dFrom, TDateTime dTo, int64_t weight, const ProRataSettings& s,
                                int calcMethod, const SheetContext& ctx) {
    ProRataRowResult r;
    if (dFrom == 0 || dTo == 0) return r;   // a party without both dates counts nothing
    // Taken in order, so that the period clips the right ends.
    TDateTime from = std::min(dFrom, dTo), to = std::max(dFrom, dTo);
    if (IsSetPeriodDate(s.periodFrom) && s.periodFrom > from) from = s.periodFrom;
    if (IsSetPeriodDate(s.periodTo) && s.periodTo < to) to = s.periodTo;
    if (from > to) {
        r.days = 0;   // held nothing inside the period
        return r;
    }
    r.actFrom = from;
    r.actTo = to;
    const IntervalResult ir = IntervalCalc(calcMethod, from, to, s.includeFirst, s.includeLast,
                                           ctx.daysPerYearType, 4, ctx.skip, ctx.invert);
    r.days = ir.days;
    r.actFrom = ir.effectiveStart;
    r.actTo = ir.effectiveEnd;
    r.weightedDays = TruncDecimals(static_cast<double>(weight) * ir.days, 5);
    return r;
}

// ---- the sheet -----------------------------------------------------------------------------

ProRataSheet::ProRataSheet(MemTable& taPro, const SheetContext& ctx) : table_(taPro), ctx_(ctx) {
    table_.handlers.onNewRecord = [this](MemTable& t) { NewProRata(t); };
    table_.handlers.onCalcFields = [this](MemTable& t) { taProCalcFields(t); };
    table_.handlers.beforePost = [this](MemTable& t) { taProBeforePost(t); };
}

ProRataSheet::~ProRataSheet() {
    table_.handlers.onNewRecord = nullptr;
    table_.handlers.onCalcFields = nullptr;
    table_.handlers.beforePost = nullptr;
}

ProRataSettings ProRataSheet::Settings() const {
    return ctx_.header ? ReadProRataSettings(*ctx_.header) : settings_;
}

void ProRataSheet::SetSettings(const ProRataSettings& s) {
    CheckProRataSettings(s);
    settings_ = s;
    if (ctx_.header) WriteProRataSettings(*ctx_.header, s);
}

int ProRataSheet::CalcMethod() const {
    if (!ctx_.header) return calcMethod_;
    const int m = ctx_.header->Get(hdr::edCalcMethod);
    return m <= cm30E360 ? m : cmNormal;
}

void ProRataSheet::SetCalcMethod(int method) {
    if (method < cmNormal || method > cm30E360)
        throw std::invalid_argument("Unknown calculation method " + std::to_string(method) +
                                    " (the methods are 0 to 5)");
    calcMethod_ = method;
    if (ctx_.header) ctx_.header->Set(hdr::edCalcMethod, static_cast<uint8_t>(method));
}

void ProRataSheet::NewProRata(MemTable& t) {
    const ProRataSettings s = Settings();
    t.FieldByName("Rem").SetBoolean(false);
    t.FieldByName("Weight").SetInteger(1);
    if (IsSetPeriodDate(s.periodFrom)) t.FieldByName("DFrom").SetDateTime(s.periodFrom);
    if (IsSetPeriodDate(s.periodTo)) t.FieldByName("DTo").SetDateTime(s.periodTo);
}

void ProRataSheet::taProCalcFields(MemTable& t) {
    ctx_.MarkModified();
    if (calculating_) return;
    struct Guard {
        bool& b;
        explicit Guard(bool& flag) : b(flag) { b = true; }
        ~Guard() { b = false; }
    } guard(calculating_);

    const ProRataRowResult r =
        ProRataRowDays(t.FieldByName("DFrom").AsDateTime(), t.FieldByName("DTo").AsDateTime(),
                       t.FieldByName("Weight").AsInteger(), Settings(), CalcMethod(), ctx_);
    if (r.days) t.FieldByName("Days").SetInteger(*r.days);
    if (r.actFrom) t.FieldByName("ActDFrom").SetDateTime(*r.actFrom);
    if (r.actTo) t.FieldByName("ActDTo").SetDateTime(*r.actTo);
}

void ProRataSheet::taProBeforePost(MemTable& t) {
    const ProRataRowResult r =
        ProRataRowDays(t.FieldByName("DFrom").AsDateTime(), t.FieldByName("DTo").AsDateTime(),
                       t.FieldByName("Weight").AsInteger(), Settings(), CalcMethod(), ctx_);
    t.FieldByName("WeightedDays").SetFloat(r.weightedDays);
}

void ProRataSheet::DeleteRemainderRows() {
    if (table_.State() == TableState::Insert) table_.Cancel();
    const int rem = table_.FieldIndex("Rem");
    std::vector<uint64_t> doomed;
    for (int i = 0; i < table_.RecordCount(); ++i) {
        const Value& v = table_.RowValues(i)[static_cast<size_t>(rem)];
        if (const bool* b = std::get_if<bool>(&v); b && *b) doomed.push_back(table_.RowRecordId(i));
    }
    for (uint64_t id : doomed)
        if (table_.GotoRecordId(id)) table_.Delete();
}

void ProRataSheet::ProRataShares() {
    if (table_.State() != TableState::Browse) {
        try {
            table_.Post();
        } catch (...) {
            table_.Cancel();   // a pending edit that cannot be stored is dropped
        }
    }
    const ProRataSettings s = Settings();
    const double amount = s.amount;
    if (!std::isfinite(amount)) throw std::invalid_argument("The amount to share is not a number");
    const MoneyFormat money = MoneyFormat::FromLocale(ctx_.locale);
    const int method = CalcMethod();

    FrozenViews frozen(table_);
    DeleteRemainderRows();

    // Every party once, in table order.
    struct Party {
        uint64_t id;
        std::string name;
        int64_t weight;
        int32_t days;
        double weightedDays;
    };
    const int fName = table_.FieldIndex("Name"), fFrom = table_.FieldIndex("DFrom"),
              fTo = table_.FieldIndex("DTo"), fWeight = table_.FieldIndex("Weight");
    std::vector<Party> parties;
    for (int i = 0; i < table_.RecordCount(); ++i) {
        const std::vector<Value>& row = table_.RowValues(i);
        const std::string* name = std::get_if<std::string>(&row[static_cast<size_t>(fName)]);
        const int64_t weight = IntegerOf(row[static_cast<size_t>(fWeight)]).value_or(0);
        const ProRataRowResult r =
            ProRataRowDays(DateOf(row[static_cast<size_t>(fFrom)]).value_or(0),
                           DateOf(row[static_cast<size_t>(fTo)]).value_or(0), weight, s, method, ctx_);
        parties.push_back({table_.RowRecordId(i), name ? *name : std::string(), weight, r.days.value_or(0),
                           r.weightedDays});
    }

    const int64_t w1 = parties.empty() ? 0 : parties.front().weight;
    bool weighted = w1 != 1;
    for (const Party& p : parties) weighted = weighted || p.weight != w1;

    double total = 0;
    std::string terms;
    for (const Party& p : parties) {
        total += p.weightedDays;
        if (!terms.empty()) terms += " + ";
        if (weighted)
            terms += "(" + std::to_string(p.days) + " days x " + std::to_string(p.weight) + " (weighting - " +
                     p.name + "))";
        else
            terms += std::to_string(p.days) + " (days - " + p.name + ")";
    }
    const std::string totalText = NumberText(total, 1, ctx_.locale);
    const std::string summary =
        totalText + (weighted ? " (Total weighted days) = " : " (Total days) = ") + terms;

    // Shares are rounded to the currency digits and percentages to hundredths, so their sums
    // are kept as whole units: the remainder test is then exact in decimal.
    const int places = money.digits;
    std::optional<int64_t> shareUnits = int64_t{0};
    std::optional<int64_t> fracUnits = int64_t{0};
    double shareSum = 0, fracSum = 0;
    for (const Party& p : parties) {
        double share = 0, frac = 0;
        if (amount != 0 && total != 0) {
            share = RoundMoney(amount * p.weightedDays / total, money);
            frac = RoundDecimals(share * 100 / amount, 2);
        }
        shareSum += share;
        fracSum += frac;
        const std::optional<int64_t> su = DecimalUnits(share, places), fu = DecimalUnits(frac, 2);
        shareUnits = shareUnits && su ? std::optional<int64_t>(*shareUnits + *su) : std::nullopt;
        fracUnits = fracUnits && fu ? std::optional<int64_t>(*fracUnits + *fu) : std::nullopt;

        const std::string pct = NumberText(frac, 2, ctx_.locale);
        const std::string calculation =
            MoneyText(share, money) + " = " + MoneyText(amount, money) + " (total) x " + pct +
            "% (share percentage), where:" + kLineBreak + pct + "% (share percentage) = " +
            std::to_string(p.days) + (p.days == 1 ? " (day)" : " (days)") + " " + kDivisionSign + " " +
            totalText + (weighted ? " (Total weighted days), where:" : " (Total days), where:") + kLineBreak +
            summary;
        if (!table_.GotoRecordId(p.id)) continue;
        table_.Edit();
        table_.FieldByName("Share").SetFloat(share);
        table_.FieldByName("ShareFrac").SetFloat(frac);
        table_.FieldByName("Calculation").SetString(calculation);
        table_.Post();
    }

    // What is left after the parties' shares.
    double shareLeft = amount - shareSum;
    if (shareUnits) {
        const std::optional<int64_t> au = DecimalUnits(amount, places);
        shareLeft = au ? FromUnits(*au - *shareUnits, places) : amount - FromUnits(*shareUnits, places);
    }
    const double fracLeft = fracUnits ? FromUnits(10000 - *fracUnits, 2) : RoundDecimals(100 - fracSum, 2);
    const bool fracShort = fracUnits ? *fracUnits != 10000 : 100 - fracSum != 0;
    if (shareLeft != 0 || fracShort) {
        table_.Append();
        table_.FieldByName("Name").SetString(kRemainderRowName);
        table_.FieldByName("Rem").SetBoolean(true);
        table_.FieldByName("Share").SetFloat(shareLeft);
        table_.FieldByName("ShareFrac").SetFloat(fracLeft);
        table_.Post();
    }
    table_.First();
}

void ProRataSheet::nbProPageChanged(int page) {
    if (page == ppInfo) {
        FrozenViews frozen(table_);
        DeleteRemainderRows();
        table_.First();
    } else if (page == ppResult) {
        ctx_.ApplyInvert();
        ProRataShares();
    }
}

}  // namespace clx
