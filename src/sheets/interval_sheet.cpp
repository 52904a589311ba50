#include "sheets/interval_sheet.h"

#include <stdexcept>

#include "engine/intervalrow.h"

namespace clx {

namespace {

void CheckMethod(int method) {
    if (method < cmNormal || method > cm30E360)
        throw std::invalid_argument("Unknown calculation method " + std::to_string(method) +
                                    " (the methods are 0 to 5)");
}

}  // namespace

const std::vector<std::string>& CalcMethodItems() {
    static const std::vector<std::string> items{
        "Normal",
        "Finance - US (NASD) 30/360",
        "Finance - Actual/actual",
        "Finance - Actual/360 ( USA Money Market Basis)",
        "Finance - Actual/365 (USA Bond Basis)",
        "Finance - European 30/360",
    };
    return items;
}

IntervalSettings ReadIntervalSettings(const DocumentHeader& h) {
    const int m = h.Get(hdr::edCalcMethod);
    return {m <= cm30E360 ? m : cmNormal};
}

void WriteIntervalSettings(DocumentHeader& h, const IntervalSettings& s) {
    CheckMethod(s.calcMethod);
    h.Set(hdr::edCalcMethod, static_cast<uint8_t>(s.calcMethod));
}

std::string_view IntervalCsvFields() {
    return "DFrom;IncludeFirst;DTo;IncludeLast;Days;Years;Description;CommentsPlus";
}

void DefineIntervalFields(MemTable& t) {
    using K = FieldKind;
    using T = FieldType;
    t.AddField("DFrom", T::DateTime);
    t.AddField("IncludeFirst", T::Boolean);
    t.AddField("DTo", T::DateTime);
    t.AddField("IncludeLast", T::Boolean);
    t.AddField("Description", T::String, 128);
    t.AddField("Days", T::Integer, 0, K::Calculated);
    t.AddField("DFromI", T::DateTime, 0, K::Calculated);
    t.AddField("DToI", T::DateTime, 0, K::Calculated);
    t.AddField("Weeks", T::Float, 0, K::Calculated);
    t.AddField("Years", T::Float, 0, K::Calculated);
    t.AddField("Comments", T::String, kIntervalCommentsSize, K::Calculated);
    t.AddField("Order", T::Integer);
    t.AddField("I", T::Integer);
    t.AddField("CommentsPlus", T::String, kIntervalCommentsPlusSize, K::Calculated);
    t.SetSortField("Order");
}

MemTable& DefineIntervalTables(const TableMaker& make) {
    MemTable& t = make(kIntervalTableName);
    DefineIntervalFields(t);
    return t;
}

std::vector<SheetColumn> IntervalColumns(const SheetContext& ctx) {
    auto date = [&](const char* field, const char* caption) {
        SheetColumn c = Column(field, std::string(caption) + "~" + ctx.dateEntryFormat, 12, ctx.dateEntryFormat);
        c.editMask = kDateEditMask;
        c.picture = kDateCellPicture;
        return c;
    };
    auto check = [](const char* field, const char* title) {
        SheetColumn c = Column(field, title, 3);
        c.checkBox = true;
        return c;
    };
    auto hidden = [](const char* field, std::string format) {
        SheetColumn c = Column(field, {}, 0, std::move(format));
        c.visible = false;
        return c;
    };
    return {
        date("DFrom", "From"),
        check("IncludeFirst", "Incl.~From"),
        date("DTo", "To"),
        check("IncludeLast", "Incl.~To"),
        Column("Description", "Optional~Description", 20),
        Column("Days", "Days", 5),
        hidden("DFromI", ctx.dateDisplayFormat),
        hidden("DToI", ctx.dateDisplayFormat),
        hidden("Weeks", "####0.#0"),
        hidden("Years", "###0.0000"),
        hidden("Comments", {}),
        hidden("CommentsPlus", {}),
    };
}

CellColours IntervalCellColours(std::string_view field, bool selected, bool focused) {
    if (field == "Days") return ResultCellColours();
    return StandardCellColours(selected, focused);
}

std::set<int> IntervalPagesPassedOver(int calcMethod) {
    if (calcMethod != cmNormal) return {kCalcSkipPage};
    return {};
}

IntervalSheet::IntervalSheet(MemTable& taOne, const SheetContext& ctx) : table_(taOne), ctx_(ctx) {
    table_.handlers.onNewRecord = [this](MemTable& t) { NewSingle(t); };
    table_.handlers.onCalcFields = [this](MemTable& t) { taOneCalcFields(t); };
    table_.handlers.afterPost = [this](MemTable&) { ctx_.MarkModified(); };
    table_.handlers.afterDelete = [this](MemTable&) { ctx_.MarkModified(); };
}

IntervalSheet::~IntervalSheet() {
    table_.handlers.onNewRecord = nullptr;
    table_.handlers.onCalcFields = nullptr;
    table_.handlers.afterPost = nullptr;
    table_.handlers.afterDelete = nullptr;
}

IntervalSettings IntervalSheet::Settings() const {
    return ctx_.header ? ReadIntervalSettings(*ctx_.header) : settings_;
}

void IntervalSheet::SetSettings(const IntervalSettings& s) {
    CheckMethod(s.calcMethod);
    settings_ = s;
    if (ctx_.header) WriteIntervalSettings(*ctx_.header, s);
}

void IntervalSheet::NewSingle(MemTable& t) {
    const TDateTime today = ctx_.Today();
    t.FieldByName("DFrom").SetDateTime(today);
    t.FieldByName("DTo").SetDateTime(today + 7);
    t.FieldByName("IncludeFirst").SetBoolean(true);
    t.FieldByName("IncludeLast").SetBoolean(false);
}

void IntervalSheet::taOneCalcFields(MemTable& t) {
    ctx_.MarkModified();
    if (calculating_) return;
    struct Guard {
        bool& b;
        explicit Guard(bool& flag) : b(flag) { b = true; }
        ~Guard() { b = false; }
    } guard(calculating_);

    IntervalRowInput in;
    in.dFrom = t.FieldByName("DFrom").AsDateTime();
    in.dTo = t.FieldByName("DTo").AsDateTime();
    in.includeFirst = t.FieldByName("IncludeFirst").AsBoolean();
    in.includeLast = t.FieldByName("IncludeLast").AsBoolean();
    in.method = Settings().calcMethod;
    in.daysPerYearType = ctx_.daysPerYearType;
    in.skip = ctx_.skip;
    in.invert = ctx_.invert;
    const IntervalRowValues v = CalcIntervalRow(in, ctx_.locale);

    auto setDate = [&](const char* name, const std::optional<TDateTime>& d) {
        if (d) t.FieldByName(name).SetDateTime(*d);
    };
    setDate("DFromI", v.dFromI);
    setDate("DToI", v.dToI);
    if (v.days) t.FieldByName("Days").SetInteger(*v.days);
    if (v.weeks) t.FieldByName("Weeks").SetFloat(*v.weeks);
    if (v.years) t.FieldByName("Years").SetFloat(*v.years);
    t.FieldByName("Comments").SetString(v.comments);
    t.FieldByName("CommentsPlus").SetString(v.commentsPlus);
    if (v.days) ctx_.FitColumns();
}

void IntervalSheet::RecalcSingle() {
    try {
        if (table_.State() == TableState::Browse) table_.Edit();
        table_.FieldByName("I").SetInteger(0);
        table_.Post();
    } catch (...) {
        // Recalculate is a convenience: an empty table or a refused post just stays as it is.
    }
}

void IntervalSheet::edCalcMethodClick(int index) {
    CheckMethod(index);
    const bool changed = index != Settings().calcMethod;
    SetSettings({index});
    if (table_.State() != TableState::Browse) table_.Post();
    if (changed && !table_.IsEmpty()) {
        table_.FreezeViews();
        try {
            table_.Refresh();
        } catch (...) {
            table_.ReleaseViews();
            throw;
        }
        table_.ReleaseViews();
    }
}

bool IntervalSheet::nbCalcPageChanged(std::string_view page) {
    if (page != kIntervalGridPage) return false;
    ctx_.ApplyInvert();
    table_.Refresh();
    return true;
}

}  // namespace clx
