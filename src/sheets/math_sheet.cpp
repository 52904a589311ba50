#include "sheets/math_sheet.h"

#include <climits>
#include <cmath>

#include "engine/period.h"

namespace clx {

namespace {

bool IsCalendarDay(TDateTime d) {
    return std::isfinite(d) && d > kMinDateSerial - 1.0 && d < kMaxDateSerial + 1.0 &&
           IsValidSerial(WholeDays(d));
}

bool FitsInt(int64_t v) { return v >= INT_MIN && v <= INT_MAX; }

}  // namespace

std::string_view MathCsvFields() { return "DFrom;Days;Months;Years;DTo;Description;CommentsPlus"; }

void DefineMathFields(MemTable& t) {
    t.AddField("DFrom", FieldType::DateTime);
    t.AddField("Days", FieldType::Integer);
    t.AddField("Months", FieldType::Integer);
    t.AddField("Years", FieldType::Integer);
    t.AddField("DTo", FieldType::DateTime, 0, FieldKind::Calculated);
    t.AddField("Description", FieldType::String, 80);
    t.SetSortField("Description");
}

MemTable& DefineMathTables(const TableMaker& make) {
    MemTable& t = make(kMathTableName);
    DefineMathFields(t);
    return t;
}

std::vector<SheetColumn> MathColumns(const SheetContext& ctx) {
    auto period = [](const char* field, const char* title, int width) {
        SheetColumn c = Column(field, title, width);
        c.groupTitle = "Add Period";
        return c;
    };
    return {
        Column("DFrom", "Date From~" + ctx.dateDisplayFormat, 15, ctx.dateDisplayFormat),
        period("Days", "Days", 4),
        period("Months", "M'ths", 3),
        period("Years", "Yrs", 3),
        Column("Description", "Optional~Description", 20),
        Column("DTo", "Date To~" + ctx.dateDisplayFormat, 15, ctx.dateDisplayFormat),
    };
}

CellColours MathCellColours(std::string_view field, bool selected, bool focused) {
    if (field == "DTo") return ResultCellColours();
    return StandardCellColours(selected, focused);
}

std::set<int> MathPagesPassedOver(int intervalCalcMethod) {
    if (intervalCalcMethod != 0) return {kMathMethodPage, kMathSkipPage};
    return {kMathMethodPage};
}

std::optional<TDateTime> MathEndDate(TDateTime from, int64_t years, int64_t months, int64_t days,
                                     const SkipSet* skip, bool invert, int daysPerYearType) {
    if (from == 0 || !IsCalendarDay(from)) return std::nullopt;
    if (!FitsInt(years) || !FitsInt(months) || !FitsInt(days)) return std::nullopt;
    const int y = int(years), m = int(months), d = int(days);
    // The plain period first: a step that leaves the calendar gives 0, and a later step must
    // not carry on from that 0 as if it were 30 December 1899.
    TDateTime plain = from + double(d);
    if (!IsCalendarDay(plain)) return std::nullopt;
    if (m != 0 && (plain = AddMonths(m, plain)) == 0) return std::nullopt;
    if (y != 0 && (plain = AddYears(double(y), plain)) == 0) return std::nullopt;
    if (!IsCalendarDay(plain)) return std::nullopt;
    const TDateTime end = MathRowEnd(from, y, m, d, skip, invert, daysPerYearType);
    if (end == 0 || !IsCalendarDay(end)) return std::nullopt;
    return end;
}

MathSheet::MathSheet(MemTable& taMth, const SheetContext& ctx) : table_(taMth), ctx_(ctx) {
    table_.handlers.onNewRecord = [this](MemTable& t) { taMthNewRecord(t); };
    table_.handlers.onCalcFields = [this](MemTable& t) { taMthCalcFields(t); };
    // Rows are listed by description: a changed description moves its row, which stays current.
    table_.handlers.afterPost = [this](MemTable& t) {
        ResortKeepingRow(t);
        ctx_.MarkModified();
    };
    table_.handlers.afterDelete = [this](MemTable& t) {
        ResortKeepingRow(t);
        ctx_.MarkModified();
    };
}

MathSheet::~MathSheet() {
    table_.handlers.onNewRecord = nullptr;
    table_.handlers.onCalcFields = nullptr;
    table_.handlers.afterPost = nullptr;
    table_.handlers.afterDelete = nullptr;
}

void MathSheet::taMthNewRecord(MemTable& t) {
    t.FieldByName("DFrom").SetDateTime(ctx_.Today());
    t.FieldByName("Description").SetString("");
    t.FieldByName("Days").SetInteger(0);
    t.FieldByName("Months").SetInteger(0);
    t.FieldByName("Years").SetInteger(0);
}

void MathSheet::taMthCalcFields(MemTable& t) {
    const auto end = MathEndDate(t.FieldByName("DFrom").AsDateTime(), t.FieldByName("Years").AsInteger(),
                                 t.FieldByName("Months").AsInteger(), t.FieldByName("Days").AsInteger(),
                                 ctx_.skip, ctx_.SetInvert(), ctx_.daysPerYearType);
    if (end) t.FieldByName("DTo").SetDateTime(*end);
    ctx_.FitColumns();
}

void MathSheet::acCalcMathExecute() {
    try {
        table_.Post();
    } catch (...) {
        // Recalculate is a convenience: a refused post leaves the row being edited.
    }
}

bool MathSheet::nbMathPageChanged(std::string_view page) {
    if (page != kMathGridPage) return false;
    ctx_.ApplyInvert();
    table_.Refresh();
    return true;
}

}  // namespace clx
