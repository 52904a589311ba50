#include "sheets/birthdays_sheet.h"

#include <cmath>

#include "engine/interval.h"
#include "platform/format.h"

namespace clx {

namespace {

bool Decodable(TDateTime d) {
    return std::isfinite(d) && d > kMinDateSerial - 1.0 && d < kMaxDateSerial + 1.0 &&
           IsValidSerial(WholeDays(d));
}

}  // namespace

std::string ZodiacSign(TDateTime date) {
    if (!Decodable(date)) return {};
    // The first day of the sign that begins in each month; earlier days belong to the sign
    // that ends in it.
    static constexpr int kFirstDay[12] = {21, 20, 21, 21, 21, 22, 24, 24, 24, 24, 23, 23};
    const CivilDate c = DecodeDate(date);
    const int ending = (c.month + 8) % 12;   // April ends Aries (index 0)
    const int index = c.day < kFirstDay[c.month - 1] ? ending : (ending + 1) % 12;
    return kZodiacSigns[static_cast<size_t>(index)];
}

std::optional<double> BirthdayAge(TDateTime dob, TDateTime dod, TDateTime today) {
    if (!(dob > 0) || !Decodable(dob)) return std::nullopt;
    const TDateTime end = dod > 0 ? dod : today;
    if (!Decodable(end) || std::trunc(end) < std::trunc(dob)) return std::nullopt;
    const IntervalResult r = BasicInterval(dob, end, true, false, 0);
    return static_cast<double>(r.years) / 10000.0;
}

std::string_view BirthdaysCsvFields() { return "Name;DOB;Age;StarSign"; }

void DefineBirthdayFields(MemTable& t) {
    t.AddField("Name", FieldType::String, kBirthdayNameSize);
    t.AddField("DOB", FieldType::DateTime);
    t.AddField("DOD", FieldType::DateTime);
    t.AddField("Age", FieldType::Float, 0, FieldKind::Calculated);
    t.AddField("StarSign", FieldType::String, kStarSignSize, FieldKind::Calculated);
    t.AddField("TOB", FieldType::Time);
    t.AddField("TOD", FieldType::Time);
    t.AddField("Memo", FieldType::Blob);
    t.SetSortField("DOB");
}

MemTable& DefineBirthdayTables(const TableMaker& make) {
    MemTable& t = make(kBirthdaysTableName);
    DefineBirthdayFields(t);
    return t;
}

std::vector<SheetColumn> BirthdayColumns(const SheetContext& ctx) {
    auto date = [&](const char* field, const char* title) {
        return Column(field, title, 10, ctx.dateEntryFormat);
    };
    SheetColumn tob = Column("TOB", "Time~hh:mm", 5, "hh:mm");
    tob.visible = false;
    tob.editMask = kTimeEditMask;
    SheetColumn tod = Column("TOD", {}, 5, "hh:mm");
    tod.visible = false;
    SheetColumn memo = Column("Memo", {}, 0);
    memo.visible = false;
    return {
        Column("Name", "Name", 20),
        date("DOB", "Date of Birth"),
        date("DOD", "DOD"),
        Column("Age", "Age", 4, "###.#"),
        Column("StarSign", "Zodiac Sign", 10),
        tob,
        tod,
        memo,
    };
}

CellColours BirthdayCellColours(std::string_view field, bool selected, bool focused) {
    if (field == "Age" || field == "StarSign") return ResultCellColours();
    if (!focused) return {SheetColour::Window, SheetColour::Black};
    return {SheetColour::Navy, selected ? SheetColour::Yellow : SheetColour::White};
}

BirthdaysSheet::BirthdaysSheet(MemTable& taSta, const SheetContext& ctx) : table_(taSta), ctx_(ctx) {
    table_.handlers.onNewRecord = [this](MemTable& t) { taStaNewRecord(t); };
    table_.handlers.onCalcFields = [this](MemTable& t) { taStaCalcFields(t); };
    table_.handlers.beforePost = [this](MemTable& t) { taStaBeforePost(t); };
    // Listed by date of birth: an edited DOB moves its row, which stays current.
    table_.handlers.afterPost = [this](MemTable& t) {
        ResortKeepingRow(t);
        ctx_.MarkModified();
    };
    table_.handlers.afterDelete = [this](MemTable&) { ctx_.MarkModified(); };
}

BirthdaysSheet::~BirthdaysSheet() {
    TableHandlers& h = table_.handlers;
    h.onNewRecord = h.onCalcFields = h.beforePost = h.afterPost = h.afterDelete = nullptr;
}

void BirthdaysSheet::taStaNewRecord(MemTable& t) {
    t.FieldByName("TOB").SetDateTime(0);
    t.FieldByName("TOD").SetDateTime(0);
}

void BirthdaysSheet::taStaCalcFields(MemTable& t) {
    const TDateTime dob = t.FieldByName("DOB").AsDateTime();
    if (!(dob > 0)) return;   // no date of birth: no age and no sign
    t.FieldByName("StarSign").SetString(ZodiacSign(dob));
    if (const auto age = BirthdayAge(dob, t.FieldByName("DOD").AsDateTime(), ctx_.Today()))
        t.FieldByName("Age").SetFloat(*age);
}

void BirthdaysSheet::taStaBeforePost(MemTable& t) {
    const TDateTime dob = t.FieldByName("DOB").AsDateTime();
    const TDateTime dod = t.FieldByName("DOD").AsDateTime();
    if (dob > 0 && dod > 0 && std::trunc(dod) < std::trunc(dob)) throw TableError(kDeathBeforeBirthText);
}

bool BirthdaysSheet::BeginEdit() {
    if (table_.State() != TableState::Browse) return true;
    if (table_.IsEmpty()) return false;
    table_.Edit();
    return true;
}

bool BirthdaysSheet::EnterDod(std::string_view text) {
    std::string_view s = text;
    while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
    while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
    if (s.empty()) {
        if (!BeginEdit()) return false;
        table_.FieldByName("DOD").Clear();
        return true;
    }
    const std::optional<TDateTime> d = ParseDate(s, ctx_.dateEntryFormat, ctx_.locale);
    if (!d) return false;
    return EnterDod(*d);
}

bool BirthdaysSheet::EnterDod(TDateTime value) {
    if (!(value > 0) || !Decodable(value)) return false;
    if (!BeginEdit()) return false;
    table_.FieldByName("DOD").SetDateTime(value);
    return true;
}

void BirthdaysSheet::SetDodBlank() {
    try {
        if (!BeginEdit()) return;
        table_.FieldByName("DOD").Clear();
    } catch (...) {
        // A convenience command: a table that cannot be edited just stays as it is.
    }
}

}  // namespace clx
